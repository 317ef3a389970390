#include "journaled_executor.h"

#include "run_litter.h"

namespace core {

JournaledExecutor::JournaledExecutor(std::string description, Prompter& prompter,
                                     Progress& progress, const Zelcore& zelcore,
                                     ConflictPolicy on_conflict)
    : m_journal(undo_journal_path(), std::move(description)),
      m_executor({.prompter = &prompter,
                  .journal = &m_journal,
                  .on_conflict = on_conflict,
                  .after_item = {},
                  .progress = &progress,
                  .zelcore = &zelcore}) {
    finish_killed_run(undo_journal_path(), progress);
}

} // namespace core
