#include <CLI/CLI.hpp>
#include <memory>
#include <ostream>

#include "commands.h"
#include "context.h"
#include "database_check.h"
#include "interrupt.h"
#include "system_lookup.h"
#include "terminal_progress.h"

namespace cli {
namespace {

struct CheckOptions {
    std::string id;
    bool all = false;
};

int exit_code_of(const update::CheckReport& report) {
    if (report.end == update::CheckReport::End::Cancelled)
        return kExitInterrupted;
    if (report.end == update::CheckReport::End::UnknownId)
        return kExitUsage;
    return report.any_failed() ? kExitFileError : kExitOk;
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
    auto options = update::http_options_from_settings();
    options.cancelled = interrupted;
    const update::DatabaseChecker checker(update::ServerAddresses(update::update_root()),
                                          update::HttpClient(std::move(options)));
    TerminalProgress progress(ctx.out, ctx.err, draws_bar_on(ctx.err));
    ScreenPrompter prompter(*ctx.prompter, progress);
    const std::string id = opt.all ? std::string() : systems->front().id;
    auto report = checker.update_databases(*systems, id, prompter, progress);
    for (const auto& database : report.databases)
        if (opt.all)
            progress.print_line(update::describe(database));
    progress.finish();
    if (report.end == update::CheckReport::End::Cancelled ||
        report.end == update::CheckReport::End::UnknownId)
        ctx.error(report.reason);
    ctx.exit_code = exit_code_of(report);
}

} // namespace

Command add_update_check_command(CLI::App& update, Context& ctx) {
    auto* sub = update.add_subcommand("check", "Checks databases against their version files");
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
