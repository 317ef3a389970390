// filled in next
#include <CLI/CLI.hpp>

#include "commands.h"
#include "context.h"

namespace cli {

Command add_news_command(CLI::App& app, Context& ctx) {
    auto* sub = app.add_subcommand("news", "Shows the update server's news");
    return {sub, [&ctx] { ctx.error("not built yet"); }};
}

} // namespace cli
