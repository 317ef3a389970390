#include "text.h"

#include <gtest/gtest.h>

namespace {

TEST(Text, PatternsMatchWithoutRegardToCase) {
    EXPECT_TRUE(core::matches_patterns("*.bin;*.gen", "game.Gen"));
    EXPECT_FALSE(core::matches_patterns("*.bin;*.gen", "game.smd"));
    EXPECT_TRUE(core::matches_patterns("*", "anything"));
    EXPECT_TRUE(core::matches_patterns("game?.*", "game1.zip"));
    EXPECT_FALSE(core::matches_patterns("", "game.bin"));
    EXPECT_FALSE(core::matches_patterns(";;", "game.bin"));
    EXPECT_TRUE(core::wildcard_match("*a*b*c", "xxaxxbxxc"));
    EXPECT_FALSE(core::wildcard_match("*a*b*c", "xxaxxbxx"));
}

TEST(Text, CompareLowerOrdersByLowerCasedLetters) {
    EXPECT_EQ(core::compare_lower("Sonic", "sonic"), 0);
    EXPECT_LT(core::compare_lower("abc", "ABD"), 0);
    EXPECT_GT(core::compare_lower("b", "A"), 0);
    EXPECT_LT(core::compare_lower("ab", "abc"), 0);
    // Western European capitals lower-case as Windows-1252 does.
    EXPECT_EQ(core::compare_lower("\xc3\x89t\xc3\xa9", "\xc3\xa9T\xc3\x89"), 0); // Été / éTÉ
    EXPECT_EQ(core::compare_lower("\xc5\xa0", "\xc5\xa1"), 0);                   // Š / š
    // Hex digits come before the x of a missing second CRC.
    EXPECT_LT(core::compare_lower("ffffffff", "XXX     "), 0);
    // Bytes that are not UTF-8 still order consistently.
    EXPECT_NE(core::compare_lower("\x80", "\x81"), 0);
}

TEST(Text, FoldCaseAgreesWithCompareLower) {
    const std::vector<std::string> texts{"Sonic",  "sonic",  "\u00C9t\u00E9", "\u00E9T\u00C9",
                                         "\u0160", "\u0161", "\x80",          "\x81",
                                         "\xc9",   "a\xc3"};
    for (const auto& a : texts)
        for (const auto& b : texts)
            EXPECT_EQ(core::fold_case(a) == core::fold_case(b), core::compare_lower(a, b) == 0)
                << a << " / " << b;
}

} // namespace
