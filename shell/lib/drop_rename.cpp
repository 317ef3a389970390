#include "drop_rename.h"

#include <array>
#include <optional>
#include <string_view>
#include <unordered_map>

#include "app_home.h"
#include "journaled_executor.h"
#include "mod_zdb.h"
#include "module_state.h"
#include "progress.h"
#include "prompter.h"
#include "text.h"

namespace zelshell {
namespace {

// The first entry of each CRC text, column by column: the design's search (every entry's
// first CRC, then every entry's second) without a pass over the table for every file.
class RomIndex {
public:
    RomIndex(const core::RomTable& roms, int crc_count) {
        for (const auto& entry : roms) {
            m_columns[0].try_emplace(entry.crc.view(), &entry);
            if (crc_count == 2)
                m_columns[1].try_emplace(entry.crc2.view(), &entry);
        }
    }
    const core::RomEntry* find(const core::CrcText& crc) const {
        for (const auto& column : m_columns)
            if (const auto it = column.find(crc.view()); it != column.end())
                return it->second;
        return nullptr;
    }

private:
    std::array<std::unordered_map<std::string_view, const core::RomEntry*>, 2> m_columns;
};

void plan_rename(const std::string& file, const core::RomEntry& match, core::Batch& batch,
                 DropReport& report) {
    const std::filesystem::path path(file);
    // The name the rename engine would give, so that neither renames the other's files.
    const std::string name = core::safe_file_name(match.name);
    if (name.empty()) {
        report.problems.push_back("Skipped " + core::quoted(path) +
                                  ": its name in the database, '" + match.name +
                                  "', cannot be a file name.");
        return;
    }
    const auto target = path.parent_path() / (name + path.extension().string());
    if (core::fold_case(target.native()) == core::fold_case(file))
        return; // already named so
    batch.from.push_back(file);
    batch.to.push_back(target.native());
}

// One batch, written to the home's undo journal first; a taken name leaves the file as it is.
void run_renames(const std::filesystem::path& database, const core::Batch& batch,
                 DropReport& report) {
    if (batch.from.empty())
        return;
    auto zelcore = shell_zelcore();
    if (!zelcore) {
        report.problems.push_back(zelcore.error().message);
        return;
    }
    core::set_app_home(core::resolve_app_home(std::nullopt));
    core::JournaledExecutor executor("drop onto " + core::quoted(database), core::silent_prompter(),
                                     core::null_progress(), *zelcore, core::ConflictPolicy::Skip);
    const core::BatchOutcome outcome = executor.run(batch);
    report.renamed += outcome.count(core::ItemResult::Done);
    for (const auto& problem : outcome.problems)
        report.problems.push_back(problem.text());
}

} // namespace

DropReport rename_dropped_files(const std::filesystem::path& database,
                                const std::vector<std::string>& files) {
    DropReport report;
    auto& roms = this_thread_state().roms;
    const ZdbRecord record = zelshell::load_zdb(database, core::kZdbFull);
    if (!record.header.usable()) {
        report.problems.push_back(record.header.error);
        return report;
    }
    const RomIndex index(roms, record.header.crc_count);
    const auto skip = static_cast<std::uint16_t>(static_cast<std::uint32_t>(record.header.number));
    const std::string system = database.stem().string();
    core::Batch batch{.op = core::BatchOp::Move, .existing = core::ExistingTarget::Skip};
    std::optional<core::Error> unreadable;
    auto identifier = plain_file_identifier(system);
    if (!identifier)
        unreadable = identifier.error();
    for (std::size_t i = 0; identifier && i < files.size(); ++i) {
        auto crc = identifier->get_crc32(files[i], skip);
        if (!crc) {
            unreadable = crc.error();
            break;
        }
        if (const core::RomEntry* match = index.find(*crc))
            plan_rename(files[i], *match, batch, report);
    }
    run_renames(database, batch, report);
    core::RomTable().swap(roms);
    if (unreadable) {
        unreadable->message += "\r\n" + results_text(report);
        report.error = fail_with_error(*unreadable);
    }
    return report;
}

std::string results_text(const DropReport& report) {
    std::string text = report.renamed > 0
                           ? "Number of ROMs renamed: " + std::to_string(report.renamed)
                           : std::string("No ROMs were renamed.");
    if (!report.problems.empty())
        text += "\r\n";
    for (const auto& problem : report.problems)
        text += "\r\n" + problem;
    return text;
}

} // namespace zelshell
