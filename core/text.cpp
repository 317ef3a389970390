#include "text.h"

#include <algorithm>
#include <cstdint>
#include <ctime>

namespace core {
namespace {

char lower_ascii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

// Decodes one UTF-8 code point at text[i] and advances i. Bytes that do not start a
// valid sequence count as themselves, so any byte string compares consistently.
std::uint32_t next_code_point(std::string_view text, std::size_t& i) {
    auto b = static_cast<unsigned char>(text[i]);
    int extra = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : 0;
    if (b < 0xC0 || i + static_cast<std::size_t>(extra) >= text.size()) {
        ++i;
        return b;
    }
    std::uint32_t cp = b & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
        auto c = static_cast<unsigned char>(text[i + k]);
        if ((c & 0xC0) != 0x80) {
            ++i;
            return b;
        }
        cp = (cp << 6) | (c & 0x3F);
    }
    i += static_cast<std::size_t>(extra) + 1;
    return cp;
}

// The letters Windows-1252 lower-cases: ASCII, Latin-1 capitals but the multiplication
// sign, and the four capitals of the 0x80-0x9F block.
std::uint32_t lower_code_point(std::uint32_t cp) {
    if (cp >= 'A' && cp <= 'Z')
        return cp + 32;
    if (cp >= 0xC0 && cp <= 0xDE && cp != 0xD7)
        return cp + 32;
    switch (cp) {
    case 0x160:
        return 0x161; // Š
    case 0x152:
        return 0x153; // Œ
    case 0x17D:
        return 0x17E; // Ž
    case 0x178:
        return 0xFF; // Ÿ
    default:
        return cp;
    }
}

bool match_from(std::string_view p, std::string_view n) {
    // Iterative wildcard match with one backtrack point: linear in practice.
    std::size_t pi = 0, ni = 0, star = std::string_view::npos, mark = 0;
    while (ni < n.size()) {
        if (pi < p.size() && (p[pi] == '?' || lower_ascii(p[pi]) == lower_ascii(n[ni]))) {
            ++pi;
            ++ni;
        } else if (pi < p.size() && p[pi] == '*') {
            star = pi++;
            mark = ni;
        } else if (star != std::string_view::npos) {
            pi = star + 1;
            ni = ++mark;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == '*')
        ++pi;
    return pi == p.size();
}

} // namespace

std::string quoted(const std::filesystem::path& path) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string text(1, '\'');
    for (const char c : path.native()) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\t')
            text += "\\t";
        else if (c == '\n')
            text += "\\n";
        else if (c == '\r')
            text += "\\r";
        else if (byte < 0x20 || byte == 0x7f)
            text.append("\\x").append(1, kHex[byte >> 4]).append(1, kHex[byte & 15]);
        else
            text += c;
    }
    text += '\'';
    return text;
}

std::string safe_file_name(std::string_view name) {
    std::string out(name);
    for (char& c : out)
        if (c == '/' || static_cast<unsigned char>(c) < 0x20)
            c = '_';
    if (out.find_first_not_of(". ") == std::string::npos)
        out.clear();
    return out;
}

std::string to_lower_ascii(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), lower_ascii);
    return out;
}

bool iequals(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return lower_ascii(x) == lower_ascii(y);
           });
}

std::string_view trim_spaces(std::string_view text) {
    auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    auto last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

int compare_lower(std::string_view a, std::string_view b) {
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        auto ca = static_cast<unsigned char>(a[i]);
        auto cb = static_cast<unsigned char>(b[j]);
        std::uint32_t x, y;
        if ((ca | cb) < 0x80) { // the common case: both ASCII
            x = static_cast<unsigned char>(lower_ascii(static_cast<char>(ca)));
            y = static_cast<unsigned char>(lower_ascii(static_cast<char>(cb)));
            ++i;
            ++j;
        } else {
            x = lower_code_point(next_code_point(a, i));
            y = lower_code_point(next_code_point(b, j));
        }
        if (x != y)
            return x < y ? -1 : 1;
    }
    if (i < a.size())
        return 1;
    if (j < b.size())
        return -1;
    return 0;
}

void append_utf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::string fold_case(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            out += lower_ascii(static_cast<char>(c));
            ++i;
        } else {
            append_utf8(out, lower_code_point(next_code_point(text, i)));
        }
    }
    return out;
}

bool wildcard_match(std::string_view pattern, std::string_view name) {
    return match_from(pattern, name);
}

bool matches_patterns(std::string_view patterns, std::string_view name) {
    while (!patterns.empty()) {
        auto end = patterns.find(';');
        auto one = trim_spaces(patterns.substr(0, end));
        if (!one.empty() && wildcard_match(one, name))
            return true;
        if (end == std::string_view::npos)
            break;
        patterns.remove_prefix(end + 1);
    }
    return false;
}

std::string lower_extension(std::string_view path) {
    auto slash = path.find_last_of("/\\");
    auto base = slash == std::string_view::npos ? path : path.substr(slash + 1);
    auto dot = base.rfind('.');
    return dot == std::string_view::npos ? std::string() : to_lower_ascii(base.substr(dot + 1));
}

std::vector<std::string> split_list(std::string_view text, char delimiter) {
    std::vector<std::string> parts;
    std::string rest(text);
    if (rest.empty() || rest.back() != delimiter)
        rest += delimiter;
    std::string_view view(rest);
    for (auto p = view.find(delimiter); p != std::string_view::npos; p = view.find(delimiter)) {
        parts.emplace_back(view.substr(0, p));
        view.remove_prefix(p + 1);
    }
    return parts;
}

std::string local_time_text(const char* format) {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    ::localtime_r(&now, &tm);
    char text[64];
    return std::strftime(text, sizeof text, format, &tm) ? text : "";
}

std::string with_line_feeds(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

} // namespace core
