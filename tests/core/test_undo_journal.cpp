#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <thread>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "batch_executor.h"
#include "progress.h"
#include "prompter.h"
#include "recorders.h"
#include "temp_dir.h"
#include "trash_home.h"
#include "undo_journal.h"

namespace fs = std::filesystem;
using core::Answer;
using testsupport::read_file;

namespace {

class UndoJournal : public ::testing::Test {
protected:
    testsupport::TempDir dir;
    testsupport::TrashHome home{dir.path() / "data"};
    std::string root = dir.path().string() + "/";
    fs::path file = dir.path() / "undo.journal";

    auto undo() { return core::undo_last_run(file, core::null_progress()); }
    core::BatchExecutor executor(core::UndoJournal& journal, core::Prompter& prompter) {
        return core::BatchExecutor({&prompter, &journal, core::ConflictPolicy::Ask, nullptr});
    }
};

class Replacer final : public core::Prompter {
public:
    Answer ask(const core::Message& m) override {
        return m.buttons == core::Message::Buttons::ReplaceSkipCancel ? Answer::Replace
                                                                      : Answer::Yes;
    }
};

TEST_F(UndoJournal, UndoPutsEveryFileBackOnceOnly) {
    dir.write("a\tb\nc.bin", "tabs"); // any byte of a name survives the journal
    dir.write("dupe.bin", "dupe");
    dir.write("old.bin", "old");
    dir.write("Target.bin", "was there");
    Replacer prompter;
    {
        core::UndoJournal journal(file, "rename TEST 'x'");
        auto run = executor(journal, prompter);
        run.run({core::BatchOp::Move,
                 {root + "a\tb\nc.bin", root + "old.bin"},
                 {root + "New.bin", root + "Target.bin"}});
        run.run({core::BatchOp::Delete, {root + "dupe.bin"}, {}});
    }
    ASSERT_EQ(read_file(root + "Target.bin"), "old");
    auto report = undo();
    ASSERT_TRUE(report) << report.error().message;
    EXPECT_EQ(report->description, "rename TEST 'x'");
    EXPECT_EQ(report->restored, 4u);
    EXPECT_TRUE(report->problems.empty());
    EXPECT_EQ(read_file(root + "a\tb\nc.bin"), "tabs");
    EXPECT_EQ(read_file(root + "old.bin"), "old");
    EXPECT_EQ(read_file(root + "Target.bin"), "was there");
    EXPECT_EQ(read_file(root + "dupe.bin"), "dupe");
    EXPECT_FALSE(fs::exists(root + "New.bin"));

    auto again = undo();
    ASSERT_FALSE(again);
    EXPECT_EQ(again.error().message, "There is nothing to undo.");
}

TEST_F(UndoJournal, RunThatDoesNothingKeepsThePreviousRun) {
    dir.write("a", "A");
    Replacer prompter;
    {
        core::UndoJournal first(file, "first");
        executor(first, prompter).run({core::BatchOp::Move, {root + "a"}, {root + "b"}});
    }
    { core::UndoJournal second(file, "second"); } // carried out nothing
    auto report = undo();
    ASSERT_TRUE(report);
    EXPECT_EQ(report->description, "first");
    EXPECT_TRUE(fs::exists(root + "a"));
}

TEST_F(UndoJournal, LaterBatchesAreUndoneFirst) {
    dir.write("a", "A");
    dir.write("s", "S");
    dir.write("t", "old t");
    Replacer prompter;
    {
        core::UndoJournal journal(file, "two batches");
        auto run = executor(journal, prompter);
        run.run({core::BatchOp::Move, {root + "a"}, {root + "b"}});
        run.run({core::BatchOp::Delete, {root + "b"}, {}}); // the moved file, deleted
        run.run({core::BatchOp::Move, {root + "s"}, {root + "t"}});
        run.run({core::BatchOp::Move, {root + "t"}, {root + "u"}}); // moved on again
    }
    auto report = undo();
    ASSERT_TRUE(report);
    EXPECT_TRUE(report->problems.empty()) << report->problems[0];
    EXPECT_EQ(read_file(root + "a"), "A");
    EXPECT_EQ(read_file(root + "s"), "S");
    EXPECT_EQ(read_file(root + "t"), "old t");
    EXPECT_FALSE(fs::exists(root + "b"));
    EXPECT_FALSE(fs::exists(root + "u"));
}

// The new journal takes the old one's place together with its first batch: a first batch
// that cannot be written (here the file size limit stops it) leaves the old run undoable.
TEST_F(UndoJournal, FirstBatchThatCannotBeWrittenKeepsThePreviousRun) {
    dir.write("a", "A");
    Replacer prompter;
    {
        core::UndoJournal first(file, "first");
        executor(first, prompter).run({core::BatchOp::Move, {root + "a"}, {root + "b"}});
    }
    const std::string old_text = read_file(file);
    std::fflush(nullptr);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const struct rlimit limit = {200, 200}; // room for a journal's head, not its batch
        ::signal(SIGXFSZ, SIG_IGN);
        ::setrlimit(RLIMIT_FSIZE, &limit);
        core::UndoJournal second(file, "second");
        auto recorded = second.record_pairs(core::BatchOp::Move, {root + std::string(250, 'x')},
                                            {root + std::string(250, 'y')});
        ::_exit(recorded ? 1 : 0);
    }
    int status = -1;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the batch was recorded";
    EXPECT_EQ(read_file(file), old_text);
    auto report = undo();
    ASSERT_TRUE(report) << report.error().message;
    EXPECT_EQ(report->description, "first");
    EXPECT_EQ(read_file(root + "a"), "A");
}

