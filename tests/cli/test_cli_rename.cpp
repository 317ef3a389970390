#include "cli.h"
#include "cli_run.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <sstream>

#include "recorders.h"
#include "rom_forge.h"
#include "temp_dir.h"
#include "terminal_progress.h"
#include "trash_home.h"
#include "zdb_writer.h"
#include "zip_archive.h"
#include "zip_maker.h"

using testsupport::entry_count;
using testsupport::names_in;
using testsupport::read_file;
using testsupport::rom_entry;
using testsupport::rom_with_crc;
using testsupport::TempDir;

using namespace clitest; // NOLINT(google-build-using-namespace): the tests' own helpers

namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

// A home with one database and a ROM folder; the desktop trash lives in a folder of the
// test, so that deleting duplicates never reaches the user's own trash.
class CliRename : public ::testing::Test {
protected:
    void SetUp() override {
        write_genesis_database(home.path(), {rom_entry(0x11111111, "Alpha (World)"),
                                             rom_entry(0x22222222, "Beta (U)")});
        fs::create_directories(roms());
    }

    fs::path roms() const { return home.path() / "roms"; }
    std::string roms_arg() const { return roms().string() + "/"; }
    fs::path rom(const std::string& name, std::uint32_t crc, std::uint32_t seed = 1) const {
        return home.write("roms/" + name, rom_with_crc(256, crc, seed));
    }

    CliRun run(std::vector<std::string> args) const {
        return run_cli_in(home.path(), std::move(args));
    }

    TempDir home;
    TempDir data_home;
    testsupport::TrashHome trash_home{data_home.path()};
};

// The options of a run are never written as settings; deleted duplicates go to the trash
// (the test's own). An undo restores the names and the trashed file, once.
TEST_F(CliRename, RenamesTheFolderPrintsTheLogWithLineFeedsAndIsUndoneOnce) {
    rom("a.bin", 0x11111111);
    rom("b.bin", 0x22222222);
    rom("b copy.bin", 0x22222222); // the same bytes as b.bin
    rom("stranger.bin", 0xabcdef01);
    const auto before = names_in(roms());
    auto r = run({"rename", "--system", "SGENESIS", "--dupes", "delete", roms().string()});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(names_in(roms()), (Names{"Alpha (World).bin", "Beta (U).bin", "stranger.bin"}));
    const auto trash = data_home.path() / "Trash/files";
    ASSERT_EQ(entry_count(trash), 1u);
    EXPECT_EQ(read_file(trash / names_in(trash)[0]), rom_with_crc(256, 0x22222222));
    EXPECT_TRUE(contains(r.out, "Loading ZDB...done.\n")) << r.out;
    EXPECT_TRUE(contains(r.out, "Files Processed: 4 (1 unrecognized)\nAlready Renamed Properly: "
                                "0\nDuplicate Files: 1\n"))
        << r.out;
    // The report ends with its counts: the hint at the window's View Lists button is not ours.
    EXPECT_TRUE(r.out.ends_with("Duplicate Files: 1\n")) << r.out;
    EXPECT_FALSE(contains(r.out, "\r"));
    EXPECT_FALSE(fs::exists(home.path() / "zelkon.ini"));

    auto undo = run({"undo"});
    EXPECT_EQ(undo.code, 0) << undo.err;
    EXPECT_EQ(undo.out, "Undid: rename SGENESIS '" + roms_arg() + "'\nRestored 3 files.\n");
    EXPECT_EQ(names_in(roms()), before);
    // Nothing left to undo is an answer, not a failure.
    auto again = run({"undo"});
    EXPECT_EQ(again.code, 0);
    EXPECT_EQ(again.out, "There is nothing to undo.\n");
    EXPECT_EQ(names_in(roms()), before);
}

