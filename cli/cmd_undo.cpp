#include <CLI/CLI.hpp>
#include <ostream>

#include "commands.h"
#include "context.h"
#include "terminal_progress.h"
#include "undo_journal.h"

namespace cli {
namespace {

void undo(Context& ctx) {
    TerminalProgress progress(ctx);
    auto report = core::undo_last_run(core::undo_journal_path(), progress, &ctx.zelcore());
    progress.finish();
    // Nothing to undo is an answer, not a failure.
    if (report.end == core::End::Refused) {
        for (const auto& problem : report.problems)
            ctx.out << problem.text() << '\n';
        return;
    }
    ctx.out << report.summary;
    for (const auto& problem : report.problems)
        ctx.error(problem.text());
    if (report.end == core::End::Stopped)
        ctx.exit_code = kExitInterrupted;
    else if (!report.clean())
        ctx.exit_code = kExitFileError;
}

} // namespace

Command add_undo_command(CLI::App& app, Context& ctx) {
    auto* sub = app.add_subcommand(
        "undo", "Put back what the last rename, sort or unsort did (once): moved files go back, "
                "copies and trashed files return to how they were");
    return {sub, [&ctx] { undo(ctx); }};
}

} // namespace cli
