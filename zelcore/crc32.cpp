#include "zelcore.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#ifdef ZELCORE_WITH_ISAL
#include <isa-l/crc.h>
#else
#include <libdeflate.h>
#endif

#include "posix_io.h"

namespace {

// Measured on a page-cached 1 GiB file: 512 KiB reads beat both smaller ones (more system
// calls) and larger ones (the buffer no longer stays in the core's L2 cache between the
// kernel's copy and the CRC pass). 256 KiB is within 5 %, 2 MiB is 25 % slower.
constexpr std::size_t kBufferSize = 512 * 1024;

// Beyond one buffer's worth the kernel's read-ahead pays for the extra system call.
constexpr std::int64_t kAdviseFrom = static_cast<std::int64_t>(kBufferSize);

std::uint32_t crc_update(std::uint32_t crc, const unsigned char* data, std::size_t size) {
#ifdef ZELCORE_WITH_ISAL
    // Takes and returns the finished CRC, like zlib: chaining calls needs no inversion.
    return crc32_gzip_refl(crc, data, size);
#else
    return libdeflate_crc32(crc, data, size);
#endif
}

// One buffer per thread: callers hash many small files in a row from several threads,
// and a fresh buffer per call would cost a page fault for every 4 KiB of it. A thread key
// rather than thread_local: this library is loaded and unloaded at run time, where a
// thread_local with a destructor (and the dynamic TLS it needs) is a hazard of its own.
pthread_key_t g_buffer_key;
pthread_once_t g_buffer_once = PTHREAD_ONCE_INIT;
bool g_buffer_key_made = false;

extern "C" void free_thread_buffer(void* buffer) {
    std::free(buffer);
}

void make_buffer_key() {
    g_buffer_key_made = ::pthread_key_create(&g_buffer_key, free_thread_buffer) == 0;
}

// The thread that unloads the library (at exit, the main thread, for which no key
// destructor runs) gives its buffer back here. Other threads still running keep theirs
// rather than calling back into code that is no longer loaded.
__attribute__((destructor)) void delete_buffer_key() {
    if (!g_buffer_key_made)
        return;
    std::free(::pthread_getspecific(g_buffer_key));
    ::pthread_setspecific(g_buffer_key, nullptr);
    ::pthread_key_delete(g_buffer_key);
}

// Null when no buffer could be had.
unsigned char* thread_buffer() {
    ::pthread_once(&g_buffer_once, make_buffer_key);
    if (!g_buffer_key_made)
        return nullptr;
    auto* buffer = static_cast<unsigned char*>(::pthread_getspecific(g_buffer_key));
    if (buffer == nullptr) {
        buffer = static_cast<unsigned char*>(std::aligned_alloc(4096, kBufferSize));
        if (buffer != nullptr && ::pthread_setspecific(g_buffer_key, buffer) != 0) {
            std::free(buffer);
            buffer = nullptr;
        }
    }
    return buffer;
}

// Hashing a collection must not mark every file as read just now: that would dirty every
// inode and cost a journal write per file. O_NOATIME is refused for files of other users.
int open_for_reading(const char* path) {
    int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NOATIME);
    if (fd < 0 && errno == EPERM)
        fd = ::open(path, O_RDONLY | O_CLOEXEC);
    return fd;
}

std::int32_t crc_of_range(const char* path, std::int64_t offset, std::int64_t length,
                          std::uint32_t* crc) {
    if (path == nullptr || crc == nullptr || offset < 0)
        return ZELCORE_ERR_BAD_ARGUMENT;
    // The file is opened even for an empty range, so that a missing file is reported.
    zelcore::UniqueFd fd(open_for_reading(path));
    if (!fd)
        return errno;
    if (length <= 0) {
        *crc = 0;
        return ZELCORE_OK;
    }
    if (length > kAdviseFrom)
        (void)::posix_fadvise(fd.get(), offset, length, POSIX_FADV_SEQUENTIAL);

    unsigned char* buffer = thread_buffer();
    if (buffer == nullptr)
        return ENOMEM;
    std::uint32_t value = 0;
    std::int64_t position = offset;
    std::int64_t remaining = length;
    while (remaining > 0) {
        const std::size_t want = static_cast<std::size_t>(
            std::min<std::int64_t>(remaining, static_cast<std::int64_t>(kBufferSize)));
        if (const std::int32_t rc = zelcore::read_exact(fd.get(), buffer, want, position))
            return rc;
        value = crc_update(value, buffer, want);
        position += static_cast<std::int64_t>(want);
        remaining -= static_cast<std::int64_t>(want);
    }
    *crc = value;
    return ZELCORE_OK;
}

} // namespace

extern "C" {

ZELCORE_EXPORT std::int32_t zelcore_crc32_range(const char* path, std::int64_t offset,
                                                std::int64_t length, std::uint32_t* crc) {
    return crc_of_range(path, offset, length, crc);
}

ZELCORE_EXPORT std::uint32_t file_crc32(const char* path, std::int32_t offset,
                                        std::int32_t length) {
    std::uint32_t crc = 0;
    return crc_of_range(path, offset, length, &crc) == ZELCORE_OK ? crc : 0;
}

} // extern "C"
