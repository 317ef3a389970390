#include "zip_archive.h"

#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "rom_forge.h"
#include "temp_dir.h"
#include "temp_folder.h"
#include "zip_maker.h"

namespace {

namespace fs = std::filesystem;
using testsupport::crc32_of;
using testsupport::make_zip;
using testsupport::read_file;
using testsupport::rom_with_crc;
using testsupport::TempDir;
using testsupport::write_file;

testsupport::ZipEntry entry(std::string name, std::string data, bool store = false,
                            std::string password = {}) {
    return {std::move(name), std::move(data), store, std::move(password)};
}

// A stored-only archive written byte by byte, for directories that no ZIP tool writes:
// a stated size that differs from the data, sizes beyond 4 GiB, odd bytes in names.
struct RawMember {
    std::string name;
    std::string data;
    std::uint32_t crc = 0;
    std::uint64_t stated_size = 0;
};

void put16(std::string& out, std::uint32_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}
void put32(std::string& out, std::uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

std::string raw_zip(const std::vector<RawMember>& members) {
    std::string out, directory;
    for (const auto& m : members) {
        const auto offset = static_cast<std::uint32_t>(out.size());
        const bool zip64 = m.stated_size >= 0xFFFFFFFFu;
        const auto size32 = zip64 ? 0xFFFFFFFFu : static_cast<std::uint32_t>(m.stated_size);
        std::string extra;
        if (zip64) {
            put16(extra, 1);
            put16(extra, 8);
            put32(extra, static_cast<std::uint32_t>(m.stated_size & 0xFFFFFFFFu));
            put32(extra, static_cast<std::uint32_t>(m.stated_size >> 32));
        }
        const auto comp = static_cast<std::uint32_t>(m.data.size());
        put32(out, 0x04034b50);
        put16(out, 20);
        put16(out, 0);    // flags
        put16(out, 0);    // stored
        put16(out, 0);    // time
        put16(out, 0x21); // 1980-01-01
        put32(out, m.crc);
        put32(out, comp);
        put32(out, comp);
        put16(out, static_cast<std::uint32_t>(m.name.size()));
        put16(out, 0);
        out += m.name;
        out += m.data;

        put32(directory, 0x02014b50);
        put16(directory, 45);
        put16(directory, 45);
        put16(directory, 0);
        put16(directory, 0);
        put16(directory, 0);
        put16(directory, 0x21);
        put32(directory, m.crc);
        put32(directory, comp);
        put32(directory, size32);
        put16(directory, static_cast<std::uint32_t>(m.name.size()));
        put16(directory, static_cast<std::uint32_t>(extra.size()));
        put16(directory, 0); // comment
        put16(directory, 0); // disk
        put16(directory, 0); // internal attributes
        put32(directory, 0); // external attributes
        put32(directory, offset);
        directory += m.name;
        directory += extra;
    }
    const auto cd_offset = static_cast<std::uint32_t>(out.size());
    out += directory;
    put32(out, 0x06054b50);
    put16(out, 0);
    put16(out, 0);
    put16(out, static_cast<std::uint32_t>(members.size()));
    put16(out, static_cast<std::uint32_t>(members.size()));
    put32(out, static_cast<std::uint32_t>(directory.size()));
    put32(out, cd_offset);
    put16(out, 0);
    return out;
}

// Every path below `root`, to prove that extraction wrote nothing anywhere else.
std::set<fs::path> tree(const fs::path& root) {
    std::set<fs::path> paths;
    for (const auto& e : fs::recursive_directory_iterator(root))
        paths.insert(e.path());
    return paths;
}

std::vector<std::string> names_of(const std::vector<core::ZipMember>& members) {
    std::vector<std::string> names;
    for (const auto& m : members)
        names.push_back(m.name);
    return names;
}

TEST(ZipArchive, ListsFileMembersInDirectoryOrderWithStoredCrcAndSize) {
    TempDir dir;
    const std::string z = rom_with_crc(3000, 0x00c0ffee, 1);
    const std::string a = rom_with_crc(70000, 0xdeadbeef, 2);
    const auto zip = dir.path() / "set.zip";
    make_zip(zip, {entry("z.bin", z), entry("readme.txt", "hello"), entry("roms/", ""),
                   entry("a.bin", a, true), entry("roms/sub/GAME.BIN", "x")});

    auto all = core::list_zip(zip, "");
    ASSERT_TRUE(all) << all.error().message;
    EXPECT_EQ(names_of(*all),
              (std::vector<std::string>{"z.bin", "readme.txt", "a.bin", "roms/sub/GAME.BIN"}));
    EXPECT_EQ((*all)[0].crc, "00c0ffee");
    EXPECT_EQ((*all)[0].size, 3000u);
    EXPECT_EQ((*all)[0].index, 0u);
    EXPECT_EQ((*all)[2].crc, "deadbeef");
    EXPECT_EQ((*all)[2].size, 70000u);
    EXPECT_EQ((*all)[2].index, 3u); // the folder entry still counts in the directory
    EXPECT_FALSE((*all)[2].encrypted);

    // Patterns look at the base name only and ignore case.
    auto bins = core::list_zip(zip, "*.bin");
    ASSERT_TRUE(bins) << bins.error().message;
    EXPECT_EQ(names_of(*bins), (std::vector<std::string>{"z.bin", "a.bin", "roms/sub/GAME.BIN"}));

    auto none = core::list_zip(zip, "*.smd;*.gen");
    ASSERT_TRUE(none) << none.error().message;
    EXPECT_TRUE(none->empty());
}

TEST(ZipArchive, PatternsIgnoreFolderPartsWithEitherSeparator) {
    TempDir dir;
    const auto zip = dir.path() / "odd.zip";
    make_zip(zip,
             {entry("game.bin/readme.txt", "a"), entry("x\\y\\Game.Bin", "b"), entry("a\\", "")});
    auto bins = core::list_zip(zip, "*.bin");
    ASSERT_TRUE(bins) << bins.error().message;
    EXPECT_EQ(names_of(*bins), (std::vector<std::string>{"x\\y\\Game.Bin"}));
    // A name ending in a separator holds no file.
    auto all = core::list_zip(zip, "");
    ASSERT_TRUE(all) << all.error().message;
    EXPECT_EQ(all->size(), 2u);
}

TEST(ZipArchive, BrokenArchivesAreErrorsNamingTheArchiveAndTheReason) {
    TempDir dir;
    const std::string prefix = "cannot read the ZIP archive '";
    const auto text = dir.write("text.zip", "this is not an archive at all");
    const auto empty = dir.write("empty.zip", "");
    const auto good = dir.path() / "good.zip";
    make_zip(good, {entry("a.bin", rom_with_crc(5000, 1))});
    const std::string bytes = read_file(good);
    const auto truncated = dir.write("truncated.zip", bytes.substr(0, bytes.size() / 2));
    const auto missing = dir.path() / "missing.zip";

    for (const auto& path : {text, empty, truncated, missing, dir.path()}) {
        auto listed = core::list_zip(path, "*.bin");
        ASSERT_FALSE(listed) << path;
        const auto& message = listed.error().message;
        EXPECT_EQ(message.rfind(prefix + path.string() + "': ", 0), 0u) << message;
        EXPECT_GT(message.size(), prefix.size() + path.string().size() + 3) << message;
    }
    // A pipe would block the reader for ever.
    const auto pipe = dir.path() / "pipe.zip";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    auto piped = core::list_zip(pipe, "");
    ASSERT_FALSE(piped);
    EXPECT_EQ(piped.error().message, prefix + pipe.string() + "': it is not a regular file");

    auto not_zip = core::list_zip(text, "");
    EXPECT_NE(not_zip.error().message.find("Not a zip archive"), std::string::npos)
        << not_zip.error().message;
}

TEST(ZipArchive, BytesAfterTheDirectoryAreTolerated) {
    // Other unpackers read such archives; refusing them would hide ROMs from the user.
    TempDir dir;
    const auto zip = dir.path() / "tail.zip";
    const std::string data = rom_with_crc(4096, 0x12345678);
    make_zip(zip, {entry("a.bin", data)});
    write_file(zip, read_file(zip) + "trailing junk");
    auto listed = core::list_zip(zip, "*.bin");
    ASSERT_TRUE(listed) << listed.error().message;
    ASSERT_EQ(listed->size(), 1u);
    const auto target = dir.path() / "out";
    ASSERT_TRUE(core::extract_zip_member(zip, listed->front(), target));
    EXPECT_EQ(read_file(target), data);
}

TEST(ZipArchive, ReadsArchivesOfTheZipTool) {
    if (std::system("command -v zip >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "the zip tool is not installed";
    TempDir dir;
    const std::string a = rom_with_crc(100000, 0x0badf00d, 3);
    const std::string b = rom_with_crc(10, 0x80000001, 4);
    dir.write("b.bin", b);
    dir.write("sub/a.bin", a);
    const std::string cmd = "cd '" + dir.path().string() +
                            "' && zip -q -r t.zip b.bin sub && zip -q -0 t.zip sub/a.bin" +
                            " && cat b.bin | zip -q s.zip -";
    ASSERT_EQ(std::system(cmd.c_str()), 0);

    auto listed = core::list_zip(dir.path() / "t.zip", "*.BIN");
    ASSERT_TRUE(listed) << listed.error().message;
    ASSERT_EQ(names_of(*listed), (std::vector<std::string>{"b.bin", "sub/a.bin"}));
    EXPECT_EQ((*listed)[1].crc, "0badf00d");
    const auto out = dir.path() / "out";
    ASSERT_TRUE(core::extract_zip_member(dir.path() / "t.zip", (*listed)[1], out));
    EXPECT_EQ(read_file(out), a);

    // Written to a pipe: sizes and CRC follow the data in a descriptor.
    auto streamed = core::list_zip(dir.path() / "s.zip", "");
    ASSERT_TRUE(streamed) << streamed.error().message;
    ASSERT_EQ(streamed->size(), 1u);
    EXPECT_EQ(streamed->front().crc, "80000001");
    ASSERT_TRUE(core::extract_zip_member(dir.path() / "s.zip", streamed->front(), out));
    EXPECT_EQ(read_file(out), b);
}

TEST(ZipArchive, NamesWithNulBytesAreNeverPaths) {
    TempDir dir;
    const auto zip = dir.path() / "nul.zip";
    const std::string data = "ROMDATA!";
    write_file(zip,
               raw_zip({{std::string("x.bin\0/../../y", 14), data, crc32_of(data), data.size()}}));
    auto listed = core::list_zip(zip, "");
    if (!listed) {
        EXPECT_NE(listed.error().message.find("nul.zip"), std::string::npos);
        return;
    }
    ASSERT_EQ(listed->size(), 1u);
    const auto before = tree(dir.path());
    const auto out = dir.path() / "out";
    ASSERT_TRUE(core::extract_zip_member(zip, listed->front(), out));
    EXPECT_EQ(read_file(out), data);
    fs::remove(out);
    EXPECT_EQ(tree(dir.path()), before);
}

TEST(ZipArchive, RefusesEncryptedMembers) {
    TempDir dir;
    const auto zip = dir.path() / "locked.zip";
    make_zip(zip, {entry("secret.bin", rom_with_crc(2048, 0x11111111), false, "password")});
    auto listed = core::list_zip(zip, "*.bin");
    ASSERT_TRUE(listed) << listed.error().message;
    ASSERT_EQ(listed->size(), 1u);
    EXPECT_TRUE(listed->front().encrypted);

    const auto out = dir.path() / "out.bin";
    write_file(out, "");
    auto status = core::extract_zip_member(zip, listed->front(), out);
    ASSERT_FALSE(status);
    EXPECT_NE(status.error().message.find("'secret.bin'"), std::string::npos);
    EXPECT_NE(status.error().message.find(zip.string()), std::string::npos);
    EXPECT_NE(status.error().message.find("encrypted"), std::string::npos);
    EXPECT_FALSE(fs::exists(out));
}

// Where the data of the archive's first member starts, from its local header.
std::size_t first_data_offset(const std::string& bytes) {
    const auto u16 = [&](std::size_t at) {
        return static_cast<std::size_t>(static_cast<unsigned char>(bytes[at])) |
               static_cast<std::size_t>(static_cast<unsigned char>(bytes[at + 1])) << 8;
    };
    return 30 + u16(26) + u16(28);
}

TEST(ZipArchive, MemberDataThatFailsItsCrcIsNotExtracted) {
    TempDir dir;
    const auto out = dir.path() / "out.bin";
    for (const bool store : {true, false}) {
        const std::string data = rom_with_crc(600000, 0x5eed5eed, 5);
        const auto zip = dir.path() / (store ? "stored.zip" : "deflated.zip");
        make_zip(zip, {entry("game.bin", data, store)});
        std::string bytes = read_file(zip);
        const auto at = first_data_offset(bytes) + 250000;
        bytes[at] = static_cast<char>(bytes[at] ^ 0x5A);
        write_file(zip, bytes);

        // The directory still states the CRC: listing cannot tell, extraction must.
        auto listed = core::list_zip(zip, "");
        ASSERT_TRUE(listed) << listed.error().message;
        ASSERT_EQ(listed->size(), 1u);
        EXPECT_EQ(listed->front().crc, "5eed5eed");

        write_file(out, "old");
        auto status = core::extract_zip_member(zip, listed->front(), out);
        ASSERT_FALSE(status) << zip;
        const auto& message = status.error().message;
        EXPECT_EQ(message, "cannot extract 'game.bin' from the ZIP archive '" + zip.string() +
                               "': CRC error");
        EXPECT_FALSE(fs::exists(out));
    }
}

TEST(ZipArchive, StatedSizeMustMatchTheData) {
    TempDir dir;
    const std::string data = rom_with_crc(5000, 0x0f0f0f0f);
    const auto out = dir.path() / "out.bin";
    struct Case {
        std::string file;
        std::uint64_t stated;
    };
    for (const auto& c : {Case{"longer.zip", 4000}, Case{"shorter.zip", 6000}}) {
        const auto zip = dir.path() / c.file;
        write_file(zip, raw_zip({{"a.bin", data, crc32_of(data), c.stated}}));
        auto listed = core::list_zip(zip, "*.bin");
        ASSERT_TRUE(listed) << listed.error().message;
        ASSERT_EQ(listed->size(), 1u);
        EXPECT_EQ(listed->front().size, c.stated);
        auto status = core::extract_zip_member(zip, listed->front(), out);
        ASSERT_FALSE(status) << c.file;
        EXPECT_NE(status.error().message.find("'a.bin'"), std::string::npos)
            << status.error().message;
        EXPECT_NE(status.error().message.find(zip.string()), std::string::npos)
            << status.error().message;
        EXPECT_FALSE(fs::exists(out));
    }
}

TEST(ZipArchive, RefusesMembersLargerThanTheFreeSpace) {
    TempDir dir;
    const std::string data = "tiny";
    const auto zip = dir.path() / "bomb.zip";
    const std::uint64_t huge = std::uint64_t{1} << 60; // an exabyte: no disk has it free
    write_file(zip, raw_zip({{"bomb.bin", data, crc32_of(data), huge}}));
    auto listed = core::list_zip(zip, "*.bin");
    ASSERT_TRUE(listed) << listed.error().message;
    ASSERT_EQ(listed->size(), 1u);
    EXPECT_EQ(listed->front().size, huge);

    const auto out = dir.path() / "out.bin";
    auto status = core::extract_zip_member(zip, listed->front(), out);
    ASSERT_FALSE(status);
    EXPECT_NE(status.error().message.find("'bomb.bin'"), std::string::npos)
        << status.error().message;
    EXPECT_NE(status.error().message.find("free"), std::string::npos) << status.error().message;
    EXPECT_FALSE(fs::exists(out));
}

TEST(ZipArchive, AnArchiveReplacedAfterListingIsNotTrusted) {
    TempDir dir;
    const auto zip = dir.path() / "moving.zip";
    make_zip(zip, {entry("a.bin", rom_with_crc(100, 0xaaaaaaaa))});
    auto listed = core::list_zip(zip, "*.bin");
    ASSERT_TRUE(listed) << listed.error().message;
    make_zip(zip, {entry("a.bin", rom_with_crc(100, 0xbbbbbbbb))});
    const auto out = dir.path() / "out.bin";
    auto status = core::extract_zip_member(zip, listed->front(), out);
    ASSERT_FALSE(status);
    EXPECT_NE(status.error().message.find("changed"), std::string::npos) << status.error().message;
    EXPECT_FALSE(fs::exists(out));
}

} // namespace
