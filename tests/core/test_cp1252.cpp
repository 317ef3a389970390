#include <gtest/gtest.h>

#include <string>

#include "cp1252.h"

using core::cp1252_to_utf8;
using core::utf8_to_cp1252;

TEST(Cp1252, ConvertsTheBlock80To9FAndLatin1) {
    EXPECT_EQ(cp1252_to_utf8("Plain ASCII ~"), "Plain ASCII ~");
    EXPECT_EQ(cp1252_to_utf8("\x80\x8A\x99\x9F"), // euro, S caron, trade mark, Y diaeresis
              "\xE2\x82\xAC\xC5\xA0\xE2\x84\xA2\xC5\xB8");
    EXPECT_EQ(cp1252_to_utf8("\xA0 Pok\xE9mon \xFF"), "\xC2\xA0 Pok\xC3\xA9mon \xC3\xBF");
    EXPECT_EQ(cp1252_to_utf8(std::string("a\0b", 3)), std::string("a\0b", 3));
    // The unassigned bytes become C1 controls.
    EXPECT_EQ(cp1252_to_utf8("\x81\x8D\x8F\x90\x9D"), "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D");

    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    EXPECT_EQ(utf8_to_cp1252(cp1252_to_utf8(all)), all) << "every byte round-trips";
}

TEST(Cp1252, RefusesCharactersTheCodePageLacksAndMalformedUtf8) {
    EXPECT_EQ(utf8_to_cp1252("\xE2\x82\xAC 5"), std::string("\x80 5"));
    for (const char* text : {
             "\xE6\x97\xA5",     // CJK
             "\xC2\x80",         // U+0080: 0x80 is the euro sign
             "\xC4\x80",         // U+0100
             "\xF0\x9F\x98\x80", // emoji
             "\x80",             // lone continuation byte
             "caf\xC3",          // cut sequence
             "\xE2\x82",         // cut sequence
             "\xC3\x28",         // bad continuation
             "\xC0\xAF",         // overlong "/"
             "\xE0\x81\xA9",     // overlong "é"
             "\xED\xA0\x80",     // surrogate
             "\xF4\x90\x80\x80", // beyond U+10FFFF
             "\xFF",
         })
        EXPECT_FALSE(utf8_to_cp1252(text)) << text;
}
