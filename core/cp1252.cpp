#include "cp1252.h"

#include <array>
#include <cstdint>
#include <cstring>

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

constexpr std::uint32_t code_point_of(unsigned char byte) {
    return (byte >= 0x80 && byte <= 0x9F) ? kHighBlock[byte - 0x80] : byte;
}

// The UTF-8 form of every byte, worked out once: names are converted by the hundred
// thousand when a database loads.
struct Utf8Form {
    std::uint8_t length = 0;
    std::array<char, 3> bytes{};
};

constexpr std::array<Utf8Form, 256> make_forms() {
    std::array<Utf8Form, 256> forms{};
    for (unsigned b = 0; b < 256; ++b) {
        const std::uint32_t cp = code_point_of(static_cast<unsigned char>(b));
        Utf8Form& f = forms[b];
        if (cp < 0x80) {
            f.length = 1;
            f.bytes[0] = static_cast<char>(cp);
        } else if (cp < 0x800) {
            f.length = 2;
            f.bytes[0] = static_cast<char>(0xC0 | (cp >> 6));
            f.bytes[1] = static_cast<char>(0x80 | (cp & 0x3F));
        } else { // every code point of the table lies in the Basic Multilingual Plane
            f.length = 3;
            f.bytes[0] = static_cast<char>(0xE0 | (cp >> 12));
            f.bytes[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            f.bytes[2] = static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return forms;
}

constexpr std::array<Utf8Form, 256> kForms = make_forms();

// Texts up to this length (every database text but the more-info) convert in one pass.
constexpr std::size_t kShortText = 255;

bool is_ascii(std::string_view text) {
    // Eight bytes at a time: most names are plain ASCII and this is the whole cost.
    std::uint64_t high = 0;
    std::size_t i = 0;
    for (; i + 8 <= text.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, text.data() + i, 8);
        high |= word;
    }
    for (; i < text.size(); ++i)
        high |= static_cast<unsigned char>(text[i]);
    return (high & 0x8080808080808080ull) == 0;
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
    if (is_ascii(bytes))
        return std::string(bytes); // the common case: nothing to convert
    // The result is built at its exact size: database names are kept by the hundred
    // thousand, so no slack capacity may stay behind (the length constructor allocates
    // exactly; reserve() and appending may round up).
    if (bytes.size() <= kShortText) {
        // One pass into a stack buffer, each form copied whole (its unused bytes are
        // overwritten by the next one).
        char buffer[kShortText * 3 + sizeof(Utf8Form::bytes)];
        char* at = buffer;
        for (char c : bytes) {
            const Utf8Form& f = kForms[static_cast<unsigned char>(c)];
            std::memcpy(at, f.bytes.data(), f.bytes.size());
            at += f.length;
        }
        return std::string(buffer, static_cast<std::size_t>(at - buffer));
    }
    std::size_t length = 0;
    for (char c : bytes)
        length += kForms[static_cast<unsigned char>(c)].length;
    std::string out(length, '\0');
    char* at = out.data();
    for (char c : bytes) {
        const Utf8Form& f = kForms[static_cast<unsigned char>(c)];
        std::memcpy(at, f.bytes.data(), f.length);
        at += f.length;
    }
    return out;
}

namespace {

// The code point at text[i], advancing i past it; nothing for a sequence that is not
// strict UTF-8 (a stray continuation byte, an overlong form, a surrogate, past U+10FFFF).
std::optional<std::uint32_t> next_strict(std::string_view text, std::size_t& i) {
    auto lead = static_cast<unsigned char>(text[i]);
    std::uint32_t cp;
    std::size_t extra;
    std::uint32_t min;
    if (lead < 0x80) {
        ++i;
        return lead;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        cp = lead & 0x1Fu, extra = 1, min = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        cp = lead & 0x0Fu, extra = 2, min = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        cp = lead & 0x07u, extra = 3, min = 0x10000;
    } else {
        return std::nullopt;
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
    i += extra + 1;
    return cp;
}

} // namespace

bool is_valid_utf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();)
        if (!next_strict(text, i))
            return false;
    return true;
}

std::optional<std::string> utf8_to_cp1252(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        auto cp = next_strict(text, i);
        int byte = cp ? byte_of(*cp) : -1;
        if (byte < 0)
            return std::nullopt;
        out += static_cast<char>(byte);
    }
    return out;
}

} // namespace core
