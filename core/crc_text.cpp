#include "crc_text.h"

#include <algorithm>

namespace core {

CrcText::CrcText(std::string_view text) {
    m_chars.fill(' ');
    std::copy_n(text.begin(), std::min(text.size(), m_chars.size()), m_chars.begin());
}

CrcText CrcText::from_value(std::uint32_t value) {
    static constexpr char kDigits[] = "0123456789abcdef";
    char digits[8];
    for (int i = 7; i >= 0; --i) {
        digits[i] = kDigits[value & 0xFu];
        value >>= 4;
    }
    return CrcText(std::string_view(digits, sizeof digits));
}

} // namespace core
