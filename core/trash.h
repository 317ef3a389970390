#pragma once

#include <filesystem>
#include <set>
#include <string>

#include "result.h"

namespace core {

/// A file in the desktop trash (the freedesktop.org trash layout), as the undo journal
/// records it.
struct TrashedFile {
    std::string original; ///< where the file was
    std::string trashed;  ///< where it lies in the trash's files/ folder
    std::string info;     ///< its .trashinfo file
    std::string base;     ///< what the info's Path= is relative to; empty: none. Not recorded.
};

/// The home trash: $XDG_DATA_HOME/Trash, or ~/.local/share/Trash.
std::filesystem::path home_trash();

/// Picks the file's place in the trash of its own file system: a name free in files/ and
/// info/ whose info path is not among `planned`. Nothing is written, so that the place can
/// be recorded before anything of it exists. A file is never deleted outright: when its
/// file system has no usable trash, this fails.
Result<TrashedFile> plan_trash(const std::filesystem::path& file,
                               const std::set<std::string>& planned = {});
/// Writes the .trashinfo that names the original, so that the trash can always say where
/// the file came from; fails when something took the name since it was picked.
Status write_trash_info(const TrashedFile& file);
/// First half of trashing: both of the above. Nothing has moved yet.
Result<TrashedFile> prepare_trash(const std::filesystem::path& file);
/// Second half: moves the file into the trash. On failure the .trashinfo is removed again.
Status commit_trash(const TrashedFile& file);
/// Undoes a prepare_trash whose commit never came.
void abandon_trash(const TrashedFile& file);
/// The same for a place that a killed run prepared: its .trashinfo goes only while no file
/// lies at its place in files/ and the info still names `file.original`. True when removed.
bool remove_unused_info(const TrashedFile& file);

/// Both halves at once.
Result<TrashedFile> move_to_trash(const std::filesystem::path& file);

/// Puts a trashed file back where it was, never replacing a file there, and removes its
/// .trashinfo.
Status restore_from_trash(const TrashedFile& file);

} // namespace core
