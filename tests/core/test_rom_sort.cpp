#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "text.h"
#include "zdb.h"

using core::CrcText;
using core::RomEntry;
using core::RomTable;

namespace {

RomEntry entry(std::string name, std::string crc = "00000000", std::string crc2 = "XXX     ",
               std::string path = "") {
    return RomEntry{CrcText(crc), CrcText(crc2), std::move(name), std::move(path), 0};
}

std::vector<std::string> names(const RomTable& t) {
    std::vector<std::string> out;
    for (const auto& e : t)
        out.push_back(e.name);
    return out;
}

} // namespace

TEST(RomSort, EmptyAndSingleTablesStayAsTheyAre) {
    RomTable empty;
    core::sort_roms_by_name(empty);
    EXPECT_TRUE(empty.empty());
    RomTable one{entry("Only", "deadbeef")};
    core::sort_roms_by_field(one, core::kFieldCrc);
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].name, "Only");
    EXPECT_EQ(one[0].crc, "deadbeef");
}

TEST(RomSort, NamesSortWithoutRegardToCase) {
    RomTable t{entry("banana"),
               entry("Apple"),
               entry("cherry"),
               entry("apricot"),
               entry("\xC3\x89"
                     "clair"),
               entry("zebra"),
               entry("Banana 2")};
    core::sort_roms_by_name(t);
    // É lower-cases to é, which comes after every ASCII letter.
    EXPECT_EQ(names(t),
              (std::vector<std::string>{"Apple", "apricot", "banana", "Banana 2", "cherry", "zebra",
                                        "\xC3\x89"
                                        "clair"}));
}

TEST(RomSort, EqualKeysKeepTheirOrder) {
    RomTable t{entry("b1", "0000000b"), entry("a1", "0000000A"), entry("b2", "0000000B"),
               entry("a2", "0000000a"), entry("c", "00000001"),  entry("a3", "0000000a")};
    core::sort_roms_by_field(t, core::kFieldCrc);
    EXPECT_EQ(names(t), (std::vector<std::string>{"c", "a1", "a2", "a3", "b1", "b2"}));

    RomTable same{entry("Game"), entry("GAME"), entry("game")};
    core::sort_roms_by_name(same);
    EXPECT_EQ(names(same), (std::vector<std::string>{"Game", "GAME", "game"}));
}

TEST(RomSort, SortsBySecondCrcAndPath) {
    // A missing second CRC ("XXX     ", lower-cased "xxx     ") sorts after every digit text.
    RomTable t{entry("none1"), entry("f", "0", "ffffffff"), entry("none2"),
               entry("a", "0", "0000abcd")};
    core::sort_roms_by_field(t, core::kFieldCrc2);
    EXPECT_EQ(names(t), (std::vector<std::string>{"a", "f", "none1", "none2"}));

    RomTable p{entry("2", "0", "0", "/roms/B.bin"), entry("1", "0", "0", "/roms/a.bin"),
               entry("3", "0", "0", "/roms/c.bin")};
    core::sort_roms_by_field(p, core::kFieldPath);
    EXPECT_EQ(names(p), (std::vector<std::string>{"1", "2", "3"}));
}

TEST(RomSort, UnknownFieldIsAProgrammingError) {
    RomTable t{entry("a"), entry("b")};
    EXPECT_THROW(core::sort_roms_by_field(t, 4), std::invalid_argument);
    EXPECT_THROW(core::sort_roms_by_field(t, -1), std::invalid_argument);
}

// Far past the old 32,767-entry limit, with many equal keys.
TEST(RomSort, LargeTableIsOrderedAndStable) {
    std::mt19937 rng(42);
    RomTable t;
    const std::size_t count = 100000;
    for (std::size_t i = 0; i < count; ++i) {
        auto crc = static_cast<std::uint32_t>(rng() % 5000);
        t.push_back(entry("n", CrcText::from_value(crc).str(), "XXX     ", std::to_string(i)));
    }
    core::sort_roms_by_field(t, core::kFieldCrc);
    ASSERT_EQ(t.size(), count);
    for (std::size_t i = 1; i < t.size(); ++i) {
        int c = core::compare_lower(t[i - 1].crc.view(), t[i].crc.view());
        ASSERT_LE(c, 0) << i;
        if (c == 0) {
            ASSERT_LT(std::stoul(t[i - 1].path), std::stoul(t[i].path)) << i;
        }
    }
}
