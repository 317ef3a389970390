#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "posix_io.h"

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

TEST_F(Trash, FilesGoToTheHomeTrashWithTheirInfoAndComeBack) {
    auto file = dir.write("roms/Game 100%.bin", "rom");
    auto trashed = core::move_to_trash(file);
    ASSERT_TRUE(trashed) << trashed.error().message;
    EXPECT_FALSE(fs::exists(file));
    EXPECT_EQ(fs::path(trashed->trashed), trash / "files" / "Game 100%.bin");
    EXPECT_EQ(read_file(trashed->trashed), "rom");
    const std::string info = read_file(trash / "info" / "Game 100%.bin.trashinfo");
    // The temporary folder's own name needs no escapes: only the file's name has them.
    const std::string head =
        "[Trash Info]\nPath=" + dir.path().string() + "/roms/Game%20100%25.bin\nDeletionDate=";
    EXPECT_EQ(info.substr(0, head.size()), head);
    EXPECT_TRUE(std::regex_match(info.substr(head.size()),
                                 std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\n)")))
        << info;

    // Same names stay apart and come back; a missing file is an error that leaves no info.
    auto a = core::move_to_trash(dir.write("one/x.bin", "1"));
    auto b = core::move_to_trash(dir.write("two/x.bin", "2"));
    ASSERT_TRUE(a && b);
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

    auto missing = core::move_to_trash(dir.path() / "nothing.bin");
    ASSERT_FALSE(missing);
    EXPECT_NE(missing.error().message.find("nothing.bin"), std::string::npos);
    EXPECT_FALSE(fs::exists(trash / "info" / "nothing.bin.trashinfo"));
}

// Another file system's own trash, at the top of its mount. /dev/shm serves as that file
// system; a lock keeps test runs in other build folders from meeting there.
class TopTrash : public Trash {
protected:
    void SetUp() override {
        struct stat a {
        }, b{};
        if (::stat(dir.path().c_str(), &a) != 0 || ::stat("/dev/shm", &b) != 0 ||
            a.st_dev == b.st_dev || ::stat("/dev", &a) != 0 || a.st_dev == b.st_dev)
            GTEST_SKIP() << "/dev/shm is no file system of its own here";
        lock.reset(::open("/dev/shm/zelkon-trash-test.lock", O_RDWR | O_CREAT | O_CLOEXEC, 0600));
        ASSERT_TRUE(lock && ::flock(lock.get(), LOCK_EX) == 0);
        if (fs::exists(shared) || fs::exists(own))
            GTEST_SKIP() << "/dev/shm already has a trash";
        fs::create_directory(folder);
    }
    void TearDown() override {
        if (!made_here)
            return;
        fs::remove_all(folder);
        fs::remove_all(shared);
        fs::remove_all(own);
    }
    fs::path file(const std::string& name) {
        made_here = true;
        testsupport::write_file(folder / name, name);
        return folder / name;
    }

    const std::string uid = std::to_string(::geteuid());
    const fs::path top = "/dev/shm";
    const fs::path folder = top / ("zelkon-trash-" + std::to_string(::getpid()));
    const fs::path shared = top / ".Trash";
    const fs::path own = top / (".Trash-" + uid);
    zelcore::UniqueFd lock;
    bool made_here = false;
};

TEST_F(TopTrash, OwnTrashIsMadePrivateWithRelativePathsAndSharedOneOnlyWhenSafe) {
    auto trashed = core::move_to_trash(file("a b.bin"));
    ASSERT_TRUE(trashed) << trashed.error().message;
    EXPECT_EQ(fs::path(trashed->trashed), own / "files" / "a b.bin");
    EXPECT_EQ(fs::status(own).permissions(), fs::perms::owner_all);
    const std::string info = read_file(trashed->info);
    EXPECT_NE(info.find("\nPath=" + folder.filename().string() + "/a%20b.bin\n"), std::string::npos)
        << info;
    ASSERT_TRUE(core::restore_from_trash(*trashed));
    EXPECT_EQ(read_file(folder / "a b.bin"), "a b.bin");

    // The shared trash only when it is sticky and no link.
    fs::create_directory(shared);
    ASSERT_EQ(::chmod(shared.c_str(), 0777), 0);
    auto plain = core::move_to_trash(file("1"));
    ASSERT_TRUE(plain);
    EXPECT_EQ(fs::path(plain->trashed).parent_path(), own / "files"); // not sticky

    ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
    auto sticky = core::move_to_trash(file("2"));
    ASSERT_TRUE(sticky);
    EXPECT_EQ(fs::path(sticky->trashed), shared / uid / "files" / "2");

    fs::rename(shared, top / ".Trash-real");
    fs::create_directory_symlink(top / ".Trash-real", shared);
    auto linked = core::move_to_trash(file("3"));
    fs::remove(shared);
    fs::rename(top / ".Trash-real", shared);
    ASSERT_TRUE(linked);
    EXPECT_EQ(fs::path(linked->trashed).parent_path(), own / "files");
}

} // namespace
