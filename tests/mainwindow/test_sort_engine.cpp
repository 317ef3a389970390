#include "sort_engine.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <tuple>

#include "app_home.h"
#include "batch_executor.h"
#include "recorders.h"
#include "temp_dir.h"

namespace fs = std::filesystem;
using core::Answer;
using core::End;
using core::Message;
using testsupport::lines;
using Paths = std::vector<std::string>;

namespace {

void expect_message(const Message& m, const std::string& text, const std::string& title,
                    Message::Icon icon, Message::Buttons buttons) {
    EXPECT_EQ(std::tie(m.text, m.title, m.icon, m.buttons),
              std::make_tuple(text, title, icon, buttons));
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
    void roms(std::initializer_list<const char*> relatives) const {
        for (const char* relative : relatives)
            rom(relative);
    }
    bool in_roms(const std::string& relative) const { return fs::exists(fs::path(cur) / relative); }
    void rules(std::string_view text) const { dir.write("sort.ini", text); }
    sorting::SortReport sort() { return sorting::sort_roms(job, prompter, progress, runner); }
    sorting::SortReport unsort() { return sorting::unsort_roms(job, prompter, progress, runner); }

    testsupport::TempDir dir;
    std::string cur;
    sorting::SortJob job;
    testsupport::RecordingPrompter prompter;
    testsupport::RecordingProgress progress;
    std::function<void()> after_item = [] {};
    // Skips taken names and polls Stop between items.
    core::BatchExecutor executor{{.on_conflict = core::ConflictPolicy::Skip,
                                  .after_item = [this](std::size_t) { after_item(); },
                                  .progress = &progress}};
    testsupport::RecordingRunner runner{executor};
};

} // namespace

// A dry run first: it plans the same batch, finds the same problems and makes no folder.
// A symbolic link is never moved: it is named, and not counted as a file.
TEST_F(SortEngine, SortAsksOnceThenMovesMatchesIntoANewFolderAsOneBatch) {
    rules("\xEF\xBB\xBF[all]\r\n(U):USA\r\n(X):\n(J):a/b/c"); // as saved on another desktop
    roms({"B (u).bin", "a (U).bin", "C (J).bin", "D (X).bin", "readme (U).txt"});
    fs::create_symlink(dir.write("elsewhere/Real (U).bin", "r"), cur + "Link (U).bin");
    runner.dry_run = true;
    auto planned = sort();
    EXPECT_FALSE(in_roms("USA") || in_roms("a"));
    runner.dry_run = false;

    auto report = sort();

    ASSERT_EQ(prompter.messages.size(), 2u);
    expect_message(prompter.messages[1],
                   "You are about to sort all files in \"" + cur +
                       "\"\r\rThis will sort the files in this folder by moving them to "
                       "categorized subfolders.\rThis could be destructive if you are currently "
                       "in the wrong folder.\r\rDo you wish to continue?",
                   "Confirmation", Message::Icon::Question, Message::Buttons::YesNo);
    ASSERT_EQ(runner.batches.size(), 2u);
    EXPECT_EQ(runner.batches[1].from, (Paths{cur + "a (U).bin", cur + "B (u).bin"}));
    EXPECT_EQ(runner.batches[1].to, (Paths{cur + "USA/a (U).bin", cur + "USA/B (u).bin"}));
    EXPECT_EQ(runner.batches[0].to, runner.batches[1].to);
    EXPECT_TRUE(in_roms("USA/a (U).bin") && in_roms("USA/B (u).bin"));
    // No rule, a rule that names this folder, and a file outside the filter all stay.
    EXPECT_TRUE(in_roms("C (J).bin") && in_roms("D (X).bin") && in_roms("readme (U).txt"));
    EXPECT_EQ(lines(planned.outcome.problems), lines(report.outcome.problems));
    ASSERT_EQ(report.outcome.problems.size(), 2u); // the folder too deep for C (J), the link
    EXPECT_EQ(report.outcome.problems[1].text(), "Skipped 'Link (U).bin': it is a symbolic link.");
    EXPECT_EQ(report.outcome.problems[1].path, cur + "Link (U).bin");
    EXPECT_EQ(report.outcome.end, End::Completed);
    EXPECT_EQ(report.outcome.summary,
              "Sorted 2 files into category folders; 2 left where they were.\n");
    EXPECT_EQ(progress.log_text.find("Sorted"), std::string::npos); // the front end shows it
}

