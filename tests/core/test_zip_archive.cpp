#include "zip_archive.h"

#include <cstdlib>
#include <optional>
#include <string>
#include <tuple>
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
using Names = std::vector<std::string>;

// A stored-only archive written byte by byte, for directories that no ZIP tool writes:
// a stated size that differs from the data, sizes beyond 4 GiB, odd bytes in names.
struct RawMember {
    std::string name;
    std::string data;
    std::uint64_t stated_size = 0;
    bool zip64_field = true; ///< sizes of 4 GiB or more go into one, as they must
};

struct Field {
    std::uint64_t value;
    int bytes;
};

void put(std::string& out, std::initializer_list<Field> fields) {
    for (auto [value, bytes] : fields)
        for (int i = 0; i < bytes; ++i, value >>= 8)
            out += static_cast<char>(value & 0xFF);
}

std::string raw_zip(const std::vector<RawMember>& members) {
    std::string out, directory;
    for (const auto& m : members) {
        const auto offset = out.size();
        const bool zip64 = m.stated_size >= 0xFFFFFFFFu;
        std::string extra;
        if (zip64 && m.zip64_field)
            put(extra, {{1, 2}, {8, 2}, {m.stated_size, 8}});
        const std::uint64_t crc = crc32_of(m.data), size = m.data.size(), name = m.name.size();
        // Version 20, no flags, stored, time 0, 1980-01-01.
        put(out, {{0x04034b50, 4}, {20, 2}, {0, 6}, {0x21, 2}, {crc, 4}, {size, 4}, {size, 4}});
        put(out, {{name, 2}, {0, 2}});
        out += m.name + m.data;
        put(directory, {{0x02014b50, 4}, {45, 2}, {45, 2}, {0, 6}, {0x21, 2}, {crc, 4}});
        put(directory, {{size, 4}, {zip64 ? 0xFFFFFFFFu : m.stated_size, 4}, {name, 2}});
        put(directory, {{extra.size(), 2}, {0, 10}, {offset, 4}}); // no comment, disk, attributes
        directory += m.name + extra;
    }
    const auto count = members.size(), directory_offset = out.size();
    out += directory;
    put(out, {{0x06054b50, 4}, {0, 4}, {count, 2}, {count, 2}, {directory.size(), 4}});
    put(out, {{directory_offset, 4}, {0, 2}});
    return out;
}

// The archive `bytes` with the four bytes at `at` set to `value`.
std::string patched(std::string bytes, std::size_t at, std::uint32_t value) {
    std::string field;
    put(field, {{value, 4}});
    return bytes.replace(at, 4, field);
}

fs::path archive(const TempDir& dir, const std::string& name,
                 const std::vector<testsupport::ZipEntry>& members) {
    make_zip(dir.path() / name, members);
    return dir.path() / name;
}

Names names_of(const std::vector<core::ZipMember>& members) {
    Names names;
    for (const auto& m : members)
        names.push_back(m.name);
    return names;
}

std::vector<core::ZipMember> list(const fs::path& zip, std::string_view patterns = "") {
    auto listed = core::list_zip(zip, patterns);
    EXPECT_TRUE(listed) << listed.error().message;
    return listed ? *listed : std::vector<core::ZipMember>{};
}

// The only member the archive lists.
core::ZipMember only(const fs::path& zip) {
    auto members = list(zip);
    EXPECT_EQ(members.size(), 1u) << zip;
    return members.empty() ? core::ZipMember{} : members.front();
}

// Extraction must fail naming the member and the archive, and leave no target behind.
std::string refusal(const fs::path& zip, const core::ZipMember& member, const fs::path& out,
                    std::optional<std::uint64_t> cap = std::nullopt) {
    write_file(out, "old");
    auto status = cap ? core::extract_zip_member(zip, member, out, *cap)
                      : core::extract_zip_member(zip, member, out);
    EXPECT_FALSE(status) << zip;
    EXPECT_FALSE(fs::exists(out));
    const std::string message = status ? "" : status.error().message;
    EXPECT_NE(message.find("'" + member.name + "'"), std::string::npos) << message;
    EXPECT_NE(message.find(zip.string()), std::string::npos) << message;
    return message;
}

