#include "collection_scan.h"

#include <filesystem>
#include <optional>
#include <unordered_set>

#include "coarse_progress.h"
#include "folder_walk.h"
#include "identification.h"
#include "matching.h"
#include "platform.h"
#include "progress.h"
#include "prompter.h"
#include "session_file.h"
#include "settings.h"
#include "text.h"

namespace lists {
namespace {

using core::Message;

const Message kNextCd{
    "Zelkon sees that you are using a CD-ROM.\rIf your Collection spans multiple CDs, insert "
    "the next CD now.\r\rPress OK when the next CD is inserted, or\rPress Cancel if you have no "
    "more CDs",
    "Insert another CD?", Message::Icon::Question, Message::Buttons::OkCancel};

core::Problem link_left_out(const std::string& path) {
    return core::Problem::link_left_alone(path, path);
}

// "cannot read 'x': reason" is what was not done, then why.
core::Problem unreadable(const std::string& path, const std::string& message) {
    const std::string named = core::quoted(path) + ": ";
    const auto at = message.find(named);
    if (at == std::string::npos)
        return core::Problem::line(message, path);
    const auto cut = at + named.size() - 2;
    return {path, message.substr(0, cut), message.substr(cut + 2)};
}

class ScanRun {
public:
    ScanRun(const ScanJob& job, core::Services& services, core::Prompter& prompter,
            core::Progress& progress)
        : m_job(job), m_services(services), m_prompter(prompter), m_progress(progress),
          m_gather(!core::is_unset_folder(job.base_folder)) {}

    core::Result<ScanResult> run();

private:
    core::Status check_folder() const;
    core::Status load_database();
    core::Status load_session();
    void gather();
    void walk_next_discs();
    void walk(const std::string& folder);
    void take_found();
    std::vector<std::string> paths_to_read();
    void read_checksums(std::vector<std::string> paths);
    bool stopped() const { return m_progress.stop_requested(); }
    core::Result<ScanResult> stop();

