#include <gtest/gtest.h>

#include <filesystem>

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
    auto out = executor.run(moves({"a", "b", "gone"}, {"A2", "sub/B2", "x"}));
    EXPECT_EQ(out.items, (Results{ItemResult::Done, ItemResult::Skipped, ItemResult::Failed}));
    EXPECT_EQ(seen, (std::vector<std::size_t>{0, 1, 2}));
    // The missing folder was asked about and answered No.
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].title, "Confirm Folder Create");
    EXPECT_EQ(out.problems.size(), 2u);
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
    EXPECT_EQ(out.items, (Results{ItemResult::Skipped, ItemResult::Skipped}));
    EXPECT_TRUE(fs::exists(root + "s5"));

    out = run(moves({"s5"}, {"t5"}), core::ConflictPolicy::Skip);
    EXPECT_EQ(out.items, (Results{ItemResult::Skipped}));
    EXPECT_EQ(out.problems, (std::vector<std::string>{"Skipped '" + root + "s5': '" + root +
                                                      "t5' already exists."}));
}

TEST_F(BatchExecutor, DeletionGoesToTheTrash) {
    dir.write("d1", "1");
    auto out = run({core::BatchOp::Delete, {root + "d1", root + "missing"}, {}});
    EXPECT_EQ(out.items, (Results{ItemResult::Done, ItemResult::Failed}));
    EXPECT_EQ(read_file(dir.path() / "data/Trash/files/d1"), "1");
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
    EXPECT_NE(out.problems[0].find("undo journal"), std::string::npos);
}

} // namespace
