#include <gtest/gtest.h>

#include <filesystem>

#include <sys/stat.h>

#include "atomic_file.h"
#include "temp_dir.h"

namespace fs = std::filesystem;
using testsupport::entry_count;
using testsupport::read_file;
using testsupport::TempDir;

namespace {

mode_t mode_of(const fs::path& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0);
    return st.st_mode & 07777;
}

} // namespace

TEST(AtomicFile, ReplacesKeepingTheModeOrSettingTheOneAskedFor) {
    TempDir dir;
    auto path = dir.write("a.ini", "old");
    ::chmod(path.c_str(), 0640);
    ASSERT_TRUE(core::write_file_atomically(path, "new"));
    EXPECT_EQ(read_file(path), "new");
    EXPECT_EQ(mode_of(path), 0640u);
    ASSERT_TRUE(core::write_file_atomically(path, "newer", 0644));
    EXPECT_EQ(mode_of(path), 0644u);
    EXPECT_EQ(entry_count(dir.path()), 1u) << "no temporary file is left beside it";
}

TEST(AtomicFile, AFailedWriteLeavesNothingBehind) {
    TempDir dir;
    auto status = core::write_file_atomically(dir.path() / "missing" / "a.ini", "x");
    ASSERT_FALSE(status);
    EXPECT_NE(status.error().message.find("cannot create a file in"), std::string::npos);
    // A folder in the file's place cannot be replaced; the temporary file goes again.
    fs::create_directory(dir.path() / "taken");
    ASSERT_FALSE(core::write_file_atomically(dir.path() / "taken", "x"));
    EXPECT_EQ(entry_count(dir.path()), 1u);
    EXPECT_TRUE(fs::is_directory(dir.path() / "taken"));
}
