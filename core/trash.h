#pragma once

#include <filesystem>
#include <string>

#include "result.h"

namespace core {

/// A file in the desktop trash (the freedesktop.org trash layout), as the undo journal
/// records it.
struct TrashedFile {
    std::string original; ///< where the file was
    std::string trashed;  ///< where it lies in the trash's files/ folder
    std::string info;     ///< its .trashinfo file
};

/// The home trash: $XDG_DATA_HOME/Trash, or ~/.local/share/Trash.
std::filesystem::path home_trash();

/// First half of trashing: picks the file's place in the trash of its own file system and
/// writes the .trashinfo that names the original, so that the trash can always say where a
/// file came from. Nothing has moved yet. A file is never deleted outright: when its file
/// system has no usable trash, this fails.
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
