#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "batch.h"
#include "outcome.h"
#include "rdbs.h"
#include "zdb.h"

namespace core {
class Progress;
class Prompter;
class Services;
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

    /// Folders given for this run only (a command line's options) rather than stored: when
    /// one is missing the user is asked whether to make it, and a No refuses the run.
    struct GivenForRun {
        bool rename_folder = false;
        bool unrecognized_folder = false;
        bool dupe_folder = false;
    } given_for_run;
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
};

/// How a run ended, its problems and its counts. The summary stays empty: the log's
/// report block (or "aborted.") says it, and the message boxes say why a run was refused,
/// except for a folder given for this run that was not made, which the summary names.
struct RenameReport : core::Outcome {
    std::size_t files = 0; ///< Files Processed
    std::size_t unrecognized = 0;
    std::size_t already_named = 0;
    std::size_t dupes = 0;
    std::size_t unreadable = 0; ///< files that could not be identified
    /// Items not carried out: skipped or failed in a batch, or left where they are because
    /// their name is taken by a different file.
    std::size_t not_carried_out = 0;
    std::size_t links = 0;      ///< symbolic links left alone
    std::string missing_folder; ///< the folder given for this run that refused it, if any
};

/// A run's plan: every batch in the order it is carried out, each cut where the pending
/// lists outgrew their limit ("clearing buffer..."), a member rename before the batch
/// that moves its archive. A front end may show it before it is carried out.
struct RenamePlan {
    std::vector<std::string> folders_to_make; ///< folders given for this run, made first
    std::vector<core::Batch> batches;
    std::size_t problems_shown = 0; ///< how many of the report's problems the log showed
    /// Completed when there is something to carry out (even nothing); Stopped or Refused
    /// otherwise, with the counts and problems known so far.
    RenameReport report;
};

/// What a run needs from whoever runs it.
struct RenameContext {
    core::Services& services; ///< the helper library, the checksum cache, the notices
    core::Prompter& prompter;
    core::Progress& progress;  ///< log text, progress bar, Stop button
    core::BatchRunner& runner; ///< carries out the batches (or only lists them)
    /// The report's closing hint points at the window's View Lists button; a front end
    /// without one leaves it out.
    bool window_hints = true;
};

/// Identifies every ROM file of the source folder (with its sub-folders when recursive, and
/// one-ROM ZIP archives), gives each its database name and plans where renamed files,
/// duplicates and unrecognised files go, as the settings say. Changes no file; logs the
/// run up to the end of matching through `context.progress`. Symbolic links are listed as
/// skipped and never renamed, counted or taken for a duplicate. Runs on the caller's thread
/// (a worker thread in a window) and calls `context` from it only; Stop is looked at before
/// each file of the collection and of each matching pass.
RenamePlan plan_renames(const RenameJob& job, RenameContext& context);

/// Carries out a completed plan through `context.runner`, batch after batch, then logs
/// the problems and the report. A plan that did not complete is handed back as it is.
/// Stop is looked at between batches (and by the runner inside them).
RenameReport carry_out(RenamePlan plan, RenameContext& context);

/// Plans and carries out one run.
RenameReport rename_roms(const RenameJob& job, RenameContext& context);

} // namespace renaming
