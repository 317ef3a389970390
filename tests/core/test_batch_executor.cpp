#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>

#include <unistd.h>

#include "batch_executor.h"
#include "core_fixture.h"
#include "recorders.h"
#include "temp_dir.h"
#include "trash_home.h"
#include "undo_journal.h"

namespace fs = std::filesystem;
using core::Answer;
using core::ItemResult;
using testsupport::read_file;
using Results = std::vector<ItemResult>;

namespace {

class BatchExecutor : public ::testing::Test {
protected:
    testsupport::TempDir dir;
    testsupport::TrashHome home{dir.path() / "data"};
    std::string root = dir.path().string() + "/";
    testsupport::RecordingPrompter prompter;
    core::UndoJournal journal{dir.path() / "undo.journal", "test"};
    corefixture::ProgressProbe progress;

    core::BatchOutcome run(core::Batch batch,
                           core::ConflictPolicy policy = core::ConflictPolicy::Ask) {
        core::BatchExecutor executor({&prompter, &journal, policy, nullptr, &progress});
        return executor.run(batch);
    }
    core::Batch moves(std::vector<std::string> from, std::vector<std::string> to) {
        for (auto& f : from)
            f = root + f;
        for (auto& t : to)
            t = root + t;
        return {core::BatchOp::Move, from, to};
    }
};

// Also: a symbolic link is never a source, and the first item going to a folder sweeps it
// of the part files a killed run left there, once per executor.
TEST_F(BatchExecutor, MovesInOrderAndCallsBackAfterEachItem) {
    dir.write("a", "A");
    dir.write("b", "B");
    dir.write(".zelkon-copy-Ab12Cd", "stale");
    fs::create_symlink(root + "b", root + "link");
    std::vector<std::size_t> seen;
    core::BatchExecutor executor({&prompter, &journal, core::ConflictPolicy::Ask,
                                  [&](std::size_t i) { seen.push_back(i); }, &progress});
    prompter.script = {Answer::No};
    auto out = executor.run(moves({"a", "b", "gone", "link"}, {"A2", "sub/B2", "x", "L"}));
    EXPECT_EQ(out.items, (Results{ItemResult::Done, ItemResult::Skipped, ItemResult::Failed,
                                  ItemResult::Skipped}));
    EXPECT_EQ(seen, (std::vector<std::size_t>{0, 1, 2, 3}));
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].title, "Confirm Folder Create");
    EXPECT_EQ(prompter.messages[0].text,
              "The folder '" + root + "sub/' does not exist.\r\nDo you want to create it?");
    EXPECT_EQ(prompter.messages[0].buttons, core::Message::Buttons::YesNo);
    EXPECT_EQ(prompter.messages[0].icon, core::Message::Icon::Question);
    EXPECT_EQ(testsupport::lines(out.problems),
              (std::vector<std::string>{"Skipped '" + root + "b': the folder '" + root +
                                            "sub/' does not exist.",
                                        "Could not find '" + root + "gone'.",
                                        "Skipped '" + root + "link': it is a symbolic link."}));
    EXPECT_EQ(progress.logged, "Removed 1 part file left by an earlier run in '" + root + "'.\r\n");
    EXPECT_FALSE(fs::exists(root + "sub"));
    EXPECT_EQ(read_file(root + "A2"), "A");
    EXPECT_TRUE(fs::exists(root + "b") && fs::is_symlink(root + "link"));
    dir.write(".zelkon-copy-Ef34Gh", "stale");
    ASSERT_EQ(executor.run(moves({"A2"}, {"a"})).items, (Results{ItemResult::Done}));
    EXPECT_TRUE(fs::exists(root + ".zelkon-copy-Ef34Gh"));
}

// Yes makes a missing folder; Yes to one that cannot be made (it would lie below a plain
// file) fails each of its items with the reason. Each folder is asked about once.
TEST_F(BatchExecutor, MissingFolderIsAskedOnceAndMadeOnYes) {
    for (auto name : {"a", "b", "c", "d", "plain"})
        dir.write(name, name);
    prompter.fallback = Answer::Yes;
    auto out = run(moves({"a", "b", "c", "d"}, {"new/a", "new/b", "plain/sub/c", "plain/sub/d"}));
    EXPECT_EQ(out.items, (Results{ItemResult::Done, ItemResult::Done, ItemResult::Failed,
                                  ItemResult::Failed}));
    EXPECT_EQ(prompter.messages.size(), 2u);
    EXPECT_EQ(read_file(root + "new/b"), "b");
    ASSERT_EQ(out.problems.size(), 2u);
    for (const auto& line : testsupport::lines(out.problems))
        EXPECT_EQ(line.rfind("Could not create the folder '" + root + "plain/sub/': ", 0), 0u)
            << line;
    EXPECT_EQ(read_file(root + "d"), "d");
}

