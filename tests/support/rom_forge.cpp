#include "rom_forge.h"

#include <array>
#include <stdexcept>

#include <zlib.h>

namespace testsupport {
namespace {

constexpr std::uint32_t kPoly = 0xEDB88320u;

struct Tables {
    std::array<std::uint32_t, 256> forward{};
    std::array<std::uint8_t, 256> by_top_byte{};
    Tables() {
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? (c >> 1) ^ kPoly : c >> 1;
            forward[i] = c;
            by_top_byte[c >> 24] = static_cast<std::uint8_t>(i);
        }
    }
};

const Tables& tables() {
    static const Tables t;
    return t;
}

} // namespace

std::uint32_t crc32_of(std::string_view bytes) {
    return static_cast<std::uint32_t>(
        crc32(0L, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

void force_crc(std::string& bytes, std::uint32_t crc) {
    if (bytes.size() < 4)
        throw std::invalid_argument("force_crc needs at least 4 bytes");
    const auto& t = tables();
    // Register after everything but the last 4 bytes (before the final inversion).
    std::uint32_t before = ~crc32_of(std::string_view(bytes).substr(0, bytes.size() - 4));
    // Run four zero-byte steps backwards from the wanted final register.
    std::uint32_t reg = ~crc;
    for (int i = 0; i < 4; ++i) {
        std::uint8_t k = t.by_top_byte[reg >> 24];
        reg = ((reg ^ t.forward[k]) << 8) | k;
    }
    std::uint32_t word = reg ^ before;
    for (int i = 0; i < 4; ++i)
        bytes[bytes.size() - 4 + i] = static_cast<char>((word >> (8 * i)) & 0xFF);
}

std::string rom_with_crc(std::size_t size, std::uint32_t crc, std::uint32_t seed) {
    std::string bytes(size, '\0');
    std::uint32_t x = seed * 2654435761u + 12345u;
    for (auto& b : bytes) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<char>(x & 0xFF);
    }
    force_crc(bytes, crc);
    return bytes;
}

std::string interleave_smd(std::string_view plain) {
    constexpr std::size_t kBlock = 16384, kHalf = 8192;
    if (plain.size() % kBlock != 0)
        throw std::invalid_argument("an SMD image is a whole number of 16 KiB blocks");
    std::string out(512, '\0');
    out[0] = static_cast<char>(plain.size() / kBlock); // block count, as copiers write it
    out[1] = 3;
    out[8] = static_cast<char>(0xAA);
    out[9] = static_cast<char>(0xBB);
    out[10] = 6;
    for (std::size_t b = 0; b < plain.size(); b += kBlock) {
        std::string block(kBlock, '\0');
        for (std::size_t i = 0; i < kHalf; ++i) {
            block[i] = plain[b + 2 * i + 1];     // odd bytes first
            block[kHalf + i] = plain[b + 2 * i]; // then the even ones
        }
        out += block;
    }
    return out;
}

core::RomEntry rom_entry(std::uint32_t crc, std::string name, std::uint32_t crc2) {
    core::RomEntry e;
    e.crc = core::CrcText::from_value(crc);
    if (crc2)
        e.crc2 = core::CrcText::from_value(crc2);
    e.name = std::move(name);
    return e;
}

core::ZdbHeader db_header(std::string system_id, std::string long_name, std::string patterns) {
    core::ZdbHeader h;
    h.system_id = std::move(system_id);
    h.long_name = std::move(long_name);
    h.version = "1";
    h.patterns = std::move(patterns);
    return h;
}

} // namespace testsupport