// The rule file defaults to the application home, the folder may come without its trailing
// separator, and a target that exists is left to the runner.
TEST_F(SortEngine, FirstRuleWinsOneMissingLevelIsMadeAndUnsortBringsAllBack) {
    core::set_app_home(dir.path());
    job.rules_file.clear();
    job.current_folder.pop_back();
    rules("[all]\n(U):USA\n(E):Europe\\Sports\n[SGENESIS]\n(U):America\n");
    roms({"Game (U) (E).bin", "Ball (E).zip", "Solo (U).bin", "America/Solo (U).bin"});

    auto sorted = sort();
    EXPECT_TRUE(in_roms("America/Game (U) (E).bin") && in_roms("Europe/Sports/Ball (E).zip"));
    EXPECT_FALSE(in_roms("USA"));
    EXPECT_EQ(sorted.left, 1u);
    const std::string line =
        "Skipped '" + cur + "Solo (U).bin': '" + cur + "America/Solo (U).bin' already exists.";
    EXPECT_EQ(lines(sorted.outcome.problems), Paths{line});
    EXPECT_EQ(progress.log_text, line + "\r\n");
    EXPECT_EQ(unsort().moved, 2u);
    EXPECT_TRUE(in_roms("Game (U) (E).bin") && in_roms("Ball (E).zip"));
}

// A folder too deep, a file in the folder's place, a name the system refuses and rules
// leading out of the folder each keep their file where it is, with a line.
TEST_F(SortEngine, FilesWhoseFolderCannotBeUsedStay) {
    const std::string long_name(300, 'n'); // beyond any file system's name limit
    rules("[all]\n(U):a/b/c\n(E):Europe\n(L):" + long_name + "\n(O):../x\n");
    roms({"Game (U).bin", "Game (E).bin", "Game (L).bin", "Game (O).bin"});
    dir.write("roms/Europe", "a file in the way");

    auto report = sort();

    EXPECT_FALSE(in_roms("a") || fs::exists(dir.path() / "x"));
    EXPECT_TRUE(runner.batches.empty());
    EXPECT_EQ(report.left, 4u);
    const Paths expected{
        "Cannot make the folder '" + cur +
            "Europe': something that is not a folder has its name. 'Game (E).bin' stays where "
            "it is.",
        "Cannot make the folder '" + cur + long_name + "': " + std::strerror(ENAMETOOLONG) +
            ". 'Game (L).bin' stays where it is.",
        "Rule '(O)' is refused: its folder '../x' lies outside '" + cur +
            "'. 'Game (O).bin' stays where it is.",
        "Cannot make the folder '" + cur +
            "a/b/c': more than one folder above it is missing. 'Game (U).bin' stays where it is."};
    EXPECT_EQ(lines(report.outcome.problems), expected);
    EXPECT_EQ(report.outcome.problems[0].path, cur + "Game (E).bin");
}

// A missing rule file (or a folder in its place), a missing folder and a No each refuse
// the run before anything is looked at.
TEST_F(SortEngine, RefusedRunsChangeNothing) {
    roms({"Game (U).bin", "sub/a.bin"});
    fs::create_directory(dir.path() / "sort.ini"); // a folder is no rule file
    EXPECT_EQ(sort().outcome.end, End::Refused);
    expect_message(prompter.messages.at(0), "Sort.ini was not found!", "Missing a file.",
                   Message::Icon::Exclamation, Message::Buttons::Ok);
    fs::remove(dir.path() / "sort.ini");
    rules("[all]\n(U):USA\n");

    prompter.messages.clear();
    const std::string roms = job.current_folder;
    for (std::string folder : {std::string(), std::string("/"), dir.path().string() + "/none/"}) {
        job.current_folder = folder;
        for (const auto& report : {sort(), unsort()}) {
            EXPECT_EQ(report.outcome.end, End::Refused) << folder;
            EXPECT_FALSE(report.declined);
        }
    }
    ASSERT_EQ(prompter.messages.size(), 6u);
    for (const auto& m : prompter.messages)
        expect_message(m, "You need to first setup a base folder!", "Missing a folder.",
                       Message::Icon::Exclamation, Message::Buttons::Ok);

    job.current_folder = roms;
    prompter.script = {Answer::No, Answer::No};
    for (const auto& report : {sort(), unsort()}) {
        EXPECT_EQ(report.outcome.end, End::Refused);
        EXPECT_TRUE(report.declined);
        EXPECT_EQ(report.outcome.summary, "");
    }
    EXPECT_TRUE(runner.batches.empty()); // nothing moved, and no folder made:
    EXPECT_FALSE(in_roms("USA"));
    EXPECT_TRUE(progress.log_text.empty());
}

