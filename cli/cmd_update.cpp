// filled in next
#include <CLI/CLI.hpp>

#include "commands.h"
#include "context.h"

namespace cli {

Command add_update_command(CLI::App& app, Context& ctx) {
    auto* sub = app.add_subcommand("update", "Lists the server's databases and downloads them");
    return {sub, [&ctx] { ctx.error("not built yet"); }};
}

} // namespace cli
