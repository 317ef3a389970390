#include "sort_engine.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "app_home.h"
#include "recorders.h"
#include "temp_dir.h"
#include "text.h"

namespace fs = std::filesystem;
using core::Answer;
using core::Message;
using End = sorting::SortReport::End;

namespace {

// Moves with rename and never replaces; what the real executor does with Skip for conflicts.
class RenamingRunner final : public core::BatchRunner {
public:
    core::BatchOutcome run(const core::Batch& batch) override {
        batches.push_back(batch);
        core::BatchOutcome outcome;
        if (dry_run) {
            outcome.items.assign(batch.from.size(), core::ItemResult::Done);
            return outcome;
        }
        for (std::size_t i = 0; i < batch.from.size(); ++i) {
            std::error_code ec;
            if (fs::exists(batch.to[i], ec)) {
                outcome.items.push_back(core::ItemResult::Skipped);
                outcome.problems.push_back(core::Problem::line(core::quoted(batch.to[i]) + " already exists."));
                continue;
            }
            fs::rename(batch.from[i], batch.to[i], ec);
            outcome.items.push_back(ec ? core::ItemResult::Failed : core::ItemResult::Done);
            if (ec)
                outcome.problems.push_back(core::Problem::line(ec.message()));
        }
        return outcome;
    }
    bool changes_files() const override { return !dry_run; }

    std::vector<core::Batch> batches;
    bool dry_run = false;
};

void expect_message(const Message& m, const std::string& text, const std::string& title,
                    Message::Icon icon, Message::Buttons buttons) {
    EXPECT_EQ(m.text, text);
    EXPECT_EQ(m.title, title);
    EXPECT_EQ(m.icon, icon);
    EXPECT_EQ(m.buttons, buttons);
}

class SortEngine : public ::testing::Test {
protected:
    SortEngine() {
        cur = (dir.path() / "roms").string() + "/";
        fs::create_directory(cur);
        job = {cur, "SGENESIS", "*.bin;*.zip", dir.path() / "sort.ini"};
        prompter.fallback = Answer::Yes;
    }
    fs::path rom(const std::string& relative) const { return dir.write("roms/" + relative, "x"); }
    bool in_roms(const std::string& relative) const { return fs::exists(fs::path(cur) / relative); }
    void rules(std::string_view text) const { dir.write("sort.ini", text); }
    sorting::SortReport sort() { return sorting::sort_roms(job, prompter, progress, runner); }
    sorting::SortReport unsort() { return sorting::unsort_roms(job, prompter, progress, runner); }

    testsupport::TempDir dir;
    std::string cur;
    sorting::SortJob job;
    testsupport::RecordingPrompter prompter;
    testsupport::RecordingProgress progress;
    RenamingRunner runner;
};

} // namespace

TEST_F(SortEngine, SortAsksOnceThenMovesMatchesIntoANewFolderAsOneBatch) {
    rules("[all]\n(U):USA\n(X):\n");
    rom("B (u).bin");
    rom("a (U).bin");
    rom("C (J).bin");
    rom("D (X).bin");
    rom("readme (U).txt");

    auto report = sort();

    ASSERT_EQ(prompter.messages.size(), 1u);
    expect_message(prompter.messages[0],
                   "You are about to sort all files in \"" + cur +
                       "\"\r\rThis will sort the files in this folder by moving them to "
                       "categorized subfolders.\rThis could be destructive if you are currently "
                       "in the wrong folder.\r\rDo you wish to continue?",
                   "Confirmation", Message::Icon::Question, Message::Buttons::YesNo);
    ASSERT_EQ(runner.batches.size(), 1u);
    EXPECT_EQ(runner.batches[0].op, core::BatchOp::Move);
    EXPECT_EQ(runner.batches[0].from,
              (std::vector<std::string>{cur + "a (U).bin", cur + "B (u).bin"}));
    EXPECT_EQ(runner.batches[0].to,
              (std::vector<std::string>{cur + "USA/a (U).bin", cur + "USA/B (u).bin"}));
    EXPECT_TRUE(in_roms("USA/a (U).bin") && in_roms("USA/B (u).bin"));
    // No rule, a rule that names this folder, and a file outside the filter all stay.
    EXPECT_TRUE(in_roms("C (J).bin") && in_roms("D (X).bin") && in_roms("readme (U).txt"));
    EXPECT_EQ(report.end, End::Completed);
    EXPECT_EQ(report.moved, 2u);
    EXPECT_EQ(report.left, 2u);
    EXPECT_EQ(progress.log_text,
              "Sorted 2 files into category folders; 2 left where they were.\r\n");
}