// Bytes after the directory are tolerated: other unpackers read such archives, and refusing
// them would hide ROMs from the user.
TEST(ZipArchive, ListsFileMembersInDirectoryOrderWithStoredCrcAndSize) {
    TempDir dir;
    const std::string a_bin = rom_with_crc(70000, 0xdeadbeef, 2);
    const auto zip = archive(dir, "set.zip",
                             {{"z.bin", rom_with_crc(3000, 0x00c0ffee, 1)},
                              {"readme.txt", "hello"},
                              {"roms/", ""},
                              {"a.bin", a_bin, true},
                              {"roms/sub/GAME.BIN", "x"}});
    write_file(zip, read_file(zip) + "trailing junk");
    const auto all = list(zip);
    ASSERT_EQ(names_of(all), (Names{"z.bin", "readme.txt", "a.bin", "roms/sub/GAME.BIN"}));
    EXPECT_EQ(std::tuple(all[0].crc.str(), all[0].size, all[0].index),
              std::tuple("00c0ffee", 3000, 0));
    // The folder entry still counts in the directory.
    EXPECT_EQ(std::tuple(all[2].crc.str(), all[2].size, all[2].index),
              std::tuple("deadbeef", 70000, 3));
    EXPECT_FALSE(all[2].encrypted);
    ASSERT_TRUE(core::extract_zip_member(zip, all[2], dir.path() / "out"));
    EXPECT_TRUE(read_file(dir.path() / "out") == a_bin);

    // Patterns look at the base name only and ignore case.
    EXPECT_EQ(names_of(list(zip, "*.bin")), (Names{"z.bin", "a.bin", "roms/sub/GAME.BIN"}));
    EXPECT_TRUE(list(zip, "*.smd;*.gen").empty());

    // Either separator ends a folder part; a name ending in one holds no file.
    const auto odd = archive(dir, "odd.zip",
                             {{"game.bin/readme.txt", "a"}, {"x\\y\\Game.Bin", "b"}, {"a\\", ""}});
    EXPECT_EQ(names_of(list(odd, "*.bin")), (Names{"x\\y\\Game.Bin"}));
    EXPECT_EQ(list(odd).size(), 2u);
}

TEST(ZipArchive, BrokenArchivesAreErrorsNamingTheArchiveAndTheReason) {
    TempDir dir;
    const std::string prefix = "cannot read the ZIP archive '";
    const auto text = dir.write("text.zip", "this is not an archive at all");
    const auto good = archive(dir, "good.zip", {{"a.bin", rom_with_crc(5000, 1)}});
    const std::string bytes = read_file(good);
    const auto truncated = dir.write("truncated.zip", bytes.substr(0, bytes.size() / 2));

    for (const auto& path :
         {text, dir.write("empty.zip", ""), truncated, dir.path() / "missing.zip", dir.path()}) {
        auto listed = core::list_zip(path, "*.bin");
        ASSERT_FALSE(listed) << path;
        const auto& message = listed.error().message;
        EXPECT_EQ(message.rfind(prefix + path.string() + "': ", 0), 0u) << message;
        EXPECT_GT(message.size(), prefix.size() + path.string().size() + 3) << message;
    }
    EXPECT_NE(core::list_zip(text, "").error().message.find("Not a zip archive"),
              std::string::npos);
    // A size that its entry cannot hold is told as such, though the library calls it a
    // missing file.
    const auto lying = dir.path() / "lying.zip";
    write_file(lying, raw_zip({{"a.bin", "tiny", std::uint64_t{1} << 32, false}}));
    EXPECT_EQ(core::list_zip(lying, "").error().message,
              prefix + lying.string() +
                  "': a directory entry states a size of 4 GiB or more without the ZIP64 "
                  "field that must hold it");
    // A pipe would block the reader for ever.
    const auto pipe = dir.path() / "pipe.zip";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    auto piped = core::list_zip(pipe, "");
    ASSERT_FALSE(piped);
    EXPECT_EQ(piped.error().message, prefix + pipe.string() + "': it is not a regular file");
}

