#include "unrecognized_transfer.h"

#include <filesystem>
#include <optional>
#include <system_error>

#include "batch.h"
#include "file_move.h"
#include "progress.h"
#include "prompter.h"
#include "settings.h"
#include "text.h"

namespace lists {
namespace {

namespace fs = std::filesystem;

// A target that is the source itself (the file already lies in the chosen folder) would,
// for a copy, send the only file to the trash before copying it onto itself.
bool same_place(const std::string& from, const std::string& to) {
    if (fs::path(from).lexically_normal() == fs::path(to).lexically_normal())
        return true;
    std::error_code ec;
    return core::path_taken(to) && fs::equivalent(from, to, ec);
}

/// The batch being planned, and which entry each of its items belongs to.
struct Plan {
    core::Batch batch;
    std::vector<std::size_t> entries;
    TransferReport report;

    void skip(const fs::path& source, std::string why) {
        ++report.not_done;
        report.outcome.problems.push_back(
            {source.string(), "Skipped " + core::quoted(source), std::move(why)});
    }
};

// Gives the target of one entry, or nothing (with its problem line) when it cannot go.
std::optional<std::string> target_of(const std::string& from, const std::string& folder,
                                     Plan& plan) {
    const fs::path source(from);
    if (!source.is_absolute()) {
        // A session record holds only the stored name; as a path it would name a file of
        // whatever folder the program runs in.
        plan.skip(source, "it came from a session file and names no folder.");
        return std::nullopt;
    }
    if (!fs::path(folder).is_absolute()) {
        plan.skip(source, "the folder " + core::quoted(folder) + " is not a full path.");
        return std::nullopt;
    }
    if (!source.has_filename()) {
        plan.skip(source, "it names no file.");
        return std::nullopt;
    }
    if (core::is_symbolic_link(from)) {
        plan.skip(source, "it is a symbolic link.");
        return std::nullopt;
    }
    std::string to = core::add_backslash(folder) + source.filename().string();
    if (same_place(from, to)) {
        plan.skip(source, "it is already in " + core::quoted(core::add_backslash(folder)) + ".");
        return std::nullopt;
    }
    return to;
}

Plan plan_transfer(const ResultTree& tree, Transfer transfer, const std::string& folder) {
    Plan plan;
    plan.batch.op = transfer == Transfer::Move ? core::BatchOp::Move : core::BatchOp::Copy;
    // A move never replaces a file; a copy overwrites, and the trash keeps what it replaced.
    plan.batch.existing =
        transfer == Transfer::Move ? core::ExistingTarget::Skip : core::ExistingTarget::Replace;
    for (std::size_t entry : tree.children(ResultTree::kUnrecognized)) {
        const std::string& from = tree.node(entry).text;
        auto to = target_of(from, folder, plan);
        if (!to)
            continue;
        plan.batch.from.push_back(from);
        plan.batch.to.push_back(std::move(*to));
        plan.entries.push_back(entry);
    }
    return plan;
}

// Items a stopped runner never came to count as not done, whether or not it listed them.
void count_outcome(const core::BatchOutcome& outcome, std::size_t planned, TransferReport& report) {
    std::size_t done = outcome.count(core::ItemResult::Done);
    report.done += done;
    report.not_done += planned - done;
    report.outcome.problems.insert(report.outcome.problems.end(), outcome.problems.begin(),
                                   outcome.problems.end());
}

// Whether or not its own move worked, an entry whose file name now exists in the folder
// shows that file: the list then points at what the user finds there.
void follow_moves(ResultTree& tree, const Plan& plan) {
    for (std::size_t i = 0; i < plan.entries.size(); ++i)
        if (core::path_taken(plan.batch.to[i]))
            tree.set_text(plan.entries[i], plan.batch.to[i]);
}

// Runs the planned batch, then follows the moves; false when Stop ended it or came first.
bool carry_out(Plan& plan, ResultTree& tree, core::Progress& progress, core::BatchRunner& runner) {
    const std::size_t planned = plan.batch.from.size();
    if (progress.stop_requested()) {
        plan.report.not_done += planned;
        return false;
    }
    if (planned == 0)
        return true;
    progress.step(0, planned);
    const core::BatchOutcome outcome = runner.run(plan.batch);
    count_outcome(outcome, planned, plan.report);
    progress.step(planned, planned);
    if (plan.batch.op == core::BatchOp::Move && runner.changes_files())
        follow_moves(tree, plan);
    return !outcome.stopped;
}

} // namespace

bool nothing_to_transfer(std::size_t unrecognized_count, core::Prompter& prompter) {
    if (unrecognized_count != 0)
        return false;
    prompter.ask({"You have no unrecognized ROMs to move or copy.", "Nothing to Do",
                  core::Message::Icon::Information, core::Message::Buttons::Ok});
    return true;
}

TransferReport transfer_unrecognized(ResultTree& tree, Transfer transfer, const std::string& folder,
                                     core::Prompter& prompter, core::Progress& progress,
                                     core::BatchRunner& runner) {
    Plan plan = plan_transfer(tree, transfer, folder);
    if (!carry_out(plan, tree, progress, runner)) {
        plan.report.outcome.end = core::End::Stopped;
        return std::move(plan.report);
    }
    prompter.ask({"Files have been processed.", "Done", core::Message::Icon::Information,
                  core::Message::Buttons::Ok});
    return std::move(plan.report);
}

} // namespace lists
