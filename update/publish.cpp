#include "publish.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "atomic_file.h"
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

/// Files a web server must be able to read, written so that a server serving the tree
/// meanwhile hands out the old file or the new one, never half of one.
core::Status write_atomically(const fs::path& path, std::string_view bytes) {
    return core::write_file_atomically(path, bytes, 0644);
}

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
std::vector<bool> case_clashes(const std::vector<Candidate>& candidates,
                               std::vector<std::string>& problems) {
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
        problems.push_back("refused " + files +
                           ": their names differ only in letter case, and the server matches "
                           "names without regard to case");
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

/// One database read and checked, or a line saying why it is left out.
struct Checked {
    PublishedDatabase database;
    std::string problem;
    bool skipped = false; ///< not a readable database (else refused)
};

Checked check_candidate(const Candidate& c) {
    if (!is_plain_file_name(c.name))
        return {{}, "refused " + quoted(c.file) + ": its name cannot be a file name on the server"};
    core::RomTable roms;
    auto header = core::load_zdb(c.file, core::kZdbFull, &roms);
    if (!header.usable())
        return {{}, "skipped " + quoted(c.file) + ": " + header.error, true};
    auto version = core::read_zdb_version(c.file);
    if (auto why = version_refusal(version); !why.empty())
        return {{}, "refused " + quoted(c.file) + ": " + why};
    return {{c.name, version, one_line(header.long_name), roms.size()}, {}};
}

core::Status publish_one(const Candidate& c, const PublishedDatabase& db, const SiteFolders& site,
                         const std::string& base_url) {
    auto bytes = read_bytes(c.file);
    if (!bytes)
        return bytes.error();
    if (auto copied = write_atomically(site.zdb / (db.name + ".zdb"), *bytes); !copied)
        return copied;
    return write_atomically(site.zdb / (core::to_lower_ascii(db.name) + ".txt"),
                            version_file_text(db.version, base_url));
}

/// Empty news files, so that clients asking for news get an answer; a publisher's own
/// news stays as it is.
core::Status keep_or_create_news(const SiteFolders& site) {
    for (const char* name : {"standard.txt", "auto.txt"}) {
        std::error_code ec;
        if (fs::exists(fs::symlink_status(site.news / name, ec)))
            continue;
        if (auto made = write_atomically(site.news / name, ""); !made)
            return made;
    }
    return core::Status::success();
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

std::string PublishReport::summary() const {
    std::string text = "Published " + plural(published.size(), "database", "databases") + " to " +
                       quoted(site) + " (served at " + base_url + ").";
    if (skipped)
        text += "\nSkipped " +
                plural(skipped, "file that is not a readable database",
                       "files that are not readable databases") +
                ".";
    if (refused)
        text += "\nRefused " + plural(refused, "database", "databases") + ".";
    if (published.empty())
        text += "\nNothing to publish: the site was left as it was.";
    return text;
}

core::Result<PublishReport> publish_databases(const PublishJob& job) {
    auto base_url = normalise_base_url(job.base_url);
    if (!base_url)
        return base_url.error();
    auto candidates = list_candidates(job.source);
    if (!candidates)
        return candidates.error();
    PublishReport report{job.site, *base_url, {}, {}, 0, 0};
    auto clash = case_clashes(*candidates, report.problems);
    report.refused = static_cast<std::size_t>(std::count(clash.begin(), clash.end(), true));

    std::vector<std::pair<const Candidate*, PublishedDatabase>> ready;
    for (std::size_t i = 0; i < candidates->size(); ++i) {
        if (clash[i])
            continue;
        auto checked = check_candidate((*candidates)[i]);
        if (checked.problem.empty()) {
            ready.emplace_back(&(*candidates)[i], std::move(checked.database));
            continue;
        }
        report.problems.push_back(std::move(checked.problem));
        ++(checked.skipped ? report.skipped : report.refused);
    }

    // A folder of nothing but bad files must not empty a list that clients rely on.
    if (ready.empty())
        return report;
    auto site = make_site_folders(job.site);
    if (!site)
        return site.error();
    for (const auto& [candidate, db] : ready) {
        if (auto done = publish_one(*candidate, db, *site, *base_url); !done)
            return done.error();
        report.published.push_back(db);
    }
    // The list comes last: a client never sees a database listed before its file is there.
    if (auto listed = write_atomically(site->zelkon / "list.php", list_text(report.published));
        !listed)
        return listed.error();
    if (auto news = keep_or_create_news(*site); !news)
        return news.error();
    return report;
}

} // namespace update
