#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

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
    ScanRecord record;
    record.crc = std::move(crc);
    record.path = std::move(path);
    return record;
}

ScanRecord stored(std::string crc, std::string name) {
    ScanRecord record = found(std::move(crc), std::move(name));
    record.from_session = true;
    return record;
}

} // namespace

TEST(SessionLine, EightCharactersOfChecksumAndTheBaseNameOfAFoundFile) {
    EXPECT_EQ(session_line(found("", "/roms/Game.bin")), "00000000 Game");
    EXPECT_EQ(session_line(found("abc", "/roms/Game.bin")), "00000abc Game");
    EXPECT_EQ(session_line(found("0123abcd", "/roms/Game.bin")), "0123abcd Game");
    EXPECT_EQ(session_line(found("0123abcdef", "/roms/Game.bin")), "0123abcd Game");
    EXPECT_EQ(session_line(stored("ÄÖÜäöüßé!", "x")), "ÄÖÜäöüßé x")
        << "a stored checksum is cut by characters, never inside one";
    EXPECT_EQ(session_line(stored("ü", "x")), "0000000ü x");
    EXPECT_EQ(session_line(found("0123abcd", "/roms/Sonic (E).v1.bin")), "0123abcd Sonic (E).v1");
    EXPECT_EQ(session_line(found("0123abcd", "Plain")), "0123abcd Plain");
    EXPECT_EQ(session_line(stored("0123abcd", "Sonic 2.v1")), "0123abcd Sonic 2.v1")
        << "no extension is taken off a name read from a session";
    EXPECT_EQ(session_line(found("0123abcd", "/roms/Two\nLines.bin")), "0123abcd Two?Lines")
        << "a line feed in a file name must not split the line";
}

TEST(SessionRecord, ReadsTheColumnsByCharacter) {
    auto record = session_record("0123abcd Sonic the Hedgehog (E)");
    EXPECT_EQ(record.crc, "0123abcd");
    EXPECT_EQ(record.path, "Sonic the Hedgehog (E)");
    EXPECT_EQ(record.name, "");
    EXPECT_TRUE(record.from_session);
    EXPECT_FALSE(record.done);

    EXPECT_EQ(session_record("0123abcd\tTab").path, "Tab") << "the 9th character is skipped";
    EXPECT_EQ(session_record("0123abcdXName").path, "Name");
    auto wide = session_record("ÄÄÄÄÄÄÄÄÖÜber");
    EXPECT_EQ(wide.crc, "ÄÄÄÄÄÄÄÄ");
    EXPECT_EQ(wide.path, "Über");
    // Short lines give short fields.
    auto empty = session_record("");
    EXPECT_TRUE(empty.crc.empty() && empty.path.empty() && empty.from_session);
    EXPECT_EQ(session_record("0123abc").crc, "0123abc");
    EXPECT_EQ(session_record("0123abc").path, "");
    EXPECT_EQ(session_record("0123abcd").path, "");
    EXPECT_EQ(session_record("0123abcd ").path, "");
}

TEST(SessionRecord, ReadsOtherBytesWithoutLosingTheLine) {
    EXPECT_EQ(session_record("0123abcd Pok\xE9mon").path, "Pokémon")
        << "a line that is not UTF-8 is the old program's code page";
    auto latin = session_record("0123abc\xE9 x");
    EXPECT_EQ(latin.crc, "0123abcé");
    EXPECT_EQ(latin.path, "x");
    EXPECT_EQ(session_record("0123abcd \xC0\xAF").path, "À¯") << "an overlong form is not UTF-8";
    EXPECT_EQ(session_record("0123abcd \xED\xA0\x80").path, "í\xC2\xA0€") << "nor is a surrogate";

    using namespace std::string_view_literals;
    auto nul = session_record("0123abcd ab\0cd"sv);
    EXPECT_EQ(nul.path, "ab");
    auto nul_crc = session_record("01\0"
                                  "3abcd name"sv);
    EXPECT_EQ(nul_crc.crc, "01");
    EXPECT_EQ(nul_crc.path, "name");
    EXPECT_EQ(session_record("0123abcd\0name"sv).path, "name");
    EXPECT_EQ(session_record("0123abcd a\x01\x7f"
                             "b")
                  .path,
              "a\x01\x7f"
              "b")
        << "other control characters are part of the name";
}

