#include "rename_engine.h"

#include <algorithm>
#include <optional>
#include <unordered_map>

#include "coarse_progress.h"
#include "file_move.h"
#include "folder_walk.h"
#include "identification.h"
#include "member_name.h"
#include "placement.h"
#include "rename_parts.h"
#include "settings.h"
#include "text.h"
#include "zip_archive.h"

namespace renaming {
namespace {

class Planner {
public:
    Planner(const RenameJob& job, RenameContext& context)
        : m_job(job), m_ctx(context), m_log(context.progress),
          m_filter(core::file_filter(job.system)) {}

    RenamePlan run();

private:
    bool open();
    bool collect_files();
    std::vector<std::string> walk();
    void collect_one(const std::string& path, core::Result<core::CrcText> crc);
    void match_pass(int field);
    void match_file(core::RomEntry& file, int field, std::size_t& start);
    void plan_match(const core::RomEntry& file, const core::RomEntry& rom);
    bool holds_rom(const std::string& holder, const core::RomEntry& rom);
    void plan_unrecognized();
    void cut_if_over_limit();
    void cut_members();
    void finish();
    void end_stopped();
    bool stopped() const { return m_log.stop_requested(); }
    RenameReport& report() { return m_plan.report; }

    const RenameJob& m_job;
    RenameContext& m_ctx;
    core::CoarseProgress m_log;
    const std::string m_filter; ///< the system's patterns and ZIP archives
    RunFolders m_folders;
    std::optional<core::Identification> m_ident;
    RenamePlan m_plan;
    core::RomTable m_files;
    core::Problems m_later; ///< problems the log shows after carrying out
    core::Placement m_placement;
    core::PathList m_member_from, m_member_to, m_unrec_from, m_unrec_to;
    std::unordered_map<std::string, core::CrcText> m_crc_of; ///< made when first needed
};

// Chooses the folders, then loads the database; false when the run is refused.
bool Planner::open() {
    m_folders = prepare_folders(m_job, m_ctx.prompter);
    m_later = std::move(m_folders.problems);
    if (!m_folders.refused) {
        auto ident = core::Identification::open(m_ctx.services, m_job.system, m_log,
                                                {.notice = m_job.notice, .log_load = true});
        if (ident)
            m_ident.emplace(std::move(ident.value()));
        else
            report().problems.push_back(
                core::Problem::line(ident.error().message, m_job.system.file.string()));
    }
    if (m_ident)
        return true;
    report().end = core::End::Refused;
    report().missing_folder = m_folders.refused_by;
    if (!m_folders.refused_by.empty())
        report().summary = "The folder " + core::quoted(m_folders.refused_by) +
                           " does not exist and was not made; nothing was renamed.\n";
    return false;
}

std::vector<std::string> Planner::walk() {
    std::vector<std::string> found, links;
    if (m_job.settings.recursive) {
        core::dive_folder(m_folders.source, m_filter, found, &m_log, &links);
    } else {
        for (auto& name : core::list_folder_files(m_folders.source, m_filter, &links))
            found.push_back(m_folders.source + name);
        for (auto& name : links)
            name.insert(0, m_folders.source);
    }
    report().links = links.size();
    for (const auto& link : links)
        report().problems.push_back(core::Problem::link_left_alone(link, link));
    return found;
}

bool Planner::collect_files() {
    m_log.log("Collecting filenames and crc32...");
    auto hashes = m_ident->hash(walk(), m_job.threads, m_folders.source);
    while (auto item = hashes.next(m_log))
        collect_one(hashes.path(item->index), std::move(item->crc));
    if (hashes.stopped() || stopped()) {
        m_log.log(kAborted);
        return false;
    }
    m_log.log(kDone);
    for (const auto& problem : report().problems)
        m_log.result(problem.text() + "\r\n");
    m_plan.problems_shown = report().problems.size();
    return true;
}

void Planner::collect_one(const std::string& path, core::Result<core::CrcText> crc) {
    std::string entry_path = path;
    auto unreadable = [this, &path](const core::Error& error) {
        ++report().unreadable;
        report().problems.push_back(core::Problem::line(error.message, path));
    };
    if (core::is_zip(path)) {
        // Only archives holding exactly one matching file take part.
        auto members = core::list_zip(path, m_filter);
        if (!members)
            return unreadable(members.error());
        if (members->size() != 1)
            return;
        // A member's stored name is never used as a path: only its last component counts.
        const std::string_view stored = members->front().name;
        const std::string_view name = stored.substr(zelcore::member_base_start(stored));
        if (!zelcore::is_member_file_name(name))
            return;
        entry_path.append(1, core::kSeparator).append(name);
    }
    if (!crc)
        return unreadable(crc.error());
    core::RomEntry entry;
    entry.crc = *crc;
    entry.path = std::move(entry_path);
    m_files.push_back(std::move(entry));
}

void Planner::match_pass(int field) {
    m_log.log("Sorting ZDB...");
    core::sort_roms_by_field(m_ident->roms(), field);
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
void Planner::match_file(core::RomEntry& file, int field, std::size_t& start) {
    const core::RomTable& roms = m_ident->roms();
    for (std::size_t j = start; j < roms.size(); ++j) {
        const core::CrcText& rom_crc = field == core::kFieldCrc2 ? roms[j].crc2 : roms[j].crc;
        if (file.crc == rom_crc) {
            plan_match(file, roms[j]);
            start = j;
            file.done = -1;
            return;
        }
        if (file.crc < rom_crc) {
            start = j;
            return;
        }
        cut_if_over_limit();
    }
}

void Planner::plan_match(const core::RomEntry& file, const core::RomEntry& rom) {
    const std::string name = core::safe_file_name(rom.name);
    if (name.empty()) {
        ++report().not_carried_out;
        m_later.push_back({file.path, "Did not rename " + core::quoted(file.path),
                           "its database name " + core::quoted(rom.name) + " is no file name"});
        return;
    }
    std::string target = m_folders.target + name;
    if (auto ext = core::extension(file.path); !ext.empty())
        target.append(".").append(ext);
    auto same_rom = [this, &rom](const std::string& holder) { return holds_rom(holder, rom); };
    const auto placed = m_placement.queue_move(file.path, target, m_folders.dupes, same_rom);
    if (placed == core::Placed::NameTaken) {
        ++report().not_carried_out;
        m_later.push_back(
            {file.path, "Did not rename " + core::quoted(file.path) + " to " + core::quoted(target),
             "name taken by a different file"});
        return;
    }
    const std::string archive = core::containing_archive(file.path);
    if (!m_job.settings.rename_in_zip || archive.empty() || placed == core::Placed::Deleted ||
        core::stem(file.path) == name)
        return;
    // Renamed where the archive lies now, before the batch that moves it.
    m_member_from.add(archive);
    m_member_to.add(name);
}

// Only a file that is the same ROM makes another a duplicate: never a link, never junk
// or a save file that happens to bear the name. A file of this run is known already.
bool Planner::holds_rom(const std::string& holder, const core::RomEntry& rom) {
    if (core::is_symbolic_link(holder))
        return false;
    if (m_crc_of.empty())
        for (const auto& file : m_files) {
            const std::string archive = core::containing_archive(file.path);
            m_crc_of.emplace(archive.empty() ? file.path : archive, file.crc);
        }
    std::optional<core::CrcText> crc;
    if (auto known = m_crc_of.find(holder); known != m_crc_of.end())
        crc = known->second;
    else if (auto read = m_ident->identifier().get_crc32(holder, m_ident->skip()))
        crc = *read;
    return crc && (*crc == rom.crc || (rom.crc2 != core::CrcText::none() && *crc == rom.crc2));
}

void Planner::cut_members() {
    if (!m_member_from.empty())
        m_plan.batches.push_back(
            {core::BatchOp::RenameMember, m_member_from.take(), m_member_to.take()});
}

void Planner::cut_if_over_limit() {
    if (m_placement.moves_over_limit()) {
        m_log.log(kClearing);
        cut_members();
        m_plan.batches.push_back(m_placement.take_moves(m_folders.op));
    }
    if (m_placement.deletes_over_limit()) {
        m_log.log(kClearing);
        cut_members();
        m_plan.batches.push_back(m_placement.take_deletes());
    }
}

void Planner::plan_unrecognized() {
    const std::string& folder = m_folders.unrecognized;
    for (const auto& file : m_files) {
        if (file.done != 0)
            continue;
        ++report().unrecognized;
        if (folder.empty())
            continue;
        std::string item = core::containing_archive(file.path);
        if (item.empty())
            item = file.path;
        if (folder == core::parent_folder(item))
            continue;
        std::string to = folder + std::string(core::file_name(item));
        m_unrec_from.add(std::move(item));
        m_unrec_to.add(std::move(to));
        if ((m_unrec_from.chars() > core::kBatchFlushChars ||
             m_unrec_to.chars() > core::kBatchFlushChars) &&
            !stopped()) {
            m_log.log(kClearing);
            m_plan.batches.push_back({m_folders.op, m_unrec_from.take(), m_unrec_to.take()});
        }
    }
}

void Planner::finish() {
    cut_members();
    if (m_placement.has_moves())
        m_plan.batches.push_back(m_placement.take_moves(m_folders.op));
    if (m_placement.has_deletes())
        m_plan.batches.push_back(m_placement.take_deletes());
    if (!m_unrec_from.empty())
        m_plan.batches.push_back({m_folders.op, m_unrec_from.take(), m_unrec_to.take()});
    m_plan.folders_to_make = std::move(m_folders.to_make);
}

// A run stopped while planning carries out nothing at all.
void Planner::end_stopped() {
    m_log.log(kAborted);
    for (const auto& problem : m_later)
        m_log.result("\r\n" + problem.text());
    m_plan.problems_shown += m_later.size();
    report().end = core::End::Stopped;
}

RenamePlan Planner::run() {
    if (!open())
        return std::move(m_plan);
    if (!collect_files()) {
        report().end = core::End::Stopped;
        return std::move(m_plan);
    }
    for (int field = 0; field < std::max<int>(1, m_ident->header().crc_count); ++field)
        match_pass(field);
    plan_unrecognized();
    report().files = m_files.size();
    report().already_named = m_placement.already_named_count();
    report().dupes = m_placement.dupe_count();
    if (stopped())
        end_stopped();
    else
        finish();
    report().problems.insert(report().problems.end(), m_later.begin(), m_later.end());
    return std::move(m_plan);
}

} // namespace

RenamePlan plan_renames(const RenameJob& job, RenameContext& context) {
    return Planner(job, context).run();
}

} // namespace renaming
