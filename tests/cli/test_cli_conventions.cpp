#include "cli.h"
#include "cli_prompter.h"
#include "cli_run.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <sstream>

#include "rom_forge.h"
#include "temp_dir.h"
#include "trash_home.h"

using testsupport::rom_entry;
using testsupport::rom_with_crc;
using testsupport::TempDir;

using namespace clitest; // NOLINT(google-build-using-namespace): the tests' own helpers

namespace {

namespace fs = std::filesystem;
using core::Answer;
using core::Message;

class CliConventions : public ::testing::Test {
protected:
    void SetUp() override { write_genesis_database(home.path(), {rom_entry(0x11111111, "Alpha")}); }

    // A run without the --home put first, as a user at a terminal typing `input` would make it.
    CliRun run(const std::vector<std::string>& args, const std::string& input = {}) const {
        std::ostringstream out, err;
        std::istringstream in(input);
        int code = cli::run_cli(args, {out, err, {}, !input.empty(), &in});
        return {code, out.str(), err.str()};
    }

    // A folder of one ROM to rename.
    std::string roms(const std::string& name) const {
        home.write(name + "/a.bin", rom_with_crc(256, 0x11111111));
        return (home.path() / name).string();
    }

    TempDir home;
    TempDir data_home;
    testsupport::TrashHome trash_home{data_home.path()};
};

// The program's options after the command; a question asked at a terminal and answered
// there, or answered by -y; the bell only with --bell.
TEST_F(CliConventions, ProgramOptionsWorkAfterTheCommandAndQuestionsReachTheUser) {
    const auto made = home.path() / "made", also = home.path() / "also";
    auto asked = run({"rename", "--system", "SGENESIS", roms("one"), "--rename-folder",
                      made.string(), "--home", home.path().string()},
                     "y\n");
    EXPECT_EQ(asked.code, 0) << asked.err;
    EXPECT_TRUE(contains(asked.err, "Do you want to create it? [y/N] ")) << asked.err;
    EXPECT_TRUE(fs::exists(made / "Alpha.bin"));
    EXPECT_FALSE(contains(asked.err, "\a"));

    auto told = run({"rename", "--system", "SGENESIS", roms("two"), "--rename-folder",
                     also.string(), "-y", "--home", home.path().string(), "--bell"});
    EXPECT_EQ(told.code, 0) << told.err;
    EXPECT_TRUE(fs::exists(also / "Alpha.bin"));
    EXPECT_TRUE(contains(told.err, "\a"));
}

TEST_F(CliConventions, VersionHelpAndUnknownCommandsAreTold) {
    EXPECT_EQ(run({"--version"}).out, "zelkon-cli 1.30\n");
    auto help = run({"help", "cache", "clear"});
    EXPECT_EQ(help.code, 0);
    EXPECT_EQ(help.out, run({"cache", "clear", "--help"}).out);
    EXPECT_TRUE(contains(help.out, "zelkon-cli cache clear"));
    for (const char* command : {"systems", "info", "identify", "rename", "sort", "unsort", "undo",
                                "update", "news", "publish", "import", "cache", "scan"})
        EXPECT_TRUE(contains(run({command, "--help"}).out, "Exit status: 0 done")) << command;

    for (const auto& [args, name] :
         {std::pair<std::vector<std::string>, std::string>{{"frobnicate"}, "frobnicate"},
          {{"cache", "stats"}, "cache stats"},
          {{"help", "cache", "stats"}, "cache stats"}}) {
        auto r = run(args);
        EXPECT_EQ(r.code, 2);
        EXPECT_TRUE(contains(r.err, "zelkon-cli: unknown command '" + name + "'\n")) << r.err;
    }
    auto bad = run({"systems", "--frob"});
    EXPECT_EQ(bad.code, 2);
    EXPECT_EQ(bad.err.rfind("zelkon-cli: ", 0), 0u) << bad.err;
}

// Asked until the reply names a button; Enter and the end of the input are the safe answer.
// With --yes nothing is asked; without a terminal the answer is no.
TEST(CliPrompter, AsksAtATerminalElseTakesWhatTheUserSaid) {
    const Message create{"Create it?", "Confirm Folder Create", Message::Icon::Question,
                         Message::Buttons::YesNo};
    const Message exists{"It exists.", "Confirm File Replace", Message::Icon::Question,
                         Message::Buttons::ReplaceSkipCancel};
    std::istringstream in("maybe\n Y \n\nR\n");
    std::ostringstream err;
    cli::CliPrompter user(err, cli::Said::Nothing, &in);
    EXPECT_EQ(user.ask(create), Answer::Yes);
    EXPECT_EQ(err.str(), "Confirm Folder Create: Create it? [y/N] "
                         "Confirm Folder Create: Create it? [y/N] ");
    EXPECT_EQ(user.ask(create), Answer::No);
    EXPECT_EQ(user.ask(exists), Answer::Replace);
    EXPECT_EQ(user.ask(exists), Answer::Skip);
    EXPECT_FALSE(user.declined_by_default());

    std::istringstream unread("n\n");
    EXPECT_EQ(cli::CliPrompter(err, cli::Said::Yes, &unread).ask(create), Answer::Yes);
    EXPECT_EQ(unread.tellg(), 0);
    cli::CliPrompter nobody(err, cli::Said::Nothing);
    EXPECT_EQ(nobody.ask(create), Answer::No);
    EXPECT_TRUE(nobody.declined_by_default());

    // A warning is prefixed like every error; a title that says nothing is left out.
    EXPECT_EQ(cli::message_line({"No server.\r\rdown", "Arg", Message::Icon::Exclamation}),
              "zelkon-cli: No server.\n\ndown");
    EXPECT_EQ(cli::message_line(
                  {"Sort.ini was not found!", "Missing a file.", Message::Icon::Exclamation}),
              "zelkon-cli: Missing a file: Sort.ini was not found!");
}

std::string shell_output(const std::string& command) {
    std::string text;
    FILE* pipe = popen(command.c_str(), "r");
    char buffer[256];
    while (pipe && fgets(buffer, sizeof buffer, pipe))
        text += buffer;
    if (pipe)
        pclose(pipe);
    return text;
}

// The completion offers the commands, a command's own options and the program's, and the
// sub-commands of a command; the manual page has no roff mistakes.
TEST(CliGenerated, BashCompletionOffersTheCommandsAndTheManPageIsClean) {
    TempDir dir;
    std::ostringstream bash, man, err;
    ASSERT_EQ(cli::run_cli({"--generate", "bash"}, {bash, err, {}}), 0) << err.str();
    ASSERT_EQ(cli::run_cli({"--generate", "man"}, {man, err, {}}), 0) << err.str();
    const auto script = dir.write("zelkon-cli", bash.str());
    const auto page = dir.write("zelkon-cli.1", man.str());

    EXPECT_EQ(shell_output("bash -c 'source " + script.string() +
                           " && complete -p zelkon-cli >/dev/null || exit; "
                           "c() { COMP_WORDS=(\"$@\"); COMP_CWORD=$(($# - 1)); _zelkon_cli; "
                           "echo \"${COMPREPLY[*]}\"; }; "
                           "c zelkon-cli ca; c zelkon-cli --home /x cache \"\"; "
                           "c zelkon-cli rename --sy; c zelkon-cli rename --ye; "
                           "c zelkon-cli help ren'"),
              "cache\nclear\n--system\n--yes\nrename\n");
    EXPECT_TRUE(contains(man.str(), ".TP\n\\fB130\\fR\nstopped by Ctrl\\-C.\n"));
    std::ostringstream zsh;
    ASSERT_EQ(cli::run_cli({"--generate", "zsh"}, {zsh, err, {}}), 0);
    const auto zsh_script = dir.write("_zelkon-cli", zsh.str());
    if (system("command -v zsh >/dev/null") == 0) {
        EXPECT_EQ(system(("zsh -n " + zsh_script.string()).c_str()), 0);
    }
    if (system("command -v groff >/dev/null") != 0)
        GTEST_SKIP() << "groff is not installed";
    EXPECT_EQ(shell_output("groff -man -z -ww " + page.string() + " 2>&1"), "");
}

} // namespace
