#include "rename_engine.h"

#include <algorithm>
#include <filesystem>
#include <optional>

#include "batch.h"
#include "folder_walk.h"
#include "hash_ahead.h"
#include "hash_cache.h"
#include "identify.h"
#include "placement.h"
#include "platform.h"
#include "progress.h"
#include "prompter.h"
#include "settings.h"
#include "text.h"
#include "zip_archive.h"

namespace renaming {
namespace {

using core::Message;

constexpr std::string_view kDone = "done.\r\n";
constexpr std::string_view kAborted = "aborted.";
constexpr std::string_view kClearing = "clearing buffer...";

// A database name becomes a file name: it must not reach into other folders.
std::string safe_file_name(std::string_view name) {
    std::string out(name);
    for (char& c : out)
        if (c == core::kSeparator || static_cast<unsigned char>(c) < 0x20)
            c = '_';
    if (out.empty() || out == "." || out == "..")
        out = "_";
    return out;
}

// A member's stored name is never used as a path: only its last component counts.
std::string_view member_file_name(std::string_view stored) {
    auto slash = stored.find_last_of("/\\");
    return slash == std::string_view::npos ? stored : stored.substr(slash + 1);
}

class RenameRun {
public:
    RenameRun(const RenameJob& job, RenameServices& services)
        : m_job(job), m_s(job.settings), m_out(services), m_log(services.progress),
          m_filter(core::file_filter(job.system)) {}

    RenameReport run();

private:
    bool prepare();
    bool apply_cdrom_rule();
    bool load_database();
    bool collect_files();
    void collect_one(const std::string& path, core::HashAhead& ahead);
    void match_pass(int field);
    bool match_file(core::RomEntry& file, int field, std::size_t& start);
    void plan_match(core::RomEntry& file, const core::RomEntry& rom);
    void plan_unrecognized();
    void process_files();
    void report();

    void flush_if_over_limit();
    void carry_out(core::Batch batch, bool update_index);
    void tell_cache(const core::Batch& batch, const core::BatchOutcome& outcome);
    bool stopped() const { return m_log.stop_requested(); }
    void inform(std::string title, std::string text);

    const RenameJob& m_job;
    RenameSettings m_s;
    RenameServices& m_out;
    core::Progress& m_log;
    RenameReport m_report;
    const std::string m_filter; ///< the system's patterns and ZIP archives

