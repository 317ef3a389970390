#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <tuple>

#include "batch_executor.h"
#include "recorders.h"
#include "rename_engine.h"
#include "rom_forge.h"
#include "services.h"
#include "temp_dir.h"
#include "trash_home.h"
#include "undo_journal.h"
#include "zdb_writer.h"
#include "zip_archive.h"
#include "zip_maker.h"

namespace fs = std::filesystem;
using renaming::RenameSettings;
using testsupport::contains;
using testsupport::rom_entry;
using testsupport::rom_with_crc;
using Files = std::set<std::string>;

namespace {

// The ROM folder, the system's database and the folders a run may use; the journal, the
// trash and the home lie apart in `side`.
class RenameEngine : public ::testing::Test {
protected:
    testsupport::TempDir dir, side;
    testsupport::TrashHome trash_home{side.path() / "data"};
    std::string roms = (dir.path() / "roms").string() + "/";
    core::SystemEntry system{"Test System", "TESTSYS", "*.bin;*.rom", dir.path() / "TESTSYS.zdb"};
    testsupport::RecordingPrompter prompter;
    testsupport::RecordingProgress progress;
    core::Services services = core::Services::open({side.path(), {}, false, {}}).value();
    core::UndoJournal journal{side.path() / "undo.journal", "rename TESTSYS"};
    core::BatchExecutor executor{{.prompter = &prompter,
                                  .journal = &journal,
                                  .on_conflict = core::ConflictPolicy::Skip,
                                  .after_item = {},
                                  .progress = &progress,
                                  .zelcore = &services.zelcore()}};
    testsupport::RecordingRunner runner{executor};
    renaming::RenameContext context{services, prompter, progress, runner};

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
    std::string folder(const std::string& name) {
        fs::create_directories(dir.path() / name);
        return (dir.path() / name).string();
    }
    renaming::RenamePlan plan(RenameSettings s = {}, unsigned threads = 1) {
        return renaming::plan_renames({system, roms, std::move(s), threads, nullptr}, context);
    }
    renaming::RenameReport run(RenameSettings s = {}, unsigned threads = 1) {
        return renaming::carry_out(plan(std::move(s), threads), context);
    }
    /// Every file and link below the test folder but the database, relative to it.
    Files files() const {
        Files out;
        for (auto& e : fs::recursive_directory_iterator(dir.path()))
            if (!e.is_directory() && e.path() != system.file)
                out.insert(e.path().lexically_relative(dir.path()).string());
        return out;
    }
    std::size_t trashed() const {
        return testsupport::entry_count(side.path() / "data/Trash/files");
    }
};

const std::string kTail =
    "To view the missing & have lists, click 'View Lists'. You should be able "
    "to\r\nthen click 'Next' to retreive the lists. (You may have to alter "
    "the default\r\n'ROM Folder' to point to your 'Renamed' folder.)";

// Two threads hash ahead, yet the log is the one a single thread gives.
TEST_F(RenameEngine, RenamesInPlaceWithTheExactLog) {
    rom("a.bin", 0x11111111);
    rom("b.ROM", 0x22222222);
    rom("gamma.bin", 0x33333333);
    rom("unknown.bin", 0x99999999);
    rom("notes.txt", 0x11111111); // not a pattern of the system
    auto report = run({}, 2);
    EXPECT_EQ(files(), (Files{"roms/Alpha.bin", "roms/Beta (U).ROM", "roms/gamma.bin",
                              "roms/unknown.bin", "roms/notes.txt"}));
    EXPECT_EQ(progress.log_text,
              "Loading ZDB...done.\r\nCollecting filenames and crc32...done.\r\n"
              "Sorting ZDB...done.\r\nSorting files...done.\r\nRenaming ROMs...done.\r\n"
              "Processing files...done.\r\n\r\n"
              "Files Processed: 4 (1 unrecognized)\r\nAlready Renamed Properly: 1\r\n"
              "Duplicate Files: 0\r\n\r\n" +
                  kTail);
    EXPECT_TRUE(report.clean());
    EXPECT_TRUE(prompter.messages.empty());
    ASSERT_EQ(runner.batches.size(), 1u); // one batch for the whole run
}

// The same ROM as a file and in an archive: one takes the name, the other is a duplicate,
// and the next run counts the first as named already.
TEST_F(RenameEngine, SameRomAsAFileAndInAnArchive) {
    rom("x.bin", 0x11111111);
    testsupport::make_zip(roms + "y.zip", {{"y.bin", rom_with_crc(2048, 0x11111111, 5)}});
    auto first = run();
    EXPECT_EQ(std::tuple(first.already_named, first.dupes), std::tuple(0u, 1u));
    const Files after = files();
    auto second = run();
    EXPECT_EQ(std::tuple(second.already_named, second.dupes), std::tuple(1u, 1u));
    EXPECT_EQ(files(), after);
}

// Deleted duplicates go to the trash: see the symbolic link test.
TEST_F(RenameEngine, DuplicatesGoToTheDupeFolderNumbered) {
    rom("x.bin", 0x11111111);
    rom("y.bin", 0x11111111);
    rom("z.bin", 0x11111111);
    RenameSettings s;
    s.move_dupes = true;
    s.dupe_folder = folder("dupes");
    EXPECT_EQ(run(s).dupes, 2u);
    EXPECT_EQ(files(), (Files{"roms/Alpha.bin", "dupes/Alpha {D01}.bin", "dupes/Alpha {D02}.bin"}));
}

// A junk file, a save file or an archive of another ROM bearing the name is no duplicate:
// the good dump is never trashed, it takes its name when that very name is free.
TEST_F(RenameEngine, NameHeldByADifferentFileMakesNoDuplicate) {
    rom("Alpha.bin", 0x99999999); // junk that matches nothing
    rom("x.bin", 0x11111111);
    dir.write("roms/Beta (U).srm", "a save");
    rom("b.bin", 0x22222222);
    testsupport::make_zip(roms + "Gamma.zip", {{"m.bin", rom_with_crc(64, 0x87654321)}});
    rom("g.bin", 0x33333333);
    RenameSettings s;
    s.delete_dupes = true;
    auto report = run(s);
    EXPECT_EQ(files(), (Files{"roms/Alpha.bin", "roms/x.bin", "roms/Beta (U).srm",
                              "roms/Beta (U).bin", "roms/Gamma.zip", "roms/Gamma.bin"}));
    EXPECT_EQ(trashed(), 0u);
    EXPECT_EQ(report.dupes, 0u);
    EXPECT_EQ(report.not_carried_out, 1u);
    EXPECT_TRUE(contains(progress.log_text, "Did not rename '" + roms + "x.bin' to '" + roms +
                                                "Alpha.bin': name taken by a different file\r\n"))
        << progress.log_text;
}

// A link is never renamed, counted or taken for the ROM it points to.
TEST_F(RenameEngine, SymbolicLinksAreSkippedAndNeverDuplicates) {
    rom("s1.bin", 0x11111111);
    rom("s2.bin", 0x11111111);
    fs::create_symlink(roms + "s1.bin", roms + "link.bin");
    rom("b.bin", 0x22222222);
    fs::create_symlink(roms + "b.bin", roms + "Beta (U).bin");
    RenameSettings s;
    s.delete_dupes = true;
    auto report = run(s);
    EXPECT_EQ(files(),
              (Files{"roms/Alpha.bin", "roms/link.bin", "roms/b.bin", "roms/Beta (U).bin"}));
    EXPECT_TRUE(fs::is_symlink(roms + "link.bin"));
    EXPECT_EQ(fs::read_symlink(roms + "Beta (U).bin"), roms + "b.bin");
    EXPECT_EQ(trashed(), 1u);
    EXPECT_EQ(report.files, 3u);
    EXPECT_EQ(report.dupes, 1u);
    EXPECT_EQ(report.links, 2u);
    auto skipped = [&](const std::string& name) {
        return "Skipped '" + roms + name + "': it is a symbolic link.\r\n";
    };
    EXPECT_TRUE(contains(progress.log_text,
                         "crc32...done.\r\n" + skipped("Beta (U).bin") + skipped("link.bin")))
        << progress.log_text;
}

TEST_F(RenameEngine, MissingStoredFoldersAreToldNamedAndSwitchedOff) {
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
    EXPECT_TRUE(contains(progress.log_text, "Unrecognized files were not moved: the folder '" +
                                                roms + "gone/' was not found\r\n"));
    EXPECT_EQ(files(), (Files{"roms/Alpha.bin", "roms/y.bin", "roms/q.bin"}));
}

// Unrecognized files move; an archive of several ROMs is neither recognized nor moved.
TEST_F(RenameEngine, FoldersGivenForTheRunAreMadeAfterAYesOnly) {
    rom("q.bin", 0x12345678);
    testsupport::make_zip(roms + "two.zip", {{"a.bin", rom_with_crc(64, 0x11111111)},
                                             {"b.bin", rom_with_crc(64, 0x22222222)}});
    testsupport::make_zip(roms + "one.zip", {{"m.bin", rom_with_crc(64, 0x87654321)}});
    RenameSettings s;
    s.move_unrecognized = true;
    s.unrecognized_folder = (dir.path() / "unk").string();
    s.given_for_run.unrecognized_folder = true;
    auto refused = run(s);
    EXPECT_EQ(refused.end, core::End::Refused);
    EXPECT_EQ(refused.missing_folder, s.unrecognized_folder + "/");
    EXPECT_TRUE(contains(refused.summary, "'" + s.unrecognized_folder + "/' does not exist"));
    EXPECT_EQ(prompter.messages.at(0).title, "Confirm Folder Create");
    EXPECT_EQ(progress.log_text, ""); // not even the database was read

    prompter.script = {core::Answer::Yes};
    auto report = run(s);
    EXPECT_TRUE(report.clean());
    EXPECT_EQ(report.files, 2u);
    EXPECT_EQ(report.unrecognized, 2u);
    EXPECT_EQ(files(), (Files{"roms/two.zip", "unk/q.bin", "unk/one.zip"}));
}

// The member is renamed by a batch of the plan, just before the batch that moves its
// archive, so a dry run shows it and undo puts it back.
TEST_F(RenameEngine, OneRomArchiveTakesTheNameAndItsMemberToo) {
    // The member's folders, even one that climbs out, are not kept.
    testsupport::make_zip(roms + "old.zip", {{"../inner.bin", rom_with_crc(64, 0x33333333)}});
    // A matching member beside a read-me: the archive is renamed, its member cannot be.
    testsupport::make_zip(roms + "other.zip", {{"../../b.bin", rom_with_crc(64, 0x22222222)},
                                               {"readme.txt", "not a rom"}});
    RenameSettings s;
    s.rename_in_zip = true;
    auto planned = plan(s);
    ASSERT_EQ(planned.batches.size(), 2u);
    EXPECT_EQ(planned.batches[0].op, core::BatchOp::RenameMember);
    EXPECT_EQ(planned.batches[0].from,
              (std::vector<std::string>{roms + "other.zip", roms + "old.zip"}));
    EXPECT_EQ(planned.batches[0].to, (std::vector<std::string>{"Beta (U)", "Gamma"}));
    EXPECT_EQ(planned.batches[1].op, core::BatchOp::Move);
    EXPECT_EQ(files(), (Files{"roms/old.zip", "roms/other.zip"})); // a plan changes nothing

    auto report = renaming::carry_out(std::move(planned), context);
    EXPECT_EQ(files(), (Files{"roms/Gamma.zip", "roms/Beta (U).zip"}));
    auto members = core::list_zip(roms + "Gamma.zip", "");
    ASSERT_TRUE(members);
    EXPECT_EQ(members->at(0).name, "Gamma.bin");
    EXPECT_EQ(report.files, 2u);
    EXPECT_EQ(report.not_carried_out, 1u);
    EXPECT_TRUE(contains(progress.log_text, "other.zip")) << progress.log_text;
}

TEST_F(RenameEngine, SecondCrcMatchesInTheSecondPass) {
    database(
        1, {rom_entry(0x11111111, "Alpha", 0xAAAAAAAA), rom_entry(0x22222222, "Beta", 0xBBBBBBBB)});
    rom("b.bin", 0xBBBBBBBB);
    rom("a.bin", 0x11111111);
    EXPECT_EQ(run().unrecognized, 0u);
    EXPECT_EQ(files(), (Files{"roms/Alpha.bin", "roms/Beta.bin"}));
    // Two passes, each with its sorts.
    std::string pass = "Sorting ZDB...done.\r\nSorting files...done.\r\nRenaming ROMs...";
    EXPECT_TRUE(contains(progress.log_text, pass + pass));
}

// Recursion passes over dot folders and brings renamed files up.
TEST_F(RenameEngine, RenameFolderCopyAndRecursion) {
    rom("sub/deeper/a.bin", 0x11111111);
    rom(".hidden/c.bin", 0x33333333);
    RenameSettings s;
    s.recursive = true;
    s.move_renamed = true;
    s.rename_folder = folder("renamed");
    s.copy_instead = true;
    run(s);
    EXPECT_EQ(files(), (Files{"roms/sub/deeper/a.bin", "roms/.hidden/c.bin", "renamed/Alpha.bin"}));
    // An unset rename folder means the current folder, never the root.
    s.rename_folder = "/";
    s.copy_instead = false;
    run(s);
    EXPECT_EQ(files(), (Files{"roms/Alpha.bin", "roms/.hidden/c.bin", "renamed/Alpha.bin"}));
}

// Stop while planning carries out nothing; Stop between batches leaves the rest undone.
TEST_F(RenameEngine, StoppedRunsLeaveTheRestUndone) {
    for (int i = 0; i < 5; ++i)
        rom("f" + std::to_string(i) + ".bin", 0x11111111);
    progress.stop_after = 2;
    EXPECT_EQ(run().end, core::End::Stopped);
    EXPECT_EQ(progress.log_text,
              "Loading ZDB...done.\r\nCollecting filenames and crc32...aborted.");

    progress = {};
    progress.stop_after = 6; // five collected, then the first step of matching
    EXPECT_EQ(run().end, core::End::Stopped);
    EXPECT_TRUE(progress.log_text.ends_with("Renaming ROMs...aborted.")) << progress.log_text;
    EXPECT_TRUE(runner.batches.empty());
    EXPECT_EQ(files().size(), 5u);

    progress = {};
    runner.after = [&] { progress.stop_after = 0; };
    RenameSettings s;
    s.delete_dupes = true;
    EXPECT_EQ(run(s).end, core::End::Stopped);
    EXPECT_TRUE(progress.log_text.ends_with("Processing files...aborted.")) << progress.log_text;
    EXPECT_EQ(runner.batches.size(), 1u);
    EXPECT_EQ(files().size(), 5u);
    EXPECT_EQ(trashed(), 0u);
}

TEST_F(RenameEngine, HostileAndUnreadableInput) {
    testsupport::write_file(system.file, "\x02short");
    rom("x.bin", 0x11111111);
    EXPECT_EQ(run().end, core::End::Refused);
    EXPECT_EQ(progress.log_text.rfind("Loading ZDB...failed.\r\n", 0), 0u);
    EXPECT_EQ(files().size(), 1u);

    progress = {};
    // A name of blanks names no file: its file is told of and left alone.
    database(2, {rom_entry(0x11111111, "../../escape"), rom_entry(0x22222222, "a/b"),
                 rom_entry(0x33333333, " . ")});
    rom("y.bin", 0x22222222);
    rom("z.bin", 0x33333333);
    dir.write("roms/broken.zip", "PK\x03\x04 not really");
    auto report = run();
    EXPECT_EQ(files(),
              (Files{"roms/.._.._escape.bin", "roms/a_b.bin", "roms/z.bin", "roms/broken.zip"}));
    EXPECT_EQ(report.unreadable, 1u);
    EXPECT_EQ(report.problems.at(0).path, roms + "broken.zip");
    EXPECT_TRUE(contains(progress.log_text, "Files Not Read: 1\r\n"));
    EXPECT_TRUE(contains(progress.log_text, "Did not rename '" + roms +
                                                "z.bin': its database name ' . ' is no file name"))
        << progress.log_text;
}

// The executor, not the plan, has the last word on a name taken after planning.
TEST_F(RenameEngine, TargetThatAppearsAfterPlanningIsNeverReplaced) {
    rom("a.bin", 0x11111111);
    rom("b.bin", 0x22222222);
    auto planned = plan();
    dir.write("roms/Alpha.bin", "came late");
    auto report = renaming::carry_out(std::move(planned), context);
    EXPECT_EQ(files(), (Files{"roms/a.bin", "roms/Alpha.bin", "roms/Beta (U).bin"}));
    EXPECT_EQ(testsupport::read_file(roms + "Alpha.bin"), "came late");
    EXPECT_EQ(report.not_carried_out, 1u);
    EXPECT_TRUE(contains(progress.log_text,
                         "Processing files...done.\r\n" + report.problems.at(0).text() + "\r\n"));
    EXPECT_TRUE(contains(progress.log_text, "Not Carried Out: 1\r\n"));
}

} // namespace
