#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "file_move.h"
#include "temp_dir.h"

namespace fs = std::filesystem;
using testsupport::read_file;
using testsupport::TempDir;

namespace {

/// A folder on another file system than the temporary folder, or empty.
fs::path other_file_system(const fs::path& here) {
    struct stat a {
    }, b{};
    if (::stat(here.c_str(), &a) != 0 || ::stat("/dev/shm", &b) != 0 || a.st_dev == b.st_dev)
        return {};
    fs::path folder = fs::path("/dev/shm") / ("zelkon-move-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    return folder;
}

bool leftovers(const fs::path& folder) {
    for (auto& e : fs::directory_iterator(folder))
        if (e.path().filename().string().starts_with(".zelkon-copy-"))
            return true;
    return false;
}

TEST(FileMove, NeverReplacesAndChangesLetterCase) {
    TempDir dir;
    auto a = dir.write("a.bin", "A");
    auto b = dir.write("b.bin", "B");
    auto moved = core::move_no_replace(a, b);
    ASSERT_FALSE(moved);
    EXPECT_EQ(moved.error().code, core::Error::Code::Exists);
    EXPECT_EQ(read_file(a), "A");
    EXPECT_EQ(read_file(b), "B");

    ASSERT_TRUE(core::move_no_replace(a, dir.path() / "A.BIN"));
    EXPECT_EQ(read_file(dir.path() / "A.BIN"), "A");
    EXPECT_FALSE(core::path_taken(a));
    EXPECT_FALSE(core::move_no_replace(dir.path() / "gone", dir.path() / "x"));
}

TEST(FileMove, CopyKeepsTheSourceAndNeverReplaces) {
    TempDir dir;
    auto a = dir.write("a.bin", std::string(3 << 20, 'x')); // more than one chunk
    ASSERT_TRUE(core::copy_no_replace(a, dir.path() / "c.bin"));
    EXPECT_EQ(read_file(dir.path() / "c.bin"), read_file(a));
    auto again = core::copy_no_replace(a, dir.path() / "c.bin");
    ASSERT_FALSE(again);
    EXPECT_EQ(again.error().code, core::Error::Code::Exists);
    // A name too long fails only at the last step, when the private copy is already whole:
    // that copy goes again, the source stays.
    auto too_long = core::copy_no_replace(a, dir.path() / std::string(300, 'c'));
    ASSERT_FALSE(too_long);
    EXPECT_NE(too_long.error().message.find(": File name too long"), std::string::npos);
    EXPECT_EQ(read_file(a).size(), std::size_t{3} << 20);
    EXPECT_FALSE(leftovers(dir.path()));
    EXPECT_FALSE(core::copy_no_replace(a, dir.path() / "a.bin" / "inside"));
    EXPECT_FALSE(leftovers(dir.path()));
}

TEST(FileMove, FailureNamesBothFilesAndTheReason) {
    TempDir dir;
    auto a = dir.write("a.bin", "A");
    auto plain = dir.write("plain", "");
    auto moved = core::move_no_replace(a, plain / "a.bin");
    ASSERT_FALSE(moved);
    EXPECT_EQ(moved.error().message, "Could not move '" + a.string() + "' to '" +
                                         (plain / "a.bin").string() + "': Not a directory");
    moved = core::move_no_replace(a, dir.path() / std::string(300, 'x'));
    ASSERT_FALSE(moved);
    EXPECT_NE(moved.error().message.find(": File name too long"), std::string::npos);
    EXPECT_EQ(read_file(a), "A");
}

TEST(FileMove, ReadOnlyFolderRefusesAndTheFileStays) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "permission bits do not bind root";
    TempDir dir;
    auto a = dir.write("a.bin", "A");
    fs::create_directory(dir.path() / "locked");
    fs::permissions(dir.path() / "locked", fs::perms::owner_read | fs::perms::owner_exec);
    auto moved = core::move_no_replace(a, dir.path() / "locked" / "a.bin");
    fs::permissions(dir.path() / "locked", fs::perms::owner_all);
    ASSERT_FALSE(moved);
    EXPECT_NE(moved.error().message.find(": Permission denied"), std::string::npos);
    EXPECT_EQ(read_file(a), "A");
}

TEST(FileMove, AcrossFileSystemsKeepsContentModeAndTime) {
    TempDir dir;
    fs::path other = other_file_system(dir.path());
    if (other.empty())
        GTEST_SKIP() << "no second file system here";
    auto a = dir.write("a.bin", "rom data");
    ASSERT_EQ(::chmod(a.c_str(), 0640), 0);
    struct timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, a.c_str(), times, 0), 0);

    ASSERT_TRUE(core::move_no_replace(a, other / "a.bin"));
    struct stat st {};
    ASSERT_EQ(::stat((other / "a.bin").c_str(), &st), 0);
    EXPECT_EQ(read_file(other / "a.bin"), "rom data");
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(st.st_mtim.tv_sec, 1000000000);
    EXPECT_FALSE(core::path_taken(a));
    EXPECT_FALSE(leftovers(other));

    // And back, onto a name that is taken: refused, both stay.
    dir.write("a.bin", "other");
    EXPECT_FALSE(core::move_no_replace(other / "a.bin", a));
    EXPECT_EQ(read_file(a), "other");
    EXPECT_EQ(read_file(other / "a.bin"), "rom data");
    EXPECT_FALSE(leftovers(dir.path()));

    // Only plain files are copied across: a folder stays where it is.
    fs::create_directory(dir.path() / "folder");
    auto folder = core::move_no_replace(dir.path() / "folder", other / "folder");
    ASSERT_FALSE(folder);
    EXPECT_NE(folder.error().message.find(": it is not a plain file"), std::string::npos);
    EXPECT_TRUE(fs::is_directory(dir.path() / "folder"));
    EXPECT_FALSE(core::path_taken(other / "folder"));
    fs::remove_all(other);
}

} // namespace
