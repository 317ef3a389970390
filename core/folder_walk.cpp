#include "folder_walk.h"

#include <algorithm>
#include <utility>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include "progress.h"
#include "settings.h"
#include "text.h"

namespace core {
namespace {

struct Listing {
    std::vector<std::string> files;
    std::vector<std::string> folders;
    std::vector<std::string> links; ///< matching symbolic links to files
};

// Folded names compare byte by byte in the order compare_lower gives, so each name is
// folded once instead of at every comparison.
void sort_names(std::vector<std::string>& names) {
    std::vector<std::pair<std::string, std::string>> keyed;
    keyed.reserve(names.size());
    for (auto& name : names)
        keyed.emplace_back(fold_case(name), std::move(name));
    std::sort(keyed.begin(), keyed.end());
    for (std::size_t i = 0; i < keyed.size(); ++i)
        names[i] = std::move(keyed[i].second);
}

// What an entry is, from readdir's own type where it gives one: a stat per entry would cost
// more than the rest of the listing.
enum class Kind { File, Folder, Link, Other };

Kind kind_of(DIR* dir, const dirent& entry) {
    switch (entry.d_type) {
    case DT_REG:
        return Kind::File;
    case DT_DIR:
        return Kind::Folder;
    case DT_LNK:
        return Kind::Link;
    case DT_UNKNOWN:
        break;
    default:
        return Kind::Other;
    }
    struct stat st {};
    if (::fstatat(::dirfd(dir), entry.d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return Kind::Other;
    return S_ISREG(st.st_mode)   ? Kind::File
           : S_ISDIR(st.st_mode) ? Kind::Folder
           : S_ISLNK(st.st_mode) ? Kind::Link
                                 : Kind::Other;
}

bool links_to_file(DIR* dir, const char* name) {
    struct stat st {};
    return ::fstatat(::dirfd(dir), name, &st, 0) == 0 && S_ISREG(st.st_mode);
}

Listing read_folder(const std::string& folder, std::string_view patterns) {
    Listing listing;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return listing;
    while (const dirent* entry = ::readdir(dir)) {
        std::string_view name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        switch (kind_of(dir, *entry)) {
        case Kind::Folder:
            listing.folders.emplace_back(name);
            break;
        case Kind::File:
            if (matches_patterns(patterns, name))
                listing.files.emplace_back(name);
            break;
        case Kind::Link: // a link to a folder is never entered
            if (matches_patterns(patterns, name) && links_to_file(dir, entry->d_name))
                listing.links.emplace_back(name);
            break;
        case Kind::Other:
            break;
        }
    }
    ::closedir(dir);
    sort_names(listing.files);
    sort_names(listing.folders);
    sort_names(listing.links);
    return listing;
}

void dive(const std::string& folder, std::string_view patterns, std::vector<std::string>& found,
          std::vector<std::string>* links, Progress* progress) {
    if (progress && progress->stop_requested())
        return;
    Listing listing = read_folder(folder, patterns);
    for (const auto& sub : listing.folders)
        if (sub.front() != '.')
            dive(folder + sub + kSeparator, patterns, found, links, progress);
    for (const auto& name : listing.files)
        found.push_back(folder + name);
    if (links)
        for (const auto& name : listing.links)
            links->push_back(folder + name);
}

} // namespace

std::vector<std::string> list_folder_files(const std::string& folder, std::string_view patterns,
                                           std::vector<std::string>* links) {
    if (is_unset_folder(folder))
        return {};
    Listing listing = read_folder(folder, patterns);
    if (links)
        links->insert(links->end(), listing.links.begin(), listing.links.end());
    return std::move(listing.files);
}

void dive_folder(const std::string& folder, std::string_view patterns,
                 std::vector<std::string>& found, Progress* progress,
                 std::vector<std::string>* links) {
    if (is_unset_folder(folder))
        return;
    dive(add_backslash(folder), patterns, found, links, progress);
}

} // namespace core
