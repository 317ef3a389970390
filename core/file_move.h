#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

#include "result.h"

namespace core {

class Progress;

/// Moves a file to a path that must be free: an existing file there is never replaced
/// (the error's code is then Exists). Across file systems the file is copied to a private
/// name beside the target (".zelkon-copy-XXXXXX", locked while it is written), synced, read
/// back and compared, put in place, and only then is the source removed. On any failure the
/// source stays and no partial copy is left. A copy polls `progress` for Stop and tells it
/// the bytes between chunks of 1 MiB; stopped, it fails with the code Cancelled.
Status move_no_replace(const std::filesystem::path& from, const std::filesystem::path& to,
                       Progress* progress = nullptr);

/// Copies a file the same careful way; the source stays. Mode and times are kept.
Status copy_no_replace(const std::filesystem::path& from, const std::filesystem::path& to,
                       Progress* progress = nullptr);

/// Removes from `folder` the part files that a killed run left there (never one that a
/// live run, in any process, is writing). The count removed.
std::size_t remove_stale_parts(const std::string& folder);

/// True when both paths name the same file (the same inode), e.g. "game.bin" and
/// "Game.bin" on a file system that ignores letter case.
bool same_file(const std::filesystem::path& a, const std::filesystem::path& b);

/// True when something (a file, a folder, a dangling link) has this name.
bool path_taken(const std::filesystem::path& path);

/// True when the path itself (not followed) is a symbolic link. No run acts on one: it would
/// move or trash the link and leave its file, or copy the link instead of the file.
bool is_symbolic_link(const std::string& path);

/// Syncs the folder's entry table, so that a rename in it survives a crash.
void sync_folder(const std::filesystem::path& folder);

/// rename(2) that never replaces its target; 0 or an errno value.
int rename_no_replace(const char* from, const char* to);

} // namespace core
