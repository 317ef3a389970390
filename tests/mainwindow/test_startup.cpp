#include "startup.h"

#include <gtest/gtest.h>

#include "settings.h"
#include "temp_dir.h"

using namespace mainwindow;

namespace {

class Startup : public ::testing::Test {
protected:
    std::filesystem::path ini() const { return dir.path() / "zelkon.ini"; }
    void store(const char* key, const char* value) const {
        ASSERT_TRUE(core::write_setting("general", key, value, ini()));
    }
    std::string stored(const char* key) const {
        return core::read_setting("general", key, "<none>", ini()).text();
    }
    testsupport::TempDir dir;
};

std::vector<core::SystemEntry> systems(std::initializer_list<const char*> ids) {
    std::vector<core::SystemEntry> out;
    for (const char* id : ids)
        out.push_back({std::string("Name of ") + id, id, "*.bin", {}});
    return out;
}

} // namespace

TEST_F(Startup, PlacementIsClampedAgainstTheScreenAndDefaultsToTheWindowsOwn) {
    const Placement design{120, 240, 9600, 7200};
    // Nothing stored: the window's own values.
    Placement p = restore_placement(design, 15360, 11520, ini());
    EXPECT_EQ(p.left, 120);
    EXPECT_EQ(p.width, 9600);

    store("Left", "20000");   // beyond the screen: 0
    store("Top", "-300");     // above the screen: kept
    store("Width", "15360");  // equal to the screen: kept
    store("Height", "99999"); // larger: the screen's
    p = restore_placement(design, 15360, 11520, ini());
    EXPECT_EQ(p.left, 0);
    EXPECT_EQ(p.top, -300);
    EXPECT_EQ(p.width, 15360);
    EXPECT_EQ(p.height, 11520);

    store("Left", "not a number");
    EXPECT_EQ(restore_placement(design, 15360, 11520, ini()).left, 120);
}

TEST_F(Startup, LastSystemPicksTheLastExactMatchElseTheFirst) {
    EXPECT_FALSE(start_system({}, ini()));
    const auto list = systems({"NES", "SGENESIS", "SNES", "SGENESIS"});
    EXPECT_EQ(start_system(list, ini()), 0u); // nothing stored
    store("LastSystem", "SGENESIS");
    EXPECT_EQ(start_system(list, ini()), 3u);
    store("LastSystem", "snes"); // ids are compared exactly
    EXPECT_EQ(start_system(list, ini()), 0u);
}

TEST_F(Startup, TheAboutWindowIsDueOnceForEachCaption) {
    EXPECT_TRUE(about_due("Zelkon 1.30", ini()));
    EXPECT_EQ(stored("version"), "Zelkon 1.30");
    EXPECT_FALSE(about_due("Zelkon 1.30", ini()));
    EXPECT_TRUE(about_due("Zelkon 1.31", ini()));
}

TEST_F(Startup, BarsAreShownUnlessStoredAsZero) {
    EXPECT_TRUE(bar_shown("Toolbar", ini()));
    store("StatusBar", "0"); // written with this spelling, read as "Statusbar"
    EXPECT_FALSE(bar_shown("Statusbar", ini()));
    store("Toolbar", "no");
    EXPECT_TRUE(bar_shown("Toolbar", ini()));
}

TEST_F(Startup, ShutDownSavesTheStateAndLeavesLastSystemWithoutASystem) {
    store("LastSystem", "NES");
    ShutdownState state;
    state.window_state = 2;
    state.normal = {150, 300, 9600.5, 7200};
    state.toolbar = false;
    ASSERT_TRUE(save_shutdown(state, ini()));
    EXPECT_EQ(stored("LastSystem"), "NES");
    EXPECT_EQ(stored("WindowState"), "2");
    EXPECT_EQ(stored("Width"), "9600.5");
    EXPECT_EQ(stored("Toolbar"), "0");
    EXPECT_EQ(stored("Statusbar"), "1");

    // A value the file cannot hold is lost alone.
    state.last_system = "BAD\nID";
    state.window_state = 0;
    ASSERT_TRUE(save_shutdown(state, ini()));
    EXPECT_EQ(stored("LastSystem"), "NES");
    EXPECT_EQ(stored("WindowState"), "0");
}

TEST(StartupTexts, FileCountAndFolderText) {
    EXPECT_EQ(file_count_text(0), "0 Files");
    EXPECT_EQ(file_count_text(1), "1 File");
    EXPECT_EQ(file_count_text(12), "12 Files");
    EXPECT_EQ(folder_text("/roms/genesis"), " /roms/genesis/");
    EXPECT_EQ(folder_text("/"), " /");
    EXPECT_EQ(folder_text(""), "");
}
