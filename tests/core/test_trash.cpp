#include <gtest/gtest.h>

#include <filesystem>

#include "temp_dir.h"
#include "trash.h"
#include "trash_home.h"

namespace fs = std::filesystem;
using testsupport::read_file;

namespace {

class Trash : public ::testing::Test {
protected:
    testsupport::TempDir dir;
    testsupport::TrashHome home{dir.path() / "data"};
    fs::path trash = dir.path() / "data" / "Trash";
};

TEST_F(Trash, FileGoesToTheHomeTrashWithItsInfo) {
    auto file = dir.write("roms/Game 100%.bin", "rom");
    auto trashed = core::move_to_trash(file);
    ASSERT_TRUE(trashed) << trashed.error().message;
    EXPECT_FALSE(fs::exists(file));
    EXPECT_EQ(fs::path(trashed->trashed), trash / "files" / "Game 100%.bin");
    EXPECT_EQ(read_file(trashed->trashed), "rom");
    const std::string info = read_file(trash / "info" / "Game 100%.bin.trashinfo");
    EXPECT_EQ(info.rfind("[Trash Info]\nPath=", 0), 0u) << info;
    EXPECT_NE(info.find("/roms/Game%20100%25.bin\n"), std::string::npos) << info;
    EXPECT_NE(info.find("\nDeletionDate=20"), std::string::npos);
}

TEST_F(Trash, SameNamesStayApartAndComeBack) {
    auto a = core::move_to_trash(dir.write("one/x.bin", "1"));
    auto b = core::move_to_trash(dir.write("two/x.bin", "2"));
    ASSERT_TRUE(a);
    ASSERT_TRUE(b);
    EXPECT_NE(a->trashed, b->trashed);
    EXPECT_EQ(read_file(b->trashed), "2");

    // A file that took the old place is never replaced.
    dir.write("one/x.bin", "newcomer");
    EXPECT_FALSE(core::restore_from_trash(*a));
    EXPECT_EQ(read_file(dir.path() / "one/x.bin"), "newcomer");
    EXPECT_TRUE(fs::exists(a->trashed));

    ASSERT_TRUE(core::restore_from_trash(*b));
    EXPECT_EQ(read_file(dir.path() / "two/x.bin"), "2");
    EXPECT_FALSE(fs::exists(b->info));
}

TEST_F(Trash, MissingFileIsAnError) {
    auto trashed = core::move_to_trash(dir.path() / "nothing.bin");
    ASSERT_FALSE(trashed);
    EXPECT_NE(trashed.error().message.find("nothing.bin"), std::string::npos);
    EXPECT_FALSE(fs::exists(trash / "info" / "nothing.bin.trashinfo"));
}

} // namespace
