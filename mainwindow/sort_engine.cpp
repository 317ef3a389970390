#include "sort_engine.h"

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
    progress.log(line + "\r\n");
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

std::string files(std::size_t n) {
    return n == 1 ? "1 file" : std::to_string(n) + " files";
}

core::Error cannot_make(const fs::path& folder, std::string_view why) {
    return core::Error::failed("Cannot make the folder " + core::quoted(folder) + ": " +
                               std::string(why) + ".");
}

core::Status make_folder(const fs::path& folder, bool really) {
    std::error_code ec;
    if (fs::is_directory(folder, ec))
        return {};
    if (fs::exists(fs::symlink_status(folder, ec)))
        return cannot_make(folder, "something that is not a folder has its name");
    if (really && !fs::create_directory(folder, ec) && ec)
        return cannot_make(folder, ec.message());
    return {};
}

// A missing target folder is made, and so is a missing folder right above it; a deeper
// gap is more likely a mistyped rule than a wish for a tree of new folders. A runner that
// only lists its batches gets the same answers without a folder being made.
core::Status make_target_folder(const std::string& folder, bool really) {
    const fs::path target = fs::path(folder).parent_path(); // drops the trailing separator
    std::error_code ec;
    if (fs::is_directory(target, ec))
        return {};
    const fs::path parent = target.parent_path();
    if (!fs::is_directory(parent, ec) && !fs::is_directory(parent.parent_path(), ec))
        return cannot_make(target, "more than one folder above it is missing");
    if (auto made = make_folder(parent, really); !made)
        return made;
    return make_folder(target, really);
}

void note_stay(SortReport& report, core::Progress& progress, const std::string& why,
               const std::string& name) {
    std::string line = why + " " + core::quoted(name) + " stays where it is.";
    log_line(progress, line);
    report.problems.push_back(std::move(line));
}

// Plans the move of one file of the sorted folder, or says why it stays.
void plan_sort(const std::string& folder, const std::string& name,
               const std::vector<SortRule>& rules, bool make_folders, core::Batch& batch,
               SortReport& report, core::Progress& progress) {
    const SortRule* rule = first_matching_rule(rules, name);
    if (!rule)
        return;
    auto target = rule_target_folder(folder, *rule);
    if (!target) {
        note_stay(report, progress, target.error().message, name);
        return;
    }
    if (*target == folder) // a rule without a sub-folder keeps its files here
        return;
    if (auto made = make_target_folder(*target, make_folders); !made) {
        note_stay(report, progress, made.error().message, name);
        return;
    }
    batch.from.push_back(folder + name);
    batch.to.push_back(*target + name);
}

// One batch for the whole run, so the runner's journal can undo it as one step.
void run_batch(const core::Batch& batch, core::BatchRunner& runner, SortReport& report,
               core::Progress& progress) {
    if (batch.from.empty())
        return;
    if (progress.stop_requested()) {
        report.end = SortReport::End::Cancelled;
        return;
    }
    const core::BatchOutcome outcome = runner.run(batch);
    report.moved = outcome.count(core::ItemResult::Done);
    for (const auto& problem : outcome.problems) {
        log_line(progress, problem.text());
        report.problems.push_back(problem.text());
    }
    if (outcome.cancelled)
        report.end = SortReport::End::Cancelled;
}

SortReport ended(SortReport::End end) {
    SortReport report;
    report.end = end;
    return report;
}

} // namespace

SortReport sort_roms(const SortJob& job, core::Prompter& prompter, core::Progress& progress,
                     core::BatchRunner& runner) {
    const fs::path rules_file =
        job.rules_file.empty() ? core::app_home() / "sort.ini" : job.rules_file;
    std::error_code ec;
    if (!fs::is_regular_file(rules_file, ec)) {
        tell(prompter, "Sort.ini was not found!", "Missing a file.");
        return ended(SortReport::End::Refused);
    }
    const std::string folder = existing_current_folder(job.current_folder);
    if (folder.empty()) {
        tell_missing_folder(prompter);
        return ended(SortReport::End::Refused);
    }
    if (!confirmed(prompter, "sort", folder,
                   "This will sort the files in this folder by moving them to categorized "
                   "subfolders."))
        return ended(SortReport::End::Declined);
    auto rules = load_sort_rules(rules_file, job.system_id);
    if (!rules) {
        tell(prompter, "Sort.ini could not be read!\r" + rules.error().message,
             "Cannot read a file.");
        return ended(SortReport::End::Refused);
    }

    SortReport report;
    core::Batch batch{core::BatchOp::Move, {}, {}};
    const auto names = core::list_folder_files(folder, job.file_filter);
    for (const auto& name : names)
        plan_sort(folder, name, *rules, runner.changes_files(), batch, report, progress);
    run_batch(batch, runner, report, progress);
    report.left = names.size() - report.moved;
    log_line(progress, "Sorted " + files(report.moved) + " into category folders; " +
                           std::to_string(report.left) + " left where they were.");
    return report;
}

SortReport unsort_roms(const SortJob& job, core::Prompter& prompter, core::Progress& progress,
                       core::BatchRunner& runner) {
    const std::string folder = existing_current_folder(job.current_folder);
    if (folder.empty()) {
        tell_missing_folder(prompter);
        return ended(SortReport::End::Refused);
    }
    if (!confirmed(prompter, "unsort", folder,
                   "This will unsort the files in all sub folders by moving them to the "
                   "current folder."))
        return ended(SortReport::End::Declined);

    std::vector<std::string> found;
    core::dive_folder(folder, job.file_filter, found, &progress);
    if (progress.stop_requested())
        return ended(SortReport::End::Cancelled);

    SortReport report;
    core::Batch batch{core::BatchOp::Move, {}, {}};
    for (const auto& path : found) {
        const std::size_t cut = path.rfind(core::kSeparator);
        if (cut + 1 == folder.size()) // already in the current folder
            continue;
        batch.from.push_back(path);
        batch.to.push_back(folder + path.substr(cut + 1));
    }
    run_batch(batch, runner, report, progress);
    report.left = batch.from.size() - report.moved;
    log_line(progress, "Moved " + files(report.moved) + " up into " + core::quoted(folder) + "; " +
                           std::to_string(report.left) + " stayed in their sub-folders.");
    return report;
}

} // namespace sorting
