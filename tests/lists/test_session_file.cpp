#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "session_file.h"
#include "temp_dir.h"

using lists::ScanRecord;
using lists::ScanRecords;
using lists::session_line;
using lists::session_record;
using testsupport::read_file;
using testsupport::TempDir;
namespace fs = std::filesystem;

namespace {

ScanRecord found(std::string crc, std::string path) {
    return {std::move(crc), "", std::move(path), false, false};
}

ScanRecord stored(std::string crc, std::string name) {
    return {std::move(crc), "", std::move(name), false, true};
}

// A record read from a line, as "crc|path".
std::string fields(std::string_view line) {
    auto record = session_record(line);
    return record.crc + "|" + record.path;
}

} // namespace

TEST(SessionLine, EightCharactersOfChecksumAndTheBaseNameOfAFoundFile) {
    EXPECT_EQ(session_line(found("0123abcdef", "/roms/Game.bin")), "0123abcd Game");
    EXPECT_EQ(session_line(stored("ÄÖÜäöüßé!", "x")), "ÄÖÜäöüßé x")
        << "a stored checksum is cut by characters, never inside one";
    EXPECT_EQ(session_line(stored("ü", "x")), "0000000ü x");
    EXPECT_EQ(session_line(found("0123abcd", "/roms/Sonic (E).v1.bin")), "0123abcd Sonic (E).v1");
    EXPECT_EQ(session_line(found("0123abcd", "/roms/Two\nLines.bin")), "0123abcd Two?Lines")
        << "a line feed in a file name must not split the line";
}

// Other bytes are read without losing the line.
TEST(SessionRecord, ReadsTheColumnsByCharacter) {
    using namespace std::string_view_literals;
    EXPECT_TRUE(session_record("0123abcd Sonic the Hedgehog (E)").from_session);
    EXPECT_EQ(fields("0123abcd Sonic the Hedgehog (E)"), "0123abcd|Sonic the Hedgehog (E)");
    EXPECT_EQ(fields("0123abcd\tTab"), "0123abcd|Tab") << "the 9th character is skipped";
    EXPECT_EQ(fields("ÄÄÄÄÄÄÄÄÖÜber"), "ÄÄÄÄÄÄÄÄ|Über");
    // Short lines give short fields.
    EXPECT_EQ(fields(""), "|");
    EXPECT_EQ(fields("0123abc"), "0123abc|");
    EXPECT_EQ(fields("0123abcd "), "0123abcd|");
    EXPECT_EQ(fields("0123abcd Pok\xE9mon"), "0123abcd|Pokémon")
        << "a line that is not UTF-8 is the old program's code page";
    EXPECT_EQ(fields("0123abc\xE9 x"), "0123abcé|x");
    EXPECT_EQ(fields("0123abcd ab\0cd"sv), "0123abcd|ab");
    EXPECT_EQ(fields("01\0xabcd name"sv), "01|name");
    EXPECT_EQ(fields("0123abcd\0name"sv), "0123abcd|name");
    EXPECT_EQ(fields("0123abcd a\x01\x7fz"), "0123abcd|a\x01\x7fz")
        << "other control characters are part of the name";
}

TEST(ReadSession, SplitsLinesAtLineFeedsAndNamesAFileItCannotRead) {
    TempDir dir;
    // Saved by an editor on another desktop: the mark is no part of the first checksum.
    auto file = dir.write("s.rcl", "\xEF\xBB\xBF"
                                   "0123abcd One\r\n\r\n89abcdef Two\nfedcba98 Three\r");
    auto records = lists::read_session(file);
    ASSERT_TRUE(records.ok()) << records.error().message;
    ASSERT_EQ(records->size(), 4u);
    EXPECT_EQ((*records)[0].path, "One");
    EXPECT_EQ((*records)[1].crc + (*records)[1].path, "") << "an empty line is an empty record";
    EXPECT_EQ((*records)[2].path, "Two");
    EXPECT_EQ((*records)[3].crc + "|" + (*records)[3].path, "fedcba98|Three");

    EXPECT_EQ(lists::read_session(dir.write("mid.rcl", "0123abcd A\rB\r\n"))->front().path, "A\rB");
    EXPECT_TRUE(lists::read_session(dir.write("empty.rcl", ""))->empty());
    EXPECT_TRUE(lists::read_session(dir.path() / "absent.rcl")->empty()); // no session yet

    const std::string name(3 << 20, 'n'); // a huge line is read whole
    auto big = lists::read_session(dir.write("big.rcl", "0123abcd " + name + "\r\nshort"));
    ASSERT_TRUE(big.ok());
    ASSERT_EQ(big->size(), 2u);
    EXPECT_EQ(big->front().path, name);
    EXPECT_EQ(big->back().crc, "short");

    fs::create_directories(dir.path() / "folder.rcl");
    auto folder = lists::read_session(dir.path() / "folder.rcl");
    ASSERT_FALSE(folder.ok());
    EXPECT_EQ(folder.error().message,
              "cannot read '" + (dir.path() / "folder.rcl").string() + "': Is a directory");
}

// A write that fails leaves nothing behind: the atomic writer's tests show it.
TEST(WriteSession, WritesOneCrLfLinePerRecordAndReadsBackTheSame) {
    TempDir dir;
    const auto file = dir.path() / "s.rcl";
    ScanRecords records = {found("0123abcd", "/roms/Sonic (E).bin"), found("", "/roms/No Crc.smd"),
                           stored("89abcdef", "Earlier.disc 1"), stored("ab", "Short")};
    const std::string text = "0123abcd Sonic (E)\r\n00000000 No Crc\r\n"
                             "89abcdef Earlier.disc 1\r\n000000ab Short\r\n";
    ASSERT_TRUE(lists::write_session(file, records).ok());
    EXPECT_EQ(read_file(file), text);

    auto again = lists::read_session(file);
    ASSERT_TRUE(again.ok());
    ASSERT_TRUE(lists::write_session(file, *again).ok());
    EXPECT_EQ(read_file(file), text) << "a session read and saved again is the same file";

    // A first checksum that starts with a mark of its own keeps it when read back.
    const std::string marked = "\xEF\xBB\xBF\xEF\xBB\xBF"
                               "0a1b2c3 Mario\r\n";
    ASSERT_TRUE(lists::write_session(file, *lists::read_session(dir.write("m.rcl", marked))).ok());
    EXPECT_EQ(read_file(file), marked);
    EXPECT_EQ(lists::read_session(file)->front().crc, "\xEF\xBB\xBF"
                                                      "0a1b2c3");

    ASSERT_TRUE(lists::write_session(file, {}).ok());
    EXPECT_EQ(read_file(file), "") << "saving replaces the old session";
}
