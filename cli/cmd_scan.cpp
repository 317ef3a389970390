#include <CLI/CLI.hpp>
#include <filesystem>
#include <ostream>

#include "collection_scan.h"
#include "commands.h"
#include "context.h"
#include "dry_run.h"
#include "filters.h"
#include "list_files.h"
#include "scan_print.h"
#include "session_file.h"
#include "settings.h"
#include "system_lookup.h"
#include "text.h"
#include "tree_marks.h"
#include "unrecognized_transfer.h"

namespace cli {
namespace {

namespace fs = std::filesystem;

struct ScanOptions {
    std::string system;
    std::string folder;
    std::string by; ///< "checksum", "filename" or "" for the remembered choice
    std::string session;
    std::vector<std::string> exclude;
    std::string save_lists;
    std::string save_session;
    std::string move_to;
    std::string copy_to;
    bool json = false;
    LineStyle lines;
};

std::string_view mode_name(lists::MatchBy by) {
    return by == lists::MatchBy::Checksum ? "checksum" : "filename";
}

// "matching by filename: the setting MatchByFilename; --by checksum to change it".
std::string match_mode_line(const ScanOptions& opt, lists::MatchBy by) {
    std::string line = "matching by " + std::string(mode_name(by)) + ": ";
    if (!opt.by.empty())
        return line + "--by " + opt.by;
    if (!opt.session.empty())
        return line + "--session (a session holds checksums)";
    const auto other =
        by == lists::MatchBy::Checksum ? lists::MatchBy::Filename : lists::MatchBy::Checksum;
    return line + "the setting MatchByFilename; --by " + std::string(mode_name(other)) +
           " to change it";
}

std::string absolute_folder(const std::string& given) {
    return core::add_backslash(fs::absolute(given).lexically_normal().string());
}

bool usage_error(Context& ctx, const std::string& text) {
    ctx.error(text);
    ctx.exit_code = kExitUsage;
    return false;
}

// The folder and match option the set-up page would start with, changed by the options.
bool choose_job(Context& ctx, const ScanOptions& opt, lists::ScanJob& job) {
    auto start = lists::read_scan_settings(job.system.id, absolute_folder("."));
    job.base_folder = opt.folder.empty() ? start.base_folder : absolute_folder(opt.folder);
    if (!core::is_existing_folder(job.base_folder))
        return usage_error(ctx, "no such folder " + core::quoted(opt.folder));
    job.session_file = opt.session;
    std::error_code ec;
    if (!opt.session.empty() && !fs::exists(opt.session, ec))
        ctx.error("no session file " + core::quoted(opt.session) + "; scanning without one");
    // As in the window, a session means matching by checksum: it holds no names to match.
    job.by = opt.by == "checksum" || (opt.by.empty() && !opt.session.empty())
                 ? lists::MatchBy::Checksum
             : opt.by == "filename" ? lists::MatchBy::Filename
                                    : start.by;
    if (job.by == lists::MatchBy::Filename && !opt.session.empty())
        return usage_error(ctx, "--session needs --by checksum: a session holds checksums");
    if (job.by == lists::MatchBy::Filename && !opt.save_session.empty())
        return usage_error(ctx, "--save-session needs --by checksum: a session holds checksums");
    if (!ctx.quiet)
        ctx.error(match_mode_line(opt, job.by));
    return true;
}

// Every caption given must name a filter of "filter.ini"; those filters hide their entries.
bool choose_filters(Context& ctx, const ScanOptions& opt, std::vector<lists::Filter>& filters) {
    const fs::path file = ctx.home / "filter.ini";
    auto loaded = lists::load_filter(file);
    if (!loaded)
        return usage_error(ctx, loaded.error().message);
    filters = std::move(loaded.value());
    for (const auto& caption : opt.exclude) {
        auto it = std::find_if(filters.begin(), filters.end(),
                               [&](const lists::Filter& f) { return f.caption == caption; });
        if (it == filters.end())
            return usage_error(ctx,
                               "no filter " + core::quoted(caption) + " in " + core::quoted(file));
        it->shown = false;
    }
    return true;
}

void fail(Context& ctx, const std::string& text) {
    ctx.error(text);
    ctx.exit_code = kExitFileError;
}

// A note (a symbolic link left alone) is said but does not fail the run.
void report_problems(Context& ctx, const core::Problems& problems) {
    for (const auto& problem : problems) {
        if (problem.note)
            ctx.error(problem.text());
        else
            fail(ctx, problem.text());
    }
}

// False when Stop ended the transfer.
bool transfer(Context& ctx, FileRun& run, lists::ScanResult& result, lists::Transfer how,
              const std::string& folder) {
    if (lists::nothing_to_transfer(result.unrecognized, run.prompter()))
        return true;
    auto report = lists::transfer_unrecognized(result.tree, how, absolute_folder(folder),
                                               run.prompter(), run.progress(), run.runner());
    run.progress().finish();
    report_problems(ctx, report.outcome.problems);
    if (report.outcome.end == core::End::Stopped) {
        ctx.exit_code = kExitInterrupted;
        return false;
    }
    hint_when_declined_by_default(ctx, "a question was answered no; add --yes to answer yes");
    return true;
}

void save(Context& ctx, const ScanOptions& opt, const lists::ScanResult& result,
          const std::vector<lists::Filter>& filters) {
    if (!opt.save_lists.empty()) {
        lists::ListSource source{result.tree, result.matched + result.missing, result.long_name,
                                 filters};
        if (auto saved = lists::save_lists(opt.save_lists, result.system_id, source); !saved)
            fail(ctx, saved.error().message);
    }
    if (!opt.save_session.empty())
        if (auto saved = lists::write_session(opt.save_session, result.records); !saved)
            fail(ctx, saved.error().message);
}

std::string describe(const lists::ScanJob& job, const std::string& verb) {
    return "scan " + verb + " " + job.system.id + " " + core::quoted(job.base_folder);
}

void scan(Context& ctx, const ScanOptions& opt) {
    auto system = find_system_or_complain(ctx, opt.system);
    if (!system)
        return;
    lists::ScanJob job{*system, "", lists::MatchBy::Checksum, {}, 0, nullptr};
    std::vector<lists::Filter> filters;
    if (!choose_job(ctx, opt, job) || !choose_filters(ctx, opt, filters))
        return;
    FileRun run(ctx,
                {false, false,
                 describe(job, opt.move_to.empty() ? "copy-unrecognized" : "move-unrecognized"),
                 opt.json});
    auto result = lists::scan_collection(job, *ctx.services, run.prompter(), run.progress());
    run.progress().finish();
    ctx.report_notices();
    if (!result)
        return fail(ctx, result.error().message);
    if (result->stopped()) {
        ctx.exit_code = kExitInterrupted;
        return;
    }
    report_problems(ctx, result->outcome.problems);
    lists::mark_tree(result->tree, filters);
    if (!opt.move_to.empty() && !transfer(ctx, run, *result, lists::Transfer::Move, opt.move_to))
        return;
    if (!opt.copy_to.empty() && !transfer(ctx, run, *result, lists::Transfer::Copy, opt.copy_to))
        return;
    save(ctx, opt, *result, filters);
    if (opt.json)
        print_tree_json(ctx.out, *result, job.base_folder, filters);
    else
        print_tree(ctx.out, *result, filters, opt.lines);
}

} // namespace

Command add_scan_command(CLI::App& app, Context& ctx) {
    auto* sub = app.add_subcommand("scan", "List which ROMs of a system's database DIR holds "
                                           "and which it lacks");
    sub->footer(
        "Prints the Matched, Missing and Unrecognized lists (entries a filter of "
        "--exclude hides are left out and not counted, as in the saved lists; --json gives every "
        "entry; names are escaped: \\t, \\n, \\\\). The defaults are the "
        "collection window's: the system's RenameFolder when it exists, else the current "
        "folder, and the remembered match option. Moving and copying can be undone with: "
        "zelkon-cli undo");
    auto opt = std::make_shared<ScanOptions>();
    sub->add_option("--system", opt->system, "The system id (see: zelkon-cli systems)")->required();
    sub->add_option("DIR", opt->folder, "The folder to scan, with its sub-folders")->type_name("");
    sub->add_option("--by", opt->by, "Match by checksum (exact) or by file name (quicker)")
        ->check(CLI::IsMember({"checksum", "filename"}));
    sub->add_option("--session", opt->session,
                    "Add the files of an earlier session (.rcl), e.g. another CD; \"\" for none")
        ->type_name("FILE");
    sub->add_option("--exclude", opt->exclude,
                    "Hide the entries of the filter CAPTION of filter.ini")
        ->type_name("CAPTION");
    sub->add_option("--save-lists", opt->save_lists,
                    "Write <id>_have.txt and <id>_miss.txt into DIR")
        ->type_name("DIR")
        ->check(CLI::Validator(CLI::ExistingDirectory).description(""));
    sub->add_option("--save-session", opt->save_session, "Write the session of this scan to FILE")
        ->type_name("FILE");
    auto* move = sub->add_option("--move-unrecognized", opt->move_to,
                                 "Move every unrecognized file into DIR (never replacing one)")
                     ->type_name("DIR");
    sub->add_option("--copy-unrecognized", opt->copy_to,
                    "Copy every unrecognized file into DIR (an older copy goes to the trash)")
        ->type_name("DIR")
        ->excludes(move);
    auto* json = sub->add_flag(
        "--json", opt->json,
        "Print every entry (state, name, crc, path, hidden) as JSON instead of the lists");
    sub->add_flag("-0,--null", opt->lines.nul,
                  "End each line with NUL instead of a line feed; names left unescaped")
        ->excludes(json);
    return {sub, [&ctx, opt] { scan(ctx, *opt); }};
}

} // namespace cli
