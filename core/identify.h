#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "crc_text.h"
#include "result.h"
#include "temp_folder.h"
#include "zelcore_library.h"

namespace core {

class HashCache;
struct CacheKey;
struct FileStamp;

/// The system a file is identified for: its id selects the special rules
/// ("SGENESIS", "TURBOGFX", "JAGUAR"), its patterns filter ZIP members.
struct SystemRules {
    std::string id;       ///< trimmed system id, compared exactly
    std::string patterns; ///< `;`-separated
    /// False: a ZIP archive is hashed as a whole, like any other file.
    bool look_inside_zip = true;
};

/// True when the lower-cased extension of the last path component is "zip".
bool is_zip(std::string_view path);

/// Computes CRC texts of ROM files for one system. get_crc32 may be called from several
/// threads at once; temporary files go to one private folder owned by the identifier.
class Identifier {
public:
    /// The name its private folder starts with.
    static constexpr std::string_view kTempPrefix = "zelkon-ident";

    static Result<Identifier> create(Zelcore zelcore, SystemRules system);

    /// The CRC text of a plain file or of the first matching member of a ZIP archive,
    /// with the header skip and the system's rules applied. "00000000" for an archive
    /// without a matching member. Errors name the file and the reason.
    Result<CrcText> get_crc32(const std::filesystem::path& path, std::uint16_t skip) const;

    /// The CRC text the cache holds for the file as it is now; nothing when there is no
    /// cache, the file is missing or changed, or the cache does not know it. Reads no file.
    std::optional<CrcText> known_crc32(const std::filesystem::path& path, std::uint16_t skip) const;

    /// Extracts the first matching member of `zip` into the private folder under a name of
    /// ours; empty when none matches. The caller removes the file.
    Result<std::filesystem::path> extract_from_zip(const std::filesystem::path& zip) const;

    const SystemRules& system() const { return m_system; }

    /// get_crc32 asks `cache` (when not null) before reading a file and tells it every CRC
    /// it computed. The cache must outlive the identifier's use.
    void set_cache(HashCache* cache) { m_cache = cache; }

private:
    Identifier(Zelcore zelcore, SystemRules system, TempFolder temp);
    bool treats_as_zip(const std::filesystem::path& path) const;
    CacheKey cache_key(const std::filesystem::path& path, const FileStamp& stamp,
                       std::uint16_t skip) const;
    Result<CrcText> compute_crc32(const std::filesystem::path& path, std::int64_t path_size,
                                  std::uint16_t skip) const;
    Zelcore m_zelcore;
    SystemRules m_system;
    TempFolder m_temp;
    HashCache* m_cache = nullptr;
};

} // namespace core
