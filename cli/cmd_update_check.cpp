// filled in next
#include <CLI/CLI.hpp>

#include "commands.h"
#include "context.h"

namespace cli {

Command add_update_check_command(CLI::App& update, Context& ctx) {
    auto* sub = update.add_subcommand("check", "Checks databases against their version files");
    return {sub, [&ctx] { ctx.error("not built yet"); }};
}

} // namespace cli
