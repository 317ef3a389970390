#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "batch.h"
#include "recorders.h"
#include "rename_engine.h"
#include "rom_forge.h"
#include "temp_dir.h"
#include "zdb_writer.h"
#include "zelcore_library.h"
#include "zip_archive.h"
#include "zip_maker.h"

namespace fs = std::filesystem;
using renaming::RenameReport;
using renaming::RenameSettings;
using testsupport::rom_entry;
using testsupport::rom_with_crc;

namespace {

/// Carries out batches with plain file-system calls (never replacing) and remembers them;
/// deletions go to a folder of the test.
class DiskRunner final : public core::BatchRunner {
public:
    explicit DiskRunner(fs::path bin) : m_bin(std::move(bin)) {}
    core::BatchOutcome run(const core::Batch& batch) override {
        batches.push_back(batch);
        core::BatchOutcome out;
        for (std::size_t i = 0; i < batch.from.size(); ++i)
            out.items.push_back(one(batch, i, out));
        return out;
    }
    std::vector<core::Batch> batches;

private:
    core::ItemResult one(const core::Batch& batch, std::size_t i, core::BatchOutcome& out) {
        const fs::path from = batch.from[i];
        const fs::path to =
            batch.op == core::BatchOp::Delete ? m_bin / from.filename() : fs::path(batch.to[i]);
        if (fs::exists(to)) {
            out.problems.push_back(core::Problem::line("exists: " + to.string()));
            return core::ItemResult::Skipped;
        }
        fs::create_directories(to.parent_path());
        if (batch.op == core::BatchOp::Copy)
            fs::copy_file(from, to);
        else
            fs::rename(from, to);
        return core::ItemResult::Done;
    }
    fs::path m_bin;
};

class RenameEngine : public ::testing::Test {
protected:
    testsupport::TempDir dir;
    std::string roms = (dir.path() / "roms").string() + "/";
    core::SystemEntry system{"Test System", "TESTSYS", "*.bin;*.rom", dir.path() / "TESTSYS.zdb"};
    testsupport::RecordingPrompter prompter;
    testsupport::RecordingProgress progress;
    DiskRunner runner{dir.path() / "bin"};

