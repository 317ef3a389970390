#pragma once

#include <optional>
#include <string>

#include "batch.h"
#include "journaled_executor.h"
#include "terminal_progress.h"

namespace cli {

struct Context;

/// Lists what each batch would do on `out`, one line per item, changes nothing and
/// reports every item done, so the engine's report reads as the real run's would:
///   move 'FROM' -> 'TO'
///   copy 'FROM' -> 'TO'
///   trash 'FROM'
class DryRunRunner final : public core::BatchRunner {
public:
    explicit DryRunRunner(TerminalProgress& screen) : m_screen(screen) {}
    core::BatchOutcome run(const core::Batch& batch) override;
    bool changes_files() const override { return false; }

private:
    TerminalProgress& m_screen;
};

/// How one command carries out its batches.
struct RunChoice {
    bool dry_run = false;
    bool replace = false;    ///< replace existing targets; the old file goes to the trash
    std::string description; ///< what undo will name the run by
};

/// What a command that moves files hands its engine: the screen (log, bar, Ctrl-C), a
/// prompter that keeps the screen tidy, and the runner of its batches: the executor that
/// records the undo journal, or a dry run that writes no journal.
class FileRun {
public:
    FileRun(Context& ctx, const RunChoice& choice);
    FileRun(const FileRun&) = delete;
    FileRun& operator=(const FileRun&) = delete;

    TerminalProgress& progress() { return m_progress; }
    core::Prompter& prompter() { return m_prompter; }
    core::BatchRunner& runner();

private:
    TerminalProgress m_progress;
    ScreenPrompter m_prompter;
    std::optional<core::JournaledExecutor> m_executor;
    std::optional<DryRunRunner> m_dry_run;
};

} // namespace cli
