#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "zdb.h"

namespace testsupport {

/// The ZIP CRC-32 of some bytes (reference implementation: zlib).
std::uint32_t crc32_of(std::string_view bytes);

/// `size` (at least 4) pseudo-random bytes from `seed` whose CRC-32 is `crc`:
/// a ROM image with a chosen checksum.
std::string rom_with_crc(std::size_t size, std::uint32_t crc, std::uint32_t seed = 1);

/// Changes the last 4 bytes of `bytes` (at least 4) so that its CRC-32 becomes `crc`.
void force_crc(std::string& bytes, std::uint32_t crc);

/// The interleaved SMD form of a plain Genesis image (a multiple of 16 KiB): a 512-byte
/// copier header, then per 16 KiB block the odd bytes followed by the even ones.
std::string interleave_smd(std::string_view plain);

/// A database entry; a `crc2` of 0 means none ("XXX     ").
core::RomEntry rom_entry(std::uint32_t crc, std::string name, std::uint32_t crc2 = 0);

/// A database header with the fields tests set: version "1" and the texts given.
core::ZdbHeader db_header(std::string system_id, std::string long_name, std::string patterns);

} // namespace testsupport
