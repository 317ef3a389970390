#include "file_stamp.h"

#include <sys/stat.h>

namespace core {

FileStamp stamp_from(const struct ::stat& st) {
    return FileStamp{static_cast<std::int64_t>(st.st_size),
                     static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 +
                         st.st_mtim.tv_nsec,
                     static_cast<std::uint64_t>(st.st_ino), static_cast<std::uint64_t>(st.st_dev)};
}

std::optional<FileStamp> stamp_of(const std::filesystem::path& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return stamp_from(st);
}

} // namespace core