TEST(ReadSession, SplitsLinesAtLineFeeds) {
    TempDir dir;
    auto file = dir.write("s.rcl", "0123abcd One\r\n\r\n89abcdef Two\nfedcba98 Three\r");
    auto records = lists::read_session(file);
    ASSERT_TRUE(records.ok()) << records.error().message;
    ASSERT_EQ(records->size(), 4u);
    EXPECT_EQ((*records)[0].path, "One");
    EXPECT_EQ((*records)[1].crc, "") << "an empty line is an empty record";
    EXPECT_EQ((*records)[1].path, "");
    EXPECT_EQ((*records)[2].path, "Two");
    EXPECT_EQ((*records)[3].crc, "fedcba98");
    EXPECT_EQ((*records)[3].path, "Three");

    EXPECT_EQ(lists::read_session(dir.write("one.rcl", "0123abcd One\r\n"))->size(), 1u);
    EXPECT_EQ(lists::read_session(dir.write("mid.rcl", "0123abcd A\rB\r\n"))->front().path, "A\rB");
    EXPECT_TRUE(lists::read_session(dir.write("empty.rcl", ""))->empty());
    auto absent = lists::read_session(dir.path() / "absent.rcl");
    ASSERT_TRUE(absent.ok());
    EXPECT_TRUE(absent->empty());

    const std::string name(3 << 20, 'n'); // a huge line is read whole
    auto big = lists::read_session(dir.write("big.rcl", "0123abcd " + name + "\r\nshort"));
    ASSERT_TRUE(big.ok());
    ASSERT_EQ(big->size(), 2u);
    EXPECT_EQ(big->front().path, name);
    EXPECT_EQ(big->back().crc, "short");
}

TEST(ReadSession, NamesAFileItCannotRead) {
    TempDir dir;
    auto locked = dir.write("locked.rcl", "0123abcd x\r\n");
    ::chmod(locked.c_str(), 0);
    if (::geteuid() != 0) { // root reads a file of mode 0
        auto unreadable = lists::read_session(locked);
        ASSERT_FALSE(unreadable.ok());
        EXPECT_EQ(unreadable.error().message,
                  "cannot read '" + locked.string() + "': Permission denied");
    }

    fs::create_directories(dir.path() / "folder.rcl");
    auto folder = lists::read_session(dir.path() / "folder.rcl");
    ASSERT_FALSE(folder.ok());
    EXPECT_EQ(folder.error().message,
              "cannot read '" + (dir.path() / "folder.rcl").string() + "': Is a directory");

    auto under_file = dir.write("file.txt", "x") / "s.rcl";
    auto not_folder = lists::read_session(under_file);
    ASSERT_FALSE(not_folder.ok());
    EXPECT_NE(not_folder.error().message.find("'" + under_file.string() + "'"), std::string::npos);
}

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

    ASSERT_TRUE(lists::write_session(file, {}).ok());
    EXPECT_EQ(read_file(file), "") << "saving replaces the old session";
}

TEST(WriteSession, FailsWithoutLeavingAFile) {
    TempDir dir;
    const ScanRecords records = {found("0123abcd", "/roms/Game.bin")};

    const auto missing = dir.path() / "missing" / "s.rcl";
    auto status = lists::write_session(missing, records);
    ASSERT_FALSE(status.ok());
    EXPECT_NE(status.error().message.find("'" + missing.string() + "'"), std::string::npos)
        << status.error().message;
    EXPECT_FALSE(fs::exists(dir.path() / "missing"));

    const auto under_file = dir.write("file.txt", "x") / "s.rcl";
    EXPECT_FALSE(lists::write_session(under_file, records).ok());
    EXPECT_EQ(read_file(dir.path() / "file.txt"), "x");

    const auto folder_named = dir.path() / "taken.rcl";
    fs::create_directories(folder_named / "inside");
    EXPECT_FALSE(lists::write_session(folder_named, records).ok());
    EXPECT_TRUE(fs::is_directory(folder_named / "inside"));
}
