#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "batch.h"
#include "journaled_executor.h"
#include "terminal_progress.h"

namespace cli {

struct Context;

/// One item a dry run would carry out.
struct PlannedItem {
    core::BatchOp op = core::BatchOp::Move;
    std::string from;
    std::string to; ///< "" for trash
};

/// "move", "copy", "trash" or "rename member".
std::string_view op_name(core::BatchOp op);

/// Lists what each batch would do on `out`, one line per item (names escaped), or keeps it
/// in `plan` when given; changes nothing and reports every item done, so the engine's
/// report reads as the real run's would:
///   move 'FROM' -> 'TO'
///   copy 'FROM' -> 'TO'
///   trash 'FROM'
class DryRunRunner final : public core::BatchRunner {
public:
    DryRunRunner(TerminalProgress& screen, std::vector<PlannedItem>* plan)
        : m_screen(screen), m_plan(plan) {}
    core::BatchOutcome run(const core::Batch& batch) override;
    bool changes_files() const override { return false; }

private:
    TerminalProgress& m_screen;
    std::vector<PlannedItem>* m_plan;
};

/// --verbose: carries out each batch with `inner`, then prints the dry run's line for every
/// item that was carried out (what was skipped or failed is reported as a problem).
class DoneItemsLog final : public core::BatchRunner {
public:
    DoneItemsLog(core::BatchRunner& inner, TerminalProgress& screen)
        : m_inner(inner), m_screen(screen) {}
    core::BatchOutcome run(const core::Batch& batch) override;

private:
    core::BatchRunner& m_inner;
    TerminalProgress& m_screen;
};

/// How one command carries out its batches.
struct RunChoice {
    bool dry_run = false;
    bool replace = false;    ///< replace existing targets; the old file goes to the trash
    std::string description; ///< what undo will name the run by
    /// The command prints its own document (JSON): the engine's log is not shown, and the
    /// plan of a dry run goes to `plan` instead of to the screen.
    bool no_log = false;
    std::vector<PlannedItem>* plan = nullptr;
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
    std::ostream m_no_log{nullptr}; ///< where the log goes when the command prints a document
    TerminalProgress m_progress;
    ScreenPrompter m_prompter;
    std::optional<core::JournaledExecutor> m_executor;
    std::optional<DryRunRunner> m_dry_run;
    std::optional<DoneItemsLog> m_done_items;
};

} // namespace cli
