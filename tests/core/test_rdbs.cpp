#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rdbs.h"
#include "recorders.h"
#include "settings.h"
#include "temp_dir.h"
#include "text.h"
#include "zdb_fixture.h"

using testsupport::RecordingProgress;
using testsupport::RecordingPrompter;
using testsupport::TempDir;
using zdbfixture::HeaderFields;
using Ids = std::vector<std::string>;

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
    core::Problems skipped;

    void SetUp() override { std::filesystem::create_directory(folder); }
    void add(const std::string& name, const std::string& bytes) {
        home.write(std::filesystem::path("databases") / name, bytes);
    }
    std::vector<core::SystemEntry> load(bool reset = true) {
        return core::load_rdbs(folder, prompter, progress, {reset, settings, &skipped});
    }
};

Ids ids(const std::vector<core::SystemEntry>& systems) {
    Ids out;
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
    // Case-insensitive order; "A.ZDB" and "a.zdb" tie and go by their exact names; ids trimmed.
    ASSERT_EQ(ids(systems), (Ids{"A", "a2", "B", "H"}));
    EXPECT_EQ(systems[0].long_name, "Upper A");
    EXPECT_EQ(systems[0].file, folder / "A.ZDB");
    EXPECT_EQ(systems[3].patterns, "*;*.h;*");
    // The skipped databases are named with their reasons; other files are not databases.
    ASSERT_EQ(skipped.size(), 2u);
    EXPECT_EQ(skipped[0].path, (folder / "c.zdb").string());
    EXPECT_EQ(skipped[0].text(),
              core::quoted(folder / "c.zdb") + " is not a ROM database: unknown format version 4");
    EXPECT_EQ(skipped[1].text(),
              core::quoted(folder / "d.zdb") + " is not a ROM database: the header ends early");

    // Every listed file shows in the status, the skipped ones too; the bar runs 0..n-1.
    const std::string s = "Loading ROM Databases...";
    EXPECT_EQ(progress.statuses, (Ids{s, s + "A", s + "a", s + "b", s + "c", s + "d", s + "h"}));
    std::vector<std::pair<std::size_t, std::size_t>> steps;
    for (std::size_t i = 0; i < 6; ++i)
        steps.emplace_back(i, 5);
    EXPECT_EQ(progress.step_calls, steps);
}

TEST_F(Rdbs, OneFileDrawsNoBarAndListedSystemsGetTheirNoticeResetUnlessAsked) {
    // An empty folder shows only the status, a single file draws no bar.
    EXPECT_TRUE(load().empty());
    EXPECT_EQ(progress.statuses, (Ids{"Loading ROM Databases..."}));
    add("SMS.zdb", database("SMS  ", "Master System"));
    EXPECT_EQ(ids(load()), (Ids{"SMS"}));
    EXPECT_TRUE(progress.step_calls.empty());

    ASSERT_TRUE(core::write_setting("SMS", "ZDBLoaded", "1", settings));
    ASSERT_TRUE(core::write_setting("BAD", "ZDBLoaded", "1", settings));
    add("BAD.zdb", database("BAD", "Bad", "*", 9));
    add("GG.zdb", database("GG", "Game Gear"));
    const auto flag = [&](const char* id) {
        return core::read_setting(id, "ZDBLoaded", "", settings).text();
    };

    EXPECT_EQ(ids(load(false)), (Ids{"GG", "SMS"}));
    EXPECT_EQ(flag("SMS"), "1");
    EXPECT_EQ(ids(load()), (Ids{"GG", "SMS"}));
    EXPECT_EQ(flag("SMS"), "0");
    EXPECT_EQ(flag("GG"), "0");
    EXPECT_EQ(flag("BAD"), "1");
    EXPECT_TRUE(prompter.messages.empty());
}

TEST(RdbsFind, PrefersAnExactIdThenIgnoresCase) {
    std::vector<core::SystemEntry> systems{
        {"lower", "sms", "", {}}, {"upper", "SMS", "", {}}, {"gear", "GG", "", {}}};
    const auto found = [&](const char* id) {
        const auto* system = core::find_system(systems, id);
        return system ? system->long_name : "(none)";
    };
    EXPECT_EQ(found("SMS"), "upper");
    EXPECT_EQ(found("sms"), "lower");
    EXPECT_EQ(found("gg"), "gear");
    EXPECT_EQ(found("NES"), "(none)");
}
