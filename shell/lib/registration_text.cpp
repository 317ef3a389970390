#include "registration_text.h"

#include <cstdio>

namespace zelshell {

std::string desktop_exec_argument(std::string_view argument) {
    // The characters for which the Desktop Entry rules want an argument in double quotes.
    constexpr std::string_view reserved = " \t\n\"'\\><~|&;$*?#()`";
    std::string exec;
    const bool quote = argument.empty() || argument.find_first_of(reserved) != argument.npos;
    if (quote)
        exec += '"';
    for (const char c : argument) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            exec += '\\';
        exec += c;
    }
    if (quote)
        exec += '"';
    return keyfile_value(percent_doubled(exec));
}

std::string keyfile_value(std::string_view text) {
    std::string value;
    for (const char c : text) {
        switch (c) {
        case '\\':
            value += "\\\\";
            break;
        case '\n':
            value += "\\n";
            break;
        case '\t':
            value += "\\t";
            break;
        case '\r':
            value += "\\r";
            break;
        default:
            value += c;
        }
    }
    return value;
}

std::string shell_quoted(std::string_view argument) {
    std::string quoted = "'";
    for (const char c : argument)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string xml_text(std::string_view text) {
    std::string escaped;
    for (const char c : text) {
        switch (c) {
        case '&':
            escaped += "&amp;";
            break;
        case '<':
            escaped += "&lt;";
            break;
        case '>':
            escaped += "&gt;";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

std::string python_bytes(std::string_view bytes) {
    std::string literal;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x7F || c == '"' || c == '\\') {
            char escape[5];
            std::snprintf(escape, sizeof escape, "\\x%02x", byte);
            literal += escape;
        } else {
            literal += c;
        }
    }
    return literal;
}

std::string percent_doubled(std::string_view text) {
    std::string doubled;
    for (const char c : text)
        doubled += c == '%' ? std::string("%%") : std::string(1, c);
    return doubled;
}

std::string guid_text(const GUID& g) {
    char text[40];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned>(g.data1), g.data2, g.data3, g.data4[0], g.data4[1],
                  g.data4[2], g.data4[3], g.data4[4], g.data4[5], g.data4[6], g.data4[7]);
    return text;
}

std::string content_hash(std::string_view bytes) {
    // FNV-1a: no protection against anyone, only a witness of change.
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (const char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ULL;
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

bool has_control_character(std::string_view text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return true;
    return false;
}

std::string
fill_template(std::string_view text,
              std::initializer_list<std::pair<std::string_view, std::string_view>> values) {
    std::string filled;
    std::size_t at = 0;
    while (at < text.size()) {
        bool replaced = false;
        for (const auto& [placeholder, value] : values) {
            if (text.substr(at, placeholder.size()) == placeholder) {
                filled += value;
                at += placeholder.size();
                replaced = true;
                break;
            }
        }
        if (!replaced)
            filled += text[at++];
    }
    return filled;
}

} // namespace zelshell