// --quiet keeps the results (the report and what was left alone, its name escaped);
// --verbose adds a line for each item carried out.
TEST_F(CliRename, QuietPrintsTheReportOnlyAndVerboseEachItemDone) {
    rom("a.bin", 0x11111111);
    fs::create_symlink("a.bin", roms() / "li\tnk.bin");
    auto quiet = run({"-q", "rename", "--system", "SGENESIS", roms().string()});
    EXPECT_EQ(quiet.code, 0) << quiet.err;
    EXPECT_EQ(quiet.out, "Skipped '" + roms_arg() +
                             "li\\tnk.bin': it is a symbolic link.\nFiles Processed: 1 (0 "
                             "unrecognized)\nAlready Renamed Properly: 0\nDuplicate Files: 0\n");
    ASSERT_EQ(run({"undo"}).code, 0);

    auto verbose = run({"rename", "--system", "SGENESIS", roms().string(), "--verbose"});
    EXPECT_EQ(verbose.code, 0) << verbose.err;
    EXPECT_TRUE(contains(verbose.out, "Loading ZDB...done.\n")) << verbose.out;
    EXPECT_TRUE(contains(verbose.out, "\nmove '" + roms_arg() + "a.bin' -> '" + roms_arg() +
                                          "Alpha (World).bin'\n"))
        << verbose.out;
}

TEST_F(CliRename, DryRunListsThePlanAndChangesNothing) {
    rom("a.bin", 0x11111111);
    testsupport::make_zip(roms() / "b.zip", {{"x.bin", rom_with_crc(256, 0x22222222)}});
    auto r = run({"rename", "--system", "SGENESIS", "--dry-run", "--rename-in-zip", roms_arg()});
    EXPECT_EQ(r.code, 0) << r.err;
    const std::string from = roms_arg() + "b.zip'";
    EXPECT_TRUE(contains(r.out, "Processing files...\nrename member of '" + from +
                                    " -> 'Beta (U)'\nmove '" + roms_arg() + "a.bin' -> '" +
                                    roms_arg() + "Alpha (World).bin'\nmove '" + from + " -> '" +
                                    roms_arg() + "Beta (U).zip'\n"))
        << r.out;
    EXPECT_EQ(names_in(roms()), (Names{"a.bin", "b.zip"}));
    EXPECT_EQ(core::list_zip(roms() / "b.zip", "")->at(0).name, "x.bin");
    EXPECT_FALSE(fs::exists(home.path() / "undo.journal"));

    EXPECT_EQ(run({"undo"}).out, "There is nothing to undo.\n") << "a dry run leaves nothing";
}

// Folders given for this run are made after a yes only; without one nothing is done and
// the first missing folder is named. A dry run makes none.
TEST_F(CliRename, MissingFoldersOfTheRunAreMadeOnlyWithYes) {
    rom("a.bin", 0x11111111);
    rom("b.bin", 0x22222222);
    rom("b copy.bin", 0x22222222);
    rom("stranger.bin", 0xabcdef01);
    const fs::path renamed = home.path() / "new", dupes = home.path() / "DUPES",
                   unknown = home.path() / "UNK";
    std::vector<std::string> args{"rename", "--system", "SGENESIS", roms_arg(), "--dupes"};
    args.insert(args.end(), {"move:" + dupes.string(), "--unrecognized", unknown.string(),
                             "--rename-folder", renamed.string()});
    auto no = run(args);
    EXPECT_EQ(no.code, 2);
    EXPECT_TRUE(contains(no.err, "Confirm Folder Create")) << no.err;
    EXPECT_TRUE(
        contains(no.err, "zelkon-cli: The folder '" + renamed.string() + "/' does not exist"));
    EXPECT_TRUE(contains(no.err, "zelkon-cli: a question was answered no; add --yes"));
    EXPECT_EQ(no.out, "");

    args.insert(args.begin(), "--yes");
    args.push_back("--dry-run");
    EXPECT_EQ(run(args).code, 0);
    EXPECT_FALSE(fs::exists(renamed) || fs::exists(dupes) || fs::exists(unknown));
    EXPECT_EQ(entry_count(roms()), 4u);

    args.pop_back();
    auto yes = run(args);
    EXPECT_EQ(yes.code, 0) << yes.err;
    EXPECT_TRUE(fs::exists(renamed / "Alpha (World).bin"));
    EXPECT_TRUE(fs::exists(renamed / "Beta (U).bin"));
    EXPECT_EQ(entry_count(dupes), 1u);
    EXPECT_TRUE(fs::exists(unknown / "stranger.bin"));
    EXPECT_FALSE(contains(yes.err, "add --yes"));
}

