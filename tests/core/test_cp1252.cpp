#include <gtest/gtest.h>

#include <string>

#include "cp1252.h"

using core::cp1252_to_utf8;
using core::utf8_to_cp1252;

TEST(Cp1252, ConvertsTheSpecialBlockAndLatin1) {
    EXPECT_EQ(cp1252_to_utf8(""), "");
    EXPECT_EQ(cp1252_to_utf8("Plain ASCII ~"), "Plain ASCII ~");
    EXPECT_EQ(cp1252_to_utf8("\x80"), "\xE2\x82\xAC"); // euro sign
    EXPECT_EQ(cp1252_to_utf8("\x8A"), "\xC5\xA0");     // S caron
    EXPECT_EQ(cp1252_to_utf8("\x99"), "\xE2\x84\xA2"); // trade mark
    EXPECT_EQ(cp1252_to_utf8("\x9F"), "\xC5\xB8");     // Y diaeresis
    EXPECT_EQ(cp1252_to_utf8("\xA0"), "\xC2\xA0");     // no-break space
    EXPECT_EQ(cp1252_to_utf8("Pok\xE9mon"), "Pok\xC3\xA9mon");
    EXPECT_EQ(cp1252_to_utf8("\xFF"), "\xC3\xBF");
    EXPECT_EQ(cp1252_to_utf8(std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST(Cp1252, UnassignedBytesBecomeC1Controls) {
    for (int b : {0x81, 0x8D, 0x8F, 0x90, 0x9D}) {
        std::string utf8 = cp1252_to_utf8(std::string(1, static_cast<char>(b)));
        EXPECT_EQ(utf8, std::string({'\xC2', static_cast<char>(b)})) << int(b);
    }
}

TEST(Cp1252, EveryByteRoundTrips) {
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    auto back = utf8_to_cp1252(cp1252_to_utf8(all));
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, all);
}

TEST(Cp1252, RefusesCharactersTheCodePageLacks) {
    EXPECT_FALSE(utf8_to_cp1252("\xE6\x97\xA5\xE6\x9C\xAC")); // CJK
    EXPECT_FALSE(utf8_to_cp1252("\xC2\x80"));                 // U+0080: 0x80 is the euro sign
    EXPECT_FALSE(utf8_to_cp1252("\xC4\x80"));                 // U+0100
    EXPECT_FALSE(utf8_to_cp1252("\xF0\x9F\x98\x80"));         // emoji
    EXPECT_EQ(utf8_to_cp1252("\xE2\x82\xAC 5"), std::string("\x80 5"));
}

TEST(Cp1252, RefusesMalformedUtf8) {
    EXPECT_FALSE(utf8_to_cp1252("\x80"));             // lone continuation byte
    EXPECT_FALSE(utf8_to_cp1252("caf\xC3"));          // cut sequence
    EXPECT_FALSE(utf8_to_cp1252("\xE2\x82"));         // cut sequence
    EXPECT_FALSE(utf8_to_cp1252("\xC3\x28"));         // bad continuation
    EXPECT_FALSE(utf8_to_cp1252("\xC0\xAF"));         // overlong "/"
    EXPECT_FALSE(utf8_to_cp1252("\xE0\x81\xA9"));     // overlong "é"
    EXPECT_FALSE(utf8_to_cp1252("\xED\xA0\x80"));     // surrogate
    EXPECT_FALSE(utf8_to_cp1252("\xF4\x90\x80\x80")); // beyond U+10FFFF
    EXPECT_FALSE(utf8_to_cp1252("\xFF"));
}
