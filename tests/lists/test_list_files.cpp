#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "list_files.h"
#include "temp_dir.h"
#include "tree_marks.h"

using lists::Filter;
using lists::ListSource;
using lists::ResultTree;
using testsupport::read_file;
using testsupport::TempDir;
namespace fs = std::filesystem;

namespace {

void add_entries(ResultTree& tree, ResultTree::Root root, const std::string& prefix, int count) {
    for (int i = 0; i < count; ++i) {
        const std::string text = prefix + " " + std::to_string(i);
        tree.add(root, "KEY " + text, text);
    }
}

std::string first_line(const std::string& text) {
    return text.substr(0, text.find("\r\n"));
}

struct SmallScan {
    ResultTree tree;
    std::vector<Filter> filters;
    SmallScan() {
        tree.add(ResultTree::kMatched, "k3", "Zany Golf (U)");
        tree.add(ResultTree::kMatched, "k1", "Arrow Flash (E)");
        tree.add(ResultTree::kMissing, "k2", "Columns (J)");
        tree.add(ResultTree::kMissing, "k4", "Batman (U)");
        tree.add(ResultTree::kUnrecognized, "/roms/stray.bin", "/roms/stray.bin");
    }
    ListSource source() const { return {tree, 4, "Sega Genesis", filters}; }
};

} // namespace

TEST(MakeLists, HeadersCountWhatIsListedAndNameTheFiltersThatHideEntries) {
    ResultTree tree;
    add_entries(tree, ResultTree::kMatched, "Game (e)", 30);
    add_entries(tree, ResultTree::kMatched, "Game (u)", 90);
    add_entries(tree, ResultTree::kMissing, "Game [b]", 20);
    add_entries(tree, ResultTree::kMissing, "Game (j)", 660);
    std::vector<Filter> filters = {
        {"Europe", {"(e)"}, true}, {"Japan", {"(j)"}, true}, {"Beta", {"(beta)"}, false}};
    auto all = lists::make_lists({tree, 800, "Sega Genesis", filters});
    EXPECT_EQ(first_line(all.have), " You have 120 of 800 known Sega Genesis ROMs")
        << "an unchecked filter that hides nothing gives no note";
    EXPECT_EQ(first_line(all.missing), " You are missing 680 of 800 known Sega Genesis ROMs");

    filters = {{"Europe", {"(e)"}, false}, {"Japan", {"(j)"}, true}, {"Bad Dumps", {"[b]"}, false}};
    lists::mark_tree(tree, filters);
    auto some = lists::make_lists({tree, 800, "Sega Genesis", filters});
    EXPECT_EQ(first_line(some.have),
              " You have 90 of 750 known Sega Genesis ROMs (Excluding: Europe, Bad Dumps)");
    EXPECT_EQ(first_line(some.missing),
              " You are missing 660 of 750 known Sega Genesis ROMs (Excluding: Europe, Bad Dumps)");
    EXPECT_EQ(some.have.find("(e)"), std::string::npos);
    EXPECT_EQ(some.missing.find("[b]"), std::string::npos);
    filters[0].shown = true;
    EXPECT_EQ(lists::exclusion_note(filters), " (Excluding: Bad Dumps)");

    // Entries come in the order added, and the unrecognized never.
    SmallScan scan;
    scan.tree.keep_sorted();
    auto made = lists::make_lists(scan.source());
    EXPECT_EQ(made.have, " You have 2 of 4 known Sega Genesis ROMs\r\n\r\n"
                         "Zany Golf (U)\r\nArrow Flash (E)\r\n");
    EXPECT_EQ(made.missing, " You are missing 2 of 4 known Sega Genesis ROMs\r\n\r\n"
                            "Columns (J)\r\nBatman (U)\r\n");
}

TEST(SaveLists, WritesBothFilesByLowerCasedIdAndOverwritesThem) {
    TempDir dir;
    // What the lists hold is made as above; the hidden entries are left out of the files too.
    SmallScan scan;
    scan.filters = {{"USA", {"(u)"}, false}};
    lists::mark_tree(scan.tree, scan.filters);
    dir.write("gen_have.txt", std::string(10000, 'o'));
    ASSERT_TRUE(lists::save_lists(dir.path(), "Gen", scan.source()).ok());
    const auto made = lists::make_lists(scan.source());
    EXPECT_EQ(read_file(dir.path() / "gen_have.txt"), made.have);
    EXPECT_EQ(read_file(dir.path() / "gen_miss.txt"), made.missing);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2);
}

TEST(SaveLists, RefusesBadPlacesAndWritesNothing) {
    TempDir dir;
    SmallScan scan;

    const auto inside = dir.path() / "inside";
    fs::create_directories(inside);
    for (const char* id : {"../gen", "a/b", "..\\gen"}) {
        auto hostile = lists::save_lists(inside, id, scan.source());
        ASSERT_FALSE(hostile.ok()) << id;
        EXPECT_EQ(hostile.error().message,
                  "the system id '" + std::string(id) + "' cannot name a list file");
    }
    EXPECT_TRUE(fs::is_empty(inside));
    EXPECT_FALSE(fs::exists(dir.path() / "gen_have.txt"));

    auto nowhere = lists::save_lists("", "gen", scan.source());
    ASSERT_FALSE(nowhere.ok());
    EXPECT_EQ(nowhere.error().message, "no folder was chosen for the lists");

    // Folders in the place of both files make both writes fail, whoever runs the test.
    const auto blocked = dir.path() / "blocked";
    fs::create_directories(blocked / "gen_have.txt");
    fs::create_directories(blocked / "gen_miss.txt");
    auto refused = lists::save_lists(blocked, "gen", scan.source());
    ASSERT_FALSE(refused.ok());
    EXPECT_NE(refused.error().message.find("gen_have.txt'"), std::string::npos)
        << "the first failure is reported";
    EXPECT_EQ(std::distance(fs::directory_iterator(blocked), fs::directory_iterator()), 2);
}
