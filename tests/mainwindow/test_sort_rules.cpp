#include "sort_rules.h"

#include <gtest/gtest.h>

#include "temp_dir.h"

using sorting::read_sort_rules;
using sorting::SortRule;
using Rules = std::vector<SortRule>;

namespace {

std::string target_of(std::string_view subfolder) {
    auto folder = sorting::rule_target_folder("/roms/", {"(U)", std::string(subfolder)});
    return folder ? *folder : "refused: " + folder.error().message;
}

std::string outside(std::string_view subfolder) {
    return "refused: Rule '(U)' is refused: its folder '" + std::string(subfolder) +
           "' lies outside '/roms/'.";
}

} // namespace

// A later definition of a text takes the folder but keeps the place of the first.
TEST(SortRules, OnlySectionsAllAndTheSystemCount) {
    const std::string text = "// my categories\n(X):Before any section\n[all]\n(U):USA\n"
                             "[SGENESIS]\n(J):Japan\n(U):America\n(u):Lower\n[ALL]\n(E):Europe\n"
                             "[SNES]\n(F):France\n";
    EXPECT_EQ(read_sort_rules(text, "SGENESIS"),
              (Rules{{"(U)", "America"}, {"(J)", "Japan"}, {"(u)", "Lower"}}));
    EXPECT_EQ(read_sort_rules(text, "SNES"), (Rules{{"(U)", "USA"}, {"(F)", "France"}}));
    EXPECT_EQ(read_sort_rules(text, "sgenesis"), (Rules{{"(U)", "USA"}}));
    // Without a system only "all" counts, never the lines before the first section.
    EXPECT_EQ(read_sort_rules(text, ""), (Rules{{"(U)", "USA"}}));
}

TEST(SortRules, LinesAreTrimmedButTheTextsBesideTheColonAreNot) {
    const std::string text = "   [all]  \n  USA : Stuff  \na:b:c\n:Everything\nno colon here\n"
                             "// (C):Comment\n\n";
    EXPECT_EQ(read_sort_rules(text, "S"),
              (Rules{{"USA ", " Stuff"}, {"a", "b:c"}, {"", "Everything"}}));
    // Every line end counts, and other bytes are kept.
    EXPECT_EQ(read_sort_rules("[all]\r\n(U):USA\r(E):Eur\xff\n(J):Japan", "S"),
              (Rules{{"(U)", "USA"}, {"(E)", "Eur\xff"}, {"(J)", "Japan"}}));
}

TEST(SortRules, FirstRuleContainedInTheNameWinsWithoutRegardToCase) {
    const Rules rules{{"(U)", "USA"}, {"(E)", "Europe"}, {"ä", "Umlaut"}};
    EXPECT_EQ(sorting::first_matching_rule(rules, "game (e) (u).bin")->subfolder, "USA");
    EXPECT_EQ(sorting::first_matching_rule(rules, "Game (e).bin")->subfolder, "Europe");
    EXPECT_EQ(sorting::first_matching_rule(rules, "SPIEL Ä.bin")->subfolder, "Umlaut");
    EXPECT_EQ(sorting::first_matching_rule(rules, "Game (J).bin"), nullptr);
    EXPECT_EQ(sorting::first_matching_rule({{"", "All"}}, "anything.bin")->subfolder, "All");
}

TEST(SortRules, TargetFolderTakesEitherSeparatorAndStaysInside) {
    EXPECT_EQ(target_of("USA"), "/roms/USA/");
    EXPECT_EQ(target_of("Europe\\Sports"), "/roms/Europe/Sports/");
    EXPECT_EQ(target_of("Europe/Sports/"), "/roms/Europe/Sports/");
    EXPECT_EQ(target_of("./a//b\\\\c"), "/roms/a/b/c/");
    EXPECT_EQ(target_of(" Stuff"), "/roms/ Stuff/");
    EXPECT_EQ(target_of("..x"), "/roms/..x/");
    EXPECT_EQ(target_of(""), "/roms/");
    for (const char* sub : {"../x", "USA\\..\\..\\etc", "/etc", "\\etc", "..\\x"})
        EXPECT_EQ(target_of(sub), outside(sub));
    // A NUL would cut the path short where the system reads it: "..\0x" would become "..".
    EXPECT_EQ(target_of(std::string("..\0x", 4)),
              "refused: Rule '(U)' is refused: its folder name holds a NUL character.");
}

// A file that is read is what the sort engine's tests load.
TEST(SortRules, LoadingNamesTheFileThatCannotBeRead) {
    testsupport::TempDir dir;
    auto missing = sorting::load_sort_rules(dir.path() / "none.ini", "S");
    ASSERT_FALSE(missing.ok());
    EXPECT_NE(missing.error().message.find("'" + (dir.path() / "none.ini").string() + "'"),
              std::string::npos);
    auto folder = sorting::load_sort_rules(dir.path(), "S");
    ASSERT_FALSE(folder.ok());
    EXPECT_EQ(folder.error().message, "cannot read '" + dir.path().string() + "': Is a directory");
}
