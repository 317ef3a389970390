#include "settings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "app_home.h"
#include "temp_dir.h"

using core::read_setting;
using core::write_setting;
using testsupport::read_file;
using testsupport::TempDir;

namespace {

class SettingsTest : public ::testing::Test {
protected:
    TempDir dir;
    std::filesystem::path ini = dir.path() / "zelkon.ini";
};

TEST_F(SettingsTest, ReadsStoredValuesElseTheDefaultAsText) {
    // A missing key gives the default's text: "" for an empty text, a number's digits.
    EXPECT_TRUE(read_setting("general", "Nothing", "", ini).is_empty());
    auto zero = read_setting("general", "Nothing", 0, ini);
    EXPECT_FALSE(zero.is_empty());
    EXPECT_EQ(zero.text(), "0");
    EXPECT_EQ(read_setting("general", "Flag", true, ini).text(), "True");
    EXPECT_EQ(read_setting("general", "Flag", false, ini).text(), "False");
    EXPECT_EQ(read_setting("general", "Left", 7230.0, ini).text(), "7230");
    EXPECT_EQ(read_setting("general", "Left", 1.5, ini).text(), "1.5");

    // A stored empty value wins over the default; sections and keys ignore case. A file
    // saved by an editor on another desktop reads as a plain one and keeps its mark.
    testsupport::write_file(ini, "\xEF\xBB\xBF[General]\r\nStatusBar=0\r\nProxyServer=\r\n");
    EXPECT_TRUE(read_setting("general", "ProxyServer", "proxy.example", ini).is_empty());
    EXPECT_EQ(read_setting("general", "Statusbar", "1", ini).text(), "0");
    ASSERT_TRUE(write_setting("GENERAL", "STATUSBAR", "1", ini));
    EXPECT_EQ(read_file(ini), "\xEF\xBB\xBF[General]\r\nStatusBar=1\r\nProxyServer=\r\n");
}

TEST_F(SettingsTest, LongValuesAreCutTo254Characters) {
    std::string long_value(300, 'x');
    ASSERT_TRUE(write_setting("general", "Long", long_value, ini));
    EXPECT_EQ(read_setting("general", "Long", "", ini).text(), std::string(254, 'x'));
    // A cut never splits a character.
    std::string accents;
    for (int i = 0; i < 300; ++i)
        accents += "\xc3\xa9";
    ASSERT_TRUE(write_setting("general", "Accents", accents, ini));
    EXPECT_EQ(read_setting("general", "Accents", "", ini).text(), accents.substr(0, 2 * 254));
}

// Where a key goes within its section is the ini file's business (test_ini_file.cpp).
TEST_F(SettingsTest, WritingOneKeyKeepsTheRestOfTheFile) {
    const std::string before = "; Zelkon settings\n"
                               "[general]\n"
                               "LastSystem=SGENESIS\n"
                               "\n"
                               "[NES]\n"
                               "; folders\n"
                               "CopyInstead=0\n";
    testsupport::write_file(ini, before);
    ASSERT_TRUE(write_setting("general", "LastSystem", "NES", ini));
    ASSERT_TRUE(write_setting("SNES", "ZDBLoaded", "0", ini));
    EXPECT_EQ(read_file(ini), "; Zelkon settings\n"
                              "[general]\n"
                              "LastSystem=NES\n"
                              "\n"
                              "[NES]\n"
                              "; folders\n"
                              "CopyInstead=0\n"
                              "[SNES]\n"
                              "ZDBLoaded=0\n");
}

// Refused writes leave the file as it was: a value or name that would break the file, one
// bad key among several, a read-only file (for root too).
TEST_F(SettingsTest, RefusedWritesChangeNothing) {
    const std::string before = "[general]\nA=1\n";
    testsupport::write_file(ini, before);
    EXPECT_FALSE(write_setting("general", "A", "1\n[evil]\nB=2", ini));
    EXPECT_FALSE(write_setting("gen]eral", "A", "1", ini));
    EXPECT_FALSE(write_setting("general", "A=B", "1", ini));
    EXPECT_FALSE(write_setting("general", "", "1", ini));
    EXPECT_FALSE(
        core::write_settings({{"NES", "ZDBLoaded", "0"}, {"bad]", "ZDBLoaded", "0"}}, ini));
    EXPECT_EQ(read_file(ini), before);
    ASSERT_TRUE(core::write_settings({{"NES", "ZDBLoaded", "0"}, {"SNES", "ZDBLoaded", "0"}}, ini));
    EXPECT_EQ(read_file(ini), before + "[NES]\nZDBLoaded=0\n[SNES]\nZDBLoaded=0\n");

    ::chmod(ini.c_str(), 0444);
    auto status = write_setting("general", "A", "2", ini);
    ASSERT_FALSE(status);
    EXPECT_NE(status.error().message.find(ini.string()), std::string::npos);
    EXPECT_EQ(read_file(ini), before + "[NES]\nZDBLoaded=0\n[SNES]\nZDBLoaded=0\n");
}

// No temporary file is left beside the target (its mode is the atomic writer's business).
TEST_F(SettingsTest, WriteThroughALinkReplacesItsTarget) {
    auto real = dir.write("real.ini", "[general]\nA=1\n");
    std::filesystem::create_symlink(real, ini);
    ASSERT_TRUE(write_setting("general", "A", "2", ini));
    EXPECT_TRUE(std::filesystem::is_symlink(ini));
    EXPECT_EQ(read_file(real), "[general]\nA=2\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);
}

// A file that cannot be read gives every default, says so once (the caller shows it) and
// is never overwritten; nor is a value written that would make the file unreadable.
TEST_F(SettingsTest, UnreadableFileGivesTheDefaultAndSaysSo) {
    EXPECT_EQ(core::unreadable_settings_notice(ini), std::nullopt) << "no file: no notice";
    const std::string garbage("[general]\nToolbar=0\n\x00\x01\xff\x10", 24);
    testsupport::write_file(ini, garbage);
    EXPECT_EQ(read_setting("general", "Toolbar", "1", ini).text(), "1");
    EXPECT_EQ(core::unreadable_settings_notice(ini),
              "The settings could not be read, so the defaults are used: '" + ini.string() +
                  "' is not a text file: byte 21 is a control character");
    EXPECT_FALSE(write_setting("general", "Toolbar", "0", ini));
    EXPECT_EQ(read_file(ini), garbage);

    std::filesystem::remove(ini);
    std::filesystem::create_directory(ini); // a folder where the file should be
    EXPECT_EQ(read_setting("general", "Toolbar", "1", ini).text(), "1");
    EXPECT_FALSE(write_setting("general", "Toolbar", "0", ini));
    EXPECT_FALSE(core::check_setting("general", "Folder", "/roms/a\x01b"));
}

// The command-line tests show the refusals with their key and section.
TEST(FolderSetting, OnlyAnAbsoluteTextPathIsUsed) {
    for (const char* fine : {"", "/", "/roms/\xc3\xa9t\xc3\xa9 games/"})
        EXPECT_EQ(core::unusable_folder_reason(fine), std::nullopt) << fine;
    EXPECT_EQ(core::unusable_folder_reason("/a\x01"), "'/a\\x01' holds a control character");
    EXPECT_FALSE(core::is_existing_folder(".")) << "never the working folder";
}

// The first write makes the file, and the home folder with it.
TEST_F(SettingsTest, EmptyFileArgumentUsesTheHomeSettingsFile) {
    core::set_app_home(dir.path() / "home");
    ASSERT_TRUE(write_setting("general", "version", "Zelkon 1.30"));
    EXPECT_EQ(read_file(dir.path() / "home" / "zelkon.ini"), "[general]\nversion=Zelkon 1.30\n");
    EXPECT_EQ(read_setting("general", "version", "").text(), "Zelkon 1.30");
}

TEST(AppHome, ExplicitHomeThenEnvironmentThenUserData) {
    TempDir dir;
    EXPECT_EQ(core::resolve_app_home(dir.path()), dir.path());
    // A home given as "dir/." or "dir/sub/.." names the folder itself, as messages show it.
    EXPECT_EQ(core::resolve_app_home(dir.path() / "."), dir.path());
    EXPECT_EQ(core::resolve_app_home(dir.path() / "sub" / ".."), dir.path());
    ::setenv("ZELKON_HOME", dir.path().c_str(), 1);
    EXPECT_EQ(core::resolve_app_home(std::nullopt), dir.path());
    ::unsetenv("ZELKON_HOME");
    ::setenv("XDG_DATA_HOME", (dir.path() / "data").c_str(), 1);
    // The test program's folder holds no zelkon.ini or databases/, so it is not portable.
    EXPECT_EQ(core::resolve_app_home(std::nullopt), dir.path() / "data" / "zelkon");
    ::unsetenv("XDG_DATA_HOME");
}

} // namespace
