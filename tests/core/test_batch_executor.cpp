#include <gtest/gtest.h>

#include <filesystem>

#include <unistd.h>

#include "batch_executor.h"
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

    core::BatchOutcome run(core::Batch batch,
                           core::ConflictPolicy policy = core::ConflictPolicy::Ask) {
        core::BatchExecutor executor({&prompter, &journal, policy, nullptr});
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

TEST_F(BatchExecutor, MovesInOrderAndCallsBackAfterEachItem) {
    dir.write("a", "A");
    dir.write("b", "B");
    std::vector<std::size_t> seen;
    core::BatchExecutor executor({&prompter, &journal, core::ConflictPolicy::Ask,
                                  [&](std::size_t i) { seen.push_back(i); }});
    prompter.script = {Answer::No};
    auto out = executor.run(moves({"a", "b", "gone"}, {"A2", "sub/B2", "x"}));
    EXPECT_EQ(out.items, (Results{ItemResult::Done, ItemResult::Skipped, ItemResult::Failed}));
    EXPECT_EQ(seen, (std::vector<std::size_t>{0, 1, 2}));
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].title, "Confirm Folder Create");
    EXPECT_EQ(prompter.messages[0].text,
              "The folder '" + root + "sub/' does not exist.\r\nDo you want to create it?");
    EXPECT_EQ(prompter.messages[0].buttons, core::Message::Buttons::YesNo);
    EXPECT_EQ(prompter.messages[0].icon, core::Message::Icon::Question);
    EXPECT_EQ(testsupport::lines(out.problems), (std::vector<std::string>{"Skipped '" + root + "b': the folder '" +
                                                          root + "sub/' does not exist.",
                                                      "Could not find '" + root + "gone'."}));
    EXPECT_FALSE(fs::exists(root + "sub"));
    EXPECT_EQ(read_file(root + "A2"), "A");
    EXPECT_TRUE(fs::exists(root + "b"));
}

TEST_F(BatchExecutor, MissingFolderIsAskedOnceAndMadeOnYes) {
    dir.write("a", "A");
    dir.write("b", "B");
    prompter.fallback = Answer::Yes;
    auto out = run(moves({"a", "b"}, {"new/a", "new/b"}));
    EXPECT_EQ(out.items, (Results{ItemResult::Done, ItemResult::Done}));
    EXPECT_EQ(prompter.messages.size(), 1u);
    EXPECT_TRUE(fs::exists(root + "new/b"));
}

// Yes to a folder that cannot be made (it would lie below a plain file): one line for
// each item, saying why, and no second question.
TEST_F(BatchExecutor, FolderThatCannotBeMadeFailsItsItemsOnce) {
    dir.write("a", "A");
    dir.write("b", "B");
    dir.write("plain", "");
    prompter.fallback = Answer::Yes;
    auto out = run(moves({"a", "b"}, {"plain/sub/a", "plain/sub/b"}));
    EXPECT_EQ(out.items, (Results{ItemResult::Failed, ItemResult::Failed}));
    EXPECT_EQ(prompter.messages.size(), 1u);
    ASSERT_EQ(out.problems.size(), 2u);
    for (const auto& line : testsupport::lines(out.problems))
        EXPECT_EQ(line.rfind("Could not create the folder '" + root + "plain/sub/': ", 0), 0u)
            << line;
    EXPECT_EQ(read_file(root + "a"), "A");
    EXPECT_EQ(read_file(root + "b"), "B");
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
    const std::string trash = root + "data/Trash/";
    EXPECT_NE(read_file(dir.path() / "undo.journal")
                  .find("\nreplace\t" + root + "t1\t" + trash + "files/t1\t" + trash +
                        "info/t1.trashinfo\n"),
              std::string::npos);

    prompter.messages.clear();
    prompter.script = {Answer::Cancel};
    out = run(moves({"s4", "s5"}, {"t4", "new5"}));
    EXPECT_TRUE(out.cancelled);
    EXPECT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(out.items, (Results{ItemResult::Skipped, ItemResult::Skipped}));
    EXPECT_TRUE(fs::exists(root + "s5"));

    out = run(moves({"s5"}, {"t5"}), core::ConflictPolicy::Skip);
    EXPECT_EQ(out.items, (Results{ItemResult::Skipped}));
    EXPECT_EQ(testsupport::lines(out.problems), (std::vector<std::string>{"Skipped '" + root + "s5': '" + root +
                                                      "t5' already exists."}));
}

// A batch's own rule for taken names wins over asking: nothing is asked either way.
TEST_F(BatchExecutor, BatchRuleSkipsExistingTargetsWithoutAsking) {
    dir.write("s", "new");
    dir.write("t", "old");
    prompter.fallback = Answer::Replace; // would replace, were it asked
    auto batch = moves({"s"}, {"t"});
    batch.existing = core::ExistingTarget::Skip;
    auto out = run(batch);
    EXPECT_EQ(out.items, (Results{ItemResult::Skipped}));
    EXPECT_TRUE(prompter.messages.empty());
    EXPECT_EQ(testsupport::lines(out.problems), (std::vector<std::string>{"Skipped '" + root + "s': '" + root +
                                                      "t' already exists."}));
    EXPECT_EQ(read_file(root + "s"), "new");
    EXPECT_EQ(read_file(root + "t"), "old");
}

