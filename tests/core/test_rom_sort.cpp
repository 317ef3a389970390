#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "text.h"
#include "zdb.h"

using core::CrcText;
using core::RomEntry;
using core::RomTable;
using Names = std::vector<std::string>;

namespace {

RomEntry entry(std::string name, std::string crc = "00000000", std::string crc2 = "XXX     ",
               std::string path = "") {
    return RomEntry{CrcText(crc), CrcText(crc2), std::move(name), std::move(path), 0};
}

Names names(const RomTable& t) {
    Names out;
    for (const auto& e : t)
        out.push_back(e.name);
    return out;
}

} // namespace

// Stability and the CRC field are checked on a large table below.
TEST(RomSort, SortsByFieldWithoutRegardToCaseKeepingTheOrderOfEqualKeys) {
    // É lower-cases to é, which comes after every ASCII letter.
    RomTable t{entry("banana"),  entry("\u00C9clair"), entry("Apple"),    entry("cherry"),
               entry("apricot"), entry("zebra"),       entry("Banana 2"), entry("BANANA")};
    core::sort_roms_by_name(t);
    EXPECT_EQ(names(t), (Names{"Apple", "apricot", "banana", "BANANA", "Banana 2", "cherry",
                               "zebra", "\u00C9clair"}));

    // A missing second CRC ("XXX     ", lower-cased "xxx     ") sorts after every digit text.
    RomTable c2{entry("none1"), entry("f", "0", "ffffffff"), entry("none2"),
                entry("a", "0", "0000abcd")};
    core::sort_roms_by_field(c2, core::kFieldCrc2);
    EXPECT_EQ(names(c2), (Names{"a", "f", "none1", "none2"}));

    RomTable p{entry("2", "0", "0", "/roms/B.bin"), entry("1", "0", "0", "/roms/a.bin"),
               entry("3", "0", "0", "/roms/c.bin")};
    core::sort_roms_by_field(p, core::kFieldPath);
    EXPECT_EQ(names(p), (Names{"1", "2", "3"}));
}

// Far past the old 32,767-entry limit, with many equal keys.
TEST(RomSort, LargeTableIsOrderedAndStable) {
    std::mt19937 rng(42);
    RomTable t;
    for (std::size_t i = 0; i < 100000; ++i)
        t.push_back(entry("n", CrcText::from_value(static_cast<std::uint32_t>(rng() % 5000)).str(),
                          "XXX     ", std::to_string(i)));
    core::sort_roms_by_field(t, core::kFieldCrc);
    ASSERT_EQ(t.size(), 100000u);
    for (std::size_t i = 1; i < t.size(); ++i) {
        int c = core::compare_lower(t[i - 1].crc.view(), t[i].crc.view());
        ASSERT_LE(c, 0) << i;
        if (c == 0) {
            ASSERT_LT(std::stoul(t[i - 1].path), std::stoul(t[i].path)) << i;
        }
    }
}