    void SetUp() override {
        fs::create_directories(roms);
        database(2, {rom_entry(0x11111111, "Alpha"), rom_entry(0x22222222, "Beta (U)"),
                     rom_entry(0x33333333, "Gamma")});
    }
    void database(int format, const core::RomTable& entries) {
        ASSERT_TRUE(core::write_zdb(system.file, format,
                                    testsupport::db_header("TESTSYS", "Test System", "*.bin;*.rom"),
                                    entries));
    }
    void rom(const std::string& relative, std::uint32_t crc) {
        dir.write(fs::path("roms") / relative, rom_with_crc(2048, crc, crc ^ 7));
    }
    RenameReport run(RenameSettings s = {}, unsigned threads = 1) {
        auto zelcore = core::Zelcore::load_beside_executable();
        EXPECT_TRUE(zelcore);
        renaming::RenameServices services{*zelcore, prompter, progress, runner};
        return renaming::rename_roms({system, roms, std::move(s), threads, nullptr}, services);
    }
    /// Every file below the test folder but the database, relative to it.
    std::set<std::string> files() const {
        std::set<std::string> out;
        for (auto& e : fs::recursive_directory_iterator(dir.path()))
            if (e.is_regular_file() && e.path() != system.file)
                out.insert(fs::relative(e.path(), dir.path()).string());
        return out;
    }
};

const std::string kTail =
    "To view the missing & have lists, click 'View Lists'. You should be able "
    "to\r\nthen click 'Next' to retreive the lists. (You may have to alter "
    "the default\r\n'ROM Folder' to point to your 'Renamed' folder.)";

TEST_F(RenameEngine, RenamesInPlaceWithTheExactLog) {
    rom("a.bin", 0x11111111);
    rom("b.ROM", 0x22222222);
    rom("unknown.bin", 0x99999999);
    rom("notes.txt", 0x11111111); // not a pattern of the system
    auto report = run();
    EXPECT_EQ(files(), (std::set<std::string>{"roms/Alpha.bin", "roms/Beta (U).ROM",
                                              "roms/unknown.bin", "roms/notes.txt"}));
    EXPECT_EQ(progress.log_text,
              "Loading ZDB...done.\r\nCollecting filenames and crc32...done.\r\n"
              "Sorting ZDB...done.\r\nSorting files...done.\r\nRenaming ROMs...done.\r\n"
              "Processing files...done.\r\n\r\n"
              "Files Processed: 3 (1 unrecognized)\r\nAlready Renamed Properly: 0\r\n"
              "Duplicate Files: 0\r\n\r\n" +
                  kTail);
    EXPECT_EQ(report.end, RenameReport::End::Completed);
    EXPECT_TRUE(prompter.messages.empty());
    ASSERT_EQ(runner.batches.size(), 1u); // one batch for the whole run
}

TEST_F(RenameEngine, EverythingNamedMovesNothing) {
    rom("Alpha.bin", 0x11111111);
    rom("beta (u).bin", 0x22222222);
    auto report = run();
    EXPECT_EQ(report.already_named, 2u);
    EXPECT_TRUE(runner.batches.empty());
    EXPECT_NE(progress.log_text.find("Already Renamed Properly: 2\r\n"), std::string::npos);
}

TEST_F(RenameEngine, DuplicatesGoToTheDupeFolderNumbered) {
    rom("x.bin", 0x11111111);
    rom("y.bin", 0x11111111);
    rom("z.bin", 0x11111111);
    dir.write("dupes/Alpha {D01}.bin", "old");
    RenameSettings s;
    s.move_dupes = true;
    s.dupe_folder = (dir.path() / "dupes").string();
    auto report = run(s);
    EXPECT_EQ(report.dupes, 2u);
    EXPECT_EQ(files(), (std::set<std::string>{"roms/Alpha.bin", "dupes/Alpha {D01}.bin",
                                              "dupes/Alpha {D02}.bin", "dupes/Alpha {D03}.bin"}));
}

TEST_F(RenameEngine, DuplicatesDeletedOrLeft) {
    rom("x.bin", 0x11111111);
    rom("y.bin", 0x11111111);
    RenameSettings s;
    s.delete_dupes = true;
    EXPECT_EQ(run(s).dupes, 1u);
    EXPECT_EQ(files(), (std::set<std::string>{"roms/Alpha.bin", "bin/y.bin"}));
    ASSERT_EQ(runner.batches.size(), 2u);
    EXPECT_EQ(runner.batches[1].op, core::BatchOp::Delete);
}

TEST_F(RenameEngine, MissingFoldersAreToldAndSwitchedOff) {
    rom("x.bin", 0x11111111);
    rom("y.bin", 0x11111111);
    rom("q.bin", 0x12345678);
    RenameSettings s;
    s.move_dupes = true;
    s.dupe_folder = roms + "nowhere";
    s.move_unrecognized = true;
    s.unrecognized_folder = roms + "gone";
    run(s);
    ASSERT_EQ(prompter.messages.size(), 2u);
    EXPECT_EQ(prompter.messages[0].title, "Folder not Found");
    EXPECT_EQ(prompter.messages[0].text,
              "The 'unrecognized' folder was not found.\rUnrecognized files will be ignored");
    EXPECT_EQ(prompter.messages[1].title, "Dupe Folder not Found");
    EXPECT_EQ(prompter.messages[1].text,
              "\"" + roms + "nowhere/\" was not found.\r\rDupes will be ignored.");
    EXPECT_EQ(files(), (std::set<std::string>{"roms/Alpha.bin", "roms/y.bin", "roms/q.bin"}));
}

TEST_F(RenameEngine, UnrecognizedFilesMoveAndArchivesWithSeveralRomsStay) {
    rom("q.bin", 0x12345678);
    testsupport::make_zip(roms + "two.zip", {{"a.bin", rom_with_crc(64, 0x11111111)},
                                             {"b.bin", rom_with_crc(64, 0x22222222)}});
    testsupport::make_zip(roms + "one.zip", {{"m.bin", rom_with_crc(64, 0x87654321)}});
    dir.write("unrec/.keep", "");
    RenameSettings s;
    s.move_unrecognized = true;
    s.unrecognized_folder = (dir.path() / "unrec").string();
    auto report = run(s);
    EXPECT_EQ(report.files, 2u);
    EXPECT_EQ(report.unrecognized, 2u);
    EXPECT_EQ(files(), (std::set<std::string>{"roms/two.zip", "unrec/.keep", "unrec/q.bin",
                                              "unrec/one.zip"}));
}

TEST_F(RenameEngine, OneRomArchiveTakesTheNameAndItsMemberToo) {
    testsupport::make_zip(roms + "old.zip", {{"inner.bin", rom_with_crc(64, 0x33333333)}});
    // A matching member beside a read-me: the archive is renamed, its member cannot be.
    testsupport::make_zip(roms + "other.zip", {{"../../b.bin", rom_with_crc(64, 0x22222222)},
                                               {"readme.txt", "not a rom"}});
    RenameSettings s;
    s.rename_in_zip = true;
    auto report = run(s);
    EXPECT_EQ(files(), (std::set<std::string>{"roms/Gamma.zip", "roms/Beta (U).zip"}));
    auto members = core::list_zip(roms + "Gamma.zip", "");
    ASSERT_TRUE(members);
    ASSERT_EQ(members->size(), 1u);
    EXPECT_EQ(members->front().name, "Gamma.bin");
    EXPECT_EQ(report.files, 2u);
    EXPECT_NE(progress.log_text.find("other.zip"), std::string::npos) << progress.log_text;
}

TEST_F(RenameEngine, SecondCrcMatchesInTheSecondPass) {
    database(
        1, {rom_entry(0x11111111, "Alpha", 0xAAAAAAAA), rom_entry(0x22222222, "Beta", 0xBBBBBBBB)});
    rom("b.bin", 0xBBBBBBBB);
    rom("a.bin", 0x11111111);
    auto report = run();
    EXPECT_EQ(files(), (std::set<std::string>{"roms/Alpha.bin", "roms/Beta.bin"}));
    EXPECT_EQ(report.unrecognized, 0u);
    // Two passes, each with its sorts.
    std::string pass = "Sorting ZDB...done.\r\nSorting files...done.\r\nRenaming ROMs...";
    EXPECT_NE(progress.log_text.find(pass + pass), std::string::npos);
}

TEST_F(RenameEngine, RecursionBringsRenamedFilesUp) {
    rom("sub/deeper/a.bin", 0x11111111);
    rom("sub/b.bin", 0x22222222);
    rom(".hidden/c.bin", 0x33333333);
    RenameSettings s;
    s.recursive = true;
    run(s);
    EXPECT_EQ(files(),
              (std::set<std::string>{"roms/Alpha.bin", "roms/Beta (U).bin", "roms/.hidden/c.bin"}));
}

TEST_F(RenameEngine, RenameFolderAndCopy) {
    rom("a.bin", 0x11111111);
    RenameSettings s;
    s.move_renamed = true;
    s.rename_folder = (dir.path() / "renamed").string();
    s.copy_instead = true;
    run(s);
    EXPECT_EQ(files(), (std::set<std::string>{"roms/a.bin", "renamed/Alpha.bin"}));
    // An unset rename folder means the current folder, never the root.
    s.rename_folder = "/";
    s.copy_instead = false;
    run(s);
    EXPECT_EQ(files(), (std::set<std::string>{"roms/Alpha.bin", "renamed/Alpha.bin"}));
}

TEST_F(RenameEngine, StopDuringCollectionTouchesNothing) {
    for (int i = 0; i < 5; ++i)
        rom("f" + std::to_string(i) + ".bin", 0x11111111);
    progress.stop_after = 2;
    auto report = run();
    EXPECT_EQ(report.end, RenameReport::End::Stopped);
    EXPECT_EQ(progress.log_text,
              "Loading ZDB...done.\r\nCollecting filenames and crc32...aborted.");
    EXPECT_TRUE(runner.batches.empty());
    EXPECT_EQ(files().size(), 5u);
}

TEST_F(RenameEngine, HostileAndUnreadableInput) {
    database(2, {rom_entry(0x11111111, "../../escape"), rom_entry(0x22222222, "a/b")});
    rom("x.bin", 0x11111111);
    rom("y.bin", 0x22222222);
    dir.write("roms/broken.zip", "PK\x03\x04 not really");
    auto report = run();
    EXPECT_EQ(files(),
              (std::set<std::string>{"roms/.._.._escape.bin", "roms/a_b.bin", "roms/broken.zip"}));
    EXPECT_EQ(report.unreadable, 1u);
    EXPECT_NE(progress.log_text.find("broken.zip"), std::string::npos);
    EXPECT_NE(progress.log_text.find("Files Not Read: 1\r\n"), std::string::npos);
}

TEST_F(RenameEngine, BrokenDatabaseRefusesTheRun) {
    testsupport::write_file(system.file, "\x02short");
    rom("x.bin", 0x11111111);
    EXPECT_EQ(run().end, RenameReport::End::Refused);
    EXPECT_EQ(progress.log_text.rfind("Loading ZDB...failed.\r\n", 0), 0u);
    EXPECT_EQ(files().size(), 1u);
}

TEST_F(RenameEngine, OneThreadAndTwoGiveTheSameRun) {
    auto make = [&] {
        for (int i = 0; i < 40; ++i)
            rom("f" + std::to_string(i) + ".bin", i % 3 == 0 ? 0x11111111 : 0x50000000u + i);
        rom("g.bin", 0x22222222);
    };
    make();
    run({}, 1);
    auto log_one = progress.log_text;
    auto steps_one = progress.step_calls;
    auto files_one = files();
    fs::remove_all(dir.path() / "roms");
    fs::create_directories(roms);
    progress = {};
    make();
    run({}, 2);
    EXPECT_EQ(progress.log_text, log_one);
    EXPECT_EQ(progress.step_calls, steps_one);
    EXPECT_EQ(files(), files_one);
}

} // namespace
