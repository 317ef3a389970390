#include "cp1252.h"

#include <array>
#include <cstdint>

namespace core {
namespace {

// Code points of the bytes 0x80-0x9F. The five bytes Windows-1252 leaves unassigned
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) stand for the C1 control of the same value, as the
// Windows conversion functions do, so no byte is ever lost.
constexpr std::array<std::uint16_t, 32> kHighBlock = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178, // 98-9F
};

// Writes one code point at `out` and returns the position after it.
char* put_utf8(char* out, std::uint32_t cp) {
    if (cp < 0x80) {
        *out++ = static_cast<char>(cp);
    } else if (cp < 0x800) {
        *out++ = static_cast<char>(0xC0 | (cp >> 6));
        *out++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        // Every code point of the table lies in the Basic Multilingual Plane.
        *out++ = static_cast<char>(0xE0 | (cp >> 12));
        *out++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (cp & 0x3F));
    }
    return out;
}

std::uint32_t code_point_of(unsigned char byte) {
    return (byte >= 0x80 && byte <= 0x9F) ? kHighBlock[byte - 0x80] : byte;
}

std::size_t utf8_length(std::uint32_t cp) {
    return cp < 0x80 ? 1 : cp < 0x800 ? 2 : 3;
}

// The byte for a code point, or -1 when the code page has none.
int byte_of(std::uint32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF))
        return static_cast<int>(cp);
    for (std::size_t i = 0; i < kHighBlock.size(); ++i)
        if (kHighBlock[i] == cp)
            return static_cast<int>(0x80 + i);
    return -1;
}

} // namespace

std::string cp1252_to_utf8(std::string_view bytes) {
    // Sized exactly first: database names are converted by the hundred thousand and
    // kept, so no slack capacity may stay behind (the length constructor allocates
    // exactly; reserve() and appending may round up).
    bool ascii = true;
    for (char c : bytes)
        ascii &= static_cast<unsigned char>(c) < 0x80;
    if (ascii)
        return std::string(bytes);
    std::size_t length = 0;
    for (char c : bytes)
        length += utf8_length(code_point_of(static_cast<unsigned char>(c)));
    std::string out(length, '\0');
    char* at = out.data();
    for (char c : bytes)
        at = put_utf8(at, code_point_of(static_cast<unsigned char>(c)));
    return out;
}

std::optional<std::string> utf8_to_cp1252(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        auto lead = static_cast<unsigned char>(text[i]);
        std::uint32_t cp;
        std::size_t extra;
        std::uint32_t min;
        if (lead < 0x80) {
            out += static_cast<char>(lead);
            ++i;
            continue;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            cp = lead & 0x1Fu, extra = 1, min = 0x80;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            cp = lead & 0x0Fu, extra = 2, min = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            cp = lead & 0x07u, extra = 3, min = 0x10000;
        } else {
            return std::nullopt; // a continuation byte, an overlong lead or beyond U+10FFFF
        }
        if (text.size() - i <= extra)
            return std::nullopt;
        for (std::size_t k = 1; k <= extra; ++k) {
            auto c = static_cast<unsigned char>(text[i + k]);
            if ((c & 0xC0) != 0x80)
                return std::nullopt;
            cp = (cp << 6) | (c & 0x3Fu);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return std::nullopt;
        int byte = byte_of(cp);
        if (byte < 0)
            return std::nullopt;
        out += static_cast<char>(byte);
        i += extra + 1;
    }
    return out;
}

} // namespace core
