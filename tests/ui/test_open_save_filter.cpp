#include "open_save_filter.h"

#include <gtest/gtest.h>

using namespace std::string_literals;

TEST(OpenSaveFilter, StoredFormEndsWithTwoNulsAndReadsBack) {
    EXPECT_EQ(ui::filter_to_stored("Text|*.txt"), "Text\0*.txt\0\0"s);
    EXPECT_EQ(ui::filter_from_stored("Text\0*.txt\0\0"s), "Text|*.txt");
    const auto all = "All Files (*.*)|*.*"s;
    EXPECT_EQ(ui::filter_from_stored(ui::filter_to_stored(all)), all);
    // At most two trailing separators are taken off.
    EXPECT_EQ(ui::filter_from_stored("a\0\0\0"s), "a|");
    EXPECT_EQ(ui::filter_from_stored(""), "");
}

TEST(OpenSaveFilter, NameFiltersCarryThePatternsOnce) {
    using List = std::vector<std::string>;
    EXPECT_EQ(ui::filter_to_name_filters("Text|*.txt"), List{"Text (*.txt)"});
    EXPECT_EQ(ui::filter_to_name_filters("ROM Collection Lists (*.rcl)|*.rcl|All Files|*.*"),
              (List{"ROM Collection Lists (*.rcl)", "All Files (*)"}));
    // "*.*" would hide names without a dot.
    EXPECT_EQ(ui::filter_to_name_filters("All Files (*.*)|*.*"), List{"All Files (*)"});
    EXPECT_EQ(ui::filter_to_name_filters("Genesis (smd)|*.smd; *.bin"),
              List{"Genesis (smd) (*.smd *.bin)"});
    EXPECT_EQ(ui::filter_to_name_filters("|*.zip"), List{"*.zip"});
}

TEST(OpenSaveFilter, UnpairedAndEmptyEntries) {
    using List = std::vector<std::string>;
    EXPECT_EQ(ui::filter_to_name_filters(""), List{});
    EXPECT_EQ(ui::filter_to_name_filters("Text (*.txt)"), List{"Text (*.txt)"});
    EXPECT_EQ(ui::filter_to_name_filters("Text|*.txt|Other"), (List{"Text (*.txt)", "Other (*)"}));
    // An empty pair ends the list, as two NULs do in the stored form.
    EXPECT_EQ(ui::filter_to_name_filters("A|*.a|||B|*.b|"), List{"A (*.a)"});
}
