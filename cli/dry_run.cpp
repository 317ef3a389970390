#include "dry_run.h"

#include "context.h"
#include "json_output.h"
#include "text.h"

namespace cli {
namespace {

std::string shown(const std::string& name) {
    return core::quoted(escaped(name));
}

std::string planned_line(const core::Batch& batch, std::size_t i) {
    std::string line(op_name(batch.op));
    if (batch.op == core::BatchOp::RenameMember)
        line += " of";
    line += " " + shown(batch.from[i]);
    if (batch.op != core::BatchOp::Delete)
        line += " -> " + shown(batch.to[i]);
    return line;
}

} // namespace

std::string_view op_name(core::BatchOp op) {
    switch (op) {
    case core::BatchOp::Move:
        return "move";
    case core::BatchOp::Copy:
        return "copy";
    case core::BatchOp::RenameMember:
        return "rename member";
    case core::BatchOp::Delete:
        break;
    }
    return "trash";
}

core::BatchOutcome DryRunRunner::run(const core::Batch& batch) {
    core::BatchOutcome outcome;
    for (std::size_t i = 0; i < batch.from.size(); ++i) {
        if (m_plan)
            m_plan->push_back({batch.op, batch.from[i],
                               batch.op == core::BatchOp::Delete ? std::string() : batch.to[i]});
        else
            m_screen.print_line(planned_line(batch, i));
        outcome.items.push_back(core::ItemResult::Done);
    }
    return outcome;
}

core::BatchOutcome DoneItemsLog::run(const core::Batch& batch) {
    auto outcome = m_inner.run(batch);
    for (std::size_t i = 0; i < outcome.items.size() && i < batch.from.size(); ++i)
        if (outcome.items[i] == core::ItemResult::Done)
            m_screen.print_line(planned_line(batch, i));
    return outcome;
}

FileRun::FileRun(Context& ctx, const RunChoice& choice)
    : m_progress(choice.no_log ? m_no_log : ctx.out, ctx.err, draws_bar_on(ctx.err), ctx.quiet),
      m_prompter(*ctx.prompter, m_progress) {
    if (choice.dry_run) {
        m_dry_run.emplace(m_progress, choice.plan);
        return;
    }
    m_executor.emplace(choice.description, m_prompter, m_progress, ctx.zelcore(),
                       choice.replace ? core::ConflictPolicy::Replace : core::ConflictPolicy::Skip);
    if (ctx.verbose && !choice.no_log)
        m_done_items.emplace(*m_executor, m_progress);
}

core::BatchRunner& FileRun::runner() {
    if (m_dry_run)
        return *m_dry_run;
    if (m_done_items)
        return *m_done_items;
    return *m_executor;
}

} // namespace cli
