#include "zelcore.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "posix_io.h"

namespace {

constexpr std::int64_t kHeaderSize = 512;
constexpr std::size_t kBlockSize = 16384;
constexpr std::size_t kHalfBlock = kBlockSize / 2;
// Work in 1 MiB steps: few system calls, and an 8 MiB dump never sits in memory twice.
constexpr std::size_t kBlocksPerStep = 64;
constexpr std::size_t kStepSize = kBlocksPerStep * kBlockSize;

bool is_interleaved(std::int64_t size) {
    return size >= kHeaderSize && (size - kHeaderSize) % static_cast<std::int64_t>(kBlockSize) == 0;
}

std::int32_t deinterleave(int in, int out, std::int64_t size) {
    std::vector<unsigned char> block_data(kStepSize);
    std::vector<unsigned char> plain(kStepSize);
    for (std::int64_t position = kHeaderSize; position < size;) {
        const auto step = static_cast<std::size_t>(
            std::min<std::int64_t>(size - position, static_cast<std::int64_t>(kStepSize)));
        if (const std::int32_t rc = zelcore::read_exact(in, block_data.data(), step, position))
            return rc;
        for (std::size_t block = 0; block < step; block += kBlockSize) {
            const unsigned char* odd = block_data.data() + block;
            const unsigned char* even = odd + kHalfBlock;
            unsigned char* target = plain.data() + block;
            for (std::size_t i = 0; i < kHalfBlock; ++i) {
                target[2 * i] = even[i];
                target[2 * i + 1] = odd[i];
            }
        }
        if (const std::int32_t rc = zelcore::write_all(out, plain.data(), step))
            return rc;
        position += static_cast<std::int64_t>(step);
    }
    return ZELCORE_OK;
}

std::int32_t copy_unchanged(int in, int out, std::int64_t size) {
    std::vector<unsigned char> data(kStepSize);
    for (std::int64_t position = 0; position < size;) {
        const auto step = static_cast<std::size_t>(
            std::min<std::int64_t>(size - position, static_cast<std::int64_t>(kStepSize)));
        if (const std::int32_t rc = zelcore::read_exact(in, data.data(), step, position))
            return rc;
        if (const std::int32_t rc = zelcore::write_all(out, data.data(), step))
            return rc;
        position += static_cast<std::int64_t>(step);
    }
    return ZELCORE_OK;
}

std::int32_t convert(const char* source, const char* target) {
    if (source == nullptr || target == nullptr)
        return ZELCORE_ERR_BAD_ARGUMENT;
    zelcore::UniqueFd in(::open(source, O_RDONLY | O_CLOEXEC));
    if (!in)
        return errno;
    struct stat source_stat {};
    if (::fstat(in.get(), &source_stat) != 0)
        return errno;
    if (S_ISDIR(source_stat.st_mode))
        return EISDIR;
    // Truncating the target first would destroy a source that is the same file.
    struct stat target_stat {};
    if (::stat(target, &target_stat) == 0 && target_stat.st_dev == source_stat.st_dev &&
        target_stat.st_ino == source_stat.st_ino)
        return ZELCORE_ERR_BAD_ARGUMENT;

    zelcore::UniqueFd out(::open(target, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    if (!out)
        return errno;
    const std::int64_t size = source_stat.st_size;
    std::int32_t rc = ZELCORE_OK;
    try {
        rc = is_interleaved(size) ? deinterleave(in.get(), out.get(), size)
                                  : copy_unchanged(in.get(), out.get(), size);
    } catch (const std::bad_alloc&) {
        rc = ENOMEM;
    }
    // A full disk may only show when the last blocks are flushed at close.
    if (::close(out.release()) != 0 && rc == ZELCORE_OK)
        rc = errno;
    if (rc != ZELCORE_OK)
        ::unlink(target); // never leave half an image for the caller to hash
    return rc;
}

} // namespace

extern "C" ZELCORE_EXPORT std::int32_t smd2bin(const char* source, const char* target) {
    return convert(source, target);
}