TEST_F(CliRename, BadUsageIsToldAndChangesNothing) {
    rom("a.bin", 0x11111111);
    auto missing = run({"rename", "--system", "SGENESIS", (home.path() / "gone").string()});
    EXPECT_EQ(missing.code, 2);
    EXPECT_TRUE(contains(missing.err, "no such folder '" + (home.path() / "gone").string() + "'"))
        << missing.err;

    auto a_file = run({"rename", "--system", "SGENESIS", (roms() / "a.bin").string()});
    EXPECT_EQ(a_file.code, 2);
    EXPECT_TRUE(contains(a_file.err, "no such folder"));

    auto dupes = run({"rename", "--system", "SGENESIS", "--dupes", "shred", roms().string()});
    EXPECT_EQ(dupes.code, 2);
    EXPECT_TRUE(contains(dupes.err, "--dupes")) << dupes.err;
    EXPECT_EQ(run({"rename", "--system", "SGENESIS", "--dupes", "move:", roms().string()}).code, 2);
    EXPECT_EQ(run({"--yes", "--no", "undo"}).code, 2);

    EXPECT_TRUE(fs::exists(roms() / "a.bin"));
    EXPECT_FALSE(fs::exists(home.path() / "undo.journal"));
}

// Each folder the run would use is checked: a relative or non-text value would put the
// files under the working folder, so the run is refused before anything moves.
TEST_F(CliRename, AFolderSettingThatIsNoAbsoluteTextPathMovesNothing) {
    rom("a.bin", 0x11111111);
    rom("b.bin", 0x11111111, 2);
    rom("stranger.bin", 0xabcdef01);
    const Names before = names_in(roms()), cwd_before = names_in(fs::current_path());
    for (const auto& [flag, key] : {std::pair{"MoveRenamedFiles=1", "RenameFolder"},
                                    {"MoveUnrecognized=1", "UnrecognizedFolder"},
                                    {"MoveDupes=True", "DupeFolder"}}) {
        for (const std::string value : {"\xffroms2/", "roms2/"}) {
            home.write("zelkon.ini",
                       "[SGENESIS]\n" + std::string(flag) + "\n" + key + "=" + value + "\n");
            auto r = run({"--yes", "rename", "--system", "SGENESIS", roms().string()});
            EXPECT_EQ(r.code, 1) << r.err;
            const std::string why = value.front() == 'r'
                                        ? "'roms2/' is not an absolute path."
                                        : "'\\xFFroms2/' holds bytes that are not UTF-8 text.";
            EXPECT_TRUE(contains(r.err, "The setting " + std::string(key) +
                                            " of section [SGENESIS] cannot be used: " + why +
                                            "\n\nNothing was moved."))
                << r.err;
            EXPECT_EQ(names_in(roms()), before);
            EXPECT_EQ(names_in(fs::current_path()), cwd_before);
        }
    }
}

// A settings file of binary data gives every default (the unit tests show), said once.
TEST_F(CliRename, UnreadableSettingsAreSaidOnce) {
    home.write("zelkon.ini", std::string("[SGENESIS]\nCopyInstead=1\n\0", 26));
    auto r = run({"systems"});
    const std::string notice = "zelkon-cli: The settings could not be read, so the defaults are "
                               "used: '" +
                               (home.path() / "zelkon.ini").string() +
                               "' is not a text file: byte 26 is a control character\n";
    EXPECT_EQ(r.err, notice);
}

class CliSort : public CliRename {
protected:
    void SetUp() override {
        CliRename::SetUp();
        home.write("sort.ini", "[all]\n(U):USA\n");
        rom("Beta (U).bin", 0x22222222);
        rom("Alpha (World).bin", 0x11111111);
    }
};

// Without a yes, or without its rule file, a sort does nothing.
TEST_F(CliSort, SortDoesNothingWithoutYesOrWithoutRuleFile) {
    auto r = run({"sort", "--system", "SGENESIS", roms().string()});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(contains(r.err, "You are about to sort all files in \"" + roms_arg() + "\""));
    EXPECT_TRUE(contains(r.err, "zelkon-cli: nothing done; add --yes")) << r.err;
    // A no that was asked for needs no hint.
    auto no = run({"--no", "sort", "--system", "SGENESIS", roms().string()});
    EXPECT_EQ(no.code, 1);
    EXPECT_FALSE(contains(no.err, "add --yes"));

    fs::remove(home.path() / "sort.ini");
    auto rules = run({"--yes", "sort", "--system", "SGENESIS", roms().string()});
    EXPECT_EQ(rules.code, 1);
    EXPECT_TRUE(contains(rules.err, "Sort.ini was not found!"));
    EXPECT_TRUE(fs::exists(roms() / "Beta (U).bin"));
    EXPECT_FALSE(fs::exists(roms() / "USA"));
}

