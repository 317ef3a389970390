#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

struct ZipEntry {
    std::string name; ///< stored as given: may hold folders, "..", anything
    std::string data;
    bool store = false;   ///< stored instead of deflated
    std::string password; ///< non-empty: AES-256 encrypted member
};

/// Writes a ZIP archive with the members in the given order (libzip).
void make_zip(const std::filesystem::path& path, const std::vector<ZipEntry>& entries);

} // namespace testsupport
