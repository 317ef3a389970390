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
// file: the mark dropped, CR LF and LF alike, a last line without its end kept. (The cap
// and its reason show in the sort tests.)
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

} // namespace
