#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

#include "rdbs.h"
#include "zdb.h"

namespace core {
class BatchRunner;
class HashCache;
class Progress;
class Prompter;
class Zelcore;
} // namespace core

namespace renaming {

/// The settings that steer one rename run, as stored for a system in the settings file.
/// Front ends may override any of them for one run.
struct RenameSettings {
    bool copy_instead = false;       ///< CopyInstead = "1"
    bool rename_in_zip = false;      ///< general RenameROMsInZip = "1"
    bool move_renamed = false;       ///< MoveRenamedFiles not "0"
    std::string rename_folder;       ///< RenameFolder (default: the current folder)
    bool move_unrecognized = false;  ///< MoveUnrecognized = "1"
    std::string unrecognized_folder; ///< UnrecognizedFolder
    bool move_dupes = false;         ///< MoveDupes = "True"
    std::string dupe_folder;         ///< DupeFolder
    bool delete_dupes = false;       ///< DeleteDupes = "True"
    bool recursive = false;          ///< general RenameWithRecursion "1" or "True"
};

/// Reads the settings of `system_id` (and the general ones) from `settings_file`, or from
/// the home's settings file when empty.
RenameSettings read_rename_settings(std::string_view system_id, std::string_view current_folder,
                                    const std::filesystem::path& settings_file = {});

struct RenameJob {
    core::SystemEntry system;  ///< the selected system and its database file
    std::string source_folder; ///< the current folder
    RenameSettings settings;
    unsigned threads = 0; ///< files hashed at once; 0: one per core
    /// The database's first-load notice; none when null (the command-line program).
    const core::FirstLoadNotice* notice = nullptr;
    /// Known CRC texts, told the new paths of the files moved; none when null.
    core::HashCache* cache = nullptr;
};

struct RenameReport {
    enum class End { Completed, Stopped, Refused };
    End end = End::Completed;
    std::size_t files = 0; ///< Files Processed
    std::size_t unrecognized = 0;
    std::size_t already_named = 0;
    std::size_t dupes = 0;
    std::size_t unreadable = 0;      ///< files that could not be identified
    std::size_t not_carried_out = 0; ///< planned items that were skipped or failed
};

/// What a run needs from whoever runs it.
struct RenameServices {
    const core::Zelcore& zelcore;
    core::Prompter& prompter;
    core::Progress& progress;  ///< log text, progress bar, Stop button
    core::BatchRunner& runner; ///< carries out the batches (or only lists them)
};

/// Identifies every ROM file of the source folder (with its sub-folders when recursive, and
/// one-ROM ZIP archives) and gives each its database name, placing renamed files,
/// duplicates and unrecognised files as the settings say. All file operations go through
/// `services.runner` in batches; the log is written through `services.progress`.
RenameReport rename_roms(const RenameJob& job, RenameServices& services);

} // namespace renaming
