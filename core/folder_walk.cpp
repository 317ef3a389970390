#include "folder_walk.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <utility>

#include "progress.h"
#include "settings.h"
#include "text.h"

namespace core {
namespace {

namespace fs = std::filesystem;

struct Listing {
    std::vector<std::string> files;
    std::vector<std::string> folders;
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

Listing read_folder(const std::string& folder, std::string_view patterns) {
    Listing listing;
    std::error_code ec;
    fs::directory_iterator it(folder, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        std::error_code type_ec;
        // symlink_status first: a link to a folder is never entered, a link to a file counts.
        if (it->is_symlink(type_ec)) {
            if (it->is_regular_file(type_ec) && matches_patterns(patterns, name))
                listing.files.push_back(std::move(name));
        } else if (it->is_directory(type_ec)) {
            listing.folders.push_back(std::move(name));
        } else if (it->is_regular_file(type_ec) && matches_patterns(patterns, name)) {
            listing.files.push_back(std::move(name));
        }
    }
    sort_names(listing.files);
    sort_names(listing.folders);
    return listing;
}

void dive(const std::string& folder, std::string_view patterns, std::vector<std::string>& found,
          Progress* progress) {
    if (progress) {
        progress->pump();
        if (progress->stop_requested())
            return;
    }
    Listing listing = read_folder(folder, patterns);
    for (const auto& sub : listing.folders)
        if (sub.front() != '.')
            dive(folder + sub + kSeparator, patterns, found, progress);
    for (const auto& name : listing.files)
        found.push_back(folder + name);
}

} // namespace

std::vector<std::string> list_folder_files(const std::string& folder, std::string_view patterns) {
    if (is_unset_folder(folder))
        return {};
    return read_folder(folder, patterns).files;
}

void dive_folder(const std::string& folder, std::string_view patterns,
                 std::vector<std::string>& found, Progress* progress) {
    if (is_unset_folder(folder))
        return;
    dive(add_backslash(folder), patterns, found, progress);
}

} // namespace core
