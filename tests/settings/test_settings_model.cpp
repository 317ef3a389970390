#include <gtest/gtest.h>

#include "general_settings.h"
#include "system_settings.h"
#include "temp_dir.h"

namespace {

namespace fs = std::filesystem;
using settings::SystemSettings;
using testsupport::read_file;

class SettingsModelTest : public ::testing::Test {
protected:
    testsupport::TempDir dir; // first: the path below is made from it
    fs::path ini = dir.path() / "zelkon.ini";
    void stored(const std::string& text) const { testsupport::write_file(ini, text); }
    SystemSettings read_sgenesis() const {
        return settings::read_system_settings("SGENESIS", {}, ini);
    }
};

// A system without a section keeps the dialog's defaults, and a save writes all eleven keys
// in their stored order, each in its own form.
TEST_F(SettingsModelTest, ANewSystemReadsTheDefaultsAndASaveWritesEveryKeyInOrder) {
    stored("[other]\nMoveDupes=True\n");
    const SystemSettings s = read_sgenesis();
    EXPECT_EQ(s.default_folder + s.rename_folder + s.unrecognized_folder + s.dupe_folder, "");
    EXPECT_FALSE(s.use_default_folder || s.move_renamed || s.move_unrecognized);
    EXPECT_FALSE(s.move_dupes || s.delete_dupes);
    EXPECT_TRUE(s.ignore_dupes && s.copy_instead);

    ASSERT_TRUE(settings::save_system_settings("SGENESIS", s, ini).ok());
    EXPECT_EQ(read_file(ini), "[other]\nMoveDupes=True\n[SGENESIS]\nDefaultFolder=\n"
                              "RenameFolder=\nUnrecognizedFolder=\nDupeFolder=\n"
                              "UseDefaultFolder=0\nMoveRenamedFiles=0\nMoveUnrecognized=0\n"
                              "MoveDupes=False\nIgnoreDupes=True\nDeleteDupes=False\n"
                              "CopyInstead=1\n");

    SystemSettings changed = s;
    changed.dupe_folder = "/roms/dupes/";
    changed.move_renamed = true;
    changed.copy_instead = false;
    settings::select_dupe_option(changed, settings::DupeOption::Move);
    ASSERT_TRUE(settings::save_system_settings("SGENESIS", changed, ini).ok());
    const SystemSettings back = read_sgenesis();
    EXPECT_EQ(back.dupe_folder, "/roms/dupes/");
    EXPECT_TRUE(back.move_renamed && back.move_dupes);
    EXPECT_FALSE(back.copy_instead || back.ignore_dupes || back.delete_dupes);
}

// The duplicate keys are read in their stored order, each with the option's value at that
// moment as its default: a later "True" wins, a "False" may leave none selected.
TEST_F(SettingsModelTest, TheDuplicateKeysAreOneGroupReadInOrder) {
    struct Case {
        const char* keys;
        bool move, ignore, del;
    };
    const Case cases[] = {
        {"DeleteDupes=True\n", false, false, true},
        {"MoveDupes=True\nIgnoreDupes=True\n", false, true, false},
        {"MoveDupes=True\n", true, false, false},
        {"IgnoreDupes=False\n", false, false, false},
        {"MoveDupes=true\nDeleteDupes=False\n", true, false, false},
        {"IgnoreDupes=maybe\n", false, true, false},
    };
    for (const Case& c : cases) {
        stored(std::string("[sgenesis]\n") + c.keys);
        const SystemSettings s = read_sgenesis();
        EXPECT_EQ(s.move_dupes, c.move) << c.keys;
        EXPECT_EQ(s.ignore_dupes, c.ignore) << c.keys;
        EXPECT_EQ(s.delete_dupes, c.del) << c.keys;
    }
}

// Check boxes read "0"/"1" (and "True"/"False"); a value that is neither keeps the default.
TEST_F(SettingsModelTest, CheckBoxValuesAndFolders) {
    stored("[SGENESIS]\nUseDefaultFolder=1\nCopyInstead=0\nMoveRenamedFiles=x\n"
           "MoveUnrecognized=True\nDefaultFolder=/roms/md/\n");
    const SystemSettings s = read_sgenesis();
    EXPECT_TRUE(s.use_default_folder && s.move_unrecognized);
    EXPECT_FALSE(s.copy_instead || s.move_renamed);
    EXPECT_EQ(s.default_folder, "/roms/md/");
}

// A value the file cannot hold is refused whole: nothing of the save is written.
TEST_F(SettingsModelTest, ASaveThatCannotBeStoredWritesNothing) {
    stored("[SGENESIS]\nCopyInstead=0\n");
    SystemSettings s;
    s.rename_folder = "/a\nInjected=1";
    EXPECT_FALSE(settings::save_system_settings("SGENESIS", s, ini).ok());
    settings::GeneralSettings g;
    g.proxy_server = "proxy\r\nx";
    EXPECT_FALSE(settings::save_general_settings(g, ini).ok());
    EXPECT_EQ(read_file(ini), "[SGENESIS]\nCopyInstead=0\n");
}

TEST_F(SettingsModelTest, GeneralDefaultsFollowTheProgramFolderAndSaveInOrder) {
    stored("[general]\nRenameROMsInZip=1\nCheckForNews=0\n");
    settings::GeneralSettings g = settings::read_general_settings("/opt/zelkon", ini);
    EXPECT_EQ(g.proxy_server, "");
    EXPECT_EQ(g.proxy_port, "80");
    EXPECT_EQ(g.startup_folder, "/opt/zelkon");
    EXPECT_EQ(g.rom_list_folder, "/opt/zelkon");
    EXPECT_TRUE(g.rename_in_zip);
    EXPECT_FALSE(g.check_for_news || g.recursive || g.spaces_to_underscores);

    stored("[general]\nStartupFolder=/roms/\n");
    g = settings::read_general_settings("/opt/zelkon", ini);
    EXPECT_EQ(g.rom_list_folder, "/roms/") << "the list folder defaults to the start-up folder";
    EXPECT_TRUE(g.check_for_news);

    g.proxy_port = "8080x"; // saved as typed: the readers deal with it
    g.recursive = true;
    ASSERT_TRUE(settings::save_general_settings(g, ini).ok());
    EXPECT_EQ(read_file(ini), "[general]\nStartupFolder=/roms/\nProxyServer=\nProxyPort=8080x\n"
                              "ROMListFolder=/roms/\nConvertSpacesToUnderscores=0\n"
                              "RenameWithRecursion=1\nRenameROMsInZip=0\nCheckForNews=1\n");
}

TEST_F(SettingsModelTest, PortTabsAndTheDatabaseText) {
    EXPECT_EQ(settings::port_after_edit(""), "80");
    EXPECT_EQ(settings::port_after_edit(" "), " ");
    EXPECT_EQ(settings::first_system_tab(1), 1);
    EXPECT_EQ(settings::first_system_tab(0), 0);
    EXPECT_EQ(settings::first_system_tab(2), 0);
    EXPECT_EQ(settings::first_general_tab(3), 2);
    EXPECT_EQ(settings::first_general_tab(0), 0);
    EXPECT_EQ(settings::first_general_tab(4), 0);

    const auto first = settings::write_more_info("Line 1\r\nLine 2", dir.path());
    const auto second = settings::write_more_info("", dir.path());
    ASSERT_TRUE(first.ok() && second.ok());
    EXPECT_NE(*first, *second);
    EXPECT_EQ(read_file(*first), "Line 1\r\nLine 2\n");
    EXPECT_FALSE(settings::write_more_info("x", dir.path() / "missing").ok());
}

} // namespace
