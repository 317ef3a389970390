#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "outcome.h"
#include "progress.h"
#include "result.h"

namespace update {

/// What to publish and where: the `.zdb` files of `source` become a static update-server
/// tree below `site`, which is served at `base_url`.
struct PublishJob {
    std::filesystem::path source;
    std::filesystem::path site;
    std::string base_url; ///< "http://host/path" or "https://..."; a missing "/" is added
};

/// One database as the list names it.
struct PublishedDatabase {
    std::string name;      ///< the file's base name
    std::string version;   ///< the header's version text
    std::string long_name; ///< the system's name, as shown in the list
    std::size_t roms = 0;  ///< entries of the ROM table
};

/// What publishing did. Completed: the summary is a "NAME\tVERSION" line per database
/// published, then "Published 2 databases to 'site' (served at http://host/)." and the
/// counts; each file skipped or refused is a problem, in order. Refused: the base address,
/// the source folder or the site's folders cannot be used; Failed: a folder or file could
/// not be made or written; both have one problem, why. Stopped: Stop came before anything
/// was put in place. These three leave the site as it was (a folder made for it may stay,
/// empty), but for a rename that fails while the files are being put in place.
struct PublishReport : core::Outcome {
    std::filesystem::path site;
    std::string base_url;                     ///< with its trailing "/"
    std::vector<PublishedDatabase> published; ///< in list order
    std::size_t skipped = 0;                  ///< `.zdb` files that are not readable databases
    std::size_t refused = 0; ///< databases whose name or version a server cannot carry
};

/// The column titles of list.php, tab-separated.
inline constexpr std::string_view kListTitles = "Name\tVersion\tSystem\tROMs";

/// Writes SITE/zelkon/list.php, SITE/zelkon/zdb/<name>.zdb (copied unchanged),
/// SITE/zelkon/zdb/<lower-case name>.txt (the version file) for every publishable
/// database of `job.source`, and the news files SITE/zelkon/zdb/news/standard.txt and
/// auto.txt when they are missing (a publisher's news is kept). Every file is written
/// beside its place first and all are renamed into place at the end, the list last but
/// the news, so a web server serving the tree meanwhile hands out old files or new ones,
/// never half of one. Nothing is written outside `job.site`. Only files ending in ".zdb"
/// (in any letter case) are looked at. When none of them can be published nothing is
/// written. Counts the databases read and written and polls Stop between them.
PublishReport publish_databases(const PublishJob& job,
                                core::Progress& progress = core::null_progress());

/// The base address with a trailing "/", or why it cannot be one: it must start with
/// http:// or https://, name a host and hold no blank or control character.
core::Result<std::string> normalise_base_url(std::string_view url);

/// The list.php body: the titles and one line per database, every line ending in CR LF.
std::string list_text(const std::vector<PublishedDatabase>& databases);

/// The version file body: version, one space, the download folder; no line terminator.
std::string version_file_text(std::string_view version, std::string_view base_url);

} // namespace update
