#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace core {

class Progress;

/// The names of the files of `folder` whose names match one of the `;`-separated patterns
/// without regard to case, in alphabetical order without regard to case: what a file list
/// with that pattern shows. Symbolic links to files count as files; a folder that cannot be
/// read gives nothing.
std::vector<std::string> list_folder_files(const std::string& folder, std::string_view patterns);

/// Appends to `found` the full paths of the matching files of `folder` and of all its
/// sub-folders: the sub-folders first, depth first, in the order above, then the folder's
/// own files, so files of the deepest folders come first. Folders whose names begin with
/// "." and symbolic links to folders are never entered. `folder` gets a trailing separator
/// first; an unset folder ("" or the bare separator) adds nothing, it never means the root.
/// When `progress` is given, a stop asked for ends the walk (checked once per folder).
void dive_folder(const std::string& folder, std::string_view patterns,
                 std::vector<std::string>& found, Progress* progress = nullptr);

} // namespace core
