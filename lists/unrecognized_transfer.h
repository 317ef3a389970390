#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "outcome.h"
#include "result_tree.h"

namespace core {
class BatchRunner;
class Progress;
class Prompter;
} // namespace core

namespace lists {

/// What the two buttons do with the Unrecognized entries; the values are the buttons'
/// indices.
enum class Transfer { Copy = 0, Move = 1 };

/// When the scan found no unrecognized file, says "Nothing to Do" through `prompter` and
/// gives true: the front end then asks for no folder.
bool nothing_to_transfer(std::size_t unrecognized_count, core::Prompter& prompter);

struct TransferReport {
    std::size_t done = 0;
    std::size_t not_done = 0; ///< skipped, failed, or left when Stop was asked
    /// Stopped when Stop was asked for (what was done stays done); one problem per entry
    /// skipped or failed.
    core::Outcome outcome;
};

/// Moves or copies the file of every Unrecognized entry (hidden ones too) into `folder`
/// in one batch through `runner`, then says "Done" through `prompter`. A move never
/// replaces a file; afterwards an entry whose target exists shows the target's path. A copy
/// replaces an existing target (the old file goes to the trash). An entry that names no
/// absolute path (a record from a session file) or a symbolic link is not touched and
/// counts as not done. Stop is polled before the batch and by the runner between items
/// (the executor is given the same `progress`); a stopped transfer says no "Done".
TransferReport transfer_unrecognized(ResultTree& tree, Transfer transfer, const std::string& folder,
                                     core::Prompter& prompter, core::Progress& progress,
                                     core::BatchRunner& runner);

} // namespace lists
