#pragma once

// The parts of a rename run, shared by the files of this folder only.

#include <string>
#include <string_view>
#include <vector>

#include "batch.h"
#include "outcome.h"

namespace core {
class Prompter;
}

namespace renaming {

struct RenameJob;

inline constexpr std::string_view kDone = "done.\r\n";
inline constexpr std::string_view kAborted = "aborted.";
inline constexpr std::string_view kClearing = "clearing buffer...";

/// The folders of one run, each ending in the separator, and what it does with its files.
struct RunFolders {
    core::BatchOp op = core::BatchOp::Move; ///< for renamed and unrecognised files
    std::string source;
    std::string target;
    std::string unrecognized;         ///< "" when unrecognised files stay
    std::string dupes;                ///< a folder, "" (they stay) or core::kDeleteDupes
    std::vector<std::string> to_make; ///< folders given for this run that the user wants made
    core::Problems problems;          ///< stored folders that were not found
    bool refused = false;             ///< the run does not start
    std::string refused_by;           ///< the folder given for this run that was not wanted
};

/// Chooses the run's folders and operation as the settings say, telling the user about
/// missing folders and the CD-ROM rule through `prompter`.
RunFolders prepare_folders(const RenameJob& job, core::Prompter& prompter);

} // namespace renaming