// A batch whose lines did not fit leaves no broken line for the next batch to join.
TEST_F(UndoJournal, BatchThatCannotBeWrittenLeavesTheJournalWhole) {
    dir.write("q", "P");
    dir.write("s", "R");
    std::fflush(nullptr);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const struct rlimit limit = {300, 300};
        ::signal(SIGXFSZ, SIG_IGN);
        ::setrlimit(RLIMIT_FSIZE, &limit);
        core::UndoJournal journal(file, "full disk");
        const auto move = core::BatchOp::Move;
        const bool ok = journal.record_pairs(move, {root + "p"}, {root + "q"}) &&
                        !journal.record_pairs(move, {root + std::string(250, 'x')},
                                              {root + std::string(250, 'y')}) &&
                        journal.record_pairs(move, {root + "r"}, {root + "s"});
        ::_exit(ok ? 0 : 1);
    }
    int status = -1;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    auto report = undo();
    ASSERT_TRUE(report) << report.error().message;
    EXPECT_EQ(report->restored, 2u);
    EXPECT_EQ(read_file(root + "p"), "P");
    EXPECT_EQ(read_file(root + "r"), "R");
}

// A target named in a roundabout way ("dir/./t") is still the file the replaced one
// must wait for: it comes back before the earlier batch that put it there is undone.
TEST_F(UndoJournal, ReplacedTargetNamedTwoWaysComesBackInOrder) {
    dir.write("w", "W");
    dir.write("s", "S");
    Replacer prompter;
    {
        core::UndoJournal journal(file, "two names");
        auto run = executor(journal, prompter);
        run.run({core::BatchOp::Move, {root + "w"}, {root + "t"}});
        run.run({core::BatchOp::Move, {root + "s"}, {root + "./t"}});
    }
    ASSERT_EQ(read_file(root + "t"), "S");
    auto report = undo();
    ASSERT_TRUE(report);
    EXPECT_TRUE(report->problems.empty()) << report->problems[0];
    EXPECT_EQ(read_file(root + "w"), "W");
    EXPECT_EQ(read_file(root + "s"), "S");
    EXPECT_FALSE(fs::exists(root + "t"));
}

// A skipped pair whose source has gone since: its target was never the run's.
TEST_F(UndoJournal, SkippedTargetsAreNeverMoved) {
    dir.write("a", "A");
    dir.write("b", "mine");
    testsupport::RecordingPrompter skip;
    skip.script = {Answer::Skip};
    {
        core::UndoJournal journal(file, "skip");
        executor(journal, skip).run({core::BatchOp::Move, {root + "a"}, {root + "b"}});
    }
    fs::remove(root + "a");
    auto report = undo();
    ASSERT_TRUE(report);
    EXPECT_EQ(report->restored, 0u);
    EXPECT_TRUE(report->problems.empty());
    EXPECT_EQ(read_file(root + "b"), "mine");
    EXPECT_FALSE(fs::exists(root + "a"));
}

TEST_F(UndoJournal, CopyUndoneOnlyWhileItIsOurCopy) {
    dir.write("a", "A");
    dir.write("b", "B");
    dir.write("there", "mine");
    Replacer prompter;
    {
        core::UndoJournal journal(file, "copy");
        core::BatchExecutor skip({&prompter, &journal, core::ConflictPolicy::Skip, nullptr});
        skip.run({core::BatchOp::Copy, {root + "a", root + "b"}, {root + "a2", root + "there"}});
    }
    auto report = undo();
    ASSERT_TRUE(report);
    EXPECT_FALSE(fs::exists(root + "a2")); // our copy went to the trash
    EXPECT_EQ(read_file(dir.path() / "data/Trash/files/a2"), "A");
    EXPECT_EQ(read_file(root + "there"), "mine"); // skipped: it was never ours
    EXPECT_TRUE(report->problems.empty());        // the journal knows the skipped copy stayed
}

