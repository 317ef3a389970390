#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace core {

class Progress;

/// The names of the files of `folder` whose names match one of the `;`-separated patterns
/// without regard to case, in alphabetical order without regard to case: what a file list
/// with that pattern shows. A folder that cannot be read gives nothing. Symbolic links are
/// never files to act on: the names of matching links to files go to `links` when given.
std::vector<std::string> list_folder_files(const std::string& folder, std::string_view patterns,
                                           std::vector<std::string>* links = nullptr);

/// Appends to `found` the full paths of the matching files of `folder` and of all its
/// sub-folders: the sub-folders first, depth first, in the order above, then the folder's
/// own files, so files of the deepest folders come first. Folders whose names begin with
/// "." and symbolic links to folders are never entered. `folder` gets a trailing separator
/// first; an unset folder ("" or the bare separator) adds nothing, it never means the root.
/// When `progress` is given, a stop asked for ends the walk (checked once per folder).
/// Matching symbolic links to files are not found; their full paths go to `links` when given.
void dive_folder(const std::string& folder, std::string_view patterns,
                 std::vector<std::string>& found, Progress* progress = nullptr,
                 std::vector<std::string>* links = nullptr);

} // namespace core
