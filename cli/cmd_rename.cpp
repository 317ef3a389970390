#include <CLI/CLI.hpp>
#include <filesystem>
#include <ostream>

#include "cli_prompter.h"
#include "commands.h"
#include "context.h"
#include "dry_run.h"
#include "json_output.h"
#include "rename_engine.h"
#include "settings.h"
#include "system_lookup.h"
#include "text.h"

namespace cli {
namespace {

struct RenameOptions {
    std::string system;
    std::string folder;
    bool recursive = false;
    bool copy = false;
    std::string rename_folder;
    std::string dupes;
    std::string unrecognized;
    bool rename_in_zip = false;
    unsigned jobs = 0;
    bool dry_run = false;
    bool replace = false;
    bool json = false;
};

std::string folder_value(const std::string& given) {
    return core::add_backslash(std::filesystem::absolute(given).lexically_normal().string());
}

std::string check_dupes(const std::string& value) {
    if (value == "delete" || value == "ignore" || (value.starts_with("move:") && value.size() > 5))
        return {};
    return "expected move:DIR, delete or ignore";
}

// The options of this run only: nothing of it is written to the settings file. A folder
// given here that does not exist is made after a yes, or the run is refused.
void apply_overrides(const RenameOptions& opt, renaming::RenameSettings& s) {
    s.recursive = s.recursive || opt.recursive;
    s.copy_instead = s.copy_instead || opt.copy;
    s.rename_in_zip = s.rename_in_zip || opt.rename_in_zip;
    if (!opt.rename_folder.empty()) {
        s.move_renamed = true;
        s.rename_folder = folder_value(opt.rename_folder);
        s.given_for_run.rename_folder = true;
    }
    if (!opt.unrecognized.empty()) {
        s.move_unrecognized = true;
        s.unrecognized_folder = folder_value(opt.unrecognized);
        s.given_for_run.unrecognized_folder = true;
    }
    if (opt.dupes.empty())
        return;
    s.move_dupes = opt.dupes.starts_with("move:");
    s.delete_dupes = opt.dupes == "delete";
    if (s.move_dupes) {
        s.dupe_folder = folder_value(opt.dupes.substr(5));
        s.given_for_run.dupe_folder = true;
    }
}

int exit_code_of(const renaming::RenameReport& report) {
    if (!report.missing_folder.empty())
        return kExitUsage;
    if (report.end == core::End::Stopped)
        return kExitInterrupted;
    bool fell_short =
        report.end != core::End::Completed || report.not_carried_out > 0 || report.unreadable > 0;
    return fell_short ? kExitFileError : kExitOk;
}

void print_summary(Context& ctx, const std::string& summary) {
    std::size_t start = 0;
    while (start < summary.size()) {
        auto end = summary.find('\n', start);
        if (end == std::string::npos)
            end = summary.size();
        ctx.error(summary.substr(start, end - start));
        start = end + 1;
    }
}

std::string_view end_name(core::End end) {
    switch (end) {
    case core::End::Completed:
        return "completed";
    case core::End::Stopped:
        return "stopped";
    case core::End::Refused:
        return "refused";
    case core::End::Failed:
        break;
    }
    return "failed";
}

Json problems_json(const core::Problems& problems) {
    Json list = Json::array();
    for (const auto& p : problems)
        list.push_back({{"path", text_or_null(p.path)}, {"text", p.text()}, {"note", p.note}});
    return list;
}

Json plan_json(const std::vector<PlannedItem>& plan) {
    Json list = Json::array();
    for (const auto& item : plan)
        list.push_back(
            {{"op", op_name(item.op)}, {"from", item.from}, {"to", text_or_null(item.to)}});
    return list;
}

// The report, its problems and, after a dry run, the plan.
void print_report_json(Context& ctx, const FolderTarget& target,
                       const renaming::RenameReport& report, const RenameOptions& opt,
                       const std::vector<PlannedItem>& plan) {
    Json doc = {{"system", target.system.id},
                {"folder", target.folder},
                {"dry_run", opt.dry_run},
                {"end", end_name(report.end)},
                {"files", report.files},
                {"unrecognized", report.unrecognized},
                {"already_named", report.already_named},
                {"dupes", report.dupes},
                {"unreadable", report.unreadable},
                {"not_carried_out", report.not_carried_out},
                {"links", report.links},
                {"problems", problems_json(report.problems)}};
    if (opt.dry_run)
        doc["plan"] = plan_json(plan);
    print_json(ctx.out, doc);
}

void rename(Context& ctx, const RenameOptions& opt) {
    auto target = folder_target(ctx, opt.system, opt.folder);
    if (!target)
        return;
    renaming::RenameJob job{target->system, target->folder,
                            renaming::read_rename_settings(target->system.id, target->folder),
                            opt.jobs, nullptr};
    apply_overrides(opt, job.settings);

    std::vector<PlannedItem> plan;
    FileRun run(ctx, {opt.dry_run, opt.replace, target->describe("rename"), opt.json,
                      opt.json ? &plan : nullptr});
    renaming::RenameContext context{*ctx.services, run.prompter(), run.progress(), run.runner(),
                                    false};
    auto report = renaming::rename_roms(job, context);
    run.progress().finish();
    ctx.report_notices();
    print_summary(ctx, report.summary);
    if (opt.json)
        print_report_json(ctx, *target, report, opt, plan);
    ctx.exit_code = exit_code_of(report);
    hint_when_declined_by_default(ctx, "a question was answered no; add --yes to answer yes");
}

} // namespace

std::string FolderTarget::describe(const std::string& verb) const {
    return verb + " " + system.id + " " + core::quoted(folder);
}

std::optional<FolderTarget> folder_target(Context& ctx, const std::string& system_id,
                                          const std::string& given) {
    auto system = find_system_or_complain(ctx, system_id);
    if (!system)
        return std::nullopt;
    auto folder = folder_value(given.empty() ? std::string(".") : given);
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec)) {
        ctx.error("no such folder " + core::quoted(given.empty() ? folder : given));
        ctx.exit_code = kExitUsage;
        return std::nullopt;
    }
    return FolderTarget{std::move(*system), std::move(folder)};
}

