#include "publish.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "staged_files.h"
#include "text.h"
#include "update_server.h"
#include "zdb.h"

namespace update {

namespace fs = std::filesystem;
using core::Error;
using core::quoted;

namespace {

bool is_blank_or_control(unsigned char c) {
    return c <= 0x20 || c == 0x7F;
}

bool has_blank_or_control(std::string_view text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return is_blank_or_control(static_cast<unsigned char>(c)); });
}

bool starts_with_ignoring_case(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && core::iequals(text.substr(0, prefix.size()), prefix);
}

/// A tab or line break inside a free-text column would shift or split the list's lines.
std::string one_line(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = ' ';
    return out;
}

std::string plural(std::size_t n, std::string_view one, std::string_view many) {
    return std::to_string(n) + " " + std::string(n == 1 ? one : many);
}

// --- writing inside the site -------------------------------------------------------------

/// Files a web server must be able to read.
constexpr mode_t kSiteFileMode = 0644;

/// Creates `folder` when missing. A symbolic link in its place is refused: following it
/// could write the tree somewhere else than the site.
core::Status real_folder(const fs::path& folder, const fs::path& site) {
    std::error_code ec;
    auto st = fs::symlink_status(folder, ec);
    if (fs::is_symlink(st))
        return Error::bad_input(quoted(folder) +
                                " is a symbolic link; publishing writes only "
                                "inside " +
                                quoted(site));
    if (!fs::exists(st) && !fs::create_directory(folder, ec) && ec)
        return Error::failed("cannot create the folder " + quoted(folder) + ": " + ec.message());
    if (!fs::is_directory(fs::symlink_status(folder, ec)))
        return Error::bad_input("cannot create the folder " + quoted(folder) +
                                ": a file of that name is in the way");
    return core::Status::success();
}

struct SiteFolders {
    fs::path zelkon, zdb, news;
};

core::Result<SiteFolders> make_site_folders(const fs::path& site) {
    std::error_code ec;
    fs::create_directories(site, ec);
    if (!fs::is_directory(site, ec))
        return Error::failed("cannot create the folder " + quoted(site) +
                             (ec ? ": " + ec.message() : ""));
    SiteFolders f{site / "zelkon", site / "zelkon" / "zdb", site / "zelkon" / "zdb" / "news"};
    for (const auto& folder : {f.zelkon, f.zdb, f.news})
        if (auto made = real_folder(folder, site); !made)
            return made.error();
    return f;
}

core::Result<std::string> read_bytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream bytes;
    if (in)
        bytes << in.rdbuf();
    if (!in || in.bad())
        return Error::failed("cannot read " + quoted(file) + ": " + std::strerror(errno));
    return bytes.str();
}

// --- the databases of the source folder --------------------------------------------------

struct Candidate {
    fs::path file;
    std::string name;
};

bool is_zdb_file(const fs::directory_entry& entry) {
    std::error_code ec;
    return entry.is_regular_file(ec) && core::lower_extension(entry.path().string()) == "zdb";
}

/// The file name without its ".zdb"; "" for a file named only ".zdb" (refused later).
std::string base_name(const fs::path& file) {
    auto name = file.filename().string();
    return name.substr(0, name.size() - 4);
}

core::Result<std::vector<Candidate>> list_candidates(const fs::path& source) {
    std::error_code ec;
    if (!fs::is_directory(source, ec))
        return Error::not_found(quoted(source) + " is not a folder");
    std::vector<Candidate> out;
    for (fs::directory_iterator it(source, ec), end; !ec && it != end; it.increment(ec))
        if (is_zdb_file(*it))
            out.push_back({it->path(), base_name(it->path())});
    if (ec)
        return Error::failed("cannot read the folder " + quoted(source) + ": " + ec.message());
    std::sort(out.begin(), out.end(), [](const Candidate& a, const Candidate& b) {
        int order = core::compare_lower(a.name, b.name);
        return order != 0 ? order < 0 : a.name < b.name;
    });
    return out;
}

