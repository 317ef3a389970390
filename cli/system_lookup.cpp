#include "system_lookup.h"

#include "app_home.h"
#include "context.h"
#include "progress.h"
#include "text.h"

namespace cli {

std::optional<std::vector<core::SystemEntry>> list_systems(Context& ctx, core::Problems* skipped) {
    auto folder = core::databases_folder();
    // The first-load notices belong to the desktop program's runs: listing changes nothing.
    auto systems = core::load_rdbs(folder, *ctx.prompter, core::null_progress(),
                                   {.reset_first_load_notice = false, .skipped = skipped});
    if (!std::filesystem::is_directory(folder)) {
        ctx.error("looked for databases in '" + folder.string() + "'");
        ctx.exit_code = kExitFileError;
        return std::nullopt;
    }
    return systems;
}

void report_skipped(Context& ctx, const core::Problems& problems) {
    for (const auto& problem : problems)
        ctx.error(problem.text());
}

namespace {

// A database left out whose file bears the system's name is the one asked for.
const core::Problem* unreadable_database(const core::Problems& skipped, const std::string& id) {
    for (const auto& problem : skipped)
        if (core::iequals(std::filesystem::path(problem.path).stem().string(), id))
            return &problem;
    return nullptr;
}

} // namespace

std::optional<core::SystemEntry> find_system_or_complain(Context& ctx, const std::string& id) {
    core::Problems skipped;
    auto systems = list_systems(ctx, &skipped);
    if (!systems)
        return std::nullopt;
    if (const auto* found = core::find_system(*systems, id))
        return *found;
    if (const auto* own = unreadable_database(skipped, id)) {
        ctx.error(own->text());
        ctx.exit_code = kExitFileError;
        return std::nullopt;
    }
    report_skipped(ctx, skipped);
    ctx.error("no database for the system '" + id + "' in '" + core::databases_folder().string() +
              "' (zelkon-cli systems lists them)");
    ctx.exit_code = kExitUsage;
    return std::nullopt;
}

} // namespace cli
