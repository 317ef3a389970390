#include <CLI/CLI.hpp>
#include <ostream>

#include "commands.h"
#include "context.h"
#include "publish.h"
#include "terminal_progress.h"

namespace cli {
namespace {

struct PublishOptions {
    std::string source;
    std::string site;
    std::string base_url;
};

// An address or folder that cannot be used is a usage error; a site that cannot be
// written, or a file left out, is a file error.
int exit_code_of(const update::PublishReport& report) {
    switch (report.end) {
    case core::End::Completed:
        return report.clean() ? kExitOk : kExitFileError;
    case core::End::Stopped:
        return kExitInterrupted;
    case core::End::Refused:
        return kExitUsage;
    case core::End::Failed:
        break;
    }
    return kExitFileError;
}

void publish(Context& ctx, const PublishOptions& opt) {
    TerminalProgress progress(ctx);
    const auto report = update::publish_databases({opt.source, opt.site, opt.base_url}, progress);
    progress.finish();
    for (const auto& problem : report.problems)
        ctx.error(problem.text());
    ctx.out << report.summary;
    ctx.exit_code = exit_code_of(report);
}

} // namespace

Command add_publish_command(CLI::App& app, Context& ctx) {
    auto* sub =
        app.add_subcommand("publish", "Write an update-server tree from a folder of databases");
    sub->footer("Every .zdb file of DIR goes to SITE/zelkon/zdb/ with its version file; "
                "SITE/zelkon/list.php lists them, and empty news files are added when missing. "
                "Serve SITE with any static web server at the --base-url address, and point "
                "clients at it with ZELKON_UPDATE_ROOT=<base-url>zelkon/. The server must "
                "match names without regard to letter case for clients that ask in upper case.");
    auto opt = std::make_shared<PublishOptions>();
    sub->add_option("DIR", opt->source, "The folder of .zdb files to publish")->required();
    sub->add_option("--out", opt->site, "The folder of the site (created when missing)")
        ->required();
    sub->add_option("--base-url", opt->base_url,
                    "The address SITE is served at, starting with http:// or https://")
        ->required();
    return {sub, [&ctx, opt] { publish(ctx, *opt); }};
}

} // namespace cli