/// Names that a server matching without regard to case could not tell apart: every one
/// of them is refused, as the server would hand out either for both.
std::vector<bool> case_clashes(const std::vector<Candidate>& candidates, core::Problems& problems) {
    std::map<std::string, std::vector<std::size_t>> by_folded;
    for (std::size_t i = 0; i < candidates.size(); ++i)
        by_folded[core::fold_case(candidates[i].name)].push_back(i);
    std::vector<bool> clash(candidates.size(), false);
    for (const auto& [folded, group] : by_folded) {
        if (group.size() < 2)
            continue;
        std::string files;
        for (auto i : group) {
            clash[i] = true;
            files += (files.empty() ? "" : ", ") + quoted(candidates[i].file);
        }
        problems.push_back({candidates[group.front()].file.string(), "refused " + files,
                            "their names differ only in letter case, and the server matches "
                            "names without regard to case"});
    }
    return clash;
}

/// Why `version` cannot go into a version file, or "".
std::string version_refusal(const std::string& version) {
    if (version.empty())
        return "it has no version text";
    if (has_blank_or_control(version))
        return "its version text '" + version +
               "' contains a blank, and a version file ends the version at its first blank";
    return {};
}

/// One database read and checked, or why it is left out.
struct Checked {
    PublishedDatabase database;
    std::optional<core::Problem> problem;
    bool skipped = false; ///< not a readable database (else refused)
};

Checked left_out(const Candidate& c, std::string_view how, std::string why, bool skipped) {
    return {
        {}, core::Problem{c.file.string(), std::string(how) + " " + quoted(c.file), why}, skipped};
}

Checked check_candidate(const Candidate& c) {
    if (!is_plain_file_name(c.name))
        return left_out(c, "refused", "its name cannot be a file name on the server", false);
    core::RomTable roms;
    auto header = core::load_zdb(c.file, core::kZdbFull, &roms);
    if (!header.usable())
        return left_out(c, "skipped", header.error, true);
    auto version = core::read_zdb_version(c.file);
    if (auto why = version_refusal(version); !why.empty())
        return left_out(c, "refused", why, false);
    return {{c.name, version, one_line(header.long_name), roms.size()}, {}};
}

core::Status stage_one(const Candidate& c, const PublishedDatabase& db, const SiteFolders& site,
                       const std::string& base_url, StagedFiles& staged) {
    auto bytes = read_bytes(c.file);
    if (!bytes)
        return bytes.error();
    if (auto copied = staged.stage(site.zdb / (db.name + ".zdb"), *bytes, kSiteFileMode); !copied)
        return copied;
    return staged.stage(site.zdb / (core::to_lower_ascii(db.name) + ".txt"),
                        version_file_text(db.version, base_url), kSiteFileMode);
}

/// Empty news files, so that clients asking for news get an answer; a publisher's own
/// news stays as it is.
core::Status keep_or_create_news(const SiteFolders& site, StagedFiles& staged) {
    for (const char* name : {"standard.txt", "auto.txt"}) {
        std::error_code ec;
        if (fs::exists(fs::symlink_status(site.news / name, ec)))
            continue;
        if (auto made = staged.stage(site.news / name, "", kSiteFileMode); !made)
            return made;
    }
    return core::Status::success();
}

// --- the run -----------------------------------------------------------------------------

using Ready = std::vector<std::pair<const Candidate*, PublishedDatabase>>;

// Nothing was published: the files left out no longer matter, only why.
PublishReport& not_done(PublishReport& report, const Error& error) {
    report.end = error.code == Error::Code::Failed ? core::End::Failed : core::End::Refused;
    report.problems = {core::Problem::line(error.message)};
    return report;
}

PublishReport& stopped(PublishReport& report) {
    report.end = core::End::Stopped;
    report.summary = "Publishing was stopped; the site was left as it was.\n";
    return report;
}

std::string summary_of(const PublishReport& report) {
    std::string text;
    for (const auto& db : report.published)
        text += db.name + '\t' + db.version + '\n';
    text += "Published " + plural(report.published.size(), "database", "databases") + " to " +
            quoted(report.site) + " (served at " + report.base_url + ").";
    if (report.skipped)
        text += "\nSkipped " +
                plural(report.skipped, "file that is not a readable database",
                       "files that are not readable databases") +
                ".";
    if (report.refused)
        text += "\nRefused " + plural(report.refused, "database", "databases") + ".";
    if (report.published.empty())
        text += "\nNothing to publish: the site was left as it was.";
    return text + "\n";
}

