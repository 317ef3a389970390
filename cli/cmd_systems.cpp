#include <CLI/CLI.hpp>
#include <ostream>

#include "commands.h"
#include "context.h"
#include "system_lookup.h"
#include "zdb.h"

namespace cli {

Command add_systems_command(CLI::App& app, Context& ctx) {
    auto* sub = app.add_subcommand(
        "systems", "List the databases of the home: id, long name, version, patterns");
    return {sub, [&ctx] {
                // A file left out is named, but the listing itself still worked: exit 0.
                core::Problems skipped;
                auto systems = list_systems(ctx, &skipped);
                report_skipped(ctx, skipped);
                if (!systems)
                    return;
                for (const auto& s : *systems)
                    ctx.out << s.id << '\t' << s.long_name << '\t' << core::read_zdb_version(s.file)
                            << '\t' << s.patterns << '\n';
            }};
}

} // namespace cli
