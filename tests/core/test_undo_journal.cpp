#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <thread>

#include <sys/wait.h>
#include <unistd.h>

#include "batch_executor.h"
#include "core_fixture.h"
#include "prompter.h"
#include "recorders.h"
#include "run_litter.h"
#include "temp_dir.h"
#include "text.h"
#include "trash_home.h"
#include "undo_journal.h"
#include "zip_archive.h"
#include "zip_maker.h"

namespace fs = std::filesystem;
using core::BatchOp;
using core::ItemResult;
using corefixture::helper_library;
using corefixture::in_child_with_file_limit;
using testsupport::lines;
using testsupport::read_file;
using Lines = std::vector<std::string>;

namespace {

class UndoJournal : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(helper_library()) << "libzelcore.so is not beside the tests";
    }

    testsupport::TempDir dir;
    testsupport::TrashHome home{dir.path() / "data"};
    std::string root = dir.path().string() + "/";
    fs::path file = dir.path() / "undo.journal";

    core::UndoReport undo(core::Progress& progress = core::null_progress()) {
        return core::undo_last_run(file, progress, helper_library());
    }
    core::BatchExecutor executor(core::UndoJournal& journal) {
        return core::BatchExecutor({&core::silent_prompter(), &journal,
                                    core::ConflictPolicy::Replace, nullptr, nullptr,
                                    helper_library()});
    }
};

std::string member_of(const fs::path& zip) {
    auto members = core::list_zip(zip, "");
    return members && members->size() == 1 ? members->front().name : "?";
}

// Later batches are undone first: a file moved on, or moved then deleted, comes back
// through each step, and a replaced target comes back once the file that took its place
// has left, even when the batch named that place in a roundabout way ("dir/./t"). Pairs
// the run skipped are never undone, even when the source has gone since. A copy the run
// made goes for good while its source is there byte for byte, else to the trash.
TEST_F(UndoJournal, UndoPutsEveryFileBackOnceOnly) {
    dir.write("a\tb\nc.bin", "tabs"); // any byte of a name survives the journal
    dir.write("Target.bin", "was there");
    for (const char* name : {"a", "c", "d", "e", "dupe", "m", "mine", "s", "w"})
        dir.write(name, name);
    {
        core::UndoJournal journal(file, "rename TEST 'x'");
        auto run = executor(journal);
        run.run({BatchOp::Move, {root + "a\tb\nc.bin", root + "a"}, {root + "New", root + "b"}});
        run.run({BatchOp::Delete, {root + "dupe", root + "b"}, {}});
        run.run({BatchOp::Move, {root + "w"}, {root + "Target.bin"}}); // replaces it
        run.run({BatchOp::Move, {root + "s"}, {root + "./Target.bin"}});
        run.run({BatchOp::Move, {root + "Target.bin"}, {root + "u"}});
        const auto skip = core::ExistingTarget::Skip;
        run.run({BatchOp::Move, {root + "m"}, {root + "mine"}, skip});
        run.run({BatchOp::Copy,
                 {root + "c", root + "d", root + "e", root + "c"},
                 {root + "c2", root + "d2", root + "e2", root + "mine"},
                 skip});
    }
    fs::remove(root + "m");
    fs::remove(root + "d");
    const auto e_time = fs::last_write_time(root + "e");
    dir.write("e", "E"); // other bytes, same size and time: the copy is the only one
    fs::last_write_time(root + "e", e_time);
    auto report = undo();
    EXPECT_TRUE(report.clean()) << lines(report.problems)[0];
    EXPECT_EQ(report.summary, "Undid: rename TEST 'x'\nRestored 12 files.\n");
    EXPECT_EQ(read_file(root + "a\tb\nc.bin"), "tabs");
    EXPECT_EQ(read_file(root + "Target.bin"), "was there");
    for (const char* name : {"a", "c", "dupe", "mine", "s", "w"})
        EXPECT_EQ(read_file(root + name), name);
    for (const char* gone : {"New", "b", "u", "m", "c2", "d2", "e2"})
        EXPECT_FALSE(fs::exists(root + gone)) << gone;
    EXPECT_FALSE(fs::exists(dir.path() / "data/Trash/files/c2"));
    EXPECT_EQ(read_file(dir.path() / "data/Trash/files/d2"), "d");
    EXPECT_EQ(read_file(dir.path() / "data/Trash/files/e2"), "e");

    auto again = undo();
    EXPECT_EQ(again.end, core::End::Refused);
    EXPECT_EQ(lines(again.problems), Lines{"There is nothing to undo."});
    EXPECT_EQ(again.summary, "");
}

