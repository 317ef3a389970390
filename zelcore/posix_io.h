#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdint>

#include <unistd.h>

#include "zelcore.h"

namespace zelcore {

/// Owns a file descriptor and closes it on every way out of a function.
class UniqueFd {
public:
    explicit UniqueFd(int fd = -1) : m_fd(fd) {}
    ~UniqueFd() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return m_fd; }
    explicit operator bool() const { return m_fd >= 0; }
    /// Closes the descriptor held and takes `fd` instead.
    void reset(int fd = -1) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }
    /// Gives up ownership, for callers that must see the result of close().
    int release() {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }

private:
    int m_fd;
};

/// Writes all of `data`: 0 or an errno value.
inline int write_all(int fd, const void* data, std::size_t size) {
    auto* p = static_cast<const unsigned char*>(data);
    while (size > 0) {
        const ssize_t put = ::write(fd, p, size);
        if (put < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        p += put;
        size -= static_cast<std::size_t>(put);
    }
    return 0;
}

/// Reads exactly `size` bytes at `position`: 0, an errno value, or ZELCORE_ERR_SHORT_FILE
/// when the file is shorter than it was a moment ago.
inline std::int32_t read_exact(int fd, unsigned char* data, std::size_t size,
                               std::int64_t position) {
    while (size > 0) {
        const ssize_t got = ::pread(fd, data, size, position);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (got == 0)
            return ZELCORE_ERR_SHORT_FILE;
        data += got;
        size -= static_cast<std::size_t>(got);
        position += got;
    }
    return ZELCORE_OK;
}

} // namespace zelcore
