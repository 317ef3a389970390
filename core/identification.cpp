#include "identification.h"

#include "hash_cache.h"
#include "progress.h"
#include "services.h"

namespace core {

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
    ZdbHeader header = load_zdb(system.file, kZdbFull, &roms, options.notice);
    if (!header.usable())
        return failed(Error::failed(header.error));
    auto identifier = Identifier::create(services.zelcore(), {system.id, system.patterns});
    if (!identifier)
        return failed(identifier.error());
    HashCache* cache = services.cache();
    identifier->set_cache(cache);
    if (options.log_load)
        progress.log("done.\r\n");
    return Identification(system, std::move(header), std::move(roms),
                          std::move(identifier.value()), cache);
}

Identification::Identification(SystemEntry system, ZdbHeader header, RomTable roms,
                               Identifier identifier, HashCache* cache)
    : m_system(std::move(system)), m_header(std::move(header)), m_roms(std::move(roms)),
      m_identifier(std::move(identifier)), m_cache(cache) {}

Identification::Hashes Identification::hash(std::vector<std::string> paths, unsigned threads,
                                            std::string_view folder) const {
    if (m_cache && !folder.empty())
        m_cache->prefetch(folder);
    return Hashes(std::make_unique<HashAhead>(
        m_identifier, std::move(paths), skip(), threads ? threads : HashAhead::default_threads()));
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
