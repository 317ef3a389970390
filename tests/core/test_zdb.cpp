#include <gtest/gtest.h>

#include <span>
#include <string>
#include <vector>

#include "recorders.h"
#include "settings.h"
#include "temp_dir.h"
#include "zdb.h"
#include "zdb_fixture.h"
#include "zdb_parse.h"

using core::CrcText;
using core::RomTable;
using core::ZdbHeader;
using testsupport::TempDir;
using zdbfixture::Bytes;
using zdbfixture::HeaderFields;

namespace {

void expect_unusable(const ZdbHeader& h) {
    EXPECT_EQ(h.number, -1);
    EXPECT_FALSE(h.usable());
    EXPECT_FALSE(h.error.empty());
    EXPECT_EQ(h.version, "");
    EXPECT_EQ(h.credit, "");
    EXPECT_EQ(h.notes, "");
    EXPECT_EQ(h.more_info, "");
    EXPECT_EQ(h.patterns, "");
    EXPECT_EQ(h.long_name, "");
    EXPECT_EQ(h.system_id, "");
    EXPECT_EQ(h.extra, 0);
    EXPECT_EQ(h.crc_count, 0);
}

ZdbHeader parse(std::string_view bytes, int mode, RomTable* roms = nullptr,
                std::size_t capacity = core::zdb_internal::BufferedReader::kDefaultCapacity) {
    auto span = std::span(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    return core::zdb_internal::parse_zdb_bytes(span, mode, roms, capacity);
}

RomTable sentinel_table() {
    return RomTable{core::RomEntry{CrcText("sentinel"), {}, "x", {}, 0}};
}

} // namespace

TEST(ZdbCrcText, HoldsEightCharacters) {
    EXPECT_EQ(CrcText::from_value(0xABCD), "0000abcd");
    EXPECT_EQ(CrcText::from_value(0xDEADBEEF), "deadbeef");
    EXPECT_EQ(CrcText::from_value(0), "00000000");
    EXPECT_EQ(CrcText(), "00000000");
    EXPECT_EQ(CrcText("abc"), "abc     ");
    EXPECT_EQ(CrcText("123456789"), "12345678");
    EXPECT_EQ(CrcText::none(), "XXX     ");
    EXPECT_EQ(CrcText::none().str().size(), 8u);
    EXPECT_LT(CrcText::from_value(0x0F), CrcText::from_value(0xF0));
}

// A database typed in byte by byte from the format table.
TEST(ZdbLoad, ReadsHandTypedVersion2File) {
    const unsigned char bytes[] = {
        0x02,                                     // format 2
        0x04, 'S',  'M',  'S',  ' ',              // system id, untrimmed
        0x03, 'S',  'e',  'g',                    // long name
        0x03, '1',  '.',  '0',                    // version
        0x02, 'Z',  0xE9,                         // credit "Zé" in Windows-1252
        0x00,                                     // notes
        0x05, '*',  '.',  's',  'm',  's',        // patterns
        0x03, 0x00, 'a',  'b',  'c',              // more-info
        0x29, 0x2B, 0xDA, 0x3A, 0x5C, 0x71, 0x52, // crc 0000abcd, "Ab"
        0x9F, 0x9E, 0x27, 0x0E, 0x4E, 0xB1,       // crc 12345678, "€" (byte 0x80)
    };
    TempDir dir;
    auto path =
        dir.write("SMS.zdb", std::string_view(reinterpret_cast<const char*>(bytes), sizeof bytes));
    RomTable roms = sentinel_table();
    ZdbHeader h = core::load_zdb(path, core::kZdbFull, &roms);
    ASSERT_TRUE(h.usable()) << h.error;
    EXPECT_EQ(h.system_id, "SMS ");
    EXPECT_EQ(h.long_name, "Seg");
    EXPECT_EQ(h.version, "1.0");
    EXPECT_EQ(h.credit, "Z\xC3\xA9");
    EXPECT_EQ(h.notes, "");
    EXPECT_EQ(h.patterns, "*.sms");
    EXPECT_EQ(h.more_info, "abc");
    EXPECT_EQ(h.number, 0);
    EXPECT_EQ(h.extra, 0);
    EXPECT_EQ(h.crc_count, 1);
    EXPECT_EQ(h.error, "");
    ASSERT_EQ(roms.size(), 2u);
    EXPECT_EQ(roms[0].crc, "0000abcd");
    EXPECT_EQ(roms[0].crc2, "XXX     ");
    EXPECT_EQ(roms[0].name, "Ab");
    EXPECT_EQ(roms[0].path, "");
    EXPECT_EQ(roms[0].done, 0);
    EXPECT_EQ(roms[1].crc, "12345678");
    EXPECT_EQ(roms[1].name, "\xE2\x82\xAC");
}

TEST(ZdbLoad, Version1HasHeaderSkipExtraAndSecondCrc) {
    HeaderFields f;
    f.number = 512;
    f.extra = -3;
    auto b = zdbfixture::header(1, f)
                 .record(0xDEADBEEF, "Sonic", 0x01020304)
                 .record(0x80000001, "Tails", 0xFFFFFFFF);
    TempDir dir;
    RomTable roms;
    ZdbHeader h = core::load_zdb(dir.write("a.zdb", b.data), core::kZdbFull, &roms);
    ASSERT_TRUE(h.usable()) << h.error;
    EXPECT_EQ(h.number, 512);
    EXPECT_EQ(h.extra, -3);
    EXPECT_EQ(h.crc_count, 2);
    EXPECT_EQ(h.more_info, f.more_info);
    ASSERT_EQ(roms.size(), 2u);
    EXPECT_EQ(roms[0].crc, "deadbeef");
    EXPECT_EQ(roms[0].crc2, "01020304");
    EXPECT_EQ(roms[0].name, "Sonic");
    EXPECT_EQ(roms[1].crc, "80000001");
    EXPECT_EQ(roms[1].crc2, "ffffffff");
    EXPECT_EQ(roms[1].name, "Tails");
}

TEST(ZdbLoad, Version3HasHeaderSkipButOneCrc) {
    HeaderFields f;
    f.number = -2; // signed: kept as stored
    auto b = zdbfixture::header(3, f).record(0x0000ABCD, "Pitfall");
    TempDir dir;
    RomTable roms;
    ZdbHeader h = core::load_zdb(dir.write("a.zdb", b.data), core::kZdbFull, &roms);
    ASSERT_TRUE(h.usable()) << h.error;
    EXPECT_EQ(h.number, -2);
    EXPECT_EQ(h.extra, 0);
    EXPECT_EQ(h.crc_count, 1);
    ASSERT_EQ(roms.size(), 1u);
    EXPECT_EQ(roms[0].crc, "0000abcd");
    EXPECT_EQ(roms[0].crc2, CrcText::none());
    EXPECT_EQ(roms[0].name, "Pitfall");
}

TEST(ZdbLoad, ModesReadOnlyTheirPart) {
    auto b = zdbfixture::header(3).record(1, "One");
    TempDir dir;
    auto path = dir.write("a.zdb", b.data);

    RomTable roms = sentinel_table();
    ZdbHeader h1 = core::load_zdb(path, core::kZdbHeaderOnly, &roms);
    EXPECT_TRUE(h1.usable());
    EXPECT_EQ(h1.more_info, "");
    EXPECT_EQ(h1.system_id, "SGENESIS");
    ASSERT_EQ(roms.size(), 1u) << "header-only loads leave the table alone";
    EXPECT_EQ(roms[0].name, "x");

    ZdbHeader h2 = core::load_zdb(path, core::kZdbHeaderAndInfo, &roms);
    EXPECT_EQ(h2.more_info, "A longer description.");
    EXPECT_EQ(roms[0].name, "x");

    ZdbHeader h0 = core::load_zdb(path, core::kZdbFull, &roms);
    EXPECT_EQ(h0.more_info, "A longer description.");
    ASSERT_EQ(roms.size(), 1u);
    EXPECT_EQ(roms[0].name, "One");

    // Mode 1 does not need the more-info length: a file that ends before it is listed.
    std::string cut = b.data.substr(0, b.data.size() - 8 - 21 - 2); // no record, info, length
    EXPECT_TRUE(core::load_zdb(dir.write("cut.zdb", cut), core::kZdbHeaderOnly).usable());
    expect_unusable(core::load_zdb(dir.path() / "cut.zdb", core::kZdbHeaderAndInfo));
}

TEST(ZdbLoad, SkipsRecordsWithEmptyNames) {
    // A length byte equal to the low byte of the stored CRC unscrambles to 0.
    auto b = zdbfixture::header(2).record(0x11, "A").record(0x22, "").record(0x33, "C");
    RomTable roms;
    ASSERT_TRUE(parse(b.data, core::kZdbFull, &roms).usable());
    ASSERT_EQ(roms.size(), 2u);
    EXPECT_EQ(roms[0].name, "A");
    EXPECT_EQ(roms[1].name, "C");
    EXPECT_EQ(roms[1].crc, "00000033");
}

TEST(ZdbLoad, NegativeMoreInfoLengthMeansNoText) {
    HeaderFields f;
    f.more_info = "";
    f.more_info_length = -5;
    auto b = zdbfixture::header(2, f).record(0x44, "Right after");
    RomTable roms;
    ZdbHeader h = parse(b.data, core::kZdbFull, &roms);
    ASSERT_TRUE(h.usable()) << h.error;
    EXPECT_EQ(h.more_info, "");
    ASSERT_EQ(roms.size(), 1u);
    EXPECT_EQ(roms[0].name, "Right after");
}

TEST(ZdbLoad, TextsBecomeUtf8FromWindows1252) {
    HeaderFields f;
    f.long_name = "Pok\xE9mon \x80 \x9F";
    f.notes = "\x81\x8D\x8F\x90\x9D"; // the unassigned bytes
    f.more_info = "Caf\xE9";
    auto b = zdbfixture::header(2, f).record(0x5, "\xC9t\xE9 \x8A\xFF");
    RomTable roms;
    ZdbHeader h = parse(b.data, core::kZdbFull, &roms);
    ASSERT_TRUE(h.usable()) << h.error;
    EXPECT_EQ(h.long_name, "Pok\xC3\xA9mon \xE2\x82\xAC \xC5\xB8");
    EXPECT_EQ(h.notes, "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D");
    EXPECT_EQ(h.more_info, "Caf\xC3\xA9");
    ASSERT_EQ(roms.size(), 1u);
    EXPECT_EQ(roms[0].name, "\xC3\x89t\xC3\xA9 \xC5\xA0\xC3\xBF");
}

TEST(ZdbLoad, WrongFormatVersionIsUnusable) {
    TempDir dir;
    for (unsigned format : {0u, 4u, 255u}) {
        SCOPED_TRACE(format);
        auto path = dir.write("x" + std::to_string(format) + ".zdb",
                              zdbfixture::header(format).record(1, "A").data);
        RomTable roms = sentinel_table();
        ZdbHeader h = core::load_zdb(path, core::kZdbFull, &roms);
        expect_unusable(h);
        EXPECT_EQ(h.error, "'" + path.string() +
                               "' is not a ROM database: unknown format version " +
                               std::to_string(format));
        EXPECT_TRUE(roms.empty());
        expect_unusable(core::load_zdb(path, core::kZdbHeaderOnly));
    }
}

TEST(ZdbLoad, UnopenableFilesGiveAReason) {
    TempDir dir;
    ZdbHeader missing = core::load_zdb(dir.path() / "none.zdb", core::kZdbHeaderOnly);
    expect_unusable(missing);
    EXPECT_EQ(missing.error, "cannot open '" + (dir.path() / "none.zdb").string() +
                                 "': No such file or directory");

    std::filesystem::create_directory(dir.path() / "folder.zdb");
    RomTable roms = sentinel_table();
    ZdbHeader folder = core::load_zdb(dir.path() / "folder.zdb", core::kZdbFull, &roms);
    expect_unusable(folder);
    EXPECT_NE(folder.error.find("folder.zdb"), std::string::npos);
    EXPECT_TRUE(roms.empty());

    ZdbHeader empty = core::load_zdb(dir.write("empty.zdb", ""), core::kZdbHeaderOnly);
    expect_unusable(empty);
    EXPECT_NE(empty.error.find("is not a ROM database"), std::string::npos);
}

// Every header field cut at every byte: unusable with a reason, never a partial header.
TEST(ZdbLoad, HeaderCutAtEveryByteIsUnusable) {
    TempDir dir;
    for (unsigned format : {1u, 2u, 3u}) {
        const std::string full = zdbfixture::header(format).data;
        const std::size_t info_start = full.size() - 2 - HeaderFields{}.more_info.size();
        for (int mode : {core::kZdbFull, core::kZdbHeaderOnly, core::kZdbHeaderAndInfo}) {
            const std::size_t header_end = mode == core::kZdbHeaderOnly ? info_start : full.size();
            for (std::size_t cut = 0; cut < header_end; ++cut) {
                SCOPED_TRACE("format " + std::to_string(format) + " mode " + std::to_string(mode) +
                             " cut " + std::to_string(cut));
                // A new file each time: rewriting one file makes ext4 flush it on close.
                auto path = dir.write("cut-" + std::to_string(format) + "-" + std::to_string(mode) +
                                          "-" + std::to_string(cut) + ".zdb",
                                      full.substr(0, cut));
                RomTable roms = sentinel_table();
                ZdbHeader h = core::load_zdb(path, mode, &roms);
                expect_unusable(h);
                if (cut > 0) {
                    EXPECT_EQ(h.error, "'" + path.string() +
                                           "' is not a ROM database: the header ends early");
                }
                // A failed full load empties the table; header loads never touch it.
                EXPECT_EQ(roms.size(), mode == core::kZdbFull ? 0u : 1u);
            }
            // Complete: usable, with no records at all.
            RomTable roms = sentinel_table();
            ZdbHeader h = parse(full.substr(0, header_end), mode, &roms);
            EXPECT_TRUE(h.usable()) << h.error;
            EXPECT_EQ(roms.size(), mode == core::kZdbFull ? 0u : 1u);
        }
    }
}

TEST(ZdbLoad, RecordCutShortAddsNoEntry) {
    for (unsigned format : {1u, 2u}) {
        auto second = [&](std::uint32_t v) {
            return format == 1 ? std::optional<std::uint32_t>(v) : std::nullopt;
        };
        auto b = zdbfixture::header(format)
                     .record(0x10, "First", second(0x11))
                     .record(0x20, "Second", second(0x21));
        const std::size_t last = format == 1 ? 1 + 8 + 6 : 1 + 4 + 6;
        for (std::size_t drop = 1; drop <= last; ++drop) {
            SCOPED_TRACE("format " + std::to_string(format) + " drop " + std::to_string(drop));
            RomTable roms;
            ZdbHeader h = parse(b.data.substr(0, b.data.size() - drop), core::kZdbFull, &roms);
            ASSERT_TRUE(h.usable()) << h.error;
            ASSERT_EQ(roms.size(), 1u);
            EXPECT_EQ(roms[0].name, "First");
        }
    }
}

TEST(ZdbLoad, BufferBoundariesDoNotChangeTheResult) {
    auto b = zdbfixture::header(1);
    for (std::uint32_t i = 0; i < 300; ++i)
        b.record(i * 2654435761u, "Game number " + std::to_string(i) + " (Europe)", ~i);
    b.data.resize(b.data.size() - 3); // and a cut last record
    RomTable expected;
    ZdbHeader h = parse(b.data, core::kZdbFull, &expected);
    ASSERT_TRUE(h.usable());
    ASSERT_EQ(expected.size(), 299u);
    for (std::size_t capacity : {1u, 2u, 3u, 7u, 64u, 1000u}) {
        SCOPED_TRACE(capacity);
        RomTable roms;
        ZdbHeader again = parse(b.data, core::kZdbFull, &roms, capacity);
        EXPECT_EQ(again.more_info, h.more_info);
        EXPECT_EQ(again.number, h.number);
        ASSERT_EQ(roms.size(), expected.size());
        for (std::size_t i = 0; i < roms.size(); ++i) {
            EXPECT_EQ(roms[i].crc, expected[i].crc);
            EXPECT_EQ(roms[i].crc2, expected[i].crc2);
            EXPECT_EQ(roms[i].name, expected[i].name);
        }
    }
}

TEST(ZdbLoad, HeaderSkipOfMinusOneIsRefused) {
    // -1 is the "unusable" mark of every caller, so it cannot pass as a real skip.
    HeaderFields f;
    f.number = -1;
    expect_unusable(parse(zdbfixture::header(3, f).data, core::kZdbHeaderOnly));
}

TEST(ZdbLoad, LoadsTwoHundredThousandEntries) {
    auto b = zdbfixture::header(2);
    const std::uint32_t count = 200000;
    for (std::uint32_t i = 0; i < count; ++i)
        b.record(i, "Entry " + std::to_string(i));
    TempDir dir;
    RomTable roms;
    ZdbHeader h = core::load_zdb(dir.write("big.zdb", b.data), core::kZdbFull, &roms);
    ASSERT_TRUE(h.usable()) << h.error;
    ASSERT_EQ(roms.size(), count);
    EXPECT_EQ(roms[0].name, "Entry 0");
    EXPECT_EQ(roms[32767].crc, "00007fff");
    EXPECT_EQ(roms[32768].name, "Entry 32768");
    EXPECT_EQ(roms[count - 1].crc, CrcText::from_value(count - 1));
    EXPECT_EQ(roms[count - 1].name, "Entry 199999");
    EXPECT_EQ(roms.capacity(), roms.size()) << "the table is reserved exactly";
}

class ZdbNotice : public ::testing::Test {
protected:
    TempDir dir;
    std::filesystem::path settings = dir.path() / "zelkon.ini";
    testsupport::RecordingPrompter prompter;
    core::FirstLoadNotice notice{"GEN", &prompter, settings};

