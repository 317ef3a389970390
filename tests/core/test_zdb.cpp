#include <gtest/gtest.h>

#include <span>
#include <string>
#include <tuple>
#include <vector>

#include "core_fixture.h"
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
using zdbfixture::HeaderFields;

namespace {

// The texts of a header, joined with "|".
std::string texts(const ZdbHeader& h) {
    return h.system_id + "|" + h.long_name + "|" + h.version + "|" + h.credit + "|" + h.notes +
           "|" + h.patterns + "|" + h.more_info;
}

std::string dump(const RomTable& roms) {
    std::string out;
    for (const auto& r : roms)
        out += r.crc.str() + " " + r.crc2.str() + " " + r.name + ";";
    return out;
}

void expect_unusable(const ZdbHeader& h) {
    EXPECT_EQ(h.number, -1);
    EXPECT_FALSE(h.error.empty());
    EXPECT_EQ(texts(h), "||||||") << "never a partial header";
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

// The second CRC of a record, which only format 1 stores.
std::optional<std::uint32_t> second(unsigned format, std::uint32_t crc) {
    return format == 1 ? std::optional(crc) : std::nullopt;
}

} // namespace

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
    RomTable roms = sentinel_table();
    ZdbHeader h =
        parse({reinterpret_cast<const char*>(bytes), sizeof bytes}, core::kZdbFull, &roms);
    ASSERT_TRUE(h.usable()) << h.error;
    EXPECT_EQ(texts(h), "SMS |Seg|1.0|Z\xC3\xA9||*.sms|abc");
    EXPECT_EQ(std::tuple(h.number, h.extra, h.crc_count), std::tuple(0, 0, 1));
    EXPECT_EQ(dump(roms), "0000abcd XXX      Ab;12345678 XXX      \xE2\x82\xAC;");
}

// Formats 1 and 3 store a signed header skip; only 1 has the extra field and a second CRC.
// Texts and names run up to their limits: 255 bytes, and 32,767 for the more-info text.
TEST(ZdbLoad, Versions1And3HaveAHeaderSkip) {
    for (unsigned format : {1u, 3u}) {
        SCOPED_TRACE(format);
        HeaderFields f;
        f.number = format == 1 ? 512 : -2;
        f.extra = -3;
        f.long_name = "Pok\xE9mon \x80";
        f.notes = std::string(253, 'n') + "\x81\x8D"; // unassigned bytes
        f.more_info = "Caf\xE9" + std::string(32763, 'm');
        const std::string tails = std::string(250, 'T') + "Tails";
        auto b = zdbfixture::header(format, f)
                     .record(0xDEADBEEF, "\xC9t\xE9 \x8A\xFF", second(format, 0x01020304))
                     .record(0x80000001, tails, second(format, 0xFFFFFFFF));
        RomTable roms;
        ZdbHeader h = parse(b.data, core::kZdbFull, &roms);
        ASSERT_TRUE(h.usable()) << h.error;
        EXPECT_EQ(std::tuple(h.number, h.extra, h.crc_count),
                  format == 1 ? std::tuple(512, -3, 2) : std::tuple(-2, 0, 1));
        EXPECT_TRUE(texts(h) == "SGENESIS|Pok\xC3\xA9mon \xE2\x82\xAC|2.4|The Collectors|" +
                                    std::string(253, 'n') + "\xC2\x81\xC2\x8D|*.bin;*.gen;*.smd|" +
                                    "Caf\xC3\xA9" + std::string(32763, 'm'));
        const auto crc2 = [&](const char* text) { return format == 1 ? text : "XXX     "; };
        EXPECT_EQ(dump(roms), "deadbeef " + std::string(crc2("01020304")) +
                                  " \xC3\x89t\xC3\xA9 \xC5\xA0\xC3\xBF;80000001 " +
                                  crc2("ffffffff") + " " + tails + ";");
    }
}

TEST(ZdbLoad, UnusableFilesGiveAReason) {
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
    // -1 is the "unusable" mark of every caller, so it cannot pass as a real skip.
    HeaderFields f;
    f.number = -1;
    expect_unusable(parse(zdbfixture::header(3, f).data, core::kZdbHeaderOnly));

    ZdbHeader missing = core::load_zdb(dir.path() / "none.zdb", core::kZdbHeaderOnly);
    expect_unusable(missing);
    EXPECT_EQ(missing.error, "cannot open '" + (dir.path() / "none.zdb").string() +
                                 "': No such file or directory");

    std::filesystem::create_directory(dir.path() / "folder.zdb");
    RomTable table = sentinel_table();
    ZdbHeader folder = core::load_zdb(dir.path() / "folder.zdb", core::kZdbFull, &table);
    expect_unusable(folder);
    EXPECT_NE(folder.error.find("folder.zdb"), std::string::npos);
    EXPECT_TRUE(table.empty());
}

