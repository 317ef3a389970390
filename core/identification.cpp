#include "identification.h"

#include <algorithm>
#include <filesystem>

#include "hash_cache.h"
#include "progress.h"
#include "services.h"
#include "temp_folder.h"
#include "text.h"

namespace core {
namespace {

// A run killed while it read archives leaves its private folder behind; the next one clears
// what no live run holds.
void remove_litter(Services& services, Progress& progress, const Identification::Options& options) {
    const std::size_t removed = TempFolder::remove_stale(Identifier::kTempPrefix);
    if (removed == 0)
        return;
    std::string line = "Removed " + std::to_string(removed) +
                       (removed == 1 ? " temporary folder" : " temporary folders") +
                       " left by an earlier run.";
    if (options.log_load)
        progress.log(line + "\r\n");
    else
        services.notice(std::move(line));
}

} // namespace

Result<Identification> Identification::open(Services& services, const SystemEntry& system,
                                            Progress& progress, const Options& options) {
    if (options.log_load)
        progress.log("Loading ZDB...");
    auto failed = [&](Error error) {
        if (options.log_load)
            progress.log("failed.\r\n" + error.message + "\r\n");
        return error;
    };
    RomTable roms;
    ZdbHeader header = load_zdb(system.file, kZdbFull, &roms, options.notice, &progress);
    if (header.stopped) {
        if (options.log_load)
            progress.log("aborted.");
        return Error{Error::Code::Cancelled, "Stopped while loading " + quoted(system.file) + "."};
    }
    if (!header.usable())
        return failed(Error::failed(header.error));
    auto identifier = Identifier::create(services.zelcore(), {system.id, system.patterns});
    if (!identifier)
        return failed(identifier.error());
    HashCache* cache = services.cache();
    identifier->set_cache(cache);
    if (options.log_load)
        progress.log("done.\r\n");
    remove_litter(services, progress, options);
    if (!header.warning.empty()) {
        if (options.log_load)
            progress.log(header.warning + "\r\n");
        services.notice(header.warning);
    }
    return Identification(system, std::move(header), std::move(roms), std::move(identifier.value()),
                          cache);
}

Identification::Identification(SystemEntry system, ZdbHeader header, RomTable roms,
                               Identifier identifier, HashCache* cache)
    : m_system(std::move(system)), m_header(std::move(header)), m_roms(std::move(roms)),
      m_identifier(std::move(identifier)), m_cache(cache) {}

std::string Identification::cache_folder(const std::vector<std::string>& paths) {
    constexpr std::size_t kFewFiles = 16;
    if (paths.size() < kFewFiles)
        return {};
    std::error_code ec;
    const std::string here = std::filesystem::current_path(ec).native() + "/";
    const auto full = [&](const std::string& path) {
        return path.starts_with('/') ? path : here + path;
    };
    std::string common = full(paths.front());
    for (const auto& path : paths) {
        const std::string item = full(path);
        const auto end = std::mismatch(common.begin(), common.end(), item.begin(), item.end());
        common.erase(end.first, common.end());
    }
    common.erase(common.rfind('/') + 1);
    common = std::filesystem::path(common).lexically_normal().native();
    return common.size() > 1 && common.ends_with('/') ? common : std::string();
}

Identification::Hashes Identification::hash(std::vector<std::string> paths, unsigned threads,
                                            std::string_view folder) const {
    if (m_cache)
        m_cache->prefetch(folder.empty() ? cache_folder(paths) : std::string(folder));
    return Hashes(std::make_unique<HashAhead>(m_identifier, std::move(paths), skip(),
                                              threads ? threads : HashAhead::default_threads()));
}

std::optional<Identification::Hashed> Identification::Hashes::next(Progress& progress) {
    if (m_next >= m_ahead->size())
        return std::nullopt;
    if (progress.stop_requested()) {
        m_stopped = true;
        return std::nullopt;
    }
    const std::size_t index = m_next++;
    if (m_ahead->size() > 1)
        progress.step(index + 1, m_ahead->size());
    return Hashed{index, m_ahead->next()};
}

} // namespace core