    const ScanJob& m_job;
    core::Services& m_services;
    core::Prompter& m_prompter;
    core::Progress& m_progress;
    const bool m_gather;
    ScanResult m_result;
    std::optional<core::Identification> m_ident;
    std::vector<std::string> m_found;
    std::vector<std::string> m_links;
    bool m_found_any = false; ///< the walk found files, whether or not a session stood for them
};

core::Result<ScanResult> ScanRun::run() {
    m_result.by = m_job.by;
    m_result.system_id = m_job.system.id;
    m_result.long_name = m_job.system.long_name;
    if (auto ok = check_folder(); !ok)
        return ok.error();
    if (auto ok = load_database(); !ok) {
        if (stopped())
            return stop();
        return ok.error();
    }
    if (auto ok = load_session(); !ok)
        return ok.error();
    if (m_gather) {
        gather();
        take_found();
        if (stopped())
            return stop();
        if (!m_result.records.empty()) {
            m_progress.status("Sorting Files");
            sort_records(m_result.records, m_job.by);
            match_collection(m_ident->roms(), m_result.records, m_job.by,
                             m_ident->header().crc_count, m_progress);
        }
    }
    build_result(m_result, m_ident->roms(), m_gather && m_found_any, m_progress);
    m_progress.status("Waiting...");
    m_progress.step(0, 0);
    return std::move(m_result);
}

core::Status ScanRun::check_folder() const {
    if (m_gather && !core::is_existing_folder(m_job.base_folder))
        return core::Error::not_found("The folder " + core::quoted(m_job.base_folder) +
                                      " does not exist.");
    return core::Status::success();
}

core::Status ScanRun::load_database() {
    m_progress.status("Loading Database");
    auto ident =
        core::Identification::open(m_services, m_job.system, m_progress, {.notice = m_job.notice});
    if (!ident)
        return ident.error();
    m_ident.emplace(std::move(ident.value()));
    m_progress.step(0, 0);
    return core::Status::success();
}

core::Status ScanRun::load_session() {
    if (m_job.session_file.empty())
        return core::Status::success();
    auto records = read_session(m_job.session_file);
    if (!records)
        return records.error();
    m_result.records = std::move(records.value());
    return core::Status::success();
}

// A collection on CD-ROMs is walked disc after disc until the user says there is no more.
// A disc without the scanned folder is walked from the root of the drive.
void ScanRun::gather() {
    m_progress.status("Getting Files");
    walk(m_job.base_folder);
    if (core::is_cdrom(m_job.base_folder))
        walk_next_discs();
    for (const auto& link : m_links)
        m_result.outcome.problems.push_back(link_left_out(link));
}

void ScanRun::walk_next_discs() {
    while (!stopped() && m_prompter.ask(kNextCd) == core::Answer::Ok) {
        if (core::is_existing_folder(m_job.base_folder))
            walk(m_job.base_folder);
        else if (auto root = core::mount_root(m_job.base_folder); !root.empty())
            walk(root.string());
    }
}

void ScanRun::walk(const std::string& folder) {
    core::dive_folder(folder, core::file_filter(m_job.system), m_found, &m_progress, &m_links);
}

// A found file whose base name a session record holds is that record's file: it is not
// added, and not read.
std::vector<std::string> ScanRun::paths_to_read() {
    m_found_any = !m_found.empty();
    if (m_result.records.empty())
        return std::move(m_found);
    std::unordered_set<std::string> session_names;
    for (const auto& record : m_result.records)
        session_names.insert(core::fold_case(record.path));
    std::vector<std::string> paths;
    paths.reserve(m_found.size());
    for (auto& path : m_found)
        if (!session_names.contains(core::fold_case(base_name(path))))
            paths.push_back(std::move(path));
    return paths;
}

void ScanRun::take_found() {
    auto paths = paths_to_read();
    m_progress.step(0, paths.size());
    if (m_job.by == MatchBy::Checksum) {
        read_checksums(std::move(paths));
        return;
    }
    m_result.records.reserve(m_result.records.size() + paths.size());
    for (auto& path : paths) {
        std::string name = base_name(path);
        m_result.records.push_back({"", std::move(name), std::move(path), false, false});
    }
}

void ScanRun::read_checksums(std::vector<std::string> paths) {
    m_result.records.reserve(m_result.records.size() + paths.size());
    auto hashes = m_ident->hash(std::move(paths), m_job.threads, m_job.base_folder);
    core::CoarseProgress coarse(m_progress); // a step per file would flood a window
    while (auto item = hashes.next(coarse)) {
        const std::string& path = hashes.path(item->index);
        if (!item->crc)
            m_result.outcome.problems.push_back(unreadable(path, item->crc.error().message));
        else
            m_result.records.push_back({item->crc->str(), base_name(path), path, false, false});
    }
}

core::Result<ScanResult> ScanRun::stop() {
    m_result.outcome.end = core::End::Stopped;
    m_progress.status("Waiting...");
    m_progress.step(0, 0);
    return std::move(m_result);
}

} // namespace

ScanSettings read_scan_settings(std::string_view system_id, std::string_view current_folder,
                                const std::filesystem::path& settings_file) {
    ScanSettings s;
    bool by_name =
        core::read_setting("general", "MatchByFilename", "True", settings_file) == "True";
    s.by = by_name ? MatchBy::Filename : MatchBy::Checksum;
    auto folder = core::read_setting(system_id, "RenameFolder", "", settings_file).text();
    s.base_folder = core::add_backslash(folder);
    // A relative or non-text value is no folder to start from: it counts as unset.
    if (core::unusable_folder_reason(folder) || !core::is_existing_folder(s.base_folder))
        s.base_folder = std::string(current_folder);
    return s;
}

core::Status write_match_setting(MatchBy by, const std::filesystem::path& settings_file) {
    return core::write_setting("general", "MatchByFilename",
                               by == MatchBy::Filename ? "True" : "False", settings_file);
}

core::Result<ScanResult> scan_collection(const ScanJob& job, core::Services& services,
                                         core::Prompter& prompter, core::Progress& progress) {
    return ScanRun(job, services, prompter, progress).run();
}

} // namespace lists