// Every header field cut at every byte: unusable with a reason, never a partial header.
TEST(ZdbLoad, HeaderCutAtEveryByteIsUnusable) {
    TempDir dir;
    for (unsigned format : {1u, 2u, 3u}) {
        const std::string full = zdbfixture::header(format).data;
        const std::size_t info_start = full.size() - 2 - HeaderFields{}.more_info.size();
        for (int mode : {core::kZdbFull, core::kZdbHeaderOnly, core::kZdbHeaderAndInfo}) {
            const std::size_t header_end = mode == core::kZdbHeaderOnly ? info_start : full.size();
            const auto kept = mode == core::kZdbFull ? 0u : 1u; // header loads keep the table
            for (std::size_t cut = 0; cut < header_end; ++cut) {
                const auto name = std::to_string(format) + "-" + std::to_string(mode) + "-" +
                                  std::to_string(cut) + ".zdb";
                SCOPED_TRACE(name);
                // A new file each time: rewriting one file makes ext4 flush it on close.
                auto path = dir.write(name, full.substr(0, cut));
                RomTable roms = sentinel_table();
                ZdbHeader h = core::load_zdb(path, mode, &roms);
                expect_unusable(h);
                EXPECT_EQ(h.error, "'" + path.string() + "' is not a ROM database: " +
                                       (cut ? "the header ends early" : "the file is empty"));
                EXPECT_EQ(roms.size(), kept);
            }
            // Whole, the header loads; a header-only load reads no more-info text.
            RomTable roms = sentinel_table();
            EXPECT_EQ(texts(parse(full.substr(0, header_end), mode, &roms)),
                      "SGENESIS|Sega Genesis|2.4|The Collectors|Names follow the cartridge "
                      "labels.|*.bin;*.gen;*.smd|" +
                          std::string(mode == core::kZdbHeaderOnly ? "" : "A longer description."));
            EXPECT_EQ(roms.size(), kept);
        }
    }
}

// A file that ends inside a record keeps the entries before it and says so. The records
// follow a negative more-info length at once; a record with an empty name adds no entry.
TEST(ZdbLoad, RecordCutShortKeepsTheEntriesBeforeItAndSaysSo) {
    HeaderFields f;
    f.more_info = "";
    f.more_info_length = -5;
    for (unsigned format : {1u, 2u}) {
        auto b = zdbfixture::header(format, f)
                     .record(0x10, "First", second(format, 0x11))
                     .record(0x22, "", second(format, 0))
                     .record(0x20, "Second", second(format, 0x21));
        const std::size_t last = format == 1 ? 1 + 8 + 6 : 1 + 4 + 6; // the whole record
        for (std::size_t drop = 0; drop < last; ++drop) {
            SCOPED_TRACE("format " + std::to_string(format) + " drop " + std::to_string(drop));
            RomTable roms;
            ZdbHeader h = parse(b.data.substr(0, b.data.size() - drop), core::kZdbFull, &roms);
            ASSERT_TRUE(h.usable()) << h.error;
            EXPECT_EQ(h.more_info, "");
            ASSERT_EQ(roms.size(), drop ? 1u : 2u);
            EXPECT_EQ(roms.back().name, drop ? "First" : "Second");
            EXPECT_EQ(h.warning, drop ? "'input' ends inside a record after 1 entries" : "");
        }
    }
    TempDir dir;
    const std::string whole = zdbfixture::header(3).record(1, "A").record(2, "B").data;
    auto path = dir.write("SGENESIS.zdb", whole.substr(0, whole.size() - 1));
    const std::string warning = "'" + path.string() + "' ends inside a record after 1 entries";
    RomTable roms;
    EXPECT_EQ(core::load_zdb(path, core::kZdbFull, &roms).warning, warning);
    EXPECT_EQ(core::load_zdb(path, core::kZdbFull).warning, warning) << "without a table too";
}

