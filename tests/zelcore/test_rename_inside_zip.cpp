#include <gtest/gtest.h>

#include <cerrno>

#include <sys/stat.h>

#include "../core/core_fixture.h"
#include "rom_forge.h"
#include "temp_dir.h"
#include "zelcore.h"
#include "zip_archive.h"
#include "zip_maker.h"

using testsupport::make_zip;
using testsupport::read_file;
using testsupport::rom_with_crc;
using testsupport::TempDir;

namespace {

/// The name of the archive's only member as the program reads it ("?" when there is not
/// one); its data must still be `data`.
std::string member_of(const std::filesystem::path& zip, const std::string& data) {
    const auto members = core::list_zip(zip, "");
    if (!members || members->size() != 1)
        return "?";
    const auto out = zip.parent_path() / "extracted";
    EXPECT_TRUE(core::extract_zip_member(zip, members->front(), out));
    EXPECT_TRUE(read_file(out) == data);
    std::filesystem::remove(out);
    return members->front().name;
}

std::int32_t rename_in(const std::filesystem::path& zip, const char* name) {
    return ::rename_inside_zip(zip.c_str(), name);
}

} // namespace

TEST(RenameInsideZip, GivesTheMemberTheNewNameAndKeepsItsExtensionAndData) {
    TempDir dir;
    const std::string rom = rom_with_crc(70000, 0xFEEDBEEF);
    const char* cases[][3] = {// member, new name, the member's name afterwards
                              {"sonic (bad dump).BIN", "Sonic the Hedgehog (USA, Europe)",
                               "Sonic the Hedgehog (USA, Europe).BIN"},
                              {"roms/old.v2.md", "New", "New.md"},
                              {"..\\..\\old.gen", "New", "New.gen"},
                              {"README", "Game", "Game"},
                              {"pokemon.gb", "Pok\xC3\xA9mon (Fran\xC3\xA7\x61is)",
                               "Pok\xC3\xA9mon (Fran\xC3\xA7\x61is).gb"}};
    for (const auto& [member, new_name, expected] : cases) {
        SCOPED_TRACE(member);
        const auto zip = dir.path() / "game.zip";
        make_zip(zip, {{member, rom}});
        ::chmod(zip.c_str(), 0640);
        ASSERT_EQ(rename_in(zip, new_name), ZELCORE_OK);
        EXPECT_EQ(member_of(zip, rom), expected);
        struct stat st {};
        ASSERT_EQ(::stat(zip.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0640u) << "the archive keeps its permissions";
    }

    // Through a symbolic link; an archive that bears the name already is not rewritten.
    const auto zip = dir.path() / "real.zip";
    make_zip(zip, {{"a.bin", "data"}});
    const auto link = dir.path() / "link.zip";
    std::filesystem::create_symlink(zip, link);
    ASSERT_EQ(rename_in(link, "B"), ZELCORE_OK);
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(member_of(zip, "data"), "B.bin");

    struct stat before {
    }, after{};
    ASSERT_EQ(::stat(zip.c_str(), &before), 0);
    EXPECT_EQ(rename_in(zip, "B"), ZELCORE_OK);
    ASSERT_EQ(::stat(zip.c_str(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino) << "not rewritten";
}

TEST(RenameInsideZip, RefusesAndChangesNothing) {
    TempDir dir;
    const auto zip = [&](const char* name, std::vector<testsupport::ZipEntry> members) {
        make_zip(dir.path() / name, members);
        return dir.path() / name;
    };
    const auto two = zip("two.zip", {{"a.bin", "aaaa"}, {"b.bin", "bbbb"}});
    const auto with_folder = zip("folder.zip", {{"roms/", ""}, {"roms/a.bin", "aaaa"}});
    const auto only_folder = zip("only-folder.zip", {{"roms/", ""}});
    const auto one = zip("one.zip", {{"a.bin", "aaaa"}});
    const std::string one_bytes = read_file(one);
    const auto broken = dir.write("broken.zip", one_bytes.substr(0, one_bytes.size() - 10));
    const auto not_zip = dir.write("not.zip", "this is not an archive at all, just some text");
    const auto read_only = zip("read-only.zip", {{"a.bin", "aaaa"}});
    ::chmod(read_only.c_str(), 0444);

    const std::vector<std::filesystem::path> all{two,    with_folder, only_folder, one,
                                                 broken, not_zip,     read_only};
    std::vector<std::string> bytes;
    for (const auto& p : all)
        bytes.push_back(read_file(p));

    EXPECT_EQ(rename_in(two, "New"), ZELCORE_ERR_NOT_ONE_MEMBER);
    EXPECT_EQ(rename_in(with_folder, "New"), ZELCORE_ERR_NOT_ONE_MEMBER);
    EXPECT_EQ(rename_in(only_folder, "New"), ZELCORE_ERR_NOT_ONE_MEMBER);
    EXPECT_EQ(rename_in(broken, "New"), ZELCORE_ERR_BAD_ARCHIVE);
    EXPECT_EQ(rename_in(not_zip, "New"), ZELCORE_ERR_BAD_ARCHIVE);
    for (const char* name : {"", ".", "..", "a/b", "../../etc/x", "a\\b"})
        EXPECT_EQ(rename_in(one, name), ZELCORE_ERR_BAD_NAME) << name;
    EXPECT_EQ(rename_in(read_only, "New"), EACCES);
    EXPECT_EQ(rename_in(dir.path() / "missing.zip", "New"), ENOENT);

    for (std::size_t i = 0; i < all.size(); ++i)
        EXPECT_TRUE(read_file(all[i]) == bytes[i]) << all[i];
    EXPECT_FALSE(exists(dir.path() / "missing.zip"));
}

// A file-size limit makes writing the new archive fail as a full disk would.
TEST(RenameInsideZip, AFailedWriteIsAnErrorAndLeavesTheArchive) {
    TempDir dir;
    const auto zip = dir.path() / "game.zip";
    make_zip(zip, {{"old.bin", rom_with_crc(20000, 0x5eed)}});
    const std::string bytes = read_file(zip);
    EXPECT_TRUE(corefixture::in_child_with_file_limit(
        1000, [&] { return rename_in(zip, "New") == ZELCORE_ERR_WRITE; }));
    EXPECT_TRUE(read_file(zip) == bytes);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1)
        << "no temporary file is left behind";
}
