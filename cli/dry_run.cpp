#include "dry_run.h"

#include "context.h"
#include "text.h"

namespace cli {
namespace {

std::string planned_item(const core::Batch& batch, std::size_t i) {
    switch (batch.op) {
    case core::BatchOp::Move:
        return "move " + core::quoted(batch.from[i]) + " -> " + core::quoted(batch.to[i]);
    case core::BatchOp::Copy:
        return "copy " + core::quoted(batch.from[i]) + " -> " + core::quoted(batch.to[i]);
    case core::BatchOp::RenameMember:
        return "rename member of " + core::quoted(batch.from[i]) + " -> " +
               core::quoted(batch.to[i]);
    case core::BatchOp::Delete:
        break;
    }
    return "trash " + core::quoted(batch.from[i]);
}

} // namespace

core::BatchOutcome DryRunRunner::run(const core::Batch& batch) {
    core::BatchOutcome outcome;
    for (std::size_t i = 0; i < batch.from.size(); ++i) {
        m_screen.print_line(planned_item(batch, i));
        outcome.items.push_back(core::ItemResult::Done);
    }
    return outcome;
}

FileRun::FileRun(Context& ctx, const RunChoice& choice)
    : m_progress(ctx.out, ctx.err, draws_bar_on(ctx.err)), m_prompter(*ctx.prompter, m_progress) {
    if (choice.dry_run) {
        m_dry_run.emplace(m_progress);
        return;
    }
    m_executor.emplace(choice.description, m_prompter, m_progress, ctx.zelcore(),
                       choice.replace ? core::ConflictPolicy::Replace : core::ConflictPolicy::Skip);
}

core::BatchRunner& FileRun::runner() {
    if (m_dry_run)
        return *m_dry_run;
    return *m_executor;
}

} // namespace cli
