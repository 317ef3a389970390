#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "rom_forge.h"
#include "temp_dir.h"
#include "zelcore.h"

using testsupport::crc32_of;
using testsupport::rom_with_crc;
using testsupport::TempDir;

namespace {

constexpr std::int64_t kMiB = 1024 * 1024;

std::int32_t range_code(const std::filesystem::path& path, std::int64_t offset, std::int64_t length,
                        std::uint32_t* crc) {
    return ::zelcore_crc32_range(path.c_str(), offset, length, crc);
}

} // namespace

// Sizes and offsets around the library's read buffer (512 KiB) and the header skips callers
// use, each compared with zlib over the same bytes. Rehashing a collection must leave its
// files as they were, access times included.
TEST(FileCrc32, MatchesZlibOverAnyRangeAndLeavesTheAccessTimeAlone) {
    TempDir dir;
    const std::string data = rom_with_crc(3 * kMiB + 17, 0x1234ABCD, 7);
    const auto path = dir.write("rom.bin", data);
    const auto size = static_cast<std::int64_t>(data.size());
    // An access time before the change time is one that any reading would bring forward.
    const timespec times[2] = {{1000000000, 0}, {0, UTIME_OMIT}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    const std::int64_t cases[][2] = {{0, size},   {0, 1},      {512, size - 512}, {1, 512 * 1024},
                                     {3, 524289}, {100, 1000}, {size - 1, 1}};
    for (const auto& [offset, length] : cases) {
        SCOPED_TRACE(testing::Message() << "offset " << offset << " length " << length);
        std::uint32_t crc = 0;
        ASSERT_EQ(range_code(path, offset, length, &crc), ZELCORE_OK);
        EXPECT_EQ(crc, crc32_of(std::string_view(data).substr(static_cast<std::size_t>(offset),
                                                              static_cast<std::size_t>(length))));
    }
    EXPECT_EQ(::file_crc32(path.c_str(), 0, static_cast<std::int32_t>(data.size())), 0x1234ABCDu);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_atim.tv_sec, 1000000000);
}

TEST(FileCrc32, EmptyBadAndFarRanges) {
    TempDir dir;
    const auto path = dir.write("rom.bin", rom_with_crc(4096, 0xCAFEF00D));
    std::uint32_t crc = 7;
    EXPECT_EQ(range_code(path, 10000, -4, &crc), ZELCORE_OK);
    EXPECT_EQ(crc, 0u) << "a length of 0 or less is the empty range";
    // The file is still opened: a missing file is not an empty range.
    EXPECT_EQ(range_code(dir.path() / "missing.bin", 0, 0, &crc), ENOENT);

    crc = 7;
    EXPECT_EQ(range_code(path, -1, 10, &crc), ZELCORE_ERR_BAD_ARGUMENT);
    EXPECT_EQ(range_code(path, 512, 4096 - 511, &crc), ZELCORE_ERR_SHORT_FILE);
    EXPECT_EQ(range_code(path, 5000, 1, &crc), ZELCORE_ERR_SHORT_FILE);
    EXPECT_EQ(range_code(dir.path(), 0, 1, &crc), EISDIR);
    EXPECT_EQ(crc, 7u) << "the CRC is set only on success";

    EXPECT_EQ(::file_crc32(path.c_str(), 0, 4097), 0u);
    EXPECT_EQ(::file_crc32(path.c_str(), -512, 100), 0u);
    EXPECT_EQ(::file_crc32((dir.path() / "missing.bin").c_str(), 0, 1), 0u);

    // Offsets beyond 4 GiB, in a sparse file.
    const auto sparse = dir.path() / "sparse.iso";
    const std::string tail = rom_with_crc(100000, 0x0BADF00D, 3);
    const std::int64_t at = 5 * 1024 * kMiB + 3;
    {
        const int fd = ::open(sparse.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::pwrite(fd, tail.data(), tail.size(), at), static_cast<ssize_t>(tail.size()));
        ::close(fd);
    }
    ASSERT_EQ(range_code(sparse, at, static_cast<std::int64_t>(tail.size()), &crc), ZELCORE_OK);
    EXPECT_EQ(crc, 0x0BADF00Du);
}
