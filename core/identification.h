#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hash_ahead.h"
#include "identify.h"
#include "rdbs.h"
#include "result.h"
#include "zdb.h"

namespace core {

class HashCache;
class Progress;
class Services;

/// What rename, the collection scan, identify and the file-manager host share to read a
/// system's files: the database loaded whole, the identifier with the system's rules, the
/// checksum cache and the header skip.
///
///     auto ident = Identification::open(services, system, progress);
///     if (!ident) fail(ident.error());             // Cancelled when Stop was asked
///     auto hashes = ident->hash(paths, threads);
///     while (auto item = hashes.next(progress)) use(hashes.path(item->index), item->crc);
///
/// Runs on the caller's thread; hashing uses more threads behind hash(). A database that
/// was read only in part is said once: in the progress log and as a notice of the services.
class Identification {
public:
    struct Options {
        /// The first-load notice of the database; none when null.
        const FirstLoadNotice* notice = nullptr;
        /// Log lines around the load ("Loading ZDB...", "done."); the scan shows statuses.
        bool log_load = false;
    };

    static Result<Identification> open(Services& services, const SystemEntry& system,
                                       Progress& progress, const Options& options);

    const SystemEntry& system() const { return m_system; }
    const ZdbHeader& header() const { return m_header; }
    RomTable& roms() { return m_roms; }
    const RomTable& roms() const { return m_roms; }
    const Identifier& identifier() const { return m_identifier; }
    HashCache* cache() const { return m_cache; }
    /// The header skip is a 16-bit count: only the low bits of the stored number count.
    std::uint16_t skip() const { return static_cast<std::uint16_t>(m_header.number & 0xFFFF); }

    /// One file's result, in the order the paths were given.
    struct Hashed {
        std::size_t index = 0;
        Result<CrcText> crc;
    };

    /// Hashes files ahead of their consumer on several threads; results come in list order.
    class Hashes {
    public:
        std::size_t size() const { return m_ahead->size(); }
        const std::string& path(std::size_t index) const { return m_ahead->path(index); }
        /// The next result; nothing when all were taken or Stop was asked (checked before
        /// each file, so a run stops within one file). Steps the progress bar.
        std::optional<Hashed> next(Progress& progress);
        bool stopped() const { return m_stopped; }

    private:
        friend class Identification;
        explicit Hashes(std::unique_ptr<HashAhead> ahead) : m_ahead(std::move(ahead)) {}
        std::unique_ptr<HashAhead> m_ahead;
        std::size_t m_next = 0;
        bool m_stopped = false;
    };

    /// The folder worth reading from the cache in one query before hashing `paths`: the
    /// deepest one holding them all, full and ending in the separator. Empty for a handful of
    /// files, which single lookups serve faster, and when only the root holds them all.
    static std::string cache_folder(const std::vector<std::string>& paths);

    /// `threads` 0: one per core. `folder` (a full path ending in the separator) is read
    /// from the cache in one query first; when not given, cache_folder(paths) is.
    Hashes hash(std::vector<std::string> paths, unsigned threads,
                std::string_view folder = {}) const;

private:
    Identification(SystemEntry system, ZdbHeader header, RomTable roms, Identifier identifier,
                   HashCache* cache);

    SystemEntry m_system;
    ZdbHeader m_header;
    RomTable m_roms;
    Identifier m_identifier;
    HashCache* m_cache = nullptr;
};

} // namespace core