// A file too large to be a rule file is refused with the reason, before the question is
// asked and before anything moves.
TEST_F(SortEngine, AHugeRuleFileIsRefusedBeforeTheQuestion) {
    roms({"A (U).bin"});
    rules(std::string(1 << 20, ' ') + "\n[all]\n(U):USA\n");
    EXPECT_EQ(sort().outcome.end, End::Refused);
    ASSERT_EQ(prompter.messages.size(), 1u);
    expect_message(prompter.messages[0],
                   "Sort.ini could not be read!\r'" + (dir.path() / "sort.ini").string() +
                       "' is larger than 1 MiB, too large for a sort rules file",
                   "Cannot read a file.", Message::Icon::Exclamation, Message::Buttons::Ok);
    EXPECT_TRUE(runner.batches.empty());
}

TEST_F(SortEngine, UnsortBringsFilesUpDeepestFirstAndKeepsNamesThatExist) {
    roms({"a.bin", "sub/a.bin", "sub/c.bin", "sub/deep/b.bin", "other/d.zip", "sub/notes.txt",
          ".hidden/e.bin"});
    fs::create_symlink(cur + "a.bin", cur + "sub/link.bin"); // stays, and is named

    auto report = unsort();

    ASSERT_EQ(prompter.messages.size(), 1u);
    expect_message(prompter.messages[0],
                   "You are about to unsort all files in \"" + cur +
                       "\"\r\rThis will unsort the files in all sub folders by moving them to "
                       "the current folder.\rThis could be destructive if you are currently in "
                       "the wrong folder.\r\rDo you wish to continue?",
                   "Confirmation", Message::Icon::Question, Message::Buttons::YesNo);
    ASSERT_EQ(runner.batches.size(), 1u);
    EXPECT_EQ(runner.batches[0].from, (Paths{cur + "other/d.zip", cur + "sub/deep/b.bin",
                                             cur + "sub/a.bin", cur + "sub/c.bin"}));
    EXPECT_EQ(runner.batches[0].to,
              (Paths{cur + "d.zip", cur + "b.bin", cur + "a.bin", cur + "c.bin"}));
    EXPECT_TRUE(in_roms("sub/a.bin") && in_roms("sub/notes.txt") && in_roms(".hidden/e.bin"));
    EXPECT_TRUE(fs::is_directory(fs::path(cur) / "sub/deep")); // emptied folders stay
    EXPECT_EQ(report.moved, 3u);
    EXPECT_EQ(report.left, 1u);
    EXPECT_TRUE(fs::is_symlink(cur + "sub/link.bin"));
    EXPECT_EQ(progress.log_text, "Skipped '" + cur + "sub/link.bin': it is a symbolic link.\r\n" +
                                     "Skipped '" + cur + "sub/a.bin': '" + cur +
                                     "a.bin' already exists.\r\n");
    EXPECT_EQ(report.outcome.summary,
              "Moved 3 files up into '" + cur + "'; 1 stayed in their sub-folders.\n");
}

// Stop while the files are planned moves nothing and leaves no folder made for them; Stop
// during the batch (which the executor ends between two files) takes away folders unused.
TEST_F(SortEngine, StopEndsARunBetweenFiles) {
    rules("[all]\n(U):USA\n(E):Europe\n");
    roms({"A (E).bin", "B (U).bin", "C (U).bin"});
    progress.stop_after = 1;
    EXPECT_EQ(sort().outcome.end, End::Stopped);
    EXPECT_TRUE(runner.batches.empty());
    EXPECT_FALSE(in_roms("Europe") || in_roms("USA"));

    progress.stop_after = -1;
    after_item = [&] { progress.stop_after = 0; };
    EXPECT_EQ(sort().outcome.end, End::Stopped);
    EXPECT_TRUE(in_roms("Europe/A (E).bin") && in_roms("B (U).bin") && in_roms("C (U).bin"));
    EXPECT_FALSE(in_roms("USA")); // made for files that never came, taken away again
}
