#include <CLI/CLI.hpp>

#include "commands.h"
#include "context.h"
#include "hash_cache.h"
#include "text.h"

namespace cli {
namespace {

std::string entries(std::size_t n) {
    return std::to_string(n) + (n == 1 ? " entry" : " entries");
}

// A file the cache cannot read as its own is of no use to anyone as a cache: asked to clear
// it, we keep it under another name and start a new one. The notice from opening it said
// it is left as it is; that is no longer so.
void start_anew(Context& ctx, core::HashCache& cache) {
    const std::string opened = cache.problem(), reason = cache.unreadable();
    for (const auto& line : ctx.services->take_notices())
        if (line != opened)
            ctx.error(line);
    const auto aside = cache.set_aside();
    if (!aside) {
        ctx.error(opened);
        ctx.error(cache.problem());
        ctx.error("the checksum cache was not cleared");
        ctx.exit_code = kExitFileError;
        return;
    }
    ctx.out << "The checksum cache " << core::quoted(cache.file())
            << " could not be read: " << reason << ". Moved it to " << core::quoted(*aside)
            << " and started a new, empty one.\n";
}

void run_clear(Context& ctx) {
    if (ctx.no_cache) {
        ctx.error("the checksum cache is not used with --no-cache: nothing was cleared");
        ctx.exit_code = kExitUsage;
        return;
    }
    auto* cache = ctx.services->cache();
    auto removed = cache->clear();
    if (!removed && !cache->unreadable().empty())
        return start_anew(ctx, *cache);
    if (!removed) {
        ctx.report_notices();
        ctx.error("the checksum cache was not cleared");
        ctx.exit_code = kExitFileError;
        return;
    }
    ctx.out << "Removed " << entries(*removed) << " from the checksum cache "
            << core::quoted(cache->file()) << ".\n";
}

} // namespace

Command add_cache_command(CLI::App& app, Context& ctx) {
    auto* sub = app.add_subcommand("cache", "Manage the cache of file checksums in the home");
    sub->footer("The cache (checksums.sqlite in the home) keeps the CRC text of each file read, "
                "so a file whose size, time and inode are unchanged is not read again. "
                "--no-cache turns it off for one run.");
    sub->require_subcommand(1);
    auto* clear = sub->add_subcommand("clear", "Remove every entry of the cache; a cache file "
                                               "that cannot be read is moved aside and a new "
                                               "one started");
    return {sub, [&ctx, clear] {
                if (clear->parsed())
                    run_clear(ctx);
            }};
}

} // namespace cli