TEST_F(BatchExecutor, ExistingTargetsAreAskedAbout) {
    for (auto name : {"s1", "s2", "s3", "s4", "s5", "t1", "t2", "t3", "t4", "t5"})
        dir.write(name, name);
    prompter.script = {Answer::Replace, Answer::Skip, Answer::SkipAll};
    auto out = run(moves({"s1", "s2", "s3", "s4"}, {"t1", "t2", "t3", "t4"}));
    EXPECT_EQ(out.items, (Results{ItemResult::Done, ItemResult::Skipped, ItemResult::Skipped,
                                  ItemResult::Skipped}));
    ASSERT_EQ(prompter.messages.size(), 3u); // Skip All asked no more
    EXPECT_EQ(prompter.messages[0].title, "Confirm File Replace");
    EXPECT_EQ(prompter.messages[0].buttons, core::Message::Buttons::ReplaceSkipCancel);
    EXPECT_EQ(prompter.messages[0].text, "The file '" + root +
                                             "t1' already exists.\r\nReplace it with '" + root +
                                             "s1'? The file there goes to the trash.");
    EXPECT_EQ(read_file(root + "t1"), "s1");
    EXPECT_EQ(read_file(dir.path() / "data/Trash/files/t1"), "t1"); // the old one, kept

    prompter.messages.clear();
    prompter.script = {Answer::Cancel};
    out = run(moves({"s4", "s5"}, {"t4", "new5"}));
    EXPECT_TRUE(out.cancelled);
    EXPECT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(out.items, (Results{ItemResult::Skipped, ItemResult::Skipped}));
    EXPECT_TRUE(fs::exists(root + "s5"));

    out = run(moves({"s5"}, {"t5"}), core::ConflictPolicy::Skip);
    EXPECT_EQ(out.items, (Results{ItemResult::Skipped}));
    EXPECT_EQ(
        testsupport::lines(out.problems),
        (std::vector<std::string>{"Skipped '" + root + "s5': '" + root + "t5' already exists."}));
}

// A batch's own rule for taken names wins over asking (and over the options: a skipping
// rule under a replacing policy is undone in test_undo_journal.cpp).
TEST_F(BatchExecutor, BatchRuleForExistingTargetsIsNeverAsked) {
    prompter.fallback = Answer::Skip; // would skip, were it asked
    dir.write("s1", "new1");
    dir.write("s2", "new2");
    dir.write("t1", "old1");
    fs::create_directory(root + "t2");
    core::Batch batch{core::BatchOp::Copy, {root + "s1", root + "s2"}, {root + "t1", root + "t2"}};
    batch.existing = core::ExistingTarget::Replace;
    auto out = run(batch);
    EXPECT_EQ(out.items, (Results{ItemResult::Done, ItemResult::Failed}));
    EXPECT_TRUE(prompter.messages.empty());
    EXPECT_EQ(read_file(root + "t1"), "new1");
    EXPECT_EQ(read_file(root + "s1"), "new1"); // a copy keeps its source
    EXPECT_EQ(read_file(dir.path() / "data/Trash/files/t1"), "old1");
    EXPECT_EQ(testsupport::lines(out.problems),
              (std::vector<std::string>{"Could not replace '" + root + "t2': it is a folder."}));
    EXPECT_TRUE(fs::is_directory(root + "t2"));
}

TEST_F(BatchExecutor, LetterCaseOnlyIsNoConflict) {
    dir.write("game.bin", "G");
    dir.write("dupe.bin", "D");
    // The same file under two names, as a file system that ignores letter case shows it.
    ASSERT_EQ(::link((root + "dupe.bin").c_str(), (root + "Dupe.bin").c_str()), 0);
    auto out = run(moves({"game.bin", "dupe.bin", "same"}, {"Game.bin", "Dupe.bin", "same"}));
    EXPECT_EQ(out.items, (Results{ItemResult::Done, ItemResult::Done, ItemResult::Done}));
    EXPECT_TRUE(prompter.messages.empty());
    EXPECT_TRUE(out.problems.empty());
    EXPECT_EQ(read_file(root + "Game.bin"), "G");
    EXPECT_FALSE(fs::exists(root + "game.bin"));
    EXPECT_EQ(read_file(root + "Dupe.bin"), "D");
}