TEST_F(CliSort, SortWithYesMovesByTheRulesAndUndoPutsBack) {
    // A dry run changes nothing, so it needs no --yes.
    auto dry = run({"sort", "--system", "SGENESIS", "--dry-run", roms().string()});
    EXPECT_EQ(dry.code, 0) << dry.err;
    EXPECT_TRUE(contains(dry.out, "move '" + roms_arg() + "Beta (U).bin' -> '" + roms_arg() +
                                      "USA/Beta (U).bin'\n"))
        << dry.out;
    EXPECT_FALSE(fs::exists(roms() / "USA"));

    auto r = run({"--yes", "sort", "--system", "SGENESIS", roms().string()});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(fs::exists(roms() / "USA/Beta (U).bin"));
    EXPECT_TRUE(fs::exists(roms() / "Alpha (World).bin"));

    auto undo = run({"undo"});
    EXPECT_EQ(undo.code, 0) << undo.err;
    EXPECT_TRUE(contains(undo.out, "Undid: sort SGENESIS '" + roms_arg() + "'\n"));
    EXPECT_TRUE(fs::exists(roms() / "Beta (U).bin"));
}

TEST_F(CliSort, UnsortBringsFilesUpAndReportsTakenNames) {
    rom("USA/Gamma.bin", 0x33333333);
    rom("Deep/er/Delta.bin", 0x44444444);
    rom("Old/Alpha (World).bin", 0x11111111, 2); // its name is taken above
    auto r = run({"--yes", "unsort", "--system", "SGENESIS", roms().string()});
    EXPECT_EQ(r.code, 1) << r.err; // one file could not come up
    EXPECT_TRUE(fs::exists(roms() / "Gamma.bin"));
    EXPECT_TRUE(fs::exists(roms() / "Delta.bin"));
    EXPECT_TRUE(fs::exists(roms() / "Old/Alpha (World).bin"));
    EXPECT_EQ(read_file(roms() / "Alpha (World).bin"), rom_with_crc(256, 0x11111111));
    EXPECT_TRUE(contains(r.out, "Alpha (World).bin")) << r.out;
}

// The bar is drawn on stderr while the log's unfinished line waits, and is gone before
// any log line or line of our own is printed.
TEST(TerminalProgress, BarNeverMixesWithTheLog) {
    std::ostringstream out, err;
    {
        cli::TerminalProgress progress(out, err, true);
        progress.log("Collecting...");
        progress.step(1, 4);
        EXPECT_TRUE(contains(err.str(), "Collecting... [#######"));
        EXPECT_EQ(out.str(), "");
        progress.log("done.\r\nNext\r");
        EXPECT_EQ(out.str(), "Collecting...done.\nNext\n");
        EXPECT_TRUE(err.str().ends_with("\r\x1b[K"));
        progress.log("\nTail");
        progress.step(2, 4);
        progress.print_line("move 'a' -> 'b'");
        EXPECT_EQ(out.str(), "Collecting...done.\nNext\nTail\nmove 'a' -> 'b'\n");
        progress.log("end");
    }
    EXPECT_TRUE(out.str().ends_with("'b'\nend\n"));
    EXPECT_TRUE(err.str().ends_with("\r\x1b[K"));

    std::ostringstream plain_out, plain_err;
    cli::TerminalProgress plain(plain_out, plain_err, false);
    plain.log("Sorting...");
    plain.step(1, 2);
    plain.print_line("trash 'x'");
    plain.log("done.\r\nReport");
    plain.finish();
    EXPECT_EQ(plain_out.str(), "Sorting...\ntrash 'x'\ndone.\nReport\n");
    EXPECT_EQ(plain_err.str(), "");
}

// No question is printed over the bar, and the user's answer is passed on as it is.
TEST(ScreenPrompter, TakesTheBarOffBeforeAsking) {
    std::ostringstream out, err;
    cli::TerminalProgress progress(out, err, true);
    testsupport::RecordingPrompter user;
    user.fallback = core::Answer::Skip;
    cli::ScreenPrompter prompter(user, progress);
    progress.step(1, 2);
    EXPECT_EQ(prompter.ask({"exists", "Replace?", core::Message::Icon::Question,
                            core::Message::Buttons::ReplaceSkipCancel}),
              core::Answer::Skip);
    EXPECT_TRUE(err.str().ends_with("\r\x1b[K"));
}

} // namespace