void hint_when_declined_by_default(Context& ctx, const std::string& hint) {
    const auto* prompter = dynamic_cast<const CliPrompter*>(ctx.prompter);
    if (prompter && prompter->declined_by_default())
        ctx.error(hint);
}

Command add_rename_command(CLI::App& app, Context& ctx) {
    auto* sub = app.add_subcommand("rename", "Give each ROM file of DIR its database name");
    sub->footer("The system's settings in zelkon.ini steer the run; the options above change "
                "this run only and are never written. The engine's log and report go to stdout. "
                "Existing targets are skipped and reported unless --replace is given. "
                "--dry-run prints one line per planned item instead of carrying it out:\n"
                "  move 'FROM' -> 'TO'\n  copy 'FROM' -> 'TO'\n  trash 'FROM'\n"
                "  rename member of 'ARCHIVE' -> 'NAME'\n"
                "A folder given by --rename-folder, --dupes move: or --unrecognized that does not "
                "exist is made after a yes (--yes); otherwise nothing is done (exit 2). "
                "A real run can be undone with: zelkon-cli undo");
    auto opt = std::make_shared<RenameOptions>();
    sub->add_option("--system", opt->system, "The system id (see: zelkon-cli systems)")->required();
    sub->add_option("DIR", opt->folder, "The folder of ROM files (default: the current one)")
        ->type_name("");
    sub->add_flag("-r,--recursive", opt->recursive, "Take the files of all sub-folders too");
    sub->add_flag("--copy", opt->copy, "Copy renamed and unrecognized files instead of moving");
    sub->add_option("--rename-folder", opt->rename_folder, "Put renamed files into DIR")
        ->type_name("DIR");
    sub->add_option("--dupes", opt->dupes,
                    "Duplicates: move:DIR moves them to DIR, delete sends them to the trash, "
                    "ignore leaves them")
        ->type_name("move:DIR|delete|ignore")
        ->check(CLI::Validator(check_dupes, ""));
    sub->add_option("--unrecognized", opt->unrecognized, "Move unrecognized files to DIR")
        ->type_name("DIR");
    sub->add_flag("--rename-in-zip", opt->rename_in_zip,
                  "Rename the ROM inside a one-ROM ZIP archive as well");
    sub->add_option("-j,--jobs", opt->jobs,
                    "Hash N files at once (default: one per core); with more than one, the next "
                    "files are read ahead, 1 reads and hashes one at a time")
        ->type_name("N")
        ->check(CLI::Range(1, 64));
    sub->add_flag("--dry-run", opt->dry_run, "List what would be done; change nothing");
    sub->add_flag("--replace", opt->replace,
                  "Replace existing targets (the replaced file goes to the trash)");
    sub->add_flag("--json", opt->json,
                  "Print the report, its problems and (with --dry-run) the plan as JSON "
                  "instead of the log");
    return {sub, [&ctx, opt] { rename(ctx, *opt); }};
}

} // namespace cli
