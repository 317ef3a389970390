#include <CLI/CLI.hpp>
#include <memory>
#include <ostream>

#include "commands.h"
#include "context.h"
#include "json_output.h"
#include "system_lookup.h"
#include "zdb.h"

namespace cli {
namespace {

void print_systems(Context& ctx, const std::vector<core::SystemEntry>& systems, bool json) {
    if (!json) {
        for (const auto& s : systems)
            ctx.out << s.id << '\t' << s.long_name << '\t' << core::read_zdb_version(s.file) << '\t'
                    << s.patterns << '\n';
        return;
    }
    Json list = Json::array();
    for (const auto& s : systems)
        list.push_back({{"id", s.id},
                        {"name", s.long_name},
                        {"version", core::read_zdb_version(s.file)},
                        {"patterns", s.patterns},
                        {"file", s.file.string()}});
    print_json(ctx.out, list);
}

} // namespace

Command add_systems_command(CLI::App& app, Context& ctx) {
    auto* sub = app.add_subcommand(
        "systems", "List the databases of the home: id, long name, version, patterns");
    auto json = std::make_shared<bool>(false);
    sub->add_flag("--json", *json, "Print the list as JSON");
    return {sub, [&ctx, json] {
                // A file left out is named, but the listing itself still worked: exit 0.
                core::Problems skipped;
                auto systems = list_systems(ctx, &skipped);
                report_skipped(ctx, skipped);
                if (systems)
                    print_systems(ctx, *systems, *json);
            }};
}

} // namespace cli
