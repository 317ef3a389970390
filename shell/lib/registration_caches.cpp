#include "registration_caches.h"

#include <algorithm>
#include <set>

#include "platform_xdg.h"
#include "read_file.h"
#include "text.h"

namespace zelshell {
namespace {

namespace fs = std::filesystem;

struct CacheTool {
    const char* key;    ///< its name in the ledger
    const char* folder; ///< below the data home
    const char* tool;
    const char* output; ///< the file a rebuild always makes
};

CacheTool tool_of(Cache cache) {
    if (cache == Cache::MimeTypes)
        return {"mime", "mime", "update-mime-database", "mime.cache"};
    return {"applications", "applications", "update-desktop-database", "mimeinfo.cache"};
}

std::set<fs::path> entries_below(const fs::path& folder) {
    std::set<fs::path> entries;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        entries.insert(it->path());
    return entries;
}

// Whether files of others in the folder still need the cache: other MIME packages, or
// application entries that name file types.
bool needed_by_others(Cache cache, const fs::path& folder) {
    std::error_code ec;
    if (cache == Cache::MimeTypes)
        return fs::exists(folder / "packages", ec) && !fs::is_empty(folder / "packages", ec);
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->path().extension() != ".desktop")
            continue;
        auto bytes = core::read_file_if_exists(it->path());
        if (bytes && *bytes &&
            ((*bytes)->starts_with("MimeType=") ||
             (*bytes)->find("\nMimeType=") != std::string::npos))
            return true;
    }
    return false;
}

} // namespace

void rebuild_cache(FileKeeper& keeper, Cache cache, const fs::path& data, bool changed) {
    const CacheTool tool = tool_of(cache);
    const fs::path folder = data / tool.folder;
    std::error_code ec;
    if (!changed && (fs::exists(folder / tool.output, ec) || !fs::exists(folder, ec)))
        return;
    const std::set<fs::path> before = entries_below(folder);
    if (!platform::run_tool({tool.tool, folder.string()})) {
        if (cache == Cache::MimeTypes)
            keeper.notice(std::string(tool.tool) +
                          " was not found: the .zdb file type is known "
                          "to the desktop once it has run on " +
                          core::quoted(folder) + ".");
        return;
    }
    for (const fs::path& entry : entries_below(folder))
        if (!before.contains(entry))
            keeper.ledger().record_generated(tool.key, entry);
}

void restore_cache(FileKeeper& keeper, Cache cache, const fs::path& data) {
    const CacheTool tool = tool_of(cache);
    const fs::path folder = data / tool.folder;
    std::vector<fs::path> generated = keeper.ledger().generated(tool.key);
    keeper.ledger().forget_generated(tool.key);
    std::error_code ec;
    if (!fs::exists(folder, ec))
        return;
    if (generated.empty() || needed_by_others(cache, folder)) {
        platform::run_tool({tool.tool, folder.string()});
        return;
    }
    // Deepest first: a folder the tool made goes once what it made inside has gone.
    std::sort(generated.begin(), generated.end(), std::greater<>());
    for (const fs::path& path : generated)
        if (!fs::is_directory(path, ec) || fs::is_empty(path, ec))
            fs::remove(path, ec);
}

} // namespace zelshell