TEST_F(BatchExecutor, BatchRuleReplacesExistingTargetsWithoutAsking) {
    dir.write("s1", "new1");
    dir.write("s2", "new2");
    dir.write("t1", "old1");
    fs::create_directory(root + "t2");
    prompter.fallback = Answer::Skip; // would skip, were it asked
    core::Batch batch{core::BatchOp::Copy, {root + "s1", root + "s2"}, {root + "t1", root + "t2"}};
    batch.existing = core::ExistingTarget::Replace;
    auto out = run(batch, core::ConflictPolicy::Skip);
    EXPECT_EQ(out.items, (Results{ItemResult::Done, ItemResult::Failed}));
    EXPECT_TRUE(prompter.messages.empty());
    EXPECT_EQ(read_file(root + "t1"), "new1");
    EXPECT_EQ(read_file(root + "s1"), "new1"); // a copy keeps its source
    EXPECT_EQ(read_file(dir.path() / "data/Trash/files/t1"), "old1");
    EXPECT_NE(read_file(dir.path() / "undo.journal").find("\nreplace\t" + root + "t1\t"),
              std::string::npos);
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
    dir.write("c", "C");
    fs::create_directory(root + "folder");
    prompter.script = {Answer::Replace};
    const std::string too_long(300, 'x');
    auto out = run(moves({"a", "b", "c"}, {too_long, "folder", "c2"}));
    EXPECT_EQ(out.items, (Results{ItemResult::Failed, ItemResult::Failed, ItemResult::Done}));
    ASSERT_EQ(out.problems.size(), 2u);
    EXPECT_EQ(out.problems[0].text(),
              "Could not move '" + root + "a' to '" + root + too_long + "': File name too long");
    EXPECT_EQ(out.problems[1].text(), "Could not replace '" + root + "folder': it is a folder.");
    EXPECT_EQ(read_file(root + "a"), "A");
    EXPECT_EQ(read_file(root + "b"), "B");
    EXPECT_TRUE(fs::is_directory(root + "folder"));

    auto unpaired = run({core::BatchOp::Move, {root + "c2", root + "b"}, {root + "d"}});
    EXPECT_EQ(unpaired.items, (Results{ItemResult::Failed, ItemResult::Failed}));
    EXPECT_TRUE(fs::exists(root + "c2"));
}

TEST_F(BatchExecutor, ReadOnlyFolderFailsTheItem) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "permission bits do not bind root";
    dir.write("a", "A");
    fs::create_directory(root + "locked");
    fs::permissions(root + "locked", fs::perms::owner_read | fs::perms::owner_exec);
    auto out = run(moves({"a"}, {"locked/a"}));
    fs::permissions(root + "locked", fs::perms::owner_all);
    EXPECT_EQ(out.items, (Results{ItemResult::Failed}));
    ASSERT_EQ(out.problems.size(), 1u);
    EXPECT_NE(out.problems[0].text().find("Permission denied"), std::string::npos);
    EXPECT_EQ(read_file(root + "a"), "A");
}

TEST_F(BatchExecutor, DeletionGoesToTheTrash) {
    dir.write("d1", "1");
    std::vector<std::size_t> seen;
    core::BatchExecutor executor({&prompter, &journal, core::ConflictPolicy::Ask,
                                  [&](std::size_t i) { seen.push_back(i); }});
    auto out = executor.run({core::BatchOp::Delete, {root + "d1", root + "missing"}, {}});
    EXPECT_EQ(out.items, (Results{ItemResult::Done, ItemResult::Failed}));
    EXPECT_EQ(seen, (std::vector<std::size_t>{0, 1}));
    EXPECT_TRUE(prompter.messages.empty());
    EXPECT_EQ(read_file(dir.path() / "data/Trash/files/d1"), "1");
    EXPECT_FALSE(fs::exists(root + "d1"));
}

TEST_F(BatchExecutor, NothingHappensWhenTheJournalCannotBeWritten) {
    dir.write("a", "A");
    dir.write("plain", "");
    core::UndoJournal broken(dir.path() / "plain" / "undo.journal", "test");
    core::BatchExecutor executor({&prompter, &broken, core::ConflictPolicy::Ask, nullptr});
    auto out = executor.run(moves({"a"}, {"b"}));
    EXPECT_EQ(out.items, (Results{ItemResult::Failed}));
    EXPECT_TRUE(fs::exists(root + "a"));
    ASSERT_EQ(out.problems.size(), 1u);
    EXPECT_NE(out.problems[0].text().find("undo journal"), std::string::npos);
}

} // namespace
