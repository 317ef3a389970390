#pragma once

#include <array>
#include <compare>
#include <cstdint>
#include <string>
#include <string_view>

namespace core {

/// A checksum as the program compares it: exactly 8 characters, normally lower-case
/// hexadecimal digits left-padded with "0" ("0000abcd"); "XXX     " marks a missing
/// second CRC. Kept inline (no heap) because tables hold hundreds of thousands.
class CrcText {
public:
    CrcText() : CrcText(std::string_view("00000000")) {}
    /// The first 8 characters of text, padded with blanks when shorter.
    explicit CrcText(std::string_view text);
    static CrcText from_value(std::uint32_t value);
    /// "XXX" and five blanks: the second CRC of a database that has only one.
    static CrcText none() { return CrcText(std::string_view("XXX     ")); }

    std::string_view view() const { return {m_chars.data(), m_chars.size()}; }
    std::string str() const { return std::string(view()); }

    friend bool operator==(const CrcText&, const CrcText&) = default;
    friend auto operator<=>(const CrcText&, const CrcText&) = default;
    friend bool operator==(const CrcText& a, std::string_view b) { return a.view() == b; }

private:
    std::array<char, 8> m_chars{};
};

} // namespace core