// The new journal takes the old one's place together with its first batch: a run that
// carries out nothing, or whose first batch cannot be written (here the file size limit
// stops it), leaves the old run undoable. A later batch that cannot be written leaves no
// broken line for the next batch to join, and a last line cut short by a crash belongs to
// a batch that never started.
TEST_F(UndoJournal, BatchesThatCannotBeWrittenLeaveTheJournalWhole) {
    dir.write("q", "P");
    dir.write("s", "R");
    const std::string old_text = "zelkon undo journal 1\nrun\tfirst\tt\nmove\t/x\t/y\n";
    testsupport::write_file(file, old_text);
    { core::UndoJournal nothing(file, "nothing"); }
    const auto move = BatchOp::Move;
    const std::string big_from = root + std::string(250, 'x'),
                      big_to = root + std::string(250, 'y');
    ASSERT_TRUE(in_child_with_file_limit(300, [&] {
        core::UndoJournal first_too_big(file, "third");
        if (first_too_big.record_pairs(move, {big_from}, {big_to}) || read_file(file) != old_text)
            return false;
        core::UndoJournal journal(file, "full disk");
        return journal.record_pairs(move, {root + "p"}, {root + "q"}) &&
               !journal.record_pairs(move, {big_from}, {big_to}) &&
               journal.record_pairs(move, {root + "r"}, {root + "s"});
    }));
    testsupport::write_file(file, read_file(file) + "move\t" + root + "c\t" + root);
    auto report = undo();
    EXPECT_TRUE(report.clean()) << lines(report.problems)[0];
    EXPECT_EQ(report.restored, 2u);
    EXPECT_EQ(read_file(root + "p"), "P");
    EXPECT_EQ(read_file(root + "r"), "R");
}

// A rename run renames the member where the archive is, then moves the archive: undo
// moves it back first, then gives the member its old name. An archive that has gone, or
// whose member was named otherwise since, is left alone, and so is a member whose old name
// held a folder.
TEST_F(UndoJournal, MemberRenamesAreRecordedAndUndone) {
    testsupport::make_zip(root + "junk.zip", {{"junk.bin", "rom"}});
    testsupport::make_zip(root + "named.zip", {{"Proper.bin", "rom"}});
    testsupport::make_zip(root + "two.zip", {{"a.bin", "a"}, {"b.bin", "b"}});
    for (const char* name : {"gone", "mine"})
        testsupport::make_zip(root + name + ".zip", {{"x.bin", "x"}});
    testsupport::make_zip(root + "folder.zip", {{"roms/f.bin", "f"}});
    {
        core::UndoJournal journal(file, "rename");
        auto bare = core::BatchExecutor({&core::silent_prompter(), &journal});
        EXPECT_EQ(lines(bare.run({BatchOp::RenameMember, {root + "junk.zip"}, {"X"}}).problems),
                  Lines{"Could not rename the file inside '" + root +
                        "junk.zip' to 'X': the helper library is not loaded"});
        auto outcome = executor(journal).run(
            {BatchOp::RenameMember,
             {root + "junk.zip", root + "named.zip", root + "two.zip", root + "gone.zip",
              root + "mine.zip", root + "folder.zip"},
             {"Proper Name (World)", "Proper", "Two", "Gone", "Mine", "Folder"}});
        EXPECT_EQ(outcome.count(ItemResult::Done), 5u);
        EXPECT_EQ(lines(outcome.problems), Lines{"Could not rename the file inside '" + root +
                                                 "two.zip' to 'Two': it holds 2 entries, not "
                                                 "one ROM"});
        executor(journal).run(
            {BatchOp::Move, {root + "junk.zip"}, {root + "Proper Name (World).zip"}});
    }
    EXPECT_EQ(member_of(root + "Proper Name (World).zip"), "Proper Name (World).bin");
    fs::remove(root + "gone.zip");
    ASSERT_TRUE(helper_library()->rename_inside_zip(root + "mine.zip", "Yours"));

    auto report = undo();
    EXPECT_EQ(report.restored, 2u);
    EXPECT_EQ(lines(report.problems),
              (Lines{"Could not give the member of '" + root +
                         "folder.zip' its name 'roms/f.bin' back: a member is only ever given "
                         "a plain file name, and this one held a folder",
                     "Left '" + root +
                         "mine.zip' alone: its member is now named 'Yours.bin', "
                         "not 'Mine.bin'.",
                     "Could not undo: '" + root + "gone.zip' is gone."}));
    EXPECT_EQ(member_of(root + "junk.zip"), "junk.bin");
    EXPECT_FALSE(fs::exists(root + "Proper Name (World).zip"));
    EXPECT_EQ(member_of(root + "mine.zip"), "Yours.bin");
}

