#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rdbs.h"
#include "recorders.h"
#include "settings.h"
#include "temp_dir.h"
#include "zdb_fixture.h"

using testsupport::RecordingProgress;
using testsupport::RecordingPrompter;
using testsupport::TempDir;
using zdbfixture::HeaderFields;

namespace {

std::string database(std::string id, std::string long_name, std::string patterns = "*.bin",
                     unsigned format = 2) {
    HeaderFields f;
    f.system_id = std::move(id);
    f.long_name = std::move(long_name);
    f.patterns = std::move(patterns);
    return zdbfixture::header(format, f).record(1, "A").data;
}

class Rdbs : public ::testing::Test {
protected:
    TempDir home;
    std::filesystem::path folder = home.path() / "databases";
    std::filesystem::path settings = home.path() / "zelkon.ini";
    RecordingPrompter prompter;
    RecordingProgress progress;

    void SetUp() override { std::filesystem::create_directory(folder); }
    void add(const std::string& name, const std::string& bytes) {
        home.write(std::filesystem::path("databases") / name, bytes);
    }
    std::vector<core::SystemEntry> load(bool reset = true) {
        return core::load_rdbs(folder, prompter, progress, {reset, settings});
    }
};

std::vector<std::string> ids(const std::vector<core::SystemEntry>& systems) {
    std::vector<std::string> out;
    for (const auto& s : systems)
        out.push_back(s.id);
    return out;
}

} // namespace

TEST_F(Rdbs, MissingFolderIsToldOnce) {
    auto systems = core::load_rdbs(home.path() / "nowhere", prompter, progress, {true, settings});
    EXPECT_TRUE(systems.empty());
    ASSERT_EQ(prompter.messages.size(), 1u);
    const auto& m = prompter.messages[0];
    EXPECT_EQ(m.text, "The 'Databases' folder was not found! Zelkon will not work properly "
                      "without it.\rYou must place your ZDB files in a subfolder underneath the "
                      "executable.");
    EXPECT_EQ(m.title, "Folder Not Found");
    EXPECT_EQ(m.icon, core::Message::Icon::Critical);
    EXPECT_EQ(m.buttons, core::Message::Buttons::Ok);
    EXPECT_TRUE(progress.statuses.empty());
    EXPECT_FALSE(std::filesystem::exists(settings));
}

TEST_F(Rdbs, ListsDatabasesAlphabeticallyAndSkipsTheRest) {
    add("b.zdb", database("B", "Bee"));
    add("A.ZDB", database("A", "Upper A"));
    add("a.zdb", database("a2", "Lower a"));
    add("c.zdb", database("C", "Broken", "*.c", 4)); // wrong format: skipped
    add("d.zdb", std::string("\x02\x05SH", 4));      // header ends early: skipped
    add("e.txt", database("E", "Not listed"));
    add("fzdb", database("F", "Not listed"));
    std::filesystem::create_directory(folder / "g.zdb");
    add("h.zdb", database("  H  ", "Aitch", "*.*;*.h;*.*"));

    auto systems = load();
    EXPECT_TRUE(prompter.messages.empty());
    // Case-insensitive order; "A.ZDB" and "a.zdb" tie and go by their exact names.
    EXPECT_EQ(ids(systems), (std::vector<std::string>{"A", "a2", "B", "H"}));
    ASSERT_EQ(systems.size(), 4u);
    EXPECT_EQ(systems[0].long_name, "Upper A");
    EXPECT_EQ(systems[0].file, folder / "A.ZDB");
    EXPECT_EQ(systems[3].id, "H") << "the id is trimmed";
    EXPECT_EQ(systems[3].patterns, "*;*.h;*");

    // Every listed file shows in the status, the skipped ones too; the bar runs 0..n-1.
    EXPECT_EQ(progress.statuses,
              (std::vector<std::string>{"Loading ROM Databases...", "Loading ROM Databases...A",
                                        "Loading ROM Databases...a", "Loading ROM Databases...b",
                                        "Loading ROM Databases...c", "Loading ROM Databases...d",
                                        "Loading ROM Databases...h"}));
    std::vector<std::pair<std::size_t, std::size_t>> steps;
    for (std::size_t i = 0; i < 6; ++i)
        steps.emplace_back(i, 5);
    EXPECT_EQ(progress.step_calls, steps);
}

TEST_F(Rdbs, ResetsTheFirstLoadNoticeOfListedSystems) {
    ASSERT_TRUE(core::write_setting("SMS", "ZDBLoaded", "1", settings));
    ASSERT_TRUE(core::write_setting("BAD", "ZDBLoaded", "1", settings));
    add("SMS.zdb", database("SMS  ", "Master System"));
    add("BAD.zdb", database("BAD", "Bad", "*", 9));
    add("GG.zdb", database("GG", "Game Gear"));

    auto systems = load();
    EXPECT_EQ(ids(systems), (std::vector<std::string>{"GG", "SMS"}));
    EXPECT_EQ(core::read_setting("SMS", "ZDBLoaded", "", settings), "0");
    EXPECT_EQ(core::read_setting("GG", "ZDBLoaded", "", settings), "0");
    EXPECT_EQ(core::read_setting("BAD", "ZDBLoaded", "", settings), "1");
}

TEST_F(Rdbs, LeavesTheNoticeAloneWhenAsked) {
    ASSERT_TRUE(core::write_setting("SMS", "ZDBLoaded", "1", settings));
    add("SMS.zdb", database("SMS", "Master System"));
    auto systems = load(false);
    ASSERT_EQ(systems.size(), 1u);
    EXPECT_EQ(core::read_setting("SMS", "ZDBLoaded", "", settings), "1");
}

TEST_F(Rdbs, OneFileDrawsNoBarAndAnEmptyFolderNothing) {
    auto none = load();
    EXPECT_TRUE(none.empty());
    EXPECT_TRUE(prompter.messages.empty());
    EXPECT_EQ(progress.statuses, (std::vector<std::string>{"Loading ROM Databases..."}));

    add("SMS.zdb", database("SMS", "Master System"));
    auto one = load();
    EXPECT_EQ(ids(one), (std::vector<std::string>{"SMS"}));
    EXPECT_TRUE(progress.step_calls.empty());
}

TEST(RdbsFind, PrefersAnExactIdThenIgnoresCase) {
    std::vector<core::SystemEntry> systems{
        {"lower", "sms", "", {}}, {"upper", "SMS", "", {}}, {"gear", "GG", "", {}}};
    ASSERT_NE(core::find_system(systems, "SMS"), nullptr);
    EXPECT_EQ(core::find_system(systems, "SMS")->long_name, "upper");
    EXPECT_EQ(core::find_system(systems, "sms")->long_name, "lower");
    EXPECT_EQ(core::find_system(systems, "Sms")->long_name, "lower");
    EXPECT_EQ(core::find_system(systems, "gg")->long_name, "gear");
    EXPECT_EQ(core::find_system(systems, "NES"), nullptr);
    EXPECT_EQ(core::find_system({}, "SMS"), nullptr);
}
