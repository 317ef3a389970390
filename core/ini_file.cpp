#include "ini_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "atomic_file.h"
#include "read_file.h"
#include "text.h"

namespace core {
namespace {

std::string_view trim_blanks(std::string_view s) {
    auto first = s.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

// The section name of a "[name]" line, or nothing for any other line.
std::optional<std::string_view> section_of(std::string_view line) {
    auto t = trim_blanks(line);
    if (t.empty() || t.front() != '[')
        return std::nullopt;
    auto close = t.find(']');
    auto inner = t.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1);
    return trim_blanks(inner);
}

// The key of a "key=value" line; comments and other lines have none.
std::optional<std::string_view> key_of(std::string_view line) {
    auto t = trim_blanks(line);
    if (t.empty() || t.front() == ';' || t.front() == '[')
        return std::nullopt;
    auto eq = t.find('=');
    if (eq == std::string_view::npos)
        return std::nullopt;
    return trim_blanks(t.substr(0, eq));
}

bool quoted_pair(std::string_view v) {
    return v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front();
}

std::string value_of(std::string_view line) {
    auto v = trim_blanks(line.substr(line.find('=') + 1));
    if (quoted_pair(v))
        v = v.substr(1, v.size() - 2);
    return std::string(v);
}

// The value as written after "=": in quotes when reading would drop its outer blanks or
// quotes otherwise.
std::string stored_value(std::string_view value) {
    if (trim_blanks(value) == value && !quoted_pair(value))
        return std::string(value);
    return '"' + std::string(value) + '"';
}

std::string errno_text() {
    return std::strerror(errno);
}

// Where a text stops being text: no INI file holds a NUL or another control character
// besides tab, the line ends, form feed and the old end-of-file mark.
std::optional<std::size_t> first_control_byte(std::string_view content) {
    constexpr std::string_view allowed = "\t\n\v\f\r\x1a";
    for (std::size_t i = 0; i < content.size(); ++i) {
        const auto c = static_cast<unsigned char>(content[i]);
        if (c < 0x20 && allowed.find(static_cast<char>(c)) == std::string_view::npos)
            return i;
    }
    return std::nullopt;
}

} // namespace

IniFile IniFile::parse(std::string_view content) {
    IniFile ini;
    ini.m_bom = content.starts_with(kByteOrderMark);
    content = without_bom(content);
    ini.m_final_eol = content.empty() || content.back() == '\n';
    auto first_nl = content.find('\n');
    if (first_nl != std::string_view::npos && first_nl > 0 && content[first_nl - 1] == '\r')
        ini.m_eol = "\r\n";
    while (!content.empty())
        ini.m_lines.emplace_back(take_line(content));
    return ini;
}

Result<IniFile> IniFile::load(const std::filesystem::path& path) {
    auto content = read_file_if_exists(path, kSettingsText);
    if (!content)
        return content.error();
    if (!*content)
        return IniFile{};
    if (auto at = first_control_byte(**content))
        return Error::bad_input(quoted(path) + " is not a text file: byte " +
                                std::to_string(*at + 1) + " is a control character");
    return parse(**content);
}

std::optional<std::string> IniFile::get(std::string_view section, std::string_view key) const {
    bool inside = false;
    bool seen = false;
    for (const auto& line : m_lines) {
        if (auto s = section_of(line)) {
            if (seen)
                break; // only the first section of that name counts
            inside = iequals(*s, section);
            seen = inside;
        } else if (inside) {
            if (auto k = key_of(line); k && iequals(*k, key))
                return value_of(line);
        }
    }
    return std::nullopt;
}

void IniFile::set(std::string_view section, std::string_view key, std::string_view value) {
    std::size_t i = 0;
    while (i < m_lines.size() &&
           !(section_of(m_lines[i]) && iequals(*section_of(m_lines[i]), section)))
        ++i;
    if (i == m_lines.size()) {
        m_lines.push_back("[" + std::string(section) + "]");
        m_lines.push_back(std::string(key) + "=" + stored_value(value));
        return;
    }
    std::size_t last_entry = i;
    for (std::size_t j = i + 1; j < m_lines.size() && !section_of(m_lines[j]); ++j) {
        if (auto k = key_of(m_lines[j]); k && iequals(*k, key)) {
            m_lines[j] = std::string(*k) + "=" + stored_value(value);
            return;
        }
        if (key_of(m_lines[j]))
            last_entry = j;
    }
    m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(last_entry) + 1,
                   std::string(key) + "=" + stored_value(value));
}

std::vector<std::string> IniFile::sections() const {
    std::vector<std::string> names;
    for (const auto& line : m_lines)
        if (auto s = section_of(line))
            names.emplace_back(*s);
    return names;
}

std::vector<std::string> IniFile::keys(std::string_view section) const {
    std::vector<std::string> names;
    bool inside = false;
    for (const auto& line : m_lines) {
        if (auto s = section_of(line))
            inside = iequals(*s, section);
        else if (auto k = key_of(line); inside && k)
            names.emplace_back(*k);
    }
    return names;
}

std::string IniFile::serialize() const {
    std::string out(m_bom ? kByteOrderMark : "");
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        out += m_lines[i];
        if (i + 1 < m_lines.size() || m_final_eol)
            out += m_eol;
    }
    return out;
}

Status IniFile::save(const std::filesystem::path& path) const {
    std::error_code ec;
    // Replace the file a link points to, not the link.
    auto target = path;
    if (std::filesystem::is_symlink(path, ec)) {
        target = std::filesystem::weakly_canonical(path, ec);
        if (ec)
            return Error::failed("cannot resolve '" + path.string() + "': " + ec.message());
    }
    struct stat st {};
    bool exists = ::stat(target.c_str(), &st) == 0;
    // A file without write bits is read-only for everyone, root included, as on the
    // platform the settings format comes from.
    if (exists && (st.st_mode & 0222) == 0)
        return Error::failed("cannot write '" + target.string() + "': the file is read-only");
    if (exists && ::access(target.c_str(), W_OK) != 0)
        return Error::failed("cannot write '" + target.string() + "': " + errno_text());

    return write_file_atomically(target, serialize());
}

} // namespace core
