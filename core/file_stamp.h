#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

struct stat;

namespace core {

/// What a stat of a file says about its contents without reading them: a file whose stamp
/// is unchanged is taken to hold the same bytes.
struct FileStamp {
    std::int64_t size = 0;
    std::int64_t mtime_ns = 0; ///< modification time, nanoseconds since the epoch
    std::uint64_t inode = 0;
    std::uint64_t device = 0;
    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

/// The stamp that a stat call gave.
FileStamp stamp_from(const struct ::stat& st);

/// The stamp of a file from one stat call (following links); nothing when it cannot be
/// stat'ed.
std::optional<FileStamp> stamp_of(const std::filesystem::path& path);

} // namespace core
