#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "result.h"

namespace core {

/// The platform separator that ends a normalised folder value.
inline constexpr char kSeparator = '/';

/// The default of read_setting: text, a whole number ("0"), a flag ("True"/"False")
/// or a window metric (its decimal text).
class SettingDefault {
public:
    SettingDefault(const char* text) : m_text(text) {}
    SettingDefault(std::string_view text) : m_text(text) {}
    SettingDefault(std::string text) : m_text(std::move(text)) {}
    SettingDefault(int number);
    SettingDefault(bool flag) : m_text(flag ? "True" : "False") {}
    SettingDefault(double metric);
    const std::string& text() const { return m_text; }

private:
    std::string m_text;
};

/// What read_setting gives: a text, or empty (the value was stored empty, or it is
/// missing and the default is empty). Empty compares equal to "".
class SettingValue {
public:
    SettingValue() = default;
    explicit SettingValue(std::string text) : m_text(std::move(text)) {}

    bool is_empty() const { return !m_text; }
    /// The text; "" when empty.
    const std::string& text() const;
    bool operator==(std::string_view other) const { return text() == other; }

private:
    std::optional<std::string> m_text;
};

/// Reads `key` of `section` (both without regard to case) from `file`, or from the
/// settings file of the application home when `file` is empty. Values are cut to 254
/// characters; a stored empty value wins over the default. Never fails: an unreadable
/// file yields the default (unreadable_settings_notice says so once per program run).
SettingValue read_setting(std::string_view section, std::string_view key,
                          const SettingDefault& fallback, const std::filesystem::path& file = {});

/// The line a front end shows once at start when the settings file exists but cannot be
/// read (binary data, too large, not readable), so every setting takes its default; nothing
/// when it reads. `file` empty: the home's settings file.
std::optional<std::string> unreadable_settings_notice(const std::filesystem::path& file = {});

/// Writes one key, keeping the rest of the file as it was; the file is replaced
/// atomically. Fails (and changes nothing) when the file cannot be read or written, or
/// when a name or value would break the file (line breaks, `]` in a section, `=` in a key).
Status write_setting(std::string_view section, std::string_view key, std::string_view value,
                     const std::filesystem::path& file = {});

/// Fails when a section, key or value cannot be stored in an INI file (a line break or
/// another control character would break it).
Status check_setting(std::string_view section, std::string_view key, std::string_view value);

struct SettingChange {
    std::string section;
    std::string key;
    std::string value;
};

/// Writes several keys with one replacement of the file; nothing is written when any
/// change is refused.
Status write_settings(const std::vector<SettingChange>& changes,
                      const std::filesystem::path& file = {});

/// The path with one trailing separator: unchanged when it already ends in one, "/" for "".
std::string add_backslash(std::string_view path);

/// True for a folder value that names no folder: "" or the bare separator.
/// Such a value never means the file-system root.
bool is_unset_folder(std::string_view folder);

/// Why a stored folder value cannot be used; nothing when it can. A usable value is unset
/// (see is_unset_folder) or an absolute path of UTF-8 text without control characters: a
/// relative one would name a folder under whatever the working folder happens to be.
std::optional<std::string> unusable_folder_reason(std::string_view folder);

/// Refuses a folder setting that cannot be used, naming the key, its section and why:
/// "The setting RenameFolder of section [SNES] cannot be used: 'roms/' is not an absolute
/// path."
Status check_folder_setting(std::string_view section, std::string_view key,
                            std::string_view folder);

/// True for a folder value that is set, absolute and names a folder that exists.
bool is_existing_folder(std::string_view folder);

} // namespace core
