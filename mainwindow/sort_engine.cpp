#include "sort_engine.h"

#include <map>
#include <optional>
#include <system_error>

#include "app_home.h"
#include "folder_walk.h"
#include "result.h"
#include "settings.h"
#include "sort_rules.h"
#include "text.h"

namespace sorting {
namespace {

namespace fs = std::filesystem;
using core::Message;

void log_line(core::Progress& progress, const std::string& line) {
    progress.result(line + "\r\n");
}

void tell(core::Prompter& prompter, std::string text, std::string title) {
    prompter.ask(
        {std::move(text), std::move(title), Message::Icon::Exclamation, Message::Buttons::Ok});
}

void tell_missing_folder(core::Prompter& prompter) {
    tell(prompter, "You need to first setup a base folder!", "Missing a folder.");
}

bool confirmed(core::Prompter& prompter, std::string_view verb, const std::string& folder,
               std::string_view what) {
    std::string text = "You are about to " + std::string(verb) + " all files in \"" + folder +
                       "\"\r\r" + std::string(what) +
                       "\rThis could be destructive if you are currently in the wrong "
                       "folder.\r\rDo you wish to continue?";
    return prompter.ask({std::move(text), "Confirmation", Message::Icon::Question,
                         Message::Buttons::YesNo}) == core::Answer::Yes;
}

// The current folder with its trailing separator, or "" when it names no existing folder.
// An unset value is never taken for the root.
std::string existing_current_folder(const std::string& folder) {
    return core::is_existing_folder(folder) ? core::add_backslash(folder) : std::string();
}

// Whether a path of the walk lies in `folder` itself rather than in a sub-folder.
bool in_folder(const std::string& path, const std::string& folder) {
    return path.rfind(core::kSeparator) + 1 == folder.size();
}

std::string files(std::size_t n) {
    return n == 1 ? "1 file" : std::to_string(n) + " files";
}

core::Error cannot_make(const fs::path& folder, std::string_view why) {
    return core::Error::failed("Cannot make the folder " + core::quoted(folder) + ": " +
                               std::string(why) + ".");
}

/// The moves of a sort, and the folders made for them so far.
struct SortPlan {
    core::Batch batch{core::BatchOp::Move, {}, {}};
    bool make_folders = true;     ///< false for a runner that only lists its batches
    std::vector<fs::path> made{}; ///< in the order made

