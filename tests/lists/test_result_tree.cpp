#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "filters.h"
#include "result_tree.h"
#include "tree_marks.h"

using lists::Image;
using lists::ResultTree;

namespace {

TEST(RootText, CountsWithSeparatorsAndThePluralRule) {
    EXPECT_EQ(lists::root_text("Matched", 1234), "Matched: 1,234 ROMs");
    EXPECT_EQ(lists::root_text("Unrecognized", 1), "Unrecognized: 1 ROM");
    EXPECT_EQ(lists::with_thousands(999), "999");
    EXPECT_EQ(lists::with_thousands(123456789), "123,456,789");
}

TEST(ResultTree, KeysAreUniqueAndEntriesShowSortedOnceAsked) {
    ResultTree tree;
    EXPECT_TRUE(tree.add(ResultTree::kUnrecognized, "/r/b.bin", "/r/b.bin"));
    EXPECT_FALSE(tree.add(ResultTree::kUnrecognized, "/r/b.bin", "/r/b.bin"));
    EXPECT_FALSE(tree.add(ResultTree::kMatched, "KEY_MATCH", "root keys are taken"));
    EXPECT_EQ(tree.add_unique(ResultTree::kMatched, "id_Zeta1", "zeta"), "id_Zeta1");
    EXPECT_EQ(tree.add_unique(ResultTree::kMatched, "id_Zeta1", "Zeta"), "id_Zeta1 #2");
    tree.add(ResultTree::kMatched, "id_Alpha2", "Alpha");

    auto texts = [&](const std::vector<std::size_t>& order) {
        std::vector<std::string> out;
        for (auto i : order)
            out.push_back(tree.node(i).text);
        return out;
    };
    using Texts = std::vector<std::string>;
    EXPECT_EQ(texts(tree.shown_children(ResultTree::kMatched)), (Texts{"zeta", "Zeta", "Alpha"}));
    tree.keep_sorted();
    EXPECT_EQ(texts(tree.shown_children(ResultTree::kMatched)), (Texts{"Alpha", "zeta", "Zeta"}));
    EXPECT_EQ(texts(tree.children(ResultTree::kMatched)), (Texts{"zeta", "Zeta", "Alpha"}));
    EXPECT_EQ(tree.find("id_Zeta1 #2"), std::optional<std::size_t>(5));
    EXPECT_EQ(tree.node(5).parent, ResultTree::kMatched);
    EXPECT_EQ(tree.node(5).image, Image::Green);
}

TEST(TreeMarks, UncheckedFiltersMarkEntriesAndShowAllClearsThem) {
    ResultTree tree;
    tree.add(ResultTree::kMatched, "a", "Sonic (E)");
    tree.add(ResultTree::kMissing, "b", "Sonic (U) [b1]");
    tree.add(ResultTree::kUnrecognized, "/r/x (E).bin", "/r/x (E).bin");
    // Which texts a filter hides is tested with the filters; here what marks them.
    auto filters = lists::parse_filters("Europe:(e)\nAll:\n");
    auto images = [&] {
        std::vector<Image> out;
        for (std::size_t i = 0; i < tree.size(); ++i)
            out.push_back(tree.node(i).image);
        return out;
    };
    using enum Image;
    filters[0].shown = false; // unrecognized entries are hidden too
    lists::mark_tree(tree, filters);
    EXPECT_EQ(images(), (std::vector<Image>{Green, Red, Yellow, None, Red, None}));
    filters[0].shown = true;
    filters[1].shown = false; // an empty pattern hides every entry, never a root
    lists::mark_tree(tree, filters);
    EXPECT_EQ(images(), (std::vector<Image>{Green, Red, Yellow, None, None, None}));
    lists::show_all_entries(tree, filters);
    EXPECT_EQ(images(), (std::vector<Image>{Green, Red, Yellow, Green, Red, Yellow}));
    for (const auto& f : filters)
        EXPECT_TRUE(f.shown);
}

} // namespace
