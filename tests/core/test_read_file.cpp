#include "read_file.h"

#include <gtest/gtest.h>

#include "temp_dir.h"

using core::TextFileKind;
using testsupport::TempDir;

namespace {

std::vector<std::string> lines_of(std::string_view text) {
    std::vector<std::string> lines;
    while (!text.empty())
        lines.emplace_back(core::take_line(text));
    return lines;
}

// What a user's editor on another desktop writes must read as the same lines as a plain
// file: the mark dropped, CR LF and LF alike, a last line without its end kept.
TEST(ReadTextFile, AMarkAndAnyLineEndReadAsThePlainFile) {
    TempDir dir;
    const TextFileKind kind{"test", core::kMiB};
    const std::vector<std::string> expected{"[all]", "(U):USA", "", "last"};
    for (const std::string text : {"[all]\n(U):USA\n\nlast\n", "[all]\r\n(U):USA\r\n\r\nlast",
                                   "\xEF\xBB\xBF[all]\r\n(U):USA\n\r\nlast\r\n"}) {
        auto read = core::read_text_file_if_exists(dir.write("f.txt", text), kind);
        ASSERT_TRUE(read && *read) << text;
        EXPECT_EQ(lines_of(**read), expected) << text;
    }
    EXPECT_EQ(core::without_bom("a\xEF\xBB\xBF"), "a\xEF\xBB\xBF") << "only a leading mark is one";
    EXPECT_FALSE(*core::read_text_file_if_exists(dir.path() / "absent.txt", kind));
}

// A file over the cap is refused before it is read, and the reason says which file, the
// cap and the kind; a file of exactly the cap is read.
TEST(ReadTextFile, AFileOverItsCapIsRefusedWithTheReason) {
    TempDir dir;
    const auto at_cap = dir.write("ok.ini", std::string(10, 'x'));
    EXPECT_EQ(**core::read_text_file_if_exists(at_cap, {"filter", 10}), std::string(10, 'x'));
    const auto big = dir.write("big.ini", std::string(11, 'x'));
    auto refused = core::read_text_file_if_exists(big, {"filter", 10});
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().message,
              "'" + big.string() + "' is larger than 10 bytes, too large for a filter file");
    EXPECT_TRUE(core::read_file_if_exists(big)); // no kind, no cap
}

} // namespace
