#pragma once

#include <charconv>
#include <optional>
#include <string>
#include <string_view>

#include "text.h"

namespace settings {

/// A stored check box or option value as a state: "True"/"False" in any letter case, or a
/// whole number (not 0 is ticked). Anything else has no state, and the control keeps its own.
inline std::optional<bool> stored_flag(std::string_view text) {
    text = core::trim_spaces(text);
    const std::string lower = core::to_lower_ascii(text);
    if (lower == "true")
        return true;
    if (lower == "false")
        return false;
    long number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return number != 0;
}

/// Reads a ticked or clear flag into `value`, which is also the default.
inline void read_flag(bool& value, std::string_view stored) {
    if (auto flag = stored_flag(stored))
        value = *flag;
}

inline std::string check_text(bool ticked) {
    return ticked ? "1" : "0";
}
inline std::string option_text(bool selected) {
    return selected ? "True" : "False";
}

} // namespace settings
