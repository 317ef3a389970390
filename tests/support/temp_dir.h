#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace testsupport {

/// A fresh folder for one test, removed with its contents afterwards.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    /// Writes `content` to `relative` (creating folders) and returns the full path.
    std::filesystem::path write(const std::filesystem::path& relative,
                                std::string_view content) const;

private:
    std::filesystem::path m_path;
};

/// Points the system's temporary folder (TMPDIR) at `folder` while it lives, and gives the
/// old value back when it goes.
class ScopedTmpdir {
public:
    explicit ScopedTmpdir(const std::filesystem::path& folder);
    ~ScopedTmpdir();
    ScopedTmpdir(const ScopedTmpdir&) = delete;
    ScopedTmpdir& operator=(const ScopedTmpdir&) = delete;

private:
    std::optional<std::string> m_saved;
};

void write_file(const std::filesystem::path& path, std::string_view content);
std::string read_file(const std::filesystem::path& path);
/// The names in `folder`, sorted; none when it cannot be read.
std::vector<std::string> names_in(const std::filesystem::path& folder);
inline std::size_t entry_count(const std::filesystem::path& folder) {
    return names_in(folder).size();
}

} // namespace testsupport
