#include "open_save_filter.h"

#include <gtest/gtest.h>

using namespace std::string_literals;

TEST(OpenSaveFilter, StoredFormEndsWithTwoNulsAndReadsBack) {
    EXPECT_EQ(ui::filter_to_stored("Text|*.txt"), "Text\0*.txt\0\0"s);
    EXPECT_EQ(ui::filter_from_stored("Text\0*.txt\0\0"s), "Text|*.txt");
    // At most two trailing separators are taken off.
    EXPECT_EQ(ui::filter_from_stored("a\0\0\0"s), "a|");
    EXPECT_EQ(ui::filter_from_stored(""), "");
}

TEST(OpenSaveFilter, NameFiltersCarryThePatternsOnce) {
    using List = std::vector<std::string>;
    const std::pair<const char*, List> cases[] = {
        {"", {}},
        {"ROM Collection Lists (*.rcl)|*.rcl|All Files|*.*",
         {"ROM Collection Lists (*.rcl)", "All Files (*)"}},
        // "*.*" would hide names without a dot.
        {"All Files (*.*)|*.*", {"All Files (*)"}},
        {"Genesis (smd)|*.smd; *.bin", {"Genesis (smd) (*.smd *.bin)"}},
        {"|*.zip", {"*.zip"}},
        {"Text (*.txt)", {"Text (*.txt)"}},
        {"Text|*.txt|Other", {"Text (*.txt)", "Other (*)"}},
        // An empty pair ends the list, as two NULs do in the stored form.
        {"A|*.a|||B|*.b|", {"A (*.a)"}},
    };
    for (const auto& [filter, expected] : cases)
        EXPECT_EQ(ui::filter_to_name_filters(filter), expected) << filter;
}
