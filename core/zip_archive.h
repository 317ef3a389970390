#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "crc_text.h"
#include "result.h"

namespace core {

/// One file member of a ZIP archive, as its central directory states it.
struct ZipMember {
    std::uint64_t index = 0; ///< position in the directory
    std::string name;        ///< the stored name, UTF-8 (never used as a path)
    CrcText crc;             ///< the stored CRC
    std::uint64_t size = 0;  ///< the stored uncompressed size
    bool encrypted = false;
};

/// The file members of an archive in directory order whose base name matches one of the
/// `;`-separated patterns without regard to case (all members when `patterns` is empty).
/// Folder entries are left out. A broken archive is an error.
Result<std::vector<ZipMember>> list_zip(const std::filesystem::path& zip,
                                        std::string_view patterns);

/// No ROM comes near 4 GiB: a member that states more is taken for a lie.
inline constexpr std::uint64_t kLargestMember = 0xFFFFFFFFu;
/// Room left on the disk beside an extracted member.
inline constexpr std::uint64_t kFreeSpaceMargin = std::uint64_t{64} << 20;

/// The largest member that may be extracted into `folder`: its free space less the margin,
/// and never more than kLargestMember.
Result<std::uint64_t> extraction_cap(const std::filesystem::path& folder);

/// Extracts one member to `target` (a path of ours, never derived from the member name),
/// refusing encrypted members and members whose stated size is over `cap` before anything
/// is written, and members whose data does not match the stated size and CRC (reading
/// stops at the stated size). On failure `target` is removed.
Status extract_zip_member(const std::filesystem::path& zip, const ZipMember& member,
                          const std::filesystem::path& target, std::uint64_t cap);
/// As above, with the extraction cap of the target's folder.
Status extract_zip_member(const std::filesystem::path& zip, const ZipMember& member,
                          const std::filesystem::path& target);

} // namespace core
