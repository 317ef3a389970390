#include <gtest/gtest.h>

#include "filters.h"
#include "temp_dir.h"

using lists::Filter;
using lists::hidden_by_filters;
using lists::parse_filters;

namespace {

std::vector<Filter> unshown(std::string_view text) {
    auto filters = parse_filters(text);
    for (auto& f : filters)
        f.shown = false;
    return filters;
}

} // namespace

TEST(Filters, ReadsAtMostEightAndPassesOverLinesWithoutACaption) {
    std::string text = "no colon here\r\n\r\n";
    for (int i = 1; i <= 10; ++i)
        text += "F" + std::to_string(i) + ":p" + std::to_string(i) + ";\r\n";
    auto filters = parse_filters(text);
    ASSERT_EQ(filters.size(), 8u);
    EXPECT_EQ(filters.front().caption, "F1");
    EXPECT_EQ(filters.back().caption, "F8");
    EXPECT_EQ(filters.front().patterns, std::vector<std::string>{"p1"});
    EXPECT_TRUE(filters.front().shown);

    auto odd = parse_filters("Bad: [b];[o]:x\nlast line without end:(e)");
    ASSERT_EQ(odd.size(), 2u);
    EXPECT_EQ(odd[0].caption, "Bad");
    EXPECT_EQ(odd[0].patterns, (std::vector<std::string>{" [b]", "[o]:x"}));
    EXPECT_EQ(odd[1].patterns, std::vector<std::string>{"(e)"});
}

// Only unchecked filters hide; bringing every entry back is tested with the tree marks.
TEST(Filters, UncheckedFiltersHideByLowerCasedTextWithPatternsAsWritten) {
    auto filters = parse_filters("Europe:(e)\nJapan:(j)\n");
    EXPECT_FALSE(hidden_by_filters("Game (E)", filters));
    filters[0].shown = false;
    EXPECT_TRUE(hidden_by_filters("Game (E)", filters));
    EXPECT_FALSE(hidden_by_filters("Game (J)", filters));
    EXPECT_FALSE(hidden_by_filters("Game (E)", unshown("Europe:(E)\n")))
        << "a pattern with capitals never matches the lower-cased text";
    auto bad = unshown("Bad:[b];[o]\n");
    EXPECT_TRUE(hidden_by_filters("Game [b]", bad));
    EXPECT_TRUE(hidden_by_filters("Game (U) [o]", bad));
    EXPECT_FALSE(hidden_by_filters("Game [b1] [!]", bad)) << "plain substrings, no wildcards";
    EXPECT_TRUE(hidden_by_filters("Anything", unshown("All:\n")))
        << "an empty pattern occurs in every text";
}

TEST(Filters, AMissingFileHasNoFiltersAnUnreadableOneSaysSoAMarkedOneReads) {
    testsupport::TempDir dir;
    auto none = lists::load_filter(dir.path() / "filter.ini");
    ASSERT_TRUE(none);
    EXPECT_TRUE(none->empty());
    std::filesystem::create_directory(dir.path() / "folder.ini");
    auto folder = lists::load_filter(dir.path() / "folder.ini");
    ASSERT_FALSE(folder);
    EXPECT_NE(folder.error().message.find("folder.ini"), std::string::npos);

    // Saved by an editor on another desktop: the mark is no part of the first caption.
    auto marked = lists::load_filter(dir.write("marked.ini", "\xEF\xBB\xBFUSA:(u)\r\n"));
    EXPECT_EQ(marked->at(0).caption, "USA");
}
