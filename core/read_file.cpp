#include "read_file.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "text.h"

namespace core {
namespace {

Error read_error(const std::filesystem::path& file, int err) {
    return Error::failed("cannot read " + quoted(file) + ": " + std::strerror(err));
}

} // namespace

Result<std::optional<std::string>> read_file_if_exists(const std::filesystem::path& file) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT)
            return std::optional<std::string>{};
        return read_error(file, errno);
    }
    struct stat st {};
    int err = ::fstat(fd, &st) != 0 ? errno : S_ISDIR(st.st_mode) ? EISDIR : 0;
    std::string bytes;
    char buffer[65536];
    while (err == 0) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got > 0)
            bytes.append(buffer, static_cast<std::size_t>(got));
        else if (got == 0)
            break;
        else if (errno != EINTR)
            err = errno;
    }
    ::close(fd);
    if (err != 0)
        return read_error(file, err);
    return std::optional<std::string>(std::move(bytes));
}

} // namespace core