TEST_F(SortEngine, FirstRuleWinsAndOneMissingLevelAboveTheTargetIsMade) {
    rules("[all]\n(U):USA\n(E):Europe\\Sports\n[SGENESIS]\n(U):America\n");
    rom("Game (U) (E).bin");
    rom("Ball (E).bin");

    auto report = sort();

    EXPECT_TRUE(in_roms("America/Game (U) (E).bin"));
    EXPECT_TRUE(in_roms("Europe/Sports/Ball (E).bin"));
    EXPECT_FALSE(in_roms("USA"));
    EXPECT_EQ(report.moved, 2u);
}

TEST_F(SortEngine, TargetFolderThatCannotBeMadeKeepsTheFile) {
    rules("[all]\n(U):a/b/c\n(E):Europe\n");
    rom("Game (U).bin");
    rom("Game (E).bin");
    dir.write("roms/Europe", "a file in the way");

    auto report = sort();

    EXPECT_TRUE(in_roms("Game (U).bin") && in_roms("Game (E).bin"));
    EXPECT_FALSE(in_roms("a"));
    EXPECT_TRUE(runner.batches.empty());
    EXPECT_EQ(report.left, 2u);
    EXPECT_EQ(progress.log_text,
              "Cannot make the folder '" + cur +
                  "Europe': something that is not a folder has its name. 'Game (E).bin' stays "
                  "where it is.\r\n"
                  "Cannot make the folder '" +
                  cur +
                  "a/b/c': more than one folder above it is missing. 'Game (U).bin' stays "
                  "where it is.\r\n"
                  "Sorted 0 files into category folders; 2 left where they were.\r\n");
}

TEST_F(SortEngine, FolderTheSystemRefusesKeepsTheFile) {
    const std::string long_name(300, 'n'); // beyond any file system's name limit
    rules("[all]\n(U):" + long_name + "\n");
    rom("Game (U).bin");

    auto report = sort();

    EXPECT_TRUE(in_roms("Game (U).bin"));
    EXPECT_TRUE(runner.batches.empty());
    ASSERT_EQ(report.problems.size(), 1u);
    EXPECT_EQ(report.problems[0], "Cannot make the folder '" + cur + long_name +
                                      "': " + std::strerror(ENAMETOOLONG) +
                                      ". 'Game (U).bin' stays where it is.");
}

TEST_F(SortEngine, DryRunPlansTheSameBatchAndMakesNoFolder) {
    rules("[all]\n(U):USA\n(E):Europe/Sports\n(J):a/b/c\n");
    rom("Game (U).bin");
    rom("Game (E).bin");
    rom("Game (J).bin");
    runner.dry_run = true;

    auto report = sort();

    ASSERT_EQ(runner.batches.size(), 1u);
    EXPECT_EQ(runner.batches[0].to, (std::vector<std::string>{cur + "Europe/Sports/Game (E).bin",
                                                              cur + "USA/Game (U).bin"}));
    EXPECT_FALSE(in_roms("USA") || in_roms("Europe"));
    EXPECT_EQ(report.problems.size(), 1u); // the deep gap is found without making anything
    EXPECT_TRUE(in_roms("Game (U).bin") && in_roms("Game (E).bin"));
}

TEST_F(SortEngine, RulesLeadingOutOfTheFolderAreRefused) {
    rules("[all]\n(U):../x\n(E):/tmp\n");
    rom("Game (U).bin");
    rom("Game (E).bin");

    auto report = sort();

    EXPECT_TRUE(in_roms("Game (U).bin") && in_roms("Game (E).bin"));
    EXPECT_FALSE(fs::exists(dir.path() / "x"));
    EXPECT_TRUE(runner.batches.empty());
    ASSERT_EQ(report.problems.size(), 2u);
    EXPECT_EQ(report.problems[1], "Rule '(U)' is refused: its folder '../x' lies outside '" + cur +
                                      "'. 'Game (U).bin' stays where it is.");
}

TEST_F(SortEngine, TargetThatExistsIsLeftToTheRunnerAndTheFileStays) {
    rules("[all]\n(U):USA\n");
    rom("Game (U).bin");
    rom("USA/Game (U).bin");

    auto report = sort();

    EXPECT_TRUE(in_roms("Game (U).bin"));
    EXPECT_EQ(report.moved, 0u);
    EXPECT_EQ(report.left, 1u);
    const std::string line = "'" + cur + "USA/Game (U).bin' already exists.";
    EXPECT_EQ(report.problems, std::vector<std::string>{line});
    EXPECT_EQ(progress.log_text.rfind(line + "\r\n", 0), 0u);
}