    std::filesystem::path database(unsigned format = 2) {
        HeaderFields f;
        f.system_id = "SGENESIS  "; // the title takes the listed system's id, not this
        f.version = "2.4";
        f.credit = "The Collectors";
        f.notes = "Names follow the cartridge labels.";
        return dir.write("db.zdb", zdbfixture::header(format, f).record(1, "A").data);
    }
};

TEST_F(ZdbNotice, ShownAtTheFirstFullLoadOnly) {
    ASSERT_TRUE(core::write_setting("GEN", "ZDBLoaded", "0", settings));
    auto path = database();
    RomTable roms;
    ASSERT_TRUE(core::load_zdb(path, core::kZdbFull, &roms, &notice).usable());
    ASSERT_EQ(prompter.messages.size(), 1u);
    const auto& m = prompter.messages[0];
    EXPECT_EQ(m.text, "Names follow the cartridge labels.");
    EXPECT_EQ(m.title, "GEN (2.4) by The Collectors");
    EXPECT_EQ(m.icon, core::Message::Icon::Information);
    EXPECT_EQ(m.buttons, core::Message::Buttons::Ok);
    EXPECT_EQ(core::read_setting("GEN", "ZDBLoaded", "", settings), "1");
    EXPECT_EQ(roms.size(), 1u);

    ASSERT_TRUE(core::load_zdb(path, core::kZdbFull, &roms, &notice).usable());
    EXPECT_EQ(prompter.messages.size(), 1u);
}

TEST_F(ZdbNotice, MissingKeyCountsAsNotShown) {
    ASSERT_TRUE(core::load_zdb(database(), core::kZdbFull, nullptr, &notice).usable());
    EXPECT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(core::read_setting("GEN", "ZDBLoaded", "", settings), "1");
}

TEST_F(ZdbNotice, NotShownForHeaderLoadsOrUnusableFiles) {
    auto path = database();
    EXPECT_TRUE(core::load_zdb(path, core::kZdbHeaderOnly, nullptr, &notice).usable());
    EXPECT_TRUE(core::load_zdb(path, core::kZdbHeaderAndInfo, nullptr, &notice).usable());
    auto bad = dir.write("bad.zdb", zdbfixture::header(4).data);
    EXPECT_FALSE(core::load_zdb(bad, core::kZdbFull, nullptr, &notice).usable());
    EXPECT_TRUE(prompter.messages.empty());
    EXPECT_TRUE(core::read_setting("GEN", "ZDBLoaded", "", settings).is_empty());
}

TEST(ZdbVersion, ReadsTheVersionTextOnly) {
    TempDir dir;
    HeaderFields f;
    f.version = "v1.2 \xE9";
    EXPECT_EQ(core::read_zdb_version(dir.write("a.zdb", zdbfixture::header(1, f).data)),
              "v1.2 \xC3\xA9");
    // No range check of the format byte, and nothing after the version is needed.
    std::string nine = zdbfixture::header(9, f).data;
    EXPECT_EQ(core::read_zdb_version(dir.write("b.zdb", nine.substr(0, 1 + 9 + 13 + 7))),
              "v1.2 \xC3\xA9");
}

TEST(ZdbVersion, EmptyForFirstByteZeroAndShortFiles) {
    TempDir dir;
    std::string full = zdbfixture::header(0).data;
    EXPECT_EQ(core::read_zdb_version(dir.write("zero.zdb", full)), "");
    std::string one = zdbfixture::header(1).data;
    for (std::size_t cut = 0; cut < 1 + 9 + 13 + 4; ++cut)
        EXPECT_EQ(core::read_zdb_version(
                      dir.write("short" + std::to_string(cut) + ".zdb", one.substr(0, cut))),
                  "")
            << cut;
    EXPECT_EQ(core::read_zdb_version(dir.path() / "missing.zdb"), "");
}
