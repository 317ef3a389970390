#include "ini_file.h"

#include <gtest/gtest.h>

using core::IniFile;

namespace {

TEST(IniFile, ReadsWhatWindowsProfileFilesHold) {
    auto ini = IniFile::parse("top=ignored\n"
                              "[ Sort ]\n"
                              "  Key One = spaced value  \n"
                              "quoted=\"  kept  \"\n"
                              "single='x'\n"
                              "; Commented=1\n"
                              "garbage line without equals\n"
                              "dup=first\n"
                              "dup=second\n"
                              "[Sort]\n"
                              "later=not seen\n");
    EXPECT_EQ(ini.get("sort", "key one"), "spaced value");
    EXPECT_EQ(ini.get("sort", "quoted"), "  kept  ");
    EXPECT_EQ(ini.get("sort", "single"), "x");
    EXPECT_EQ(ini.get("sort", "Commented"), std::nullopt);
    EXPECT_EQ(ini.get("sort", "dup"), "first");
    EXPECT_EQ(ini.get("sort", "later"), std::nullopt);
    EXPECT_EQ(ini.get("", "top"), std::nullopt);
    EXPECT_EQ(ini.sections(), (std::vector<std::string>{"Sort", "Sort"}));
    EXPECT_EQ(ini.keys("sort"),
              (std::vector<std::string>{"Key One", "quoted", "single", "dup", "dup", "later"}));
}

TEST(IniFile, SerializeGivesBackTheSameBytes) {
    for (std::string text : {"", "[a]\r\nb=c\r\n", "[a]\nb=c", "; only a comment\n\n\n",
                             "[x]\nnot=changed\n  odd line \n"}) {
        EXPECT_EQ(IniFile::parse(text).serialize(), text);
    }
}

TEST(IniFile, SetAddsAfterTheLastEntryOfItsSection) {
    auto ini = IniFile::parse("[a]\nx=1\n\n; about b\n[b]\ny=2\n");
    ini.set("a", "z", "3");
    ini.set("b", "Y", "4");
    EXPECT_EQ(ini.serialize(), "[a]\nx=1\nz=3\n\n; about b\n[b]\ny=4\n");
}

TEST(IniFile, SetValueReadsBackAsSetBlanksAndQuotesIncluded) {
    auto ini = IniFile::parse("[a]\n");
    for (std::string value : {" lead", "trail\t", "\"quoted\"", "'single'", "\"", "a \"b\" c"}) {
        ini.set("a", "k", value);
        EXPECT_EQ(IniFile::parse(ini.serialize()).get("a", "k"), value);
    }
    EXPECT_EQ(ini.serialize(), "[a]\nk=a \"b\" c\n") << "a plain value is written as it is";
}

} // namespace