TEST_F(SortEngine, SortWithoutARuleFileSaysSo) {
    rom("Game (U).bin");
    EXPECT_EQ(sort().end, End::Refused);
    fs::create_directory(dir.path() / "sort.ini"); // a folder is no rule file either
    EXPECT_EQ(sort().end, End::Refused);

    ASSERT_EQ(prompter.messages.size(), 2u);
    for (const auto& m : prompter.messages)
        expect_message(m, "Sort.ini was not found!", "Missing a file.", Message::Icon::Exclamation,
                       Message::Buttons::Ok);
    EXPECT_TRUE(runner.batches.empty());
}

TEST_F(SortEngine, BothCommandsRefuseWithoutAFolder) {
    rules("[all]\n:All\n");
    dir.write("top.bin", "x");
    for (std::string folder : {std::string(), std::string("/"), dir.path().string() + "/none/"}) {
        job.current_folder = folder;
        EXPECT_EQ(sort().end, End::Refused) << folder;
        EXPECT_EQ(unsort().end, End::Refused) << folder;
    }
    ASSERT_EQ(prompter.messages.size(), 6u);
    for (const auto& m : prompter.messages)
        expect_message(m, "You need to first setup a base folder!", "Missing a folder.",
                       Message::Icon::Exclamation, Message::Buttons::Ok);
    EXPECT_TRUE(runner.batches.empty());
    EXPECT_TRUE(progress.log_text.empty());
}

TEST_F(SortEngine, UnsortBringsFilesUpDeepestFirstAndKeepsNamesThatExist) {
    rom("a.bin");
    rom("sub/a.bin");
    rom("sub/c.bin");
    rom("sub/deep/b.bin");
    rom("other/d.zip");
    rom("sub/notes.txt");
    rom(".hidden/e.bin");

    auto report = unsort();

    ASSERT_EQ(prompter.messages.size(), 1u);
    expect_message(prompter.messages[0],
                   "You are about to unsort all files in \"" + cur +
                       "\"\r\rThis will unsort the files in all sub folders by moving them to "
                       "the current folder.\rThis could be destructive if you are currently in "
                       "the wrong folder.\r\rDo you wish to continue?",
                   "Confirmation", Message::Icon::Question, Message::Buttons::YesNo);
    ASSERT_EQ(runner.batches.size(), 1u);
    EXPECT_EQ(runner.batches[0].from,
              (std::vector<std::string>{cur + "other/d.zip", cur + "sub/deep/b.bin",
                                        cur + "sub/a.bin", cur + "sub/c.bin"}));
    EXPECT_EQ(runner.batches[0].to, (std::vector<std::string>{cur + "d.zip", cur + "b.bin",
                                                              cur + "a.bin", cur + "c.bin"}));
    EXPECT_TRUE(in_roms("b.bin") && in_roms("c.bin") && in_roms("d.zip"));
    EXPECT_TRUE(in_roms("sub/a.bin") && in_roms("sub/notes.txt") && in_roms(".hidden/e.bin"));
    EXPECT_TRUE(fs::is_directory(fs::path(cur) / "sub/deep")); // emptied folders stay
    EXPECT_EQ(report.moved, 3u);
    EXPECT_EQ(report.left, 1u);
    EXPECT_EQ(progress.log_text, "'" + cur + "a.bin' already exists.\r\nMoved 3 files up into '" +
                                     cur + "'; 1 stayed in their sub-folders.\r\n");
}

TEST_F(SortEngine, AnswerNoChangesNothing) {
    rules("[all]\n(U):USA\n");
    rom("Game (U).bin");
    rom("sub/a.bin");
    prompter.script = {Answer::No, Answer::No};

    EXPECT_EQ(sort().end, End::Declined);
    EXPECT_EQ(unsort().end, End::Declined);
    EXPECT_TRUE(in_roms("Game (U).bin") && in_roms("sub/a.bin"));
    EXPECT_FALSE(in_roms("USA"));
    EXPECT_TRUE(runner.batches.empty());
}

TEST_F(SortEngine, SortThenUnsortRestoresTheFolder) {
    core::set_app_home(dir.path()); // the rule file defaults to the application home
    job.rules_file.clear();
    rules("[all]\n(U):USA\n(E):Europe/Sports\n");
    rom("Game (U).bin");
    rom("Ball (E).zip");
    job.current_folder.pop_back(); // a folder given without its trailing separator

    EXPECT_EQ(sort().moved, 2u);
    EXPECT_TRUE(in_roms("USA/Game (U).bin"));
    EXPECT_EQ(unsort().moved, 2u);
    EXPECT_TRUE(in_roms("Game (U).bin") && in_roms("Ball (E).zip"));
}
