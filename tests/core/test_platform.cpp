#include "platform.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "temp_dir.h"

using namespace std::chrono_literals;
using testsupport::read_file;
using testsupport::TempDir;

// Run in the working folder, with each argument handed over as it is: a shell in between
// would split the argument at the blank and run the part after ";".
TEST(Platform, RunAndWaitRunsTheProgramInTheFolderWithoutAShell) {
    TempDir dir;
    const std::string arg = "a b; touch hacked";
    ASSERT_TRUE(core::run_and_wait({"sh", "-c", "printf '%s' \"$1\" > out.txt", "sh", arg},
                                   dir.path(), 10s));
    EXPECT_EQ(read_file(dir.path() / "out.txt"), arg);
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "hacked"));

    // A timeout only ends the wait. The sleeper lets go of our output, or a test runner
    // would wait for it to end.
    EXPECT_TRUE(
        core::run_and_wait({"sh", "-c", "exec sleep 5 >/dev/null 2>&1"}, dir.path(), 200ms));

    // False when nothing can start.
    EXPECT_FALSE(core::run_and_wait({"zelkon-no-such-program-here"}, dir.path(), 1s));
    EXPECT_FALSE(core::run_and_wait({"true"}, dir.path() / "missing", 1s));
    EXPECT_FALSE(core::run_and_wait({}, dir.path(), 1s));
}

TEST(Platform, TemporaryFolderIsNoCdrom) {
    TempDir dir;
    EXPECT_FALSE(core::is_cdrom(dir.path()));
    // A target that does not exist yet is judged by the folder it would be made in.
    EXPECT_FALSE(core::is_cdrom(dir.path() / "not" / "yet"));
    EXPECT_FALSE(core::is_cdrom(""));
}

TEST(Platform, MountRootIsWhereTheFileSystemBegins) {
    EXPECT_EQ(core::mount_root("/proc/self/"), "/proc");
    EXPECT_EQ(core::mount_root("/proc/not/yet"), "/proc");
    EXPECT_EQ(core::mount_root("/"), "/");
    TempDir dir;
    auto root = core::mount_root(dir.path() / "sub");
    EXPECT_TRUE(dir.path().string().starts_with(root.string())) << root;
}