TEST_F(UndoJournal, DamagedJournalChangesNothing) {
    dir.write("a", "A");
    const std::string head = "zelkon undo journal 1\nrun\tx\tt\n";
    const std::pair<std::string, int> cases[] = {
        {"garbage\n", 1},
        {head + "move\t" + root + "a\n", 3},          // a field short
        {head + "move\t" + root + "a\t\n", 3},        // an empty path
        {head + "move\t" + root + "a\\q\t/b\n", 3},   // no such escape
        {head + "rm\t" + root + "a\n", 3},            // no such entry
        {"zelkon undo journal 1\nmove\t/a\t/b\n", 2}, // no run line
        {head + "move\ta\t/b\n", 3},                  // not a full path
        // trash entries may only name a trash's files/ and info/ folders
        {head + "trash\t/r/a\t/t/files/a\t" + root + "a\n", 3},
        {head + "trash\t/r/a\t/t/files/a\t/t/info/b.trashinfo\n", 3},
        {head + "replace\t/r/a\t/t/files/../../a\t/t/info/a.trashinfo\n", 3},
        {"zelkon undo journal 1\n", 2}, // cut short before the run line
    };
    for (const auto& [text, line] : cases) {
        testsupport::write_file(file, text + "move\t/nowhere\t" + root + "a\n");
        auto report = undo();
        ASSERT_FALSE(report) << text;
        EXPECT_EQ(report.error().message, "The undo journal '" + file.string() +
                                              "' is damaged at line " + std::to_string(line) + ".");
        EXPECT_TRUE(fs::exists(root + "a"));
        EXPECT_TRUE(fs::exists(file));
    }
}

TEST_F(UndoJournal, LastLineCutShortByACrashIsLeftOut) {
    dir.write("b", "B");
    testsupport::write_file(file, "zelkon undo journal 1\nrun\tx\tt\nmove\t" + root + "a\t" + root +
                                      "b\nmove\t" + root + "c\t" + root);
    auto report = undo();
    ASSERT_TRUE(report) << report.error().message;
    EXPECT_EQ(report->restored, 1u);
    EXPECT_EQ(read_file(root + "a"), "B");
}

long entries(const fs::path& folder) {
    std::error_code ec;
    long n = 0;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        ++n;
    return n;
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

// A run killed in the middle of a batch: every file is at its old or its new place, and
// undo puts them all back.
TEST_F(UndoJournal, KilledRunLosesNothingAndUndoRestores) {
    constexpr int kFiles = 400;
    core::Batch batch{core::BatchOp::Move, {}, {}};
    for (int i = 0; i < kFiles; ++i) {
        batch.from.push_back(dir.write("old/f" + std::to_string(i), std::to_string(i)).string());
        batch.to.push_back(root + "new/g" + std::to_string(i));
    }
    fs::create_directory(root + "new");
    const long done = kill_midway(batch, file, root + "new", 20);
    ASSERT_GE(done, 0) << "could not fork";
    EXPECT_GT(done, 0);
    EXPECT_LT(done, kFiles) << "the run ended before it was killed";

    for (int i = 0; i < kFiles; ++i) {
        const bool at_old = fs::exists(batch.from[i]), at_new = fs::exists(batch.to[i]);
        ASSERT_NE(at_old, at_new) << "file " << i;
    }
    auto report = undo();
    ASSERT_TRUE(report) << report.error().message;
    EXPECT_EQ(report->restored, static_cast<std::size_t>(done));
    for (int i = 0; i < kFiles; ++i)
        ASSERT_EQ(read_file(batch.from[i]), std::to_string(i));
}

// The same for a deletion: each file is in its place or in the trash, and undo brings
// every one back and leaves no stray info file in the trash.
TEST_F(UndoJournal, KilledDeletionLosesNothing) {
    constexpr int kFiles = 200;
    const fs::path trash = dir.path() / "data" / "Trash";
    core::Batch batch{core::BatchOp::Delete, {}, {}};
    for (int i = 0; i < kFiles; ++i)
        batch.from.push_back(dir.write("d/f" + std::to_string(i), std::to_string(i)).string());
    const long done = kill_midway(batch, file, trash / "files", 10);
    ASSERT_GE(done, 0) << "could not fork";
    EXPECT_GT(done, 0);
    EXPECT_LT(done, kFiles) << "the run ended before it was killed";

    for (int i = 0; i < kFiles; ++i) {
        const bool at_old = fs::exists(batch.from[i]);
        const bool in_trash = fs::exists(trash / "files" / ("f" + std::to_string(i)));
        ASSERT_NE(at_old, in_trash) << "file " << i;
    }
    auto report = undo();
    ASSERT_TRUE(report) << report.error().message;
    EXPECT_EQ(report->restored, static_cast<std::size_t>(done));
    for (int i = 0; i < kFiles; ++i)
        ASSERT_EQ(read_file(batch.from[i]), std::to_string(i));
    EXPECT_EQ(entries(trash / "info"), 0);
    EXPECT_EQ(entries(trash / "files"), 0);
}

} // namespace
