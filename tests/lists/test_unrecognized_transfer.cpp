#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <tuple>

#include "batch_executor.h"
#include "recorders.h"
#include "temp_dir.h"
#include "trash_home.h"
#include "unrecognized_transfer.h"

namespace fs = std::filesystem;
using lists::ResultTree;
using lists::Transfer;
using testsupport::lines;
using testsupport::read_file;
using Icon = core::Message::Icon;
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
    testsupport::RecordingProgress progress;
    std::function<void()> after_item = [] {};
    core::BatchExecutor executor{{.prompter = &executor_prompter,
                                  .after_item = [this](std::size_t) { after_item(); },
                                  .progress = &progress}};
    ResultTree tree;

    void SetUp() override { fs::create_directory(target); }

    /// An Unrecognized entry for a file of the collection folder, as a scan adds it.
    std::size_t entry(const std::string& name, const std::string& content) {
        const std::string path = dir.write("roms/" + name, content).string();
        tree.add(ResultTree::kUnrecognized, path, path);
        return *tree.find(path);
    }
    lists::TransferReport transfer(Transfer how, const std::string& to) {
        prompter.messages.clear();
        return lists::transfer_unrecognized(tree, how, to, prompter, progress, executor);
    }
    lists::TransferReport transfer(Transfer how) { return transfer(how, target); }
    // Exactly one information box with an OK button was shown, with these texts.
    void expect_only_message(const std::string& text, const std::string& title) {
        ASSERT_EQ(prompter.messages.size(), 1u);
        const auto& m = prompter.messages[0];
        EXPECT_EQ(std::tie(m.text, m.title, m.icon, m.buttons),
                  std::make_tuple(text, title, Icon::Information, core::Message::Buttons::Ok));
    }
    void expect_done_said() { expect_only_message("Files have been processed.", "Done"); }
};

// Hidden entries go too, and each entry then shows the file of its name in the folder, its
// key unchanged: a moved one, and one whose target was taken (its file stays). One whose
// file is gone keeps its text. What was not done is counted, and Done is still said.
TEST_F(UnrecognizedTransfer, MoveTakesEveryEntryNeverReplacesAndFollowsTheFiles) {
    auto taken = entry("a.bin", "mine");
    auto gone = entry("gone.bin", "G");
    auto hidden = entry("b.smd", "B");
    tree.set_image(hidden, lists::Image::None);
    testsupport::write_file(target + "/a.bin", "theirs");
    const std::string source = tree.node(taken).text, missing = tree.node(gone).text;
    const std::string old_b = tree.node(hidden).key;
    fs::remove(missing);
    auto report = transfer(Transfer::Move);
    EXPECT_EQ(report.done, 1u);
    EXPECT_EQ(report.not_done, 2u);
    EXPECT_EQ(report.outcome.end, core::End::Completed);
    EXPECT_EQ(lines(report.outcome.problems),
              (Lines{"Skipped '" + source + "': '" + target + "/a.bin' already exists.",
                     "Could not find '" + missing + "'."}));
    EXPECT_TRUE(executor_prompter.messages.empty()); // a move never asks to replace
    EXPECT_EQ(read_file(source), "mine");
    EXPECT_EQ(read_file(target + "/a.bin"), "theirs");
    EXPECT_EQ(read_file(target + "/b.smd"), "B");
    EXPECT_FALSE(fs::exists(old_b));
    EXPECT_EQ(tree.node(taken).text, target + "/a.bin");
    EXPECT_EQ(tree.node(gone).text, missing);
    EXPECT_EQ(tree.node(hidden).text, target + "/b.smd");
    EXPECT_EQ(tree.node(hidden).key, old_b);
    expect_done_said();
}

TEST_F(UnrecognizedTransfer, CopyingTwiceReplacesTheEarlierCopiesSilently) {
    auto a = entry("a.bin", "first");
    const std::string source = tree.node(a).text;
    (void)transfer(Transfer::Copy);
    testsupport::write_file(source, "second");
    auto report = transfer(Transfer::Copy);
    EXPECT_EQ(report.done, 1u);
    EXPECT_TRUE(executor_prompter.messages.empty());
    EXPECT_EQ(read_file(target + "/a.bin"), "second");
    EXPECT_EQ(read_file(dir.path() / "data/Trash/files/a.bin"), "first");
    EXPECT_EQ(tree.node(a).text, source); // a copy changes no entry
    expect_done_said();
}

// A session record's text is only a stored name: it must never pick up a file of the
// folder the program happens to run in. A link is never moved nor copied: its file would
// stay behind, or the copy would be of the link.
TEST_F(UnrecognizedTransfer, SessionRecordsLinksAndFilesAlreadyThereAreLeftAlone) {
    struct Cwd {
        fs::path old = fs::current_path();
        ~Cwd() { fs::current_path(old); }
    } cwd;
    fs::current_path(dir.path());
    dir.write("Sonic", "not mine");
    tree.add(ResultTree::kUnrecognized, "Sonic", "Sonic");
    const std::string there = dir.write("out/c.bin", "C").string();
    tree.add(ResultTree::kUnrecognized, there, there);
    const std::string link = root + "link.bin";
    fs::create_symlink(dir.write("elsewhere/l.bin", "L"), link);
    tree.add(ResultTree::kUnrecognized, link, link);

    for (auto how : {Transfer::Move, Transfer::Copy}) {
        auto report = transfer(how);
        EXPECT_EQ(report.not_done, 3u);
        EXPECT_EQ(lines(report.outcome.problems),
                  (Lines{"Skipped 'Sonic': it came from a session file and names no folder.",
                         "Skipped '" + there + "': it is already in '" + target + "/'.",
                         "Skipped '" + link + "': it is a symbolic link."}));
        expect_done_said();
    }
    EXPECT_EQ(read_file(root + "Sonic"), "not mine");
    EXPECT_FALSE(fs::exists(target + "/Sonic"));
    EXPECT_EQ(read_file(there), "C"); // not sent to the trash to make room for itself
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_FALSE(fs::exists(fs::symlink_status(target + "/link.bin")));
    EXPECT_EQ(tree.node(*tree.find("Sonic")).text, "Sonic");

    auto report = transfer(Transfer::Move, "out"); // a folder that is no full path
    EXPECT_EQ(report.not_done, 3u);
    EXPECT_EQ(report.outcome.problems[1].text(),
              "Skipped '" + there + "': the folder 'out' is not a full path.");
    EXPECT_EQ(read_file(there), "C");
}

// Stop ends the batch between two files (how, the executor's tests show); a stopped
// transfer says no Done. Nothing to do is said only when the scan found none.
TEST_F(UnrecognizedTransfer, StopAndNothingToDoSayNoDone) {
    std::vector<std::string> sources;
    for (const char* name : {"a.bin", "b.bin", "c.bin"})
        sources.push_back(tree.node(entry(name, name)).text);
    after_item = [&] { progress.stop_after = 0; };
    auto report = transfer(Transfer::Move);
    EXPECT_EQ(report.outcome.end, core::End::Stopped);
    EXPECT_EQ(report.done, 1u);
    EXPECT_EQ(report.not_done, 2u);
    EXPECT_TRUE(fs::exists(target + "/a.bin") && fs::exists(sources[1]));
    EXPECT_FALSE(lists::nothing_to_transfer(1, prompter));
    EXPECT_TRUE(prompter.messages.empty());
    EXPECT_TRUE(lists::nothing_to_transfer(0, prompter));
    expect_only_message("You have no unrecognized ROMs to move or copy.", "Nothing to Do");
}

} // namespace
