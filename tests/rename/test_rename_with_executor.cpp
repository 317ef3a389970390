// Rename runs carried out by the real executor: what the file system does between planning
// and carrying out, and where it refuses.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <set>
#include <utility>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "batch_executor.h"
#include "recorders.h"
#include "rename_engine.h"
#include "rom_forge.h"
#include "temp_dir.h"
#include "undo_journal.h"
#include "zdb_writer.h"
#include "zelcore_library.h"

namespace fs = std::filesystem;
using testsupport::rom_entry;
using testsupport::rom_with_crc;

namespace {

/// Lets a test change the disk after planning, just before a batch is carried out.
class Interposer final : public core::BatchRunner {
public:
    Interposer(core::BatchRunner& next, std::function<void()> before)
        : m_next(next), m_before(std::move(before)) {}
    core::BatchOutcome run(const core::Batch& batch) override {
        if (m_before)
            std::exchange(m_before, nullptr)();
        return m_next.run(batch);
    }

private:
    core::BatchRunner& m_next;
    std::function<void()> m_before;
};

// Sets or clears the immutable flag, which stops even root from renaming in a folder.
bool set_immutable(const fs::path& folder, bool on) {
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return false;
    int flags = 0;
    bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    ok = ok && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    ::close(fd);
    return ok;
}

class RenameWithExecutor : public ::testing::Test {
protected:
    testsupport::TempDir dir;
    std::string roms = (dir.path() / "roms").string() + "/";
    core::SystemEntry system{"Test", "TESTSYS", "*.bin", dir.path() / "TESTSYS.zdb"};
    testsupport::RecordingPrompter prompter;
    testsupport::RecordingProgress progress;
    core::UndoJournal journal{dir.path() / "undo.journal", "rename TESTSYS"};
    core::BatchExecutor executor{{&prompter, &journal, core::ConflictPolicy::Skip, nullptr}};
    std::string old_data_home;

    void SetUp() override {
        if (const char* d = std::getenv("XDG_DATA_HOME"))
            old_data_home = d;
        ::setenv("XDG_DATA_HOME", (dir.path() / "data").c_str(), 1);
        fs::create_directories(roms);
        core::ZdbHeader h;
        h.system_id = "TESTSYS";
        h.version = "1";
        h.patterns = "*.bin";
        ASSERT_TRUE(core::write_zdb(
            system.file, 2, h, {rom_entry(0x11111111, "Alpha"), rom_entry(0x22222222, "Beta")}));
        dir.write("roms/a.bin", rom_with_crc(4096, 0x11111111));
        dir.write("roms/b.bin", rom_with_crc(4096, 0x22222222));
    }
    void TearDown() override {
        if (old_data_home.empty())
            ::unsetenv("XDG_DATA_HOME");
        else
            ::setenv("XDG_DATA_HOME", old_data_home.c_str(), 1);
    }
    renaming::RenameReport run(core::BatchRunner& runner, renaming::RenameSettings s = {}) {
        auto zelcore = core::Zelcore::load_beside_executable();
        EXPECT_TRUE(zelcore);
        renaming::RenameServices services{*zelcore, prompter, progress, runner};
        return renaming::rename_roms({system, roms, std::move(s), 1, nullptr}, services);
    }
    std::set<std::string> names(const fs::path& folder) const {
        std::set<std::string> out;
        for (auto& e : fs::directory_iterator(folder))
            out.insert(e.path().filename().string());
        return out;
    }
};

TEST_F(RenameWithExecutor, TargetThatAppearsAfterPlanningIsNeverReplaced) {
    Interposer late(executor, [&] { dir.write("roms/Alpha.bin", "came late"); });
    auto report = run(late);
    EXPECT_EQ(names(roms), (std::set<std::string>{"a.bin", "Alpha.bin", "Beta.bin"}));
    EXPECT_EQ(testsupport::read_file(roms + "Alpha.bin"), "came late");
    EXPECT_EQ(report.not_carried_out, 1u);
    EXPECT_NE(progress.log_text.find("Not Carried Out: 1\r\n"), std::string::npos);
    EXPECT_NE(progress.log_text.find("a.bin"), std::string::npos);

    // Undo brings back what moved and leaves the late file alone.
    auto undone = core::undo_last_run(dir.path() / "undo.journal", core::null_progress());
    ASSERT_TRUE(undone);
    EXPECT_EQ(names(roms), (std::set<std::string>{"a.bin", "Alpha.bin", "b.bin"}));
}

TEST_F(RenameWithExecutor, FolderThatRefusesChangesIsReportedAndNothingMoves) {
    if (!set_immutable(roms, true))
        GTEST_SKIP() << "this file system cannot make a folder immutable";
    auto report = run(executor);
    set_immutable(roms, false);
    EXPECT_EQ(names(roms), (std::set<std::string>{"a.bin", "b.bin"}));
    EXPECT_EQ(report.not_carried_out, 2u);
    EXPECT_NE(progress.log_text.find("Could not move"), std::string::npos) << progress.log_text;
}

TEST_F(RenameWithExecutor, RenameFolderOnAnotherFileSystem) {
    struct stat here {
    }, there{};
    if (::stat(dir.path().c_str(), &here) != 0 || ::stat("/dev/shm", &there) != 0 ||
        here.st_dev == there.st_dev)
        GTEST_SKIP() << "no second file system here";
    fs::path other = fs::path("/dev/shm") / ("zelkon-test-" + std::to_string(::getpid()));
    fs::create_directories(other);
    renaming::RenameSettings s;
    s.move_renamed = true;
    s.rename_folder = other.string();
    auto report = run(executor, s);
    EXPECT_EQ(report.not_carried_out, 0u);
    EXPECT_EQ(names(other), (std::set<std::string>{"Alpha.bin", "Beta.bin"}));
    EXPECT_EQ(testsupport::read_file(other / "Alpha.bin"), rom_with_crc(4096, 0x11111111));
    EXPECT_TRUE(names(roms).empty());
    auto undone = core::undo_last_run(dir.path() / "undo.journal", core::null_progress());
    ASSERT_TRUE(undone);
    EXPECT_EQ(undone->restored, 2u);
    EXPECT_EQ(names(roms), (std::set<std::string>{"a.bin", "b.bin"}));
    fs::remove_all(other);
}

} // namespace
