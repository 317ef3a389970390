#pragma once

#include <filesystem>

#include "result.h"

namespace core {

/// Moves a file to a path that must be free: an existing file there is never replaced
/// (the error's code is then Exists). Across file systems the file is copied to a private
/// name beside the target, synced, read back and compared, put in place, and only then is
/// the source removed. On any failure the source stays and no partial copy is left.
Status move_no_replace(const std::filesystem::path& from, const std::filesystem::path& to);

/// Copies a file the same careful way; the source stays. Mode and times are kept.
Status copy_no_replace(const std::filesystem::path& from, const std::filesystem::path& to);

/// True when both paths name the same file (the same inode), e.g. "game.bin" and
/// "Game.bin" on a file system that ignores letter case.
bool same_file(const std::filesystem::path& a, const std::filesystem::path& b);

/// True when something (a file, a folder, a dangling link) has this name.
bool path_taken(const std::filesystem::path& path);

/// Syncs the folder's entry table, so that a rename in it survives a crash.
void sync_folder(const std::filesystem::path& folder);

/// rename(2) that never replaces its target; 0 or an errno value.
int rename_no_replace(const char* from, const char* to);

} // namespace core
