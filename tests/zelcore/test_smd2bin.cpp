#include <gtest/gtest.h>

#include <cerrno>

#include "../core/core_fixture.h"
#include "rom_forge.h"
#include "temp_dir.h"
#include "zelcore.h"

using testsupport::interleave_smd;
using testsupport::read_file;
using testsupport::rom_with_crc;
using testsupport::TempDir;

namespace {

std::int32_t convert(const std::filesystem::path& source, const std::filesystem::path& target) {
    return ::smd2bin(source.c_str(), target.c_str());
}

/// A plain Genesis image with the console's signature and a chosen CRC.
std::string genesis_image(std::size_t size, std::uint32_t crc) {
    std::string plain = rom_with_crc(size, crc);
    plain.replace(0x100, 4, "SEGA");
    testsupport::force_crc(plain, crc);
    return plain;
}

} // namespace

TEST(Smd2Bin, RestoresThePlainImageAndCopiesOtherFilesUnchanged) {
    TempDir dir;
    const auto bin = dir.path() / "game.bin";
    // 64 KiB is one read step of the converter; 67 blocks end in the middle of the second.
    for (const std::size_t size : {64u * 1024, 67u * 16384}) {
        SCOPED_TRACE(size);
        const std::string plain = genesis_image(size, 0x1BADB002);
        const auto smd = dir.write("game.smd", interleave_smd(plain));
        ASSERT_EQ(convert(smd, bin), ZELCORE_OK);
        EXPECT_TRUE(read_file(bin) == plain);
    }

    // Files that are not interleaved are copied unchanged; the longer image above must not
    // survive past the new end.
    for (const std::size_t size : {0u, 100u, 511u, 512u + 16383, 512u + 16385, 64u * 1024}) {
        SCOPED_TRACE(size);
        const std::string data =
            rom_with_crc(std::max<std::size_t>(size, 4), 0x600DCAFE).substr(0, size);
        const auto source = dir.write("plain.bin", data);
        ASSERT_EQ(convert(source, bin), ZELCORE_OK);
        EXPECT_TRUE(read_file(bin) == data);
    }
    // The header alone is an interleaved dump of no blocks.
    ASSERT_EQ(convert(dir.write("empty.smd", std::string(512, 'h')), bin), ZELCORE_OK);
    EXPECT_EQ(read_file(bin), "");
}

TEST(Smd2Bin, FailuresLeaveNoTargetAndKeepTheSource) {
    TempDir dir;
    const std::string smd_bytes = interleave_smd(genesis_image(64 * 1024, 0x12345678));
    const auto smd = dir.write("game.smd", smd_bytes);
    const auto bin = dir.path() / "game.bin";

    EXPECT_EQ(convert(dir.path() / "missing.smd", bin), ENOENT);
    EXPECT_FALSE(exists(bin));
    EXPECT_EQ(convert(smd, dir.path() / "no-folder" / "game.bin"), ENOENT);
    EXPECT_EQ(convert(dir.path(), bin), EISDIR);
    EXPECT_FALSE(exists(bin));

    // Converting a file onto itself would truncate the source before reading it.
    EXPECT_EQ(convert(smd, smd), ZELCORE_ERR_BAD_ARGUMENT);
    EXPECT_TRUE(read_file(smd) == smd_bytes);

    const auto big = dir.write("big.smd", interleave_smd(genesis_image(1024 * 1024, 0x0)));
    // A write failure: a file-size limit makes the converter fail as on a full disk.
    EXPECT_TRUE(corefixture::in_child_with_file_limit(300 * 1024,
                                                      [&] { return convert(big, bin) == EFBIG; }));
    EXPECT_FALSE(exists(bin));
}
