#pragma once

#include <string>

#include "batch_executor.h"
#include "undo_journal.h"

namespace core {

/// The runner of a real run, from a window or the command line: every batch is written to
/// the undo journal (undo_journal_path()) before it acts, so the run can be taken back, and
/// an existing target is dealt with as `on_conflict` says. Made, it first clears what the
/// last run left when it was killed. Runs on the engine's thread.
class JournaledExecutor final : public BatchRunner {
public:
    /// `description` says what ran ("sort SGENESIS '/roms/'"); undo names the run by it.
    JournaledExecutor(std::string description, Prompter& prompter, Progress& progress,
                      const Zelcore& zelcore, ConflictPolicy on_conflict = ConflictPolicy::Skip);
    BatchOutcome run(const Batch& batch) override { return m_executor.run(batch); }

private:
    UndoJournal m_journal;
    BatchExecutor m_executor;
};

} // namespace core