    core::Status make_folder(const fs::path& folder);
    core::Status make_target_folder(const std::string& folder);
    /// Takes away the folders made that are still empty, deepest first.
    void remove_made_folders() const;
};

core::Status SortPlan::make_folder(const fs::path& folder) {
    std::error_code ec;
    if (fs::is_directory(folder, ec))
        return {};
    if (fs::exists(fs::symlink_status(folder, ec)))
        return cannot_make(folder, "something that is not a folder has its name");
    if (!make_folders)
        return {};
    if (!fs::create_directory(folder, ec) && ec)
        return cannot_make(folder, ec.message());
    made.push_back(folder);
    return {};
}

// A missing target folder is made, and so is a missing folder right above it; a deeper
// gap is more likely a mistyped rule than a wish for a tree of new folders. A runner that
// only lists its batches gets the same answers without a folder being made.
core::Status SortPlan::make_target_folder(const std::string& folder) {
    const fs::path target = fs::path(folder).parent_path(); // drops the trailing separator
    std::error_code ec;
    if (fs::is_directory(target, ec))
        return {};
    const fs::path parent = target.parent_path();
    if (!fs::is_directory(parent, ec) && !fs::is_directory(parent.parent_path(), ec))
        return cannot_make(target, "more than one folder above it is missing");
    if (auto made_parent = make_folder(parent); !made_parent)
        return made_parent;
    return make_folder(target);
}

void SortPlan::remove_made_folders() const {
    for (auto it = made.rbegin(); it != made.rend(); ++it) {
        std::error_code ec;
        fs::remove(*it, ec); // a folder that holds something is not removed
    }
}

void note(SortReport& report, core::Progress& progress, core::Problem problem) {
    log_line(progress, problem.text());
    report.outcome.problems.push_back(std::move(problem));
}

void note_stay(SortReport& report, core::Progress& progress, const std::string& why,
               const std::string& folder, const std::string& name) {
    note(
        report, progress,
        core::Problem::line(why + " " + core::quoted(name) + " stays where it is.", folder + name));
}

// A link is never moved: its file would stay behind, or leave the place the link points at.
void note_link(SortReport& report, core::Progress& progress, const std::string& path,
               const std::string& shown) {
    note(report, progress, core::Problem::link_left_alone(path, shown));
}

// Plans the move of one file of the sorted folder, or says why it stays. A symbolic link
// that a rule would move is only named.
void plan_sort(const std::string& folder, const std::string& name, bool link,
               const std::vector<SortRule>& rules, SortPlan& plan, SortReport& report,
               core::Progress& progress) {
    const SortRule* rule = first_matching_rule(rules, name);
    if (!rule)
        return;
    auto target = rule_target_folder(folder, *rule);
    if (!target) {
        note_stay(report, progress, target.error().message, folder, name);
        return;
    }
    if (*target == folder) // a rule without a sub-folder keeps its files here
        return;
    if (link) {
        note_link(report, progress, folder + name, name);
        return;
    }
    if (auto made = plan.make_target_folder(*target); !made) {
        note_stay(report, progress, made.error().message, folder, name);
        return;
    }
    plan.batch.from.push_back(folder + name);
    plan.batch.to.push_back(*target + name);
}

// One batch for the whole run, so the runner's journal can undo it as one step.
void run_batch(const core::Batch& batch, core::BatchRunner& runner, SortReport& report,
               core::Progress& progress) {
    if (batch.from.empty())
        return;
    if (progress.stop_requested()) {
        report.outcome.end = core::End::Stopped;
        return;
    }
    progress.step(0, batch.from.size());
    const core::BatchOutcome outcome = runner.run(batch);
    progress.step(batch.from.size(), batch.from.size());
    report.moved = outcome.count(core::ItemResult::Done);
    for (const auto& problem : outcome.problems)
        note(report, progress, problem);
    if (outcome.cancelled || outcome.stopped)
        report.outcome.end = core::End::Stopped;
}

SortReport ended(core::End end, bool declined = false) {
    SortReport report;
    report.outcome.end = end;
    report.declined = declined;
    return report;
}

SortReport stopped(SortReport report) {
    report.outcome.end = core::End::Stopped;
    return report;
}

// The rule file, the folder, readable rules and the user's yes, in that order, so that no
// question is asked for a run that cannot start; a report when the run may not start.
std::optional<SortReport> refuse_sort(const fs::path& rules_file, const SortJob& job,
                                      const std::string& folder, core::Prompter& prompter,
                                      std::vector<SortRule>& rules) {
    std::error_code ec;
    if (!fs::is_regular_file(rules_file, ec)) {
        tell(prompter, "Sort.ini was not found!", "Missing a file.");
        return ended(core::End::Refused);
    }
    if (folder.empty()) {
        tell_missing_folder(prompter);
        return ended(core::End::Refused);
    }
    auto loaded = load_sort_rules(rules_file, job.system_id);
    if (!loaded) {
        tell(prompter, "Sort.ini could not be read!\r" + loaded.error().message,
             "Cannot read a file.");
        return ended(core::End::Refused);
    }
    if (!confirmed(prompter, "sort", folder,
                   "This will sort the files in this folder by moving them to categorized "
                   "subfolders."))
        return ended(core::End::Refused, true);
    rules = std::move(*loaded);
    return std::nullopt;
}

// Plans every file, then every link, of the folder; false when Stop was asked for first.
bool plan_folder(const std::string& folder, const SortJob& job, const std::vector<SortRule>& rules,
                 SortPlan& plan, SortReport& report, core::Progress& progress) {
    std::vector<std::string> links;
    const auto names = core::list_folder_files(folder, job.file_filter, &links);
    report.left = names.size();
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (progress.stop_requested())
            return false;
        progress.step(i + 1, names.size());
        plan_sort(folder, names[i], false, rules, plan, report, progress);
    }
    for (const auto& name : links)
        plan_sort(folder, name, true, rules, plan, report, progress);
    return true;
}

// Moves the files the rules match, as one batch; a stopped sort leaves no empty folder of its
// own behind.
SortReport sort_folder(const std::string& folder, const SortJob& job,
                       const std::vector<SortRule>& rules, core::Progress& progress,
                       core::BatchRunner& runner) {
    SortReport report;
    SortPlan plan;
    plan.make_folders = runner.changes_files();
    if (!plan_folder(folder, job, rules, plan, report, progress)) {
        plan.remove_made_folders();
        return stopped(std::move(report));
    }
    run_batch(plan.batch, runner, report, progress);
    if (report.outcome.end == core::End::Stopped)
        plan.remove_made_folders();
    report.left -= report.moved;
    report.outcome.summary = "Sorted " + files(report.moved) + " into category folders; " +
                             std::to_string(report.left) + " left where they were.\n";
    return report;
}

// Every file of the sub-folders comes up into `folder`, in the walk's order: deepest first.
core::Batch plan_unsort(const std::string& folder, const std::vector<std::string>& found) {
    core::Batch batch{core::BatchOp::Move, {}, {}};
    for (const auto& path : found) {
        if (in_folder(path, folder))
            continue;
        batch.from.push_back(path);
        batch.to.push_back(folder + path.substr(path.rfind(core::kSeparator) + 1));
    }
    return batch;
}

} // namespace

SortReport sort_roms(const SortJob& job, core::Prompter& prompter, core::Progress& progress,
                     core::BatchRunner& runner) {
    const fs::path rules_file =
        job.rules_file.empty() ? core::app_home() / "sort.ini" : job.rules_file;
    const std::string folder = existing_current_folder(job.current_folder);
    std::vector<SortRule> rules;
    if (auto refused = refuse_sort(rules_file, job, folder, prompter, rules))
        return std::move(*refused);
    return sort_folder(folder, job, rules, progress, runner);
}

SortReport unsort_roms(const SortJob& job, core::Prompter& prompter, core::Progress& progress,
                       core::BatchRunner& runner) {
    const std::string folder = existing_current_folder(job.current_folder);
    if (folder.empty()) {
        tell_missing_folder(prompter);
        return ended(core::End::Refused);
    }
    if (!confirmed(prompter, "unsort", folder,
                   "This will unsort the files in all sub folders by moving them to the "
                   "current folder."))
        return ended(core::End::Refused, true);

    std::vector<std::string> found, links;
    core::dive_folder(folder, job.file_filter, found, &progress, &links);
    if (progress.stop_requested())
        return ended(core::End::Stopped);

    SortReport report;
    for (const auto& path : links)
        if (!in_folder(path, folder))
            note_link(report, progress, path, path);
    const core::Batch batch = plan_unsort(folder, found);
    run_batch(batch, runner, report, progress);
    report.left = batch.from.size() - report.moved;
    report.outcome.summary = "Moved " + files(report.moved) + " up into " + core::quoted(folder) +
                             "; " + std::to_string(report.left) + " stayed in their sub-folders.\n";
    return report;
}

} // namespace sorting
