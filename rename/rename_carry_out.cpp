#include "rename_engine.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "hash_cache.h"
#include "progress.h"
#include "rename_parts.h"
#include "services.h"
#include "text.h"

namespace renaming {
namespace {

class Carrier {
public:
    Carrier(RenamePlan plan, RenameContext& context)
        : m_plan(std::move(plan)), m_ctx(context), m_log(context.progress) {}

    RenameReport run();

private:
    bool make_folders();
    bool run_batch(const core::Batch& batch);
    void tell_cache(const core::Batch& batch, const core::BatchOutcome& outcome);
    void end_early(core::End end);
    void log_report();
    RenameReport& report() { return m_plan.report; }

    RenamePlan m_plan;
    RenameContext& m_ctx;
    core::Progress& m_log;
};

// Folders the user wanted made for this run; a dry run makes none.
bool Carrier::make_folders() {
    if (!m_ctx.runner.changes_files())
        return true;
    for (const auto& folder : m_plan.folders_to_make) {
        std::error_code ec;
        std::filesystem::create_directories(folder, ec);
        if (ec) {
            report().problems.push_back(
                {folder, "Could not create the folder " + core::quoted(folder), ec.message()});
            report().summary = report().problems.back().text() + "; nothing was renamed.\n";
            return false;
        }
    }
    return true;
}

/// False when the batch was cancelled or Stop was asked for: the rest is left undone.
bool Carrier::run_batch(const core::Batch& batch) {
    auto outcome = m_ctx.runner.run(batch);
    report().not_carried_out +=
        outcome.count(core::ItemResult::Skipped) + outcome.count(core::ItemResult::Failed);
    report().problems.insert(report().problems.end(), outcome.problems.begin(),
                             outcome.problems.end());
    tell_cache(batch, outcome);
    return !outcome.cancelled && !m_log.stop_requested();
}

// A moved file keeps its bytes, so the next run finds it by its new path without reading
// it. A copy is a new file: its source keeps its entry, the copy is read when first met.
void Carrier::tell_cache(const core::Batch& batch, const core::BatchOutcome& outcome) {
    core::HashCache* cache = m_ctx.services.cache();
    if (!cache || batch.op != core::BatchOp::Move || !m_ctx.runner.changes_files())
        return;
    const std::size_t n = std::min({batch.from.size(), batch.to.size(), outcome.items.size()});
    for (std::size_t i = 0; i < n; ++i)
        if (outcome.items[i] == core::ItemResult::Done)
            cache->moved(batch.from[i], batch.to[i]);
}

void Carrier::end_early(core::End end) {
    m_log.log(kAborted);
    for (std::size_t i = m_plan.problems_shown; i < report().problems.size(); ++i)
        m_log.result("\r\n" + report().problems[i].text());
    report().end = end;
}

void Carrier::log_report() {
    const std::string crlf = "\r\n";
    const RenameReport& r = report();
    m_log.result("Files Processed: " + std::to_string(r.files) + " (" +
              std::to_string(r.unrecognized) + " unrecognized)" + crlf);
    m_log.result("Already Renamed Properly: " + std::to_string(r.already_named) + crlf);
    m_log.result("Duplicate Files: " + std::to_string(r.dupes) + crlf);
    if (r.unreadable)
        m_log.result("Files Not Read: " + std::to_string(r.unreadable) + crlf);
    if (r.not_carried_out)
        m_log.result("Not Carried Out: " + std::to_string(r.not_carried_out) + crlf);
    if (m_ctx.window_hints) {
        m_log.log(crlf);
        m_log.log("To view the missing & have lists, click 'View Lists'. You should be able to\r\n"
                  "then click 'Next' to retreive the lists. (You may have to alter the default\r\n"
                  "'ROM Folder' to point to your 'Renamed' folder.)");
    }
    m_log.beep();
}

RenameReport Carrier::run() {
    if (report().end != core::End::Completed)
        return std::move(report());
    m_log.log(kDone);
    m_log.log("Processing files...");
    if (!make_folders()) {
        end_early(core::End::Failed);
        return std::move(report());
    }
    for (const auto& batch : m_plan.batches) {
        if (!run_batch(batch)) {
            end_early(core::End::Stopped);
            return std::move(report());
        }
    }
    m_log.log(kDone);
    for (std::size_t i = m_plan.problems_shown; i < report().problems.size(); ++i)
        m_log.result(report().problems[i].text() + "\r\n");
    m_log.log("\r\n");
    log_report();
    return std::move(report());
}

} // namespace

RenameReport carry_out(RenamePlan plan, RenameContext& context) {
    return Carrier(std::move(plan), context).run();
}

RenameReport rename_roms(const RenameJob& job, RenameContext& context) {
    return carry_out(plan_renames(job, context), context);
}

} // namespace renaming
