#pragma once

// Database bytes built field by field from the file format, independently of write_zdb,
// so the reader is checked against the format and not against our own writer.

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace zdbfixture {

struct Bytes {
    std::string data;

    Bytes& le(std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i, value >>= 8)
            data += static_cast<char>(value & 0xFF);
        return *this;
    }
    /// A length byte and the Windows-1252 bytes.
    Bytes& text(std::string_view bytes) {
        le(static_cast<std::uint32_t>(bytes.size()), 1).data += bytes;
        return *this;
    }
    /// One ROM record: `name` is the Windows-1252 name before scrambling.
    Bytes& record(std::uint32_t crc, std::string_view name,
                  std::optional<std::uint32_t> crc2 = std::nullopt) {
        const std::uint32_t stored = crc ^ 0x5C3A71E6;
        char key[9];
        std::snprintf(key, sizeof key, "%08x", static_cast<unsigned>(crc));
        le(static_cast<std::uint32_t>(name.size()) ^ (stored & 0xFF), 1).le(stored, 4);
        if (crc2)
            le(*crc2 ^ 0x5C3A71E6, 4);
        for (std::size_t i = 0; i < name.size(); ++i)
            data += static_cast<char>(name[i] ^ key[i % 8]);
        return *this;
    }
};

struct HeaderFields {
    std::string system_id = "SGENESIS";
    std::string long_name = "Sega Genesis";
    std::string version = "2.4";
    std::string credit = "The Collectors";
    std::string notes = "Names follow the cartridge labels.";
    std::string patterns = "*.bin;*.gen;*.smd";
    std::int32_t number = 512;
    std::int16_t extra = 7;
    std::string more_info = "A longer description.";
    std::optional<std::int16_t> more_info_length; ///< stored instead of the real length
};

/// The header of `format` (any byte, so wrong formats can be built too).
inline Bytes header(unsigned format, const HeaderFields& h = {}) {
    Bytes b;
    b.le(format, 1).text(h.system_id).text(h.long_name).text(h.version).text(h.credit);
    b.text(h.notes).text(h.patterns);
    if (format == 1 || format == 3)
        b.le(static_cast<std::uint32_t>(h.number), 4);
    if (format == 1)
        b.le(static_cast<std::uint16_t>(h.extra), 2);
    const auto length = h.more_info_length.value_or(static_cast<std::int16_t>(h.more_info.size()));
    b.le(static_cast<std::uint16_t>(length), 2).data += h.more_info;
    return b;
}

} // namespace zdbfixture
