#include <sstream>

#include <nlohmann/json.hpp>

#include "host.h"
#include "rom_forge.h"
#include "shell_fixture.h"
#include "temp_dir.h"
#include "terminal_ui.h"

namespace shelltest {
namespace {

using testsupport::TempDir;

/// Records what the host would show a person.
class RecordingUi final : public HostUi {
public:
    core::Answer ask(const core::Message& message) override {
        messages.push_back(message);
        return core::Answer::Ok;
    }
    void report_error(const std::string& text) override { errors.push_back(text); }
    void show_page(HPROPSHEETPAGE) override { ++pages_shown; }
    std::optional<std::filesystem::path>
    choose_database(const std::vector<DatabaseChoice>& offered) override {
        choices = offered;
        return chosen;
    }

    std::vector<core::Message> messages;
    std::vector<std::string> errors;
    std::vector<DatabaseChoice> choices;
    std::optional<std::filesystem::path> chosen;
    int pages_shown = 0;
};

struct HostRun {
    RecordingUi ui;
    std::ostringstream out, err;
    Host host{shell(), ui, out, err};

    nlohmann::json json() const { return nlohmann::json::parse(out.str()); }
};

TEST(Host, MachineOutputOfTipAndPageForTheFileManagersOwnPages) {
    TempDir dir;
    const auto db = write_database(dir.path() / "SGENESIS.zdb", 1234, "Sega Genesis", "The Dumpers",
                                   "First line\r\nSecond line");
    HostRun tip;
    ASSERT_EQ(tip.host.tip(db.string(), true), kExitOk) << tip.err.str();
    const auto t = tip.json();
    EXPECT_EQ(t["system"], "Sega Genesis");
    EXPECT_EQ(t["credit"], "The Dumpers");
    EXPECT_EQ(t["version"], "2.5");
    EXPECT_EQ(t["notes"], "First line\r\nSecond line");

    HostRun page;
    ASSERT_EQ(page.host.properties({(dir.path() / "a.txt").string(), db.string()}, true), kExitOk)
        << page.err.str();
    const auto p = page.json();
    EXPECT_EQ(p["title"], "ROM Database");
    EXPECT_EQ(p["file"], db.string());
    EXPECT_EQ(p["count"], 1234);
    EXPECT_EQ(p["count_text"], "1,234");
    EXPECT_EQ(page.ui.pages_shown, 0);
}

TEST(Host, RenamingChoosesTheSelectedDatabaseElseAsks) {
    TempDir dir;
    const auto db = write_database(dir.path() / "SGENESIS.zdb", 1);
    const auto rom = dir.write("x.bin", testsupport::rom_with_crc(64, 0xab00));
    HostRun chosen_in_selection;
    ASSERT_EQ(chosen_in_selection.host.drop_choosing({rom.string(), db.string()}), kExitOk);
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "Game 0.bin"));

    // Nothing selected: the home's databases are offered; choosing none changes nothing.
    TempDir home;
    std::filesystem::create_directories(home.path() / "databases");
    write_database(home.path() / "databases" / "B.zdb", 0, "beta");
    write_database(home.path() / "databases" / "A.zdb", 0, "Alpha");
    ::setenv("ZELKON_HOME", home.path().c_str(), 1);
    const auto other = dir.write("y.bin", testsupport::rom_with_crc(64, 0xab00));
    HostRun asked;
    EXPECT_EQ(asked.host.drop_choosing({other.string()}), kExitOk);
    ::setenv("ZELKON_HOME", "/nonexistent-zelkon-home", 1);
    ASSERT_EQ(asked.ui.choices.size(), 2u);
    EXPECT_EQ(asked.ui.choices[0].long_name, "Alpha");
    EXPECT_TRUE(std::filesystem::exists(other));

    HostRun usage;
    EXPECT_EQ(usage.host.drop_choosing({db.string()}), kExitUsage);
    EXPECT_EQ(usage.host.properties({other.string()}, false), kExitUsage);
    EXPECT_EQ(usage.ui.errors, (std::vector<std::string>{
                                   "no files to rename were given",
                                   "none of the files is a ROM database (.zdb)"}));
}

TEST(TerminalUi, ResultsOnStdoutErrorsOnStderrQuestionsOnlyOnATerminal) {
    std::istringstream in("n\n");
    std::ostringstream out, err;
    TerminalUi quiet(in, out, err, false);
    using M = core::Message;
    EXPECT_EQ(quiet.ask({"Here is the update summary:\rA -> Did not need to be updated", "Summary",
                         M::Icon::Information, M::Buttons::Ok}),
              core::Answer::Ok);
    EXPECT_EQ(out.str(), "Here is the update summary:\nA -> Did not need to be updated\n");
    EXPECT_EQ(quiet.ask({"Cannot Find Server", "Unable to update", M::Icon::Critical,
                         M::Buttons::Ok}),
              core::Answer::Ok);
    EXPECT_EQ(err.str(), "zelshell: Unable to update: Cannot Find Server\n");
    const M question{"You have selected multiple databases.", "Just to let you know",
                     M::Icon::Information, M::Buttons::OkCancel};
    EXPECT_EQ(quiet.ask(question), core::Answer::Ok);
    TerminalUi asking(in, out, err, true);
    EXPECT_EQ(asking.ask(question), core::Answer::Cancel);
}

} // namespace
} // namespace shelltest
