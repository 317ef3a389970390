#include "rename_work.h"

#include "job_context.h"
#include "journaled_executor.h"
#include "services.h"
#include "text.h"
#include "undo_journal.h"
#include "zdb.h"

namespace renaming {
namespace {

// Planning carries out nothing; a batch reaching this runner would be a mistake.
class NoRunner final : public core::BatchRunner {
public:
    core::BatchOutcome run(const core::Batch& batch) override {
        core::BatchOutcome outcome;
        outcome.items.assign(batch.from.size(), core::ItemResult::Skipped);
        outcome.cancelled = true;
        return outcome;
    }
    bool changes_files() const override { return false; }
};

} // namespace

RenameJob job_for(const ui::JobContext& context) {
    RenameJob job;
    if (const core::SystemEntry* system = context.system())
        job.system = *system;
    job.source_folder = context.current_folder;
    job.settings = read_rename_settings(job.system.id, job.source_folder);
    return job;
}

RenamePlan plan_in_window(RenameJob job, core::Services& services, core::Progress& progress,
                          core::Prompter& prompter) {
    const core::FirstLoadNotice notice{job.system.id, &prompter, {}};
    job.notice = &notice;
    NoRunner runner;
    RenameContext context{services, prompter, progress, runner};
    return plan_renames(job, context);
}

RenameReport carry_out_in_window(RenamePlan plan, const RenameJob& job, core::Services& services,
                                 core::Progress& progress, core::Prompter& prompter) {
    core::JournaledExecutor executor("rename " + job.system.id + " " +
                                         core::quoted(job.source_folder),
                                     prompter, progress, services.zelcore());
    RenameContext context{services, prompter, progress, executor};
    return carry_out(std::move(plan), context);
}

} // namespace renaming