/// Reads and checks every candidate; false when Stop came first.
bool check_all(const std::vector<Candidate>& candidates, PublishReport& report, Ready& ready,
               core::Progress& progress) {
    auto clash = case_clashes(candidates, report.problems);
    report.refused = static_cast<std::size_t>(std::count(clash.begin(), clash.end(), true));
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        if (progress.stop_requested())
            return false;
        progress.status("Reading " + candidates[i].file.filename().string());
        progress.step(i + 1, candidates.size());
        if (clash[i])
            continue;
        auto checked = check_candidate(candidates[i]);
        if (!checked.problem) {
            ready.emplace_back(&candidates[i], std::move(checked.database));
            continue;
        }
        report.problems.push_back(std::move(*checked.problem));
        ++(checked.skipped ? report.skipped : report.refused);
    }
    return true;
}

/// Stages every ready database, then the list and the news; false when Stop came first.
core::Result<bool> stage_all(const Ready& ready, const SiteFolders& site,
                             const std::string& base_url, StagedFiles& staged,
                             core::Progress& progress) {
    std::vector<PublishedDatabase> listed;
    for (std::size_t i = 0; i < ready.size(); ++i) {
        if (progress.stop_requested())
            return false;
        progress.status("Publishing " + ready[i].second.name + ".zdb");
        progress.step(i + 1, ready.size());
        if (auto done = stage_one(*ready[i].first, ready[i].second, site, base_url, staged); !done)
            return done.error();
        listed.push_back(ready[i].second);
    }
    // The list comes after the databases: a client never sees one listed before its file.
    if (auto made = staged.stage(site.zelkon / "list.php", list_text(listed), kSiteFileMode); !made)
        return made.error();
    if (auto news = keep_or_create_news(site, staged); !news)
        return news.error();
    return !progress.stop_requested();
}

} // namespace

core::Result<std::string> normalise_base_url(std::string_view url) {
    std::string text(url);
    auto shown = "the base address '" + text + "'";
    std::size_t scheme = starts_with_ignoring_case(url, "http://")    ? 7
                         : starts_with_ignoring_case(url, "https://") ? 8
                                                                      : 0;
    if (scheme == 0)
        return Error::bad_input(shown + " must start with http:// or https://");
    if (has_blank_or_control(url))
        return Error::bad_input(shown + " contains a blank or a control character");
    if (url.size() == scheme || url[scheme] == '/')
        return Error::bad_input(shown + " names no host");
    if (text.back() != '/')
        text += '/';
    return text;
}

std::string list_text(const std::vector<PublishedDatabase>& databases) {
    std::string out = std::string(kListTitles) + "\r\n";
    for (const auto& db : databases)
        out += db.name + '\t' + db.version + '\t' + db.long_name + '\t' + std::to_string(db.roms) +
               "\r\n";
    return out;
}

std::string version_file_text(std::string_view version, std::string_view base_url) {
    return std::string(version) + " " + std::string(base_url) + "zelkon/zdb/";
}

PublishReport publish_databases(const PublishJob& job, core::Progress& progress) {
    PublishReport report;
    report.site = job.site;
    auto base_url = normalise_base_url(job.base_url);
    if (!base_url)
        return not_done(report, base_url.error());
    report.base_url = *base_url;
    auto candidates = list_candidates(job.source);
    if (!candidates)
        return not_done(report, candidates.error());
    Ready ready;
    if (!check_all(*candidates, report, ready, progress))
        return stopped(report);
    // A folder of nothing but bad files must not empty a list that clients rely on.
    if (ready.empty()) {
        report.summary = summary_of(report);
        return report;
    }
    auto site = make_site_folders(job.site);
    if (!site)
        return not_done(report, site.error());
    StagedFiles staged;
    auto staged_all = stage_all(ready, *site, *base_url, staged, progress);
    if (!staged_all)
        return not_done(report, staged_all.error());
    if (!*staged_all)
        return stopped(report);
    if (auto done = staged.commit(); !done)
        return not_done(report, done.error());
    for (const auto& entry : ready)
        report.published.push_back(entry.second);
    report.summary = summary_of(report);
    return report;
}

} // namespace update