TEST_F(BatchExecutor, FailuresAreCountedAndTheFilesStay) {
    dir.write("a", "A");
    dir.write("b", "B");
    const std::string too_long(300, 'x');
    auto out = run(moves({"a", "b"}, {too_long, "c2"}));
    EXPECT_EQ(out.items, (Results{ItemResult::Failed, ItemResult::Done}));
    ASSERT_EQ(out.problems.size(), 1u);
    EXPECT_EQ(out.problems[0].path, root + "a");
    EXPECT_EQ(out.problems[0].what, "Could not move '" + root + "a' to '" + root + too_long + "'");
    EXPECT_EQ(out.problems[0].why, "File name too long");
    EXPECT_EQ(read_file(root + "a"), "A");

    auto unpaired = run({core::BatchOp::Move, {root + "c2", root + "a"}, {root + "d"}});
    EXPECT_EQ(unpaired.items, (Results{ItemResult::Failed, ItemResult::Failed}));
    EXPECT_TRUE(fs::exists(root + "c2"));

    // Nothing happens when the journal cannot be written.
    core::UndoJournal broken(root + "a/undo.journal", "test");
    core::BatchExecutor executor({&prompter, &broken, core::ConflictPolicy::Ask});
    out = executor.run(moves({"a"}, {"b"}));
    EXPECT_EQ(out.items, (Results{ItemResult::Failed}));
    EXPECT_EQ(read_file(root + "a"), "A");
    ASSERT_EQ(out.problems.size(), 1u);
    EXPECT_NE(out.problems[0].text().find("undo journal"), std::string::npos);
}

// A link is not trashed; Stop ends a delete batch too, and what stays keeps no trash info.
TEST_F(BatchExecutor, DeletionGoesToTheTrash) {
    dir.write("d1", "1");
    dir.write("d2", "2");
    fs::create_symlink(root + "d2", root + "link");
    std::vector<std::size_t> seen;
    core::BatchExecutor executor({&prompter, &journal, core::ConflictPolicy::Ask,
                                  [&](std::size_t i) {
                                      seen.push_back(i);
                                      progress.stop = i == 2;
                                  },
                                  &progress});
    auto out = executor.run(
        {core::BatchOp::Delete, {root + "d1", root + "missing", root + "link", root + "d2"}, {}});
    EXPECT_EQ(out.items, (Results{ItemResult::Done, ItemResult::Failed, ItemResult::Skipped,
                                  ItemResult::Skipped}));
    EXPECT_TRUE(out.stopped);
    EXPECT_EQ(seen, (std::vector<std::size_t>{0, 1, 2}));
    EXPECT_TRUE(prompter.messages.empty());
    EXPECT_EQ(read_file(dir.path() / "data/Trash/files/d1"), "1");
    EXPECT_FALSE(fs::exists(root + "d1"));
    EXPECT_TRUE(fs::is_symlink(root + "link"));
    EXPECT_FALSE(fs::exists(dir.path() / "data/Trash/info/d2.trashinfo"));
}

// Stop before an item leaves it and the rest where they are, with their "left" lines in
// the journal; Stop inside a copy removes the part file and keeps the source.
TEST_F(BatchExecutor, StopEndsTheBatchBetweenItemsAndInsideACopy) {
    dir.write("a", "A");
    dir.write("b", "B");
    core::BatchExecutor executor({&prompter, &journal, core::ConflictPolicy::Ask,
                                  [&](std::size_t) { progress.stop = true; }, &progress});
    auto out = executor.run(moves({"a", "b"}, {"a2", "b2"}));
    EXPECT_EQ(out.items, (Results{ItemResult::Done, ItemResult::Skipped}));
    EXPECT_TRUE(out.stopped && !out.cancelled);
    EXPECT_EQ(testsupport::lines(out.problems),
              (std::vector<std::string>{"Stopped at '" + root +
                                        "b': it and the rest of the batch were not carried out."}));
    EXPECT_NE(
        read_file(dir.path() / "undo.journal").find("\nleft\t" + root + "b\t" + root + "b2\n"),
        std::string::npos);

    progress.stop = false;
    progress.on_bytes = [&](std::uint64_t, std::uint64_t) { progress.stop = true; };
    dir.write("big", std::string(3 << 20, 'x')); // more than one chunk
    fs::create_directory(root + "out");
    out = run({core::BatchOp::Copy, {root + "big"}, {root + "out/big"}});
    EXPECT_EQ(out.items, (Results{ItemResult::Skipped}));
    EXPECT_TRUE(out.stopped);
    EXPECT_EQ(read_file(root + "big").size(), std::size_t{3} << 20);
    EXPECT_TRUE(fs::is_empty(root + "out"));
}

} // namespace
