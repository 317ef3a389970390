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

TEST_F(PlacementTest, AnyFileOfTheSameStemMakesADuplicate) {
    // The folder is read once per run, so the fixture is complete before the first plan.
    // "Sonic.*" also finds a file with more dots in its name, and one without extension.
    for (auto name :
         {"Sonic.zip", "s1.bin", "Tails.v2.bin", "Knuckles", "t.bin", "k.bin", "a.bin", "e.bin"})
        file(name);
    plan(root + "s1.bin", root + "Sonic.bin");
    EXPECT_EQ(placement.dupe_count(), 1u);
    EXPECT_FALSE(placement.has_moves()); // no dupe folder: it stays
    plan(root + "t.bin", root + "Tails.bin");
    plan(root + "k.bin", root + "Knuckles.bin");
    plan(root + "a.bin", root + "Amy.bin");
    EXPECT_EQ(placement.dupe_count(), 3u);
    // A target queued by this plan holds its base name too, in any letter case.
    plan(root + "e.bin", root + "Eggman.bin");
    plan(root + "e.zip/e.bin", root + "EGGMAN.bin");
    EXPECT_EQ(placement.dupe_count(), 4u);
    EXPECT_EQ(moves().to, (std::vector<std::string>{root + "Amy.bin", root + "Eggman.bin"}));
}

// Numbers skip what the dupe folder holds and what the plan queued there, and grow past 99;
// a duplicate already in the dupe folder (named in another letter case) stays.
TEST_F(PlacementTest, DuplicatesAreNumberedIntoTheDupeFolder) {
    std::string dupes = root + "dupes/";
    for (auto name : {"Tails.bin", "dupes/game {d01}.BIN", "dupes/x.bin"})
        file(name);
    for (int n = 1; n <= 99; ++n)
        file("dupes/Tails {D" + std::string(n < 10 ? "0" : "") + std::to_string(n) + "}.bin");
    EXPECT_EQ(plan(file("a.bin"), root + "Game.bin", dupes), root + "Game.bin");
    EXPECT_EQ(plan(file("b.bin"), root + "Game.bin", dupes), dupes + "Game {D02}.bin");
    EXPECT_EQ(plan(file("c.bin"), root + "Game.bin", dupes), dupes + "Game {D03}.bin");
    EXPECT_EQ(plan(file("y.bin"), root + "Tails.bin", dupes), dupes + "Tails {D100}.bin");
    EXPECT_EQ(plan(dupes + "x.bin", root + "Tails.bin", root + "Dupes/"), root + "Tails.bin");
    EXPECT_EQ(placement.dupe_count(), 4u);
    EXPECT_EQ(moves().from, (std::vector<std::string>{root + "a.bin", root + "b.bin",
                                                      root + "c.bin", root + "y.bin"}));
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
    plan(file("sonic the hedgehog.BIN"), root + "Sonic the Hedgehog.bin"); // letter case only
    EXPECT_EQ(placement.already_named_count(), 2u);

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

} // namespace