// Written to a pipe, sizes and CRC follow the data in a descriptor.
TEST(ZipArchive, ReadsStreamedArchivesOfTheZipTool) {
    if (std::system("command -v zip >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "the zip tool is not installed";
    TempDir dir;
    const std::string b = rom_with_crc(100000, 0x80000001, 4);
    dir.write("b.bin", b);
    const std::string cmd = "cd '" + dir.path().string() + "' && cat b.bin | zip -q s.zip -";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    const auto streamed = only(dir.path() / "s.zip");
    EXPECT_EQ(streamed.crc, "80000001");
    const auto out = dir.path() / "out";
    ASSERT_TRUE(core::extract_zip_member(dir.path() / "s.zip", streamed, out));
    EXPECT_EQ(read_file(out), b);
}

TEST(ZipArchive, NamesWithNulBytesAreNeverPaths) {
    TempDir dir;
    const auto zip = dir.path() / "nul.zip";
    const std::string data = "ROMDATA!";
    write_file(zip, raw_zip({{std::string("x.bin\0/../../y", 14), data, data.size()}}));
    auto listed = core::list_zip(zip, "");
    if (!listed) {
        EXPECT_NE(listed.error().message.find("nul.zip"), std::string::npos);
        return;
    }
    ASSERT_EQ(listed->size(), 1u);
    const auto out = dir.path() / "out";
    ASSERT_TRUE(core::extract_zip_member(zip, listed->front(), out));
    EXPECT_EQ(read_file(out), data);
    EXPECT_EQ(std::distance(fs::recursive_directory_iterator(dir.path()), {}), 2) << "nothing else";
}

TEST(ZipArchive, MemberDataThatFailsItsCrcIsNotExtracted) {
    TempDir dir;
    for (const bool store : {true, false}) {
        const std::string data = rom_with_crc(600000, 0x5eed5eed, 5);
        const auto zip = dir.path() / (store ? "stored.zip" : "deflated.zip");
        make_zip(zip, {{"game.bin", data, store}});
        std::string bytes = read_file(zip);
        const auto at = bytes.find(data.substr(250000, 64)); // random bytes deflate to themselves
        ASSERT_NE(at, std::string::npos);
        bytes[at] = static_cast<char>(bytes[at] ^ 0x5A);
        write_file(zip, bytes);

        // The directory still states the CRC: listing cannot tell, extraction must.
        const auto member = only(zip);
        EXPECT_EQ(member.crc, "5eed5eed");
        EXPECT_EQ(refusal(zip, member, dir.path() / "out.bin"),
                  "cannot extract 'game.bin' from the ZIP archive '" + zip.string() +
                      "': CRC error");
    }
}

// Encrypted members, members with a wrong size or beyond the free space, and members of an
// archive that changed since it was listed.
TEST(ZipArchive, RefusesMembersItCannotTrust) {
    TempDir dir;
    const auto locked = archive(
        dir, "locked.zip", {{"secret.bin", rom_with_crc(2048, 0x11111111), false, "password"}});
    const auto secret = only(locked);
    EXPECT_TRUE(secret.encrypted);
    EXPECT_NE(refusal(locked, secret, dir.path() / "out.bin").find("encrypted"), std::string::npos);

    const std::string data = rom_with_crc(5000, 0x0f0f0f0f);
    for (const std::uint64_t stated : {4000u, 6000u}) {
        const auto zip = dir.path() / ("stated-" + std::to_string(stated) + ".zip");
        write_file(zip, raw_zip({{"a.bin", data, stated}}));
        const auto member = only(zip);
        EXPECT_EQ(member.size, stated);
        refusal(zip, member, dir.path() / "out.bin");
    }

    // A directory entry whose member lies past the end of the archive, or runs past it.
    const std::string bytes = raw_zip({{"a.bin", data, data.size()}});
    const auto entry = bytes.rfind("PK\x01\x02");
    const auto elsewhere = dir.path() / "elsewhere.zip", cut = dir.path() / "cut.zip";
    write_file(elsewhere, patched(bytes, entry + 42, 1000000));
    std::string longer = bytes;
    for (const std::size_t at : {entry + 20, entry + 24, std::size_t{18}, std::size_t{22}})
        longer = patched(longer, at, 50000); // both sizes, in the directory and the header
    write_file(cut, longer);
    EXPECT_NE(refusal(elsewhere, only(elsewhere), dir.path() / "out.bin")
                  .find("': its directory places the member where there is none"),
              std::string::npos);
    EXPECT_NE(refusal(cut, only(cut), dir.path() / "out.bin")
                  .find("': the archive ends inside the member's data (it was cut short)"),
              std::string::npos);

    // Over the cap nothing is written: 4 GiB whatever the disk has free, and past a cap made
    // small here to stand for a full disk.
    const auto bomb = dir.path() / "bomb.zip";
    write_file(bomb, raw_zip({{"bomb.bin", "tiny", std::uint64_t{1} << 32}}));
    EXPECT_NE(refusal(bomb, only(bomb), dir.path() / "out.bin")
                  .find("stated size of 4294967296 bytes is over the limit"),
              std::string::npos);
    const auto fits = dir.path() / "fits.zip";
    write_file(fits, raw_zip({{"a.bin", data, data.size()}}));
    EXPECT_NE(refusal(fits, only(fits), dir.path() / "out.bin", data.size() - 1)
                  .find("limit of 4999 bytes for '" + dir.path().string()),
              std::string::npos);
    EXPECT_TRUE(core::extract_zip_member(fits, only(fits), dir.path() / "out.bin", data.size()));

    // An archive replaced after it was listed.
    const auto moving = archive(dir, "moving.zip", {{"a.bin", rom_with_crc(100, 0xaaaaaaaa)}});
    const auto listed = only(moving);
    make_zip(moving, {{"a.bin", rom_with_crc(100, 0xbbbbbbbb)}});
    EXPECT_NE(refusal(moving, listed, dir.path() / "out.bin").find("changed"), std::string::npos);
}

} // namespace