    core::BatchOp m_op = core::BatchOp::Move;
    std::string m_source, m_target, m_unrecognized, m_dupes;
    core::ZdbHeader m_header;
    core::RomTable m_roms;
    core::RomTable m_files;
    std::vector<std::string> m_unreadable;
    std::vector<std::string> m_problems;
    std::optional<core::Identifier> m_identifier;
    core::Placement m_placement;
    core::PathList m_unrec_from, m_unrec_to;
};

void RenameRun::inform(std::string title, std::string text) {
    m_out.prompter.ask(
        {std::move(text), std::move(title), Message::Icon::Information, Message::Buttons::Ok});
}

bool RenameRun::prepare() {
    m_op = m_s.copy_instead ? core::BatchOp::Copy : core::BatchOp::Move;
    m_source = core::add_backslash(m_job.source_folder);
    if (!core::is_existing_folder(m_source)) {
        inform("Folder not Found",
               "The folder " + core::quoted(m_job.source_folder) + " was not found.");
        return false;
    }
    // An unset rename folder keeps the files where they are; it never means the root.
    m_target = m_s.move_renamed && !core::is_unset_folder(m_s.rename_folder)
                   ? core::add_backslash(m_s.rename_folder)
                   : m_source;
    if (m_s.move_unrecognized) {
        m_unrecognized = core::add_backslash(m_s.unrecognized_folder);
        if (!core::is_existing_folder(m_unrecognized)) {
            inform("Folder not Found", "The 'unrecognized' folder was not found.\r"
                                       "Unrecognized files will be ignored");
            m_unrecognized.clear();
        }
    }
    if (m_s.move_dupes) {
        m_dupes = core::add_backslash(m_s.dupe_folder);
        if (!core::is_existing_folder(m_dupes)) {
            inform("Dupe Folder not Found",
                   "\"" + m_dupes + "\" was not found.\r\rDupes will be ignored.");
            m_dupes.clear();
        }
    } else if (m_s.delete_dupes) {
        m_dupes = std::string(core::kDeleteDupes);
    }
    return apply_cdrom_rule();
}

bool RenameRun::apply_cdrom_rule() {
    if (!core::is_cdrom(m_source))
        return true;
    if (m_target.empty() || core::is_cdrom(m_target)) {
        inform("Sorry", "When using a CD-ROM, you must specify a folder to copy the ROM files "
                        "to.\rTo do that, close the 'Rename ROMs' window and click on the "
                        "'Setup' button.");
        return false;
    }
    if (m_op == core::BatchOp::Move) {
        auto answer = m_out.prompter.ask(
            {"Your current settings tell Zelkon to move the renamed files to: \r\r" + m_target +
                 "\r\rSince you are using a CD-ROM, you must copy the files instead.\rDo you "
                 "want to proceed?",
             "Confirmation", Message::Icon::Question, Message::Buttons::YesNo});
        if (answer != core::Answer::Yes)
            return false;
    }
    if (m_dupes == core::kDeleteDupes)
        m_dupes.clear(); // nothing is deleted on a CD-ROM
    m_op = core::BatchOp::Copy;
    return true;
}

bool RenameRun::load_database() {
    m_log.log("Loading ZDB...");
    m_header = core::load_zdb(m_job.system.file, core::kZdbFull, &m_roms, m_job.notice);
    if (!m_header.usable()) {
        m_log.log("failed.\r\n" + m_header.error + "\r\n");
        return false;
    }
    auto identifier =
        core::Identifier::create(m_out.zelcore, {m_job.system.id, m_job.system.patterns});
    if (!identifier) {
        m_log.log("failed.\r\n" + identifier.error().message + "\r\n");
        return false;
    }
    m_identifier.emplace(std::move(identifier.value()));
    m_identifier->set_cache(m_job.cache);
    m_log.log(kDone);
    return true;
}

bool RenameRun::collect_files() {
    m_log.log("Collecting filenames and crc32...");
    std::vector<std::string> found;
    if (m_s.recursive) {
        core::dive_folder(m_source, m_filter, found, &m_log);
    } else {
        for (auto& name : core::list_folder_files(m_source, m_filter))
            found.push_back(m_source + name);
    }
    // The header skip is a 16-bit count: only the low bits of the stored number count.
    const auto skip = static_cast<std::uint16_t>(m_header.number & 0xFFFF);
    if (m_job.cache)
        m_job.cache->prefetch(m_source);
    core::HashAhead ahead(*m_identifier, std::move(found), skip,
                          m_job.threads ? m_job.threads : core::HashAhead::default_threads());
    const std::size_t total = ahead.size();
    for (std::size_t i = 0; i < total && !stopped(); ++i) {
        if (total > 1)
            m_log.step(i + 1, total);
        collect_one(ahead.path(i), ahead);
    }
    if (stopped()) {
        m_log.log(kAborted);
        return false;
    }
    m_log.log(kDone);
    for (const auto& line : m_unreadable)
        m_log.log(line + "\r\n");
    return true;
}

void RenameRun::collect_one(const std::string& path, core::HashAhead& ahead) {
    auto crc = ahead.next();
    std::string entry_path = path;
    if (core::is_zip(path)) {
        // Only archives holding exactly one matching file take part.
        auto members = core::list_zip(path, m_filter);
        if (!members) {
            m_unreadable.push_back(members.error().message);
            return;
        }
        if (members->size() != 1)
            return;
        auto name = member_file_name(members->front().name);
        if (name.empty() || name == "." || name == "..")
            return;
        entry_path.append(1, core::kSeparator).append(name);
    }
    if (!crc) {
        m_unreadable.push_back(crc.error().message);
        return;
    }
    core::RomEntry entry;
    entry.crc = *crc;
    entry.path = std::move(entry_path);
    m_files.push_back(std::move(entry));
}

void RenameRun::match_pass(int field) {
    m_log.log("Sorting ZDB...");
    core::sort_roms_by_field(m_roms, field);
    m_log.log(kDone);
    m_log.log("Sorting files...");
    core::sort_roms_by_field(m_files, field);
    m_log.log(kDone);
    m_log.log("Renaming ROMs...");
    m_log.step(0, m_files.size());
    std::size_t start = 0;
    for (std::size_t i = 0; i < m_files.size() && !stopped(); ++i) {
        if (m_files.size() > 1)
            m_log.step(i + 1, m_files.size());
        if (m_files[i].done == 0)
            match_file(m_files[i], field, start);
    }
}

// Both tables are sorted by the same key, so this is one step of a merge.
bool RenameRun::match_file(core::RomEntry& file, int field, std::size_t& start) {
    for (std::size_t j = start; j < m_roms.size(); ++j) {
        const core::CrcText& rom_crc = field == core::kFieldCrc2 ? m_roms[j].crc2 : m_roms[j].crc;
        if (file.crc == rom_crc) {
            plan_match(file, m_roms[j]);
            start = j;
            file.done = -1;
            return true;
        }
        if (file.crc < rom_crc) {
            start = j;
            return false;
        }
        flush_if_over_limit();
    }
    return false;
}

void RenameRun::plan_match(core::RomEntry& file, const core::RomEntry& rom) {
    const std::string name = safe_file_name(rom.name);
    std::string target = m_target + name;
    if (auto ext = core::extension(file.path); !ext.empty())
        target.append(".").append(ext);
    m_placement.queue_move(file.path, target, m_dupes);
    const std::string archive = core::containing_archive(file.path);
    if (m_s.rename_in_zip && !archive.empty() && m_out.runner.changes_files()) {
        if (auto status = m_out.zelcore.rename_inside_zip(archive, name); !status)
            m_problems.push_back(status.error().message);
    }
}

void RenameRun::flush_if_over_limit() {
    if (m_placement.moves_over_limit()) {
        m_log.log(kClearing);
        carry_out(m_placement.take_moves(m_op), true);
    }
    if (m_placement.deletes_over_limit()) {
        m_log.log(kClearing);
        carry_out(m_placement.take_deletes(), true);
    }
}

void RenameRun::carry_out(core::Batch batch, bool update_index) {
    auto outcome = m_out.runner.run(batch);
    m_report.not_carried_out +=
        outcome.count(core::ItemResult::Skipped) + outcome.count(core::ItemResult::Failed);
    for (const auto& problem : outcome.problems)
        m_problems.push_back(problem.text());
    tell_cache(batch, outcome);
    if (update_index)
        m_placement.carried_out(batch, outcome);
}

// A moved file keeps its bytes, so the next run finds it by its new path without reading
// it. A copy is a new file: its source keeps its entry, the copy is read when first met.
void RenameRun::tell_cache(const core::Batch& batch, const core::BatchOutcome& outcome) {
    if (!m_job.cache || batch.op != core::BatchOp::Move || !m_out.runner.changes_files())
        return;
    const std::size_t n = std::min({batch.from.size(), batch.to.size(), outcome.items.size()});
    for (std::size_t i = 0; i < n; ++i)
        if (outcome.items[i] == core::ItemResult::Done)
            m_job.cache->moved(batch.from[i], batch.to[i]);
}

void RenameRun::plan_unrecognized() {
    for (const auto& file : m_files) {
        if (file.done != 0)
            continue;
        ++m_report.unrecognized;
        if (m_unrecognized.empty())
            continue;
        std::string item = core::containing_archive(file.path);
        if (item.empty())
            item = file.path;
        if (m_unrecognized == core::parent_folder(item))
            continue;
        std::string to = m_unrecognized + std::string(core::file_name(item));
        m_unrec_from.add(std::move(item));
        m_unrec_to.add(std::move(to));
        if ((m_unrec_from.chars() > core::kBatchFlushChars ||
             m_unrec_to.chars() > core::kBatchFlushChars) &&
            !stopped()) {
            m_log.log(kClearing);
            carry_out({m_op, m_unrec_from.take(), m_unrec_to.take()}, false);
        }
    }
}

void RenameRun::process_files() {
    m_log.log(kDone);
    m_log.log("Processing files...");
    if (m_placement.has_moves())
        carry_out(m_placement.take_moves(m_op), true);
    if (m_placement.has_deletes())
        carry_out(m_placement.take_deletes(), true);
    if (!m_unrec_from.empty())
        carry_out({m_op, m_unrec_from.take(), m_unrec_to.take()}, false);
    m_log.log(kDone);
    for (const auto& line : m_problems)
        m_log.log(line + "\r\n");
    m_log.log("\r\n");
}

void RenameRun::report() {
    const std::string crlf = "\r\n";
    m_log.log("Files Processed: " + std::to_string(m_report.files) + " (" +
              std::to_string(m_report.unrecognized) + " unrecognized)" + crlf);
    m_log.log("Already Renamed Properly: " + std::to_string(m_report.already_named) + crlf);
    m_log.log("Duplicate Files: " + std::to_string(m_report.dupes) + crlf);
    if (m_report.unreadable)
        m_log.log("Files Not Read: " + std::to_string(m_report.unreadable) + crlf);
    if (m_report.not_carried_out)
        m_log.log("Not Carried Out: " + std::to_string(m_report.not_carried_out) + crlf);
    m_log.log(crlf);
    m_log.log("To view the missing & have lists, click 'View Lists'. You should be able to\r\n"
              "then click 'Next' to retreive the lists. (You may have to alter the default\r\n"
              "'ROM Folder' to point to your 'Renamed' folder.)");
    m_log.beep();
}

RenameReport RenameRun::run() {
    using End = RenameReport::End;
    if (!prepare() || !load_database()) {
        m_report.end = End::Refused;
        return m_report;
    }
    bool collected = collect_files();
    m_report.unreadable = m_unreadable.size();
    if (!collected) {
        m_report.end = End::Stopped;
        return m_report;
    }
    for (int field = 0; field < std::max<int>(1, m_header.crc_count); ++field)
        match_pass(field);
    plan_unrecognized();
    m_report.files = m_files.size();
    m_report.already_named = m_placement.already_named_count();
    m_report.dupes = m_placement.dupe_count();
    if (stopped()) {
        m_log.log(kAborted);
        for (const auto& line : m_problems)
            m_log.log("\r\n" + line);
        m_report.end = End::Stopped;
        return m_report;
    }
    process_files();
    report();
    return m_report;
}

} // namespace

RenameReport rename_roms(const RenameJob& job, RenameServices& services) {
    return RenameRun(job, services).run();
}

} // namespace renaming
