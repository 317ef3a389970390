#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <unordered_set>

#include "batch.h"

namespace core {

class Progress;
class Prompter;
class UndoJournal;
class Zelcore;

/// What to do when a target already exists when its item comes up.
enum class ConflictPolicy {
    Ask,     ///< ask through the prompter: Replace, Skip, Skip All, Cancel
    Skip,    ///< leave the item where it is and say so
    Replace, ///< replace without asking; the old file goes to the trash
};

struct ExecutorOptions {
    Prompter* prompter = nullptr;   ///< asked about existing targets and missing folders
    UndoJournal* journal = nullptr; ///< every batch is recorded here before it acts
    ConflictPolicy on_conflict = ConflictPolicy::Ask;
    /// Called after each item; lets tests stop a process in the middle of a batch.
    std::function<void(std::size_t index)> after_item;
    /// Polled for Stop between items and between the chunks of a copy; told the bytes of
    /// copies. None when null.
    Progress* progress = nullptr;
    /// Renames members inside archives (RenameMember batches); those fail without it.
    const Zelcore* zelcore = nullptr;
};

/// Carries out batches on the file system, one item after another, never losing a file:
/// a move never replaces an existing file (across file systems it is a copy that is
/// verified and synced before the source goes), a copy never replaces either, a deletion
/// goes to the desktop trash, and a replacement sends the old file to the trash first (and
/// brings it back when the move then fails). A target whose folder is missing is asked
/// about once per folder; the first item going to a folder sweeps it of the part files a
/// killed run left. A symbolic link is never acted on as a source: it is skipped. Stop is
/// polled between items and between the chunks of a copy; the items left are skipped.
/// Every item skipped or failed gets a line in the outcome's problems; a batch that could
/// not be recorded in the journal is not carried out at all, and says so in one line. Never
/// throws for file errors. NOT thread-safe: one batch at a time per executor; the prompter
/// is called on the thread that runs the batch.
class BatchExecutor final : public BatchRunner {
public:
    explicit BatchExecutor(ExecutorOptions options);
    BatchOutcome run(const Batch& batch) override;

private:
    ExecutorOptions m_options;
    std::unordered_set<std::string> m_swept; ///< target folders swept of part files
};

} // namespace core
