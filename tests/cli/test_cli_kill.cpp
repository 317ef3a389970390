// Rename runs of the real program, each killed with SIGKILL at a random instant and then
// undone: no ROM is lost or doubled, and no part file outlives the undo that follows.

#include <chrono>
#include <csignal>
#include <filesystem>
#include <map>
#include <random>
#include <thread>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "../core/core_fixture.h"
#include "cli_run.h"
#include "temp_dir.h"
#include "trash_home.h"
#include "zip_archive.h"
#include "zip_maker.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace clitest; // NOLINT(google-build-using-namespace): the tests' own helpers
using testsupport::read_file;

constexpr int kPlain = 24;  // plain ROMs, moved to the other file system
constexpr int kZipped = 8;  // one-ROM archives, moved and renamed inside
constexpr int kRounds = 30; // killed runs
constexpr std::size_t kRomSize = 192 * 1024;

struct Rom {
    std::string old_path;   // where the ROM is before the run
    std::string new_path;   // where a run puts it
    std::string old_member; // an archive's member name before the run ("" for a plain ROM)
    std::string new_member;
    std::string data;
};

/// The bytes of a plain ROM, or of an archive's only member with its name.
std::pair<std::string, std::string> content_of(const Rom& rom, const std::string& path) {
    if (rom.old_member.empty())
        return {"", read_file(path)};
    auto members = core::list_zip(path, "");
    if (!members || members->size() != 1)
        return {"?", "?"};
    testsupport::TempDir out;
    if (!core::extract_zip_member(path, members->front(), out.path() / "m"))
        return {members->front().name, "?"};
    return {members->front().name, read_file(out.path() / "m")};
}

class CliKill : public ::testing::Test {
protected:
    void SetUp() override {
        other = corefixture::other_file_system(home.path(), "zelkon-kill-");
        if (other.empty())
            GTEST_SKIP() << "/dev/shm and " << home.path() << " are one file system";
        fs::create_directories(home.path() / "roms");
        core::RomTable table;
        for (int i = 0; i < kPlain + kZipped; ++i)
            add_rom(i, table);
        write_genesis_database(home.path(), table);
    }
    void TearDown() override {
        if (!other.empty())
            fs::remove_all(other);
    }

    void add_rom(int i, core::RomTable& table) {
        const auto crc = static_cast<std::uint32_t>(0x10000000 + i);
        const std::string n = std::to_string(i);
        const bool zipped = i >= kPlain;
        Rom rom;
        rom.data = testsupport::rom_with_crc(kRomSize, crc, static_cast<std::uint32_t>(i + 1));
        const std::string proper = (zipped ? "Zipped Game " : "Game ") + n + " (World)";
        const std::string ext = zipped ? ".zip" : ".bin";
        rom.old_path = (home.path() / "roms" / ("f" + n + ext)).string();
        rom.new_path = (other / (proper + ext)).string();
        if (zipped) {
            rom.old_member = "junk " + n + ".bin";
            rom.new_member = proper + ".bin";
            testsupport::make_zip(rom.old_path, {{rom.old_member, rom.data}});
        } else {
            testsupport::write_file(rom.old_path, rom.data);
        }
        table.push_back(testsupport::rom_entry(crc, proper));
        roms.push_back(std::move(rom));
    }

    /// Starts a rename run of the real program; its output is thrown away.
    pid_t start_rename() const {
        const std::string program =
            (fs::read_symlink("/proc/self/exe").parent_path() / "zelkon-cli").string();
        std::vector<std::string> args{program, "--home", home.path().string(), "--yes", "rename"};
        args.insert(args.end(), {"--system", "SGENESIS", (home.path() / "roms").string(),
                                 "--rename-folder", other.string(), "--rename-in-zip"});
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t quiet;
        posix_spawn_file_actions_init(&quiet);
        posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&quiet, 2, "/dev/null", O_WRONLY, 0);
        pid_t pid = -1;
        if (posix_spawn(&pid, program.c_str(), &quiet, nullptr, argv.data(), environ) != 0)
            pid = -1;
        posix_spawn_file_actions_destroy(&quiet);
        return pid;
    }

    /// Killed: each ROM whole at its old or its new place, or at both when the kill came
    /// between a copy put in place and the removal of its original; an archive's member
    /// named either way. Undone: each ROM at its old place only, with its old name.
    void expect_each_rom(bool undone) const {
        for (const auto& rom : roms) {
            const bool at_old = fs::exists(rom.old_path), at_new = fs::exists(rom.new_path);
            ASSERT_TRUE(undone ? at_old && !at_new : at_old || at_new) << rom.old_path;
            for (const auto& path : {rom.old_path, rom.new_path}) {
                if (!fs::exists(path))
                    continue;
                const auto [member, bytes] = content_of(rom, path);
                ASSERT_TRUE(bytes == rom.data) << path << " is not whole";
                if (undone || member != rom.old_member) {
                    ASSERT_EQ(member, undone ? rom.old_member : rom.new_member) << path;
                }
            }
        }
    }

    void expect_no_part_files() const {
        for (const auto& folder : {home.path() / "roms", other})
            for (const auto& e : fs::directory_iterator(folder))
                EXPECT_FALSE(e.path().filename().string().starts_with(".zelkon-copy-")) << e.path();
    }

    void undo() const {
        auto r = run_cli_in(home.path(), {"undo"});
        // A run killed before it recorded its first batch did nothing to undo.
        ASSERT_TRUE(r.code == 0 || r.err == "zelkon-cli: There is nothing to undo.\n") << r.err;
    }

    testsupport::TempDir home;
    testsupport::TempDir data_home;
    testsupport::TrashHome trash{data_home.path()};
    fs::path other;
    std::vector<Rom> roms;
};

TEST_F(CliKill, KilledRenamesLoseNothingAndLeaveNoPartFiles) {
    // One whole run first, to learn how long a run takes here.
    const auto begin = std::chrono::steady_clock::now();
    pid_t pid = start_rename();
    ASSERT_GT(pid, 0);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the run failed";
    const auto span = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::steady_clock::now() - begin);
    ASSERT_TRUE(fs::exists(roms.front().new_path));
    undo();
    expect_each_rom(true);

    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    std::uniform_int_distribution<long> instant(0, span.count());
    for (int round = 0; round < kRounds && !HasFatalFailure(); ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        pid = start_rename();
        ASSERT_GT(pid, 0);
        std::this_thread::sleep_for(std::chrono::microseconds(instant(random)));
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        expect_each_rom(false);
        undo();
        expect_each_rom(true);
        expect_no_part_files();
    }
}

} // namespace