// Records straddle the reader's buffer many times over, and Stop is looked at as they are
// read: at the first look, before any record, and at the last, deep in the second pass.
TEST(ZdbLoad, LoadsTwoHundredThousandEntriesUnlessStopped) {
    auto b = zdbfixture::header(2);
    const std::uint32_t count = 200000;
    for (std::uint32_t i = 0; i < count; ++i)
        b.record(i, "Entry " + std::to_string(i));
    TempDir dir;
    const auto path = dir.write("big.zdb", b.data);
    RomTable roms;
    corefixture::ProgressProbe never;
    ZdbHeader h = core::load_zdb(path, core::kZdbFull, &roms, nullptr, &never);
    ASSERT_TRUE(h.usable()) << h.error;
    ASSERT_EQ(roms.size(), count);
    std::uint32_t wrong = 0;
    for (std::uint32_t i = 0; i < count; ++i)
        wrong +=
            roms[i].crc != CrcText::from_value(i) || roms[i].name != "Entry " + std::to_string(i);
    EXPECT_EQ(wrong, 0u);
    EXPECT_EQ(roms.capacity(), roms.size()) << "the table is reserved exactly";
    EXPECT_GT(never.looks, 2);

    for (long at : {1L, never.looks}) {
        corefixture::ProgressProbe stop;
        stop.stop_at = at;
        h = core::load_zdb(path, core::kZdbFull, &roms, nullptr, &stop);
        EXPECT_TRUE(h.stopped) << at;
        EXPECT_FALSE(h.usable());
        EXPECT_EQ(h.error, "") << "the file is not at fault";
        EXPECT_TRUE(roms.empty());
    }
}

TEST(ZdbNotice, ShownAtTheFirstFullLoadOnly) {
    TempDir dir;
    const auto settings = dir.path() / "zelkon.ini";
    testsupport::RecordingPrompter prompter;
    core::FirstLoadNotice notice{"GEN", &prompter, settings};
    const auto flag = [&] { return core::read_setting("GEN", "ZDBLoaded", "", settings).text(); };
    HeaderFields f;
    f.system_id = "SGENESIS  "; // the title takes the listed system's id, not this
    const auto path = dir.write("db.zdb", zdbfixture::header(2, f).record(1, "A").data);
    EXPECT_TRUE(core::load_zdb(path, core::kZdbHeaderOnly, nullptr, &notice).usable());
    EXPECT_TRUE(core::load_zdb(path, core::kZdbHeaderAndInfo, nullptr, &notice).usable());
    auto bad = dir.write("bad.zdb", zdbfixture::header(4).data);
    EXPECT_FALSE(core::load_zdb(bad, core::kZdbFull, nullptr, &notice).usable());
    EXPECT_TRUE(prompter.messages.empty()) << "not for header loads or unusable files";
    EXPECT_EQ(flag(), "");

    // A missing key counts as not shown.
    RomTable roms;
    ASSERT_TRUE(core::load_zdb(path, core::kZdbFull, &roms, &notice).usable());
    ASSERT_EQ(prompter.messages.size(), 1u);
    const auto& m = prompter.messages[0];
    EXPECT_EQ(m.text, "Names follow the cartridge labels.");
    EXPECT_EQ(m.title, "GEN (2.4) by The Collectors");
    EXPECT_EQ(m.icon, core::Message::Icon::Information);
    EXPECT_EQ(m.buttons, core::Message::Buttons::Ok);
    EXPECT_EQ(flag(), "1");
    EXPECT_EQ(roms.size(), 1u);

    ASSERT_TRUE(core::load_zdb(path, core::kZdbFull, &roms, &notice).usable());
    EXPECT_EQ(prompter.messages.size(), 1u);
    ASSERT_TRUE(core::write_setting("GEN", "ZDBLoaded", "0", settings));
    ASSERT_TRUE(core::load_zdb(path, core::kZdbFull, &roms, &notice).usable());
    EXPECT_EQ(prompter.messages.size(), 2u);
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

    // Empty for a first byte of zero, a short file or none.
    EXPECT_EQ(core::read_zdb_version(dir.write("zero.zdb", zdbfixture::header(0).data)), "");
    std::string one = zdbfixture::header(1).data;
    for (std::size_t cut = 0; cut < 1 + 9 + 13 + 4; ++cut)
        EXPECT_EQ(core::read_zdb_version(
                      dir.write("short" + std::to_string(cut) + ".zdb", one.substr(0, cut))),
                  "")
            << cut;
    EXPECT_EQ(core::read_zdb_version(dir.path() / "missing.zdb"), "");
}
