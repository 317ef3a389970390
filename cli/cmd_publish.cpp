// filled in next
#include <CLI/CLI.hpp>

#include "commands.h"
#include "context.h"

namespace cli {

Command add_publish_command(CLI::App& app, Context& ctx) {
    auto* sub =
        app.add_subcommand("publish", "Writes an update-server tree from a folder of databases");
    return {sub, [&ctx] { ctx.error("not built yet"); }};
}

} // namespace cli
