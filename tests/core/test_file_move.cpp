#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "core_fixture.h"
#include "file_move.h"
#include "posix_io.h"
#include "temp_dir.h"

namespace fs = std::filesystem;
using corefixture::ProgressProbe;
using testsupport::read_file;
using testsupport::TempDir;

namespace {

bool leftovers(const fs::path& folder) {
    for (auto& e : fs::directory_iterator(folder))
        if (e.path().filename().string().starts_with(".zelkon-copy-"))
            return true;
    return false;
}

// Failures name both files and the reason.
TEST(FileMove, MovesAndCopiesNeverReplaceAndCopiesKeepTheSource) {
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
    const auto inside = dir.path() / "A.BIN" / "b.bin";
    EXPECT_EQ(core::move_no_replace(b, inside).error().message,
              "Could not move '" + b.string() + "' to '" + inside.string() + "': Not a directory");

    // While a copy is written, its part file is locked: no sweep removes it. Stop between
    // chunks removes it and keeps the source.
    const std::uint64_t size = 3 << 20; // more than one chunk
    auto big = dir.write("big.bin", std::string(size, 'x'));
    ProgressProbe watch;
    std::uint64_t told = 0;
    std::size_t swept = 0;
    watch.on_bytes = [&](std::uint64_t done, std::uint64_t total) {
        told = done == told + (1 << 20) && total == size ? done : 0;
        swept += core::remove_stale_parts(dir.path().string());
    };
    ASSERT_TRUE(core::copy_no_replace(big, dir.path() / "c.bin", &watch));
    EXPECT_EQ(told, size);
    EXPECT_EQ(swept, 0u);
    EXPECT_EQ(read_file(dir.path() / "c.bin"), read_file(big));
    watch.on_bytes = [&](std::uint64_t, std::uint64_t) { watch.stop = true; };
    EXPECT_EQ(core::copy_no_replace(big, dir.path() / "d.bin", &watch).error().code,
              core::Error::Code::Cancelled);
    EXPECT_FALSE(core::path_taken(dir.path() / "d.bin"));
    EXPECT_FALSE(leftovers(dir.path()));
    auto again = core::copy_no_replace(big, dir.path() / "c.bin");
    ASSERT_FALSE(again);
    EXPECT_EQ(again.error().code, core::Error::Code::Exists);
    // A name too long fails only at the last step, when the private copy is already whole:
    // that copy goes again, the source stays.
    auto too_long = core::copy_no_replace(big, dir.path() / std::string(300, 'c'));
    ASSERT_FALSE(too_long);
    EXPECT_NE(too_long.error().message.find(": File name too long"), std::string::npos);
    EXPECT_EQ(read_file(big).size(), std::size_t{3} << 20);
    EXPECT_FALSE(leftovers(dir.path()));
    EXPECT_FALSE(core::copy_no_replace(big, big / "inside"));
    EXPECT_FALSE(leftovers(dir.path()));
}

TEST(FileMove, AcrossFileSystemsKeepsContentModeAndTime) {
    TempDir dir;
    fs::path other = corefixture::other_file_system(dir.path(), "zelkon-move-");
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

    // Only plain files are copied across: a folder stays where it is.
    fs::create_directory(dir.path() / "folder");
    auto folder = core::move_no_replace(dir.path() / "folder", other / "folder");
    ASSERT_FALSE(folder);
    EXPECT_NE(folder.error().message.find(": it is not a plain file"), std::string::npos);
    EXPECT_TRUE(fs::is_directory(dir.path() / "folder"));
    EXPECT_FALSE(core::path_taken(other / "folder"));

    // Stopped across file systems: the source stays whole, nothing is left on the other side.
    auto big = dir.write("big.bin", std::string(3 << 20, 'b'));
    ProgressProbe watch;
    watch.on_bytes = [&](std::uint64_t, std::uint64_t) { watch.stop = true; };
    EXPECT_EQ(core::move_no_replace(big, other / "big.bin", &watch).error().code,
              core::Error::Code::Cancelled);
    EXPECT_EQ(read_file(big), std::string(3 << 20, 'b'));
    EXPECT_FALSE(core::path_taken(other / "big.bin"));
    EXPECT_FALSE(leftovers(other));
    fs::remove_all(other);
}

// A run killed in the middle of a copy leaves its part file; the sweep removes it and only
// it: not a locked one, not look-alikes of another kind, not one in another folder.
TEST(FileMove, PartFileOfAKilledRunIsSweptAndNothingElse) {
    TempDir dir;
    auto a = dir.write("a.bin", std::string(3 << 20, 'k'));
    const pid_t child = ::fork();
    if (child == 0) {
        ProgressProbe watch;
        watch.on_bytes = [](std::uint64_t, std::uint64_t) { ::_exit(0); };
        (void)core::copy_no_replace(a, dir.path() / "c.bin", &watch);
        ::_exit(1);
    }
    ASSERT_EQ(::waitpid(child, nullptr, 0), child);
    ASSERT_TRUE(leftovers(dir.path()));
    fs::create_directory(dir.path() / ".zelkon-copy-Dir123");
    fs::create_symlink(a, dir.path() / ".zelkon-copy-Lnk123");
    dir.write(".zelkon-copy-x", "");
    dir.write("sub/.zelkon-copy-Sub123", "");
    auto locked = dir.write(".zelkon-copy-Lck123", "");
    zelcore::UniqueFd fd(::open(locked.c_str(), O_RDONLY | O_CLOEXEC));
    ASSERT_EQ(::flock(fd.get(), LOCK_EX), 0);
    EXPECT_EQ(core::remove_stale_parts(dir.path().string()), 1u);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 6);
}

} // namespace
