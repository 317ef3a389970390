// filled in next
#include <CLI/CLI.hpp>

#include "commands.h"
#include "context.h"

namespace cli {

Command add_import_command(CLI::App& app, Context& ctx) {
    auto* sub = app.add_subcommand("import", "Makes a database from a DAT file");
    return {sub, [&ctx] { ctx.error("not built yet"); }};
}

} // namespace cli