// Stop between items: what is back stays back, and the next undo does the rest, the
// replaced file that waits for its mover included. Part files of a killed run go.
TEST_F(UndoJournal, StoppedUndoLeavesTheRestForTheNextOne) {
    dir.write("a", "A");
    dir.write("s", "S");
    dir.write("t", "old t");
    {
        core::UndoJournal journal(file, "stopped");
        auto run = executor(journal);
        run.run({BatchOp::Move, {root + "s"}, {root + "t"}}); // the old t goes to the trash
        run.run({BatchOp::Move, {root + "a"}, {root + "new/b"}});
    }
    dir.write("new/.zelkon-copy-AbC123", "a killed run's");
    testsupport::RecordingProgress progress;
    progress.stop_after = 3; // a back, the replaced t noted, then Stop
    auto stopped = undo(progress);
    EXPECT_EQ(stopped.end, core::End::Stopped);
    EXPECT_EQ(stopped.summary, "Undid: stopped\nRestored 1 file.\nThe undo was stopped; undo "
                               "again to put back the rest.\n");
    EXPECT_EQ(read_file(root + "a"), "A");
    EXPECT_EQ(read_file(root + "t"), "S");
    EXPECT_FALSE(fs::exists(root + "new/.zelkon-copy-AbC123"));
    EXPECT_NE(progress.log_text.find("Removed 1 part file left by an earlier run in"),
              std::string::npos)
        << progress.log_text;

    auto rest = undo();
    EXPECT_TRUE(rest.clean()) << lines(rest.problems)[0];
    EXPECT_EQ(rest.restored, 2u);
    EXPECT_EQ(read_file(root + "s"), "S");
    EXPECT_EQ(read_file(root + "t"), "old t");
    EXPECT_FALSE(fs::exists(file));
}

std::string journal_head() {
    return "zelkon undo journal 1\nrun\tx\t" + core::local_time_text("%Y-%m-%d %H:%M:%S") + "\n";
}

// A move to another file system killed once its copy was in place, before the original
// went, leaves the file twice: the next run finishes the move, undo takes it back, and
// only a true copy goes. A pair that differs stays whole and is reported, and a pair the
// run left alone (its target was taken) is not the run's to finish.
TEST_F(UndoJournal, MoveKilledBeforeItsOriginalWentIsFinishedOrUndone) {
    const fs::path other = corefixture::other_file_system(root, "zelkon-undo-");
    if (other.empty())
        GTEST_SKIP() << "no second file system";
    auto lay_down = [&] {
        std::string text = journal_head();
        for (const char* name : {"a", "b", "c"}) {
            const fs::path from = dir.write(name, "A"), to = other / name;
            testsupport::write_file(to, name == std::string("b") ? "B" : "A");
            fs::last_write_time(to, fs::last_write_time(from)); // as a verified copy keeps it
            text += "move\t" + from.string() + "\t" + to.string() + "\n";
        }
        testsupport::write_file(file,
                                text + "left\t" + root + "c\t" + (other / "c").string() + "\n");
    };
    const std::string differ = "Left both '" + root + "b' and '" + (other / "b").string() + "'";
    lay_down();
    corefixture::ProgressProbe next_run;
    core::finish_killed_run(file, next_run);
    EXPECT_EQ(next_run.logged, differ +
                                   ": an earlier run was moving the one to the other, and "
                                   "they differ.\r\nFinished 1 move that an earlier run left "
                                   "with the copy in place and the original not yet removed.\r\n");
    EXPECT_FALSE(fs::exists(root + "a"));
    EXPECT_EQ(read_file(other / "a"), "A");

    lay_down();
    auto report = undo();
    EXPECT_EQ(report.restored, 1u);
    EXPECT_EQ(lines(report.problems),
              Lines{differ + ": the run was moving the one to the other, and they differ."});
    EXPECT_FALSE(fs::exists(other / "a"));
    for (const char* name : {"a", "b", "c"})
        EXPECT_EQ(read_file(root + name), "A") << name;
    EXPECT_EQ(read_file(other / "b"), "B");
    EXPECT_EQ(read_file(other / "c"), "A");
    fs::remove_all(other);
}

