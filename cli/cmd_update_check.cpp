#include <CLI/CLI.hpp>
#include <memory>
#include <ostream>

#include "commands.h"
#include "context.h"
#include "database_check.h"
#include "system_lookup.h"
#include "terminal_progress.h"

namespace cli {
namespace {

struct CheckOptions {
    std::string id;
    bool all = false;
};

int exit_code_of(const update::CheckReport& report) {
    if (report.end == core::End::Stopped)
        return kExitInterrupted;
    if (report.end == core::End::Refused)
        return kExitUsage;
    return report.clean() ? kExitOk : kExitFileError;
}

// The databases to check: all of the home, or the one named (its id as the user typed it,
// or in another letter case: the engine then gets the id as the database spells it).
std::optional<std::vector<core::SystemEntry>> chosen(Context& ctx, const CheckOptions& opt) {
    if (opt.all)
        return list_systems(ctx);
    auto found = find_system_or_complain(ctx, opt.id);
    if (!found)
        return std::nullopt;
    return std::vector<core::SystemEntry>{*found};
}

void check(Context& ctx, const CheckOptions& opt) {
    if (opt.all == !opt.id.empty()) {
        ctx.error("update check needs a database id or --all");
        ctx.exit_code = kExitUsage;
        return;
    }
    auto systems = chosen(ctx, opt);
    if (!systems)
        return;
    const update::DatabaseChecker checker(update::ServerAddresses(update::update_root()),
                                          update::HttpClient(update::http_options_from_settings()));
    TerminalProgress progress(ctx);
    ScreenPrompter prompter(*ctx.prompter, progress);
    const std::string id = opt.all ? std::string() : systems->front().id;
    const auto report = checker.update_databases(*systems, id, prompter, progress);
    if (std::string_view summary = report.summary; !summary.empty())
        progress.print_line(summary.substr(0, summary.size() - 1)); // its line end is ours
    progress.finish();
    // An unreachable server was a message; a stop or a refusal says why here.
    if (report.end == core::End::Stopped || report.end == core::End::Refused)
        ctx.error(report.problems.back().text());
    ctx.exit_code = exit_code_of(report);
}

} // namespace

Command add_update_check_command(CLI::App& update, Context& ctx) {
    auto* sub = update.add_subcommand("check", "Check databases against their version files");
    sub->footer("Each database's version file on the server is compared with the local "
                "database's version; a different version is downloaded (as NAME.zdb.new beside "
                "it) and replaces the local file once it reads as a database. With ID the "
                "outcome is one message; with --all one line per database. Exit status 1 when "
                "the server cannot be reached or any database could not be updated.");
    auto opt = std::make_shared<CheckOptions>();
    auto* id = sub->add_option("ID", opt->id, "The system id of the database to check");
    sub->add_flag("--all", opt->all, "Check every database of the home")->excludes(id);
    return {sub, [&ctx, opt] { check(ctx, *opt); }};
}

} // namespace cli
