#include "settings.h"

#include <algorithm>
#include <cstdio>

#include "app_home.h"
#include "cp1252.h"
#include "ini_file.h"
#include "text.h"

namespace core {
namespace {

// What the original's 255-character receive buffer can hold.
constexpr std::size_t kMaxValueChars = 254;

// Cuts to at most `limit` characters without splitting a UTF-8 sequence.
std::string cut_characters(std::string text, std::size_t limit) {
    std::size_t chars = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80)
            continue;
        if (chars++ == limit) {
            text.resize(i);
            break;
        }
    }
    return text;
}

const std::filesystem::path& or_settings_file(const std::filesystem::path& file,
                                              std::filesystem::path& storage) {
    if (!file.empty())
        return file;
    storage = settings_file_path();
    return storage;
}

bool has_any(std::string_view text, std::string_view chars) {
    return text.find_first_of(chars) != std::string_view::npos;
}

// A control character other than tab: the settings file would no longer read as text.
bool has_control(std::string_view text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x20 && c != '\t'; });
}

// The value with the bytes of text that is not UTF-8 written as \xNN; quoted() escapes the
// control characters.
std::string shown(std::string_view value) {
    if (is_valid_utf8(value))
        return std::string(value);
    std::string out;
    for (char c : value) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned char>(c));
            out += hex;
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace

Status check_setting(std::string_view section, std::string_view key, std::string_view value) {
    using namespace std::string_view_literals;
    const auto breaks = "\r\n\0"sv;
    if (section.empty() || has_any(section, breaks) || has_any(section, "]"))
        return Error::bad_input("the section name '" + std::string(section) +
                                "' cannot be stored in an INI file");
    if (key.empty() || has_any(key, breaks) || has_any(key, "=") || key.front() == '[' ||
        key.front() == ';')
        return Error::bad_input("the key '" + std::string(key) +
                                "' cannot be stored in an INI file");
    if (has_any(value, breaks))
        return Error::bad_input("the value of '" + std::string(key) + "' holds a line break");
    if (has_control(section) || has_control(key) || has_control(value))
        return Error::bad_input("the setting '" + std::string(key) +
                                "' holds a control character, which a settings file cannot hold");
    return Status::success();
}

SettingDefault::SettingDefault(int number) : m_text(std::to_string(number)) {}

SettingDefault::SettingDefault(double metric) {
    // Single precision, as the window metrics are stored: at most 7 significant digits.
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.7g", metric);
    m_text = buf;
}

const std::string& SettingValue::text() const {
    static const std::string empty;
    return m_text ? *m_text : empty;
}

SettingValue read_setting(std::string_view section, std::string_view key,
                          const SettingDefault& fallback, const std::filesystem::path& file) {
    std::filesystem::path storage;
    auto ini = IniFile::load(or_settings_file(file, storage));
    std::optional<std::string> stored = ini ? ini->get(section, key) : std::nullopt;
    std::string text = cut_characters(stored ? *stored : fallback.text(), kMaxValueChars);
    if (text.empty())
        return SettingValue{};
    return SettingValue{std::move(text)};
}

Status write_setting(std::string_view section, std::string_view key, std::string_view value,
                     const std::filesystem::path& file) {
    return write_settings({{std::string(section), std::string(key), std::string(value)}}, file);
}

Status write_settings(const std::vector<SettingChange>& changes,
                      const std::filesystem::path& file) {
    for (const auto& c : changes)
        if (auto ok = check_setting(c.section, c.key, c.value); !ok)
            return ok;
    std::filesystem::path storage;
    const auto& path = or_settings_file(file, storage);
    auto ini = IniFile::load(path);
    if (!ini)
        return ini.error();
    bool changed = false;
    for (const auto& c : changes) {
        if (ini->get(c.section, c.key) == std::optional<std::string>(c.value))
            continue; // already so: leave the file alone
        ini->set(c.section, c.key, c.value);
        changed = true;
    }
    if (!changed)
        return Status::success();
    if (path.has_parent_path()) {
        std::error_code ec;
        std::filesystem::create_directories(path.parent_path(), ec);
    }
    return ini->save(path);
}

std::string add_backslash(std::string_view path) {
    std::string out(path);
    if (out.empty() || out.back() != kSeparator)
        out += kSeparator;
    return out;
}

bool is_unset_folder(std::string_view folder) {
    return folder.empty() || folder == std::string_view(&kSeparator, 1);
}

std::optional<std::string> unusable_folder_reason(std::string_view folder) {
    if (is_unset_folder(folder))
        return std::nullopt;
    const std::string value = core::quoted(shown(folder));
    if (!is_valid_utf8(folder))
        return value + " holds bytes that are not UTF-8 text";
    if (has_control(folder))
        return value + " holds a control character";
    if (folder.front() != kSeparator)
        return value + " is not an absolute path";
    return std::nullopt;
}

Status check_folder_setting(std::string_view section, std::string_view key,
                            std::string_view folder) {
    auto why = unusable_folder_reason(folder);
    if (!why)
        return Status::success();
    return Error::bad_input("The setting " + std::string(key) + " of section [" +
                            std::string(section) + "] cannot be used: " + *why + ".");
}

std::optional<std::string> unreadable_settings_notice(const std::filesystem::path& file) {
    std::filesystem::path storage;
    auto ini = IniFile::load(or_settings_file(file, storage));
    if (ini)
        return std::nullopt;
    return "The settings could not be read, so the defaults are used: " + ini.error().message;
}

bool is_existing_folder(std::string_view folder) {
    std::error_code ec;
    // A relative value would be looked up under the working folder, which no setting means.
    return !is_unset_folder(folder) && folder.front() == kSeparator &&
           std::filesystem::is_directory(folder, ec);
}

} // namespace core
