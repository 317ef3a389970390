#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "result.h"

namespace core {

/// A plain INI file held as its lines, so that writing one key keeps everything else
/// (order, comments, blank lines, unknown lines, line ends, a leading byte-order mark) as it
/// was. LF, CR LF and a missing last line end read alike.
/// Sections and keys are found without regard to ASCII case; the first match wins.
class IniFile {
public:
    /// A missing file loads as empty. One that cannot be read, is larger than any settings
    /// file or holds control characters (binary data) is an error naming it.
    static Result<IniFile> load(const std::filesystem::path& path);
    static IniFile parse(std::string_view content);

    /// The stored value, blanks around it removed and one pair of matching quotes dropped.
    std::optional<std::string> get(std::string_view section, std::string_view key) const;
    /// Sets the first matching key, or adds it after the section's last entry, or adds the
    /// section at the end. Names and values must not hold line breaks (checked by the caller).
    /// A value with blanks or quotes around it is written in quotes, so get() gives it back.
    void set(std::string_view section, std::string_view key, std::string_view value);
    /// The section names in file order.
    std::vector<std::string> sections() const;
    /// The keys of a section in file order.
    std::vector<std::string> keys(std::string_view section) const;

    std::string serialize() const;
    /// Writes to a temporary file beside `path`, syncs it and renames it over `path`.
    Status save(const std::filesystem::path& path) const;

private:
    std::vector<std::string> m_lines; // without line ends
    std::string m_eol = "\n";
    bool m_final_eol = true;
    bool m_bom = false;
};

} // namespace core
