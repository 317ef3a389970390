#include <gtest/gtest.h>

#include <string>

#include "placement.h"
#include "temp_dir.h"

using core::Placement;
using testsupport::TempDir;

namespace {

class PlacementTest : public ::testing::Test {
protected:
    TempDir dir;
    std::string root = dir.path().string() + "/";
    Placement placement;

    std::string file(const std::string& relative) { return dir.write(relative, "x").string(); }
    /// queue_move with a copy of the target; returns what the target became.
    std::string plan(const std::string& source, const std::string& target,
                     std::string dupe_folder = "") {
        std::string t = target;
        placement.queue_move(source, t, dupe_folder);
        return t;
    }
    core::Batch moves() { return placement.take_moves(core::BatchOp::Move); }
};

TEST_F(PlacementTest, LetterCaseOnlyCountsAsAlreadyNamed) {
    auto source = file("sonic the hedgehog.BIN");
    plan(source, root + "Sonic the Hedgehog.bin");
    EXPECT_EQ(placement.already_named_count(), 1u);
    EXPECT_FALSE(placement.has_moves());
}

TEST_F(PlacementTest, AnyFileOfTheSameStemMakesADuplicate) {
    // The folder is read once per run, so the fixture is complete before the first plan.
    // "Sonic.*" also finds a file with more dots in its name, and one without extension.
    for (auto name : {"Sonic.zip", "s1.bin", "Tails.v2.bin", "Knuckles", "t.bin", "k.bin", "a.bin"})
        file(name);
    plan(root + "s1.bin", root + "Sonic.bin");
    EXPECT_EQ(placement.dupe_count(), 1u);
    EXPECT_FALSE(placement.has_moves()); // no dupe folder: it stays
    plan(root + "t.bin", root + "Tails.bin");
    plan(root + "k.bin", root + "Knuckles.bin");
    plan(root + "a.bin", root + "Amy.bin");
    EXPECT_EQ(placement.dupe_count(), 3u);
    EXPECT_EQ(moves().to, (std::vector<std::string>{root + "Amy.bin"}));
}

TEST_F(PlacementTest, SecondFileForTheSameTargetIsADuplicate) {
    std::string dupes = root + "dupes/";
    std::filesystem::create_directory(dupes);
    auto first = plan(file("a.bin"), root + "Game.bin", dupes);
    auto second = plan(file("b.bin"), root + "Game.bin", dupes);
    auto third = plan(file("c.bin"), root + "Game.bin", dupes);
    EXPECT_EQ(first, root + "Game.bin");
    EXPECT_EQ(second, dupes + "Game {D01}.bin");
    EXPECT_EQ(third, dupes + "Game {D02}.bin"); // D01 is queued already
    EXPECT_EQ(placement.dupe_count(), 2u);
    auto batch = moves();
    EXPECT_EQ(batch.from,
              (std::vector<std::string>{root + "a.bin", root + "b.bin", root + "c.bin"}));
}

TEST_F(PlacementTest, NumberingSkipsWhatTheDupeFolderHolds) {
    std::string dupes = root + "dupes/";
    for (auto name : {"Game.bin", "dupes/game {d01}.BIN", "Tails.bin", "x.bin", "y.bin"})
        file(name);
    for (int n = 1; n <= 99; ++n)
        file("dupes/Tails {D" + std::string(n < 10 ? "0" : "") + std::to_string(n) + "}.bin");
    EXPECT_EQ(plan(root + "x.bin", root + "Game.bin", dupes), dupes + "Game {D02}.bin");
    // Beyond 99 the number simply grows.
    EXPECT_EQ(plan(root + "y.bin", root + "Tails.bin", dupes), dupes + "Tails {D100}.bin");
}

TEST_F(PlacementTest, DuplicateAlreadyInTheDupeFolderStays) {
    file("Game.bin");
    auto source = file("Dupes/x.bin");
    auto target = plan(source, root + "Game.bin", root + "dupes/"); // other letter case
    EXPECT_EQ(placement.dupe_count(), 1u);
    EXPECT_FALSE(placement.has_moves());
    EXPECT_EQ(target, root + "Game.bin");
}

TEST_F(PlacementTest, DeleteAndIgnoreDuplicates) {
    file("Game.bin");
    plan(file("x.bin"), root + "Game.bin", std::string(core::kDeleteDupes));
    std::string slash = "/";
    std::string target = root + "Game.bin";
    placement.queue_move(file("y.bin"), target, slash);
    EXPECT_EQ(slash, ""); // the bare separator means no dupe folder, never the root
    EXPECT_EQ(placement.dupe_count(), 2u);
    EXPECT_FALSE(placement.has_moves());
    EXPECT_EQ(placement.take_deletes().from, (std::vector<std::string>{root + "x.bin"}));
}

TEST_F(PlacementTest, ArchiveMovesWholeAndKeepsItsExtension) {
    auto zip = file("roms/Old.ZIP");
    auto named = file("Tails.zip");
    auto other = file("t2.zip");
    std::filesystem::create_directory(root + "d");
    auto target = plan(zip + "/member.bin", root + "Sonic.bin");
    EXPECT_EQ(target, root + "Sonic.ZIP");
    auto batch = moves();
    EXPECT_EQ(batch.from, (std::vector<std::string>{zip}));
    EXPECT_EQ(batch.to, (std::vector<std::string>{root + "Sonic.ZIP"}));

    plan(named + "/x.bin", root + "Tails.bin");
    EXPECT_EQ(placement.already_named_count(), 1u);

    // A duplicate archive is numbered with the archive's extension.
    EXPECT_EQ(plan(other + "/y.bin", root + "Tails.bin", root + "d/"), root + "d/Tails {D01}.zip");
}

// A taken batch counts as carried out: its targets hold their names, its sources are free.
TEST_F(PlacementTest, TakenBatchesTeachTheIndex) {
    auto a = file("a.bin");
    plan(a, root + "Game.zip");
    moves();
    plan(file("b.bin"), root + "Game.bin");
    EXPECT_EQ(placement.dupe_count(), 1u);
    plan(file("c.bin"), root + "a.bin");
    EXPECT_EQ(moves().to, (std::vector<std::string>{root + "a.bin"}));
}

// Only the same ROM makes a duplicate; a different file holding the very name keeps the
// item where it is, and the item never holds its own target's name.
TEST_F(PlacementTest, OnlyTheSameRomMakesADuplicate) {
    for (auto name : {"Game.bin", "Save.srm", "x.bin", "y.bin", "z.bin", "Sonic 3.5.bin"})
        file(name);
    std::vector<std::string> asked;
    core::SameRom different = [&](const std::string& holder) {
        asked.push_back(holder);
        return false;
    };
    auto place = [&](const std::string& source, const std::string& target) {
        std::string t = root + target, dupes(core::kDeleteDupes);
        return placement.queue_move(root + source, t, dupes, different);
    };
    EXPECT_EQ(place("x.bin", "Game.bin"), core::Placed::NameTaken);
    EXPECT_EQ(place("y.bin", "Save.bin"), core::Placed::Queued);
    EXPECT_EQ(asked, (std::vector<std::string>{root + "Game.bin", root + "Save.srm"}));
    EXPECT_EQ(place("Sonic 3.5.bin", "Sonic 3.bin"), core::Placed::Queued);
    moves();
    EXPECT_EQ(place("z.bin", "Save.bin"), core::Placed::Deleted); // the plan put it there
    EXPECT_EQ(asked.size(), 2u);
    EXPECT_EQ(placement.dupe_count(), 1u);
}

TEST_F(PlacementTest, ListsReportWhenTheyOutgrowABatch) {
    std::string long_name(200, 'n');
    for (int i = 0; !placement.moves_over_limit(); ++i) {
        ASSERT_LT(i, 1000);
        plan(root + "src" + std::to_string(i) + ".bin",
             root + long_name + std::to_string(i) + ".bin");
    }
    EXPECT_GT(moves().from.size(), 300u);
    EXPECT_FALSE(placement.moves_over_limit());
}

TEST(PathParts, Split) {
    EXPECT_EQ(core::parent_folder("/a/b.c/d.bin"), "/a/b.c/");
    EXPECT_EQ(core::file_name("/a/b.c/d.bin"), "d.bin");
    EXPECT_EQ(core::stem("/a/Game (U).v1.bin"), "Game (U).v1");
    EXPECT_EQ(core::extension("/a/b.c/NoExt"), "");
    EXPECT_EQ(core::extension("/a/x.BIN"), "BIN");
}

} // namespace