// What a killed run left goes with the next run, and only what is ours: a .trashinfo whose
// file never moved in, and the ZIP library's temporary beside an archive whose member the
// run renamed. Another program's .trashinfo, a look-alike older than the run or beside
// another archive, and everything while the run still goes on (undo too is refused), stay.
TEST_F(UndoJournal, NextRunClearsOnlyWhatAKilledRunOfOursLeft) {
    const fs::path info = dir.path() / "data/Trash/info";
    dir.write("kept", "K");
    dir.write("gone", "G");
    dir.write("blank", "B");
    std::optional<core::UndoJournal> killed(std::in_place, file, "killed");
    auto kept = core::prepare_trash(root + "kept"), gone = core::move_to_trash(root + "gone"),
         blank = core::plan_trash(root + "blank");
    ASSERT_TRUE(kept && gone && blank);
    ASSERT_TRUE(killed->record_trash({*kept, *gone, *blank}));
    testsupport::write_file(blank->info, ""); // killed before its text was written
    ASSERT_TRUE(killed->record_members({{root + "game.zip", "a.bin", "b.bin"}}));
    const fs::path litter = dir.write("game.zip.k1ll3d", "PK"),
                   theirs = dir.write("game.zip.0ld3r1", "PK"),
                   beside_other = dir.write("other.zip.abc123", "PK"),
                   their_info = dir.write("data/Trash/info/theirs.trashinfo",
                                          "[Trash Info]\nPath=" + root + "theirs\n");
    fs::last_write_time(theirs, fs::last_write_time(theirs) - std::chrono::hours(2));

    corefixture::ProgressProbe progress;
    core::finish_killed_run(file, progress); // the run still holds its journal
    EXPECT_EQ(undo().end, core::End::Refused);
    EXPECT_TRUE(fs::exists(kept->info));
    EXPECT_TRUE(fs::exists(litter));
    killed.reset(); // as a kill would: nobody holds the journal now
    core::finish_killed_run(file, progress);
    EXPECT_EQ(progress.logged,
              "Removed 2 trash entries whose file an earlier run never moved to the trash.\r\n"
              "Removed 1 temporary file that an earlier run left beside archives.\r\n");
    EXPECT_FALSE(fs::exists(kept->info) || fs::exists(blank->info));
    EXPECT_FALSE(fs::exists(litter));
    for (const auto& stays :
         {gone->info, theirs.string(), beside_other.string(), their_info.string()})
        EXPECT_TRUE(fs::exists(stays)) << stays;
    EXPECT_EQ(read_file(root + "kept"), "K");
    EXPECT_EQ(testsupport::entry_count(info), 2u);
}

