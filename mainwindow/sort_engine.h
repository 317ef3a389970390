#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "batch.h"
#include "outcome.h"
#include "progress.h"
#include "prompter.h"

namespace sorting {

/// What a sort or unsort works on: the folder shown and the file filter of the view.
struct SortJob {
    std::string current_folder;       ///< a trailing separator is added when missing
    std::string system_id;            ///< selects the rule file's section besides "all"
    std::string file_filter;          ///< `;`-separated patterns, as the file list uses
    std::filesystem::path rules_file; ///< "sort.ini" in the application home when empty
};

/// How a sort or unsort ended. `outcome.end` is
///  - Completed: the run went through; some files may have stayed (see the problems);
///  - Refused: a rule file or the folder is missing or unreadable, or the user answered No
///    (`declined`): nothing moved;
///  - Stopped: Stop was asked for, or the user cancelled a question of the runner; the files
///    moved so far stay moved.
/// The problems say why files stayed, one each, with the lines the log shows. The summary
/// is the run's closing line, for the front end to show; it is not logged.
struct SortReport {
    core::Outcome outcome;
    bool declined = false; ///< Refused because the user answered No to the question
    std::size_t moved = 0; ///< files that now lie in their new folder
    /// Sort: files of the list that did not move (no rule matched, or they could not).
    /// Unsort: files of the sub-folders that did not come up. Symbolic links are not files
    /// here: they are never moved and only named in the problems.
    std::size_t left = 0;
};

/// Moves each file of the current folder that a rule matches into the rule's sub-folder,
/// creating it (and one missing folder above it) when needed. The moves are one batch of
/// the runner, in the file list's order. Every message box goes through `prompter`; every
/// file that stays for a reason gets a line in `progress`. Stop is polled between the files
/// planned, and the runner polls it between its items. A runner that does not change files
/// (a dry run) gets the same batch, and no folder is made.
SortReport sort_roms(const SortJob& job, core::Prompter& prompter, core::Progress& progress,
                     core::BatchRunner& runner);

/// Moves the files of all sub-folders of the current folder, at any depth, up into the
/// current folder, deepest folders first, as one batch of the runner. A name that already
/// exists there is the runner's to refuse (it is expected to skip such targets). Refuses to
/// start without a current folder: it never walks from anywhere else.
SortReport unsort_roms(const SortJob& job, core::Prompter& prompter, core::Progress& progress,
                       core::BatchRunner& runner);

} // namespace sorting
