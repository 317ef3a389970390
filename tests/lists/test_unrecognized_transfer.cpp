#include <gtest/gtest.h>

#include <filesystem>

#include "batch_executor.h"
#include "recorders.h"
#include "temp_dir.h"
#include "trash_home.h"
#include "unrecognized_transfer.h"

namespace fs = std::filesystem;
using lists::ResultTree;
using lists::Transfer;
using testsupport::read_file;
using Lines = std::vector<std::string>;

namespace {

class UnrecognizedTransfer : public ::testing::Test {
protected:
    testsupport::TempDir dir;
    testsupport::TrashHome home{dir.path() / "data"};
    std::string root = dir.path().string() + "/";
    std::string target = root + "out"; // as a folder chooser gives it, without the "/"
    testsupport::RecordingPrompter prompter;
    testsupport::RecordingPrompter executor_prompter;
    core::BatchExecutor executor{{&executor_prompter, nullptr, core::ConflictPolicy::Ask, {}}};
    ResultTree tree;

    void SetUp() override { fs::create_directory(target); }

    /// An Unrecognized entry for a file of the collection folder, as a scan adds it.
    std::size_t entry(const std::string& name, const std::string& content) {
        const std::string path = dir.write("roms/" + name, content).string();
        tree.add(ResultTree::kUnrecognized, path, path);
        return *tree.find(path);
    }
    lists::TransferReport transfer(Transfer how) {
        return lists::transfer_unrecognized(tree, how, target, prompter, executor);
    }
    // Exactly one information box with an OK button was shown, with these texts.
    void expect_only_message(const std::string& text, const std::string& title) {
        ASSERT_EQ(prompter.messages.size(), 1u);
        EXPECT_EQ(prompter.messages[0].text, text);
        EXPECT_EQ(prompter.messages[0].title, title);
        EXPECT_EQ(prompter.messages[0].icon, core::Message::Icon::Information);
        EXPECT_EQ(prompter.messages[0].buttons, core::Message::Buttons::Ok);
    }
    void expect_done_said() { expect_only_message("Files have been processed.", "Done"); }
};

TEST_F(UnrecognizedTransfer, NothingToDoOnlyWhenTheScanFoundNone) {
    EXPECT_FALSE(lists::nothing_to_transfer(1, prompter));
    EXPECT_TRUE(prompter.messages.empty());
    EXPECT_TRUE(lists::nothing_to_transfer(0, prompter));
    expect_only_message("You have no unrecognized ROMs to move or copy.", "Nothing to Do");
}

// Hidden entries go too, and each moved entry shows where its file now is; the key stays.
TEST_F(UnrecognizedTransfer, MoveTakesEveryEntryAndFollowsTheFiles) {
    auto a = entry("a.bin", "A");
    auto b = entry("b.smd", "B");
    tree.set_image(b, lists::Image::None);
    const std::string old_a = tree.node(a).key;
    auto report = transfer(Transfer::Move);
    EXPECT_EQ(report.done, 2u);
    EXPECT_EQ(report.not_done, 0u);
    EXPECT_TRUE(report.problems.empty());
    EXPECT_EQ(read_file(target + "/a.bin"), "A");
    EXPECT_EQ(read_file(target + "/b.smd"), "B");
    EXPECT_FALSE(fs::exists(old_a));
    EXPECT_EQ(tree.node(a).text, target + "/a.bin");
    EXPECT_EQ(tree.node(a).key, old_a);
    EXPECT_EQ(tree.node(b).text, target + "/b.smd");
    EXPECT_TRUE(executor_prompter.messages.empty());
    expect_done_said();
}

TEST_F(UnrecognizedTransfer, MoveOntoATakenNameLeavesTheSourceButShowsTheTarget) {
    auto a = entry("a.bin", "mine");
    testsupport::write_file(target + "/a.bin", "theirs");
    const std::string source = tree.node(a).text;
    auto report = transfer(Transfer::Move);
    EXPECT_EQ(report.done, 0u);
    EXPECT_EQ(report.not_done, 1u);
    EXPECT_EQ(report.problems,
              (Lines{"Skipped '" + source + "': '" + target + "/a.bin' already exists."}));
    EXPECT_TRUE(executor_prompter.messages.empty()); // a move never asks to replace
    EXPECT_EQ(read_file(source), "mine");
    EXPECT_EQ(read_file(target + "/a.bin"), "theirs");
    EXPECT_EQ(tree.node(a).text, target + "/a.bin");
    expect_done_said();
}

TEST_F(UnrecognizedTransfer, CopyingTwiceReplacesTheEarlierCopiesSilently) {
    auto a = entry("a.bin", "first");
    const std::string source = tree.node(a).text;
    transfer(Transfer::Copy);
    testsupport::write_file(source, "second");
    prompter.messages.clear();
    auto report = transfer(Transfer::Copy);
    EXPECT_EQ(report.done, 1u);
    EXPECT_EQ(report.not_done, 0u);
    EXPECT_TRUE(executor_prompter.messages.empty());
    EXPECT_EQ(read_file(target + "/a.bin"), "second");
    EXPECT_EQ(read_file(dir.path() / "data/Trash/files/a.bin"), "first");
    EXPECT_EQ(read_file(source), "second");
    EXPECT_EQ(tree.node(a).text, source); // a copy changes no entry
    expect_done_said();
}

// A session record's text is only a stored name: it must never pick up a file of the
// folder the program happens to run in.
TEST_F(UnrecognizedTransfer, SessionRecordsAndFilesAlreadyThereAreLeftAlone) {
    struct Cwd {
        fs::path old = fs::current_path();
        ~Cwd() { fs::current_path(old); }
    } cwd;
    fs::current_path(dir.path());
    dir.write("Sonic", "not mine");
    tree.add(ResultTree::kUnrecognized, "Sonic", "Sonic");
    const std::string there = dir.write("out/c.bin", "C").string();
    tree.add(ResultTree::kUnrecognized, there, there);

    for (auto how : {Transfer::Move, Transfer::Copy}) {
        prompter.messages.clear();
        auto report = transfer(how);
        EXPECT_EQ(report.done, 0u);
        EXPECT_EQ(report.not_done, 2u);
        EXPECT_EQ(report.problems,
                  (Lines{"Skipped 'Sonic': it came from a session file and names no folder.",
                         "Skipped '" + there + "': it is already in '" + target + "/'."}));
        expect_done_said();
    }
    EXPECT_EQ(read_file(root + "Sonic"), "not mine");
    EXPECT_FALSE(fs::exists(target + "/Sonic"));
    EXPECT_EQ(read_file(there), "C"); // not sent to the trash to make room for itself
    EXPECT_EQ(tree.node(*tree.find("Sonic")).text, "Sonic");
}

TEST_F(UnrecognizedTransfer, FailuresAreCountedAndDoneIsStillSaid) {
    auto gone = entry("gone.bin", "G");
    auto a = entry("a.bin", "A");
    const std::string missing = tree.node(gone).text;
    fs::remove(missing);
    auto report = transfer(Transfer::Move);
    EXPECT_EQ(report.done, 1u);
    EXPECT_EQ(report.not_done, 1u);
    EXPECT_EQ(report.problems, (Lines{"Could not find '" + missing + "'."}));
    EXPECT_EQ(tree.node(gone).text, missing);
    EXPECT_EQ(tree.node(a).text, target + "/a.bin");
    expect_done_said();
}

TEST_F(UnrecognizedTransfer, AFolderThatIsNoFullPathMovesNothing) {
    auto a = entry("a.bin", "A");
    const std::string source = tree.node(a).text;
    auto report = lists::transfer_unrecognized(tree, Transfer::Move, "out", prompter, executor);
    EXPECT_EQ(report.not_done, 1u);
    EXPECT_EQ(report.problems,
              (Lines{"Skipped '" + source + "': the folder 'out' is not a full path."}));
    EXPECT_EQ(read_file(source), "A");
    expect_done_said();
}

} // namespace