TEST_F(UndoJournal, DamagedJournalChangesNothing) {
    dir.write("a", "A");
    const std::string head = "zelkon undo journal 1\nrun\tx\tt\n";
    const std::pair<std::string, int> cases[] = {
        {"garbage\n", 1},
        {head + "move\t" + root + "a\n", 3},         // a field short
        {head + "move\t" + root + "a\t\n", 3},       // an empty path
        {head + "move\t" + root + "a\\q\t/b\n", 3},  // no such escape
        {head + "rm\t" + root + "a\n", 3},           // no such entry
        {head + "move\ta\t/b\n", 3},                 // not a full path
        {head + "member\ta.zip\ta.bin\tb.bin\n", 3}, // member names need none, archives do
        // trash entries may only name a trash's files/ and info/ folders
        {head + "trash\t/r/a\t/t/files/a\t" + root + "a\n", 3},
        {head + "trash\t/r/a\t/t/files/a\t/t/info/b.trashinfo\n", 3},
        {head + "replace\t/r/a\t/t/files/../../a\t/t/info/a.trashinfo\n", 3},
        {"zelkon undo journal 1\n", 2}, // cut short before the run line
    };
    for (const auto& [text, line] : cases) {
        testsupport::write_file(file, text + "move\t/nowhere\t" + root + "a\n");
        auto report = undo();
        EXPECT_EQ(report.end, core::End::Failed);
        EXPECT_EQ(lines(report.problems),
                  Lines{"The undo journal '" + file.string() + "' is damaged at line " +
                        std::to_string(line) + "."})
            << text;
        EXPECT_TRUE(fs::exists(root + "a"));
        EXPECT_TRUE(fs::exists(file));
    }
}

long entries(const fs::path& folder) {
    return static_cast<long>(testsupport::entry_count(folder));
}

/// Runs `batch` in a child process that pauses after each item, and kills the child with
/// SIGKILL once `watch` holds `at_least` entries. Returns how many it holds then, or -1
/// when there is no child: kill(-1) would reach every process there is.
long kill_midway(const core::Batch& batch, const fs::path& journal_file, const fs::path& watch,
                 long at_least) {
    std::fflush(nullptr);
    pid_t child = ::fork();
    if (child < 0)
        return -1;
    if (child == 0) {
        core::UndoJournal journal(journal_file, "slow");
        core::BatchExecutor slow({&core::silent_prompter(), &journal, core::ConflictPolicy::Skip,
                                  [](std::size_t) { ::usleep(2000); }});
        slow.run(batch);
        ::_exit(0);
    }
    for (int wait = 0; entries(watch) < at_least && wait < 20000; ++wait)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    return entries(watch);
}

// A run killed in the middle of a batch of moves or deletions: every file is at its old or
// its new place (or in the trash), and undo puts them all back. A deletion leaves at most
// one slice of trash entries without their file, which the next run removes.
TEST_F(UndoJournal, KilledBatchLosesNothingAndUndoRestores) {
    constexpr int kFiles = 300;
    const fs::path trash = dir.path() / "data" / "Trash";
    fs::create_directory(root + "new");
    for (const auto op : {BatchOp::Move, BatchOp::Delete}) {
        core::Batch batch{op, {}, {}};
        std::vector<fs::path> done_at;
        for (int i = 0; i < kFiles; ++i) {
            const std::string n = std::to_string(i);
            batch.from.push_back(dir.write("old/f" + n, n).string());
            done_at.push_back(op == BatchOp::Move ? fs::path(root + "new/g" + n)
                                                  : trash / "files" / ("f" + n));
            if (op == BatchOp::Move)
                batch.to.push_back(done_at.back().string());
        }
        const long done = kill_midway(batch, file, done_at[0].parent_path(), 10);
        ASSERT_GT(done, 0) << "could not fork, or the child did nothing";
        EXPECT_LT(done, kFiles) << "the run ended before it was killed";
        for (int i = 0; i < kFiles; ++i)
            ASSERT_NE(fs::exists(batch.from[i]), fs::exists(done_at[i])) << "file " << i;
        if (op == BatchOp::Delete) {
            const long unused = entries(trash / "info") - entries(trash / "files");
            EXPECT_LE(unused, 64);
            core::finish_killed_run(file, core::null_progress());
            EXPECT_EQ(entries(trash / "info"), entries(trash / "files"));
        }
        auto report = undo();
        EXPECT_EQ(report.restored, static_cast<std::size_t>(done));
        for (int i = 0; i < kFiles; ++i)
            ASSERT_EQ(read_file(batch.from[i]), std::to_string(i));
    }
    EXPECT_EQ(entries(trash / "info"), 0);
    EXPECT_EQ(entries(trash / "files"), 0);
}

} // namespace
