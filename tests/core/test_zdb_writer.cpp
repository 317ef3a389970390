#include <gtest/gtest.h>

#include <string>

#include "temp_dir.h"
#include "zdb.h"
#include "zdb_fixture.h"
#include "zdb_writer.h"

using core::CrcText;
using core::RomEntry;
using core::RomTable;
using core::ZdbHeader;
using testsupport::TempDir;

namespace {

ZdbHeader sample_header() {
    ZdbHeader h;
    h.system_id = "SGENESIS";
    h.long_name = "Sega Genesis / Mega Drive \xE2\x80\x94 \xC3\x89"
                  "dition";
    h.version = "2.4";
    h.credit = "The Collectors \xE2\x82\xAC";
    h.notes = "Names follow the cartridge labels.";
    h.patterns = "*.bin;*.gen;*.smd";
    h.number = 512;
    h.extra = -7;
    h.more_info = "Line one\r\nLine two \xC5\xB8";
    return h;
}

RomEntry rom(std::uint32_t crc, std::string name, std::uint32_t crc2 = 0) {
    return RomEntry{CrcText::from_value(crc), CrcText::from_value(crc2), std::move(name), "", 0};
}

RomTable sample_roms() {
    return {rom(0xDEADBEEF, "Sonic the Hedgehog (USA, Europe)", 0x01020304),
            rom(0x0000ABCD, "Pok\xC3\xA9mon \xE2\x80\x93 Edition", 0xFFFFFFFF),
            rom(0x80000000, std::string(255, 'n'), 0x7), rom(0x00000000, "Z", 0x0)};
}

} // namespace

TEST(ZdbWriter, EveryFormatRoundTrips) {
    TempDir dir;
    const ZdbHeader h = sample_header();
    const RomTable roms = sample_roms();
    for (int format : {1, 2, 3}) {
        SCOPED_TRACE(format);
        auto path = dir.path() / ("f" + std::to_string(format) + ".zdb");
        auto ok = core::write_zdb(path, format, h, roms);
        ASSERT_TRUE(ok) << ok.error().message;
        RomTable back;
        ZdbHeader r = core::load_zdb(path, core::kZdbFull, &back);
        ASSERT_TRUE(r.usable()) << r.error;
        EXPECT_EQ(r.system_id, h.system_id);
        EXPECT_EQ(r.long_name, h.long_name);
        EXPECT_EQ(r.version, h.version);
        EXPECT_EQ(r.credit, h.credit);
        EXPECT_EQ(r.notes, h.notes);
        EXPECT_EQ(r.patterns, h.patterns);
        EXPECT_EQ(r.more_info, h.more_info);
        EXPECT_EQ(r.number, format == 2 ? 0 : 512);
        EXPECT_EQ(r.extra, format == 1 ? -7 : 0);
        EXPECT_EQ(r.crc_count, format == 1 ? 2 : 1);
        ASSERT_EQ(back.size(), roms.size());
        for (std::size_t i = 0; i < roms.size(); ++i) {
            EXPECT_EQ(back[i].crc, roms[i].crc);
            EXPECT_EQ(back[i].crc2, format == 1 ? roms[i].crc2 : CrcText::none());
            EXPECT_EQ(back[i].name, roms[i].name);
        }
        EXPECT_EQ(core::read_zdb_version(path), "2.4");
    }
}

// The writer's bytes are those the format table gives, built independently.
TEST(ZdbWriter, BytesMatchTheFormat) {
    TempDir dir;
    ZdbHeader h;
    h.system_id = "SMS";
    h.long_name = "Master System";
    h.version = "1";
    h.credit = "Z\xC3\xA9";
    h.notes = "n";
    h.patterns = "*.sms";
    h.number = 16;
    h.extra = 3;
    h.more_info = "";
    RomTable roms{rom(0xABCD, "Ab", 0x99), rom(0x12345678, "\xE2\x82\xAC", 0x1)};

    zdbfixture::HeaderFields f;
    f.system_id = "SMS";
    f.long_name = "Master System";
    f.version = "1";
    f.credit = "Z\xE9";
    f.notes = "n";
    f.patterns = "*.sms";
    f.number = 16;
    f.extra = 3;
    f.more_info = "";
    for (unsigned format : {1u, 2u, 3u}) {
        SCOPED_TRACE(format);
        auto expected = zdbfixture::header(format, f);
        expected.record(0xABCD, "Ab",
                        format == 1 ? std::optional<std::uint32_t>(0x99) : std::nullopt);
        expected.record(0x12345678, "\x80",
                        format == 1 ? std::optional<std::uint32_t>(1) : std::nullopt);
        auto path = dir.path() / "x.zdb";
        ASSERT_TRUE(core::write_zdb(path, static_cast<int>(format), h, roms));
        EXPECT_EQ(testsupport::read_file(path), expected.data);
    }
}

TEST(ZdbWriter, LimitsAreTheFormatsOwn) {
    TempDir dir;
    ZdbHeader h = sample_header();
    h.notes = std::string(254, 'x') + "\xC3\xA9"; // 255 bytes in Windows-1252
    h.more_info = std::string(32767, 'm');
    RomTable roms{rom(1, std::string(254, 'a') + "\xE2\x82\xAC")};
    auto path = dir.path() / "max.zdb";
    ASSERT_TRUE(core::write_zdb(path, 2, h, roms));
    RomTable back;
    ZdbHeader r = core::load_zdb(path, core::kZdbFull, &back);
    EXPECT_EQ(r.notes, h.notes);
    EXPECT_EQ(r.more_info.size(), 32767u);
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0].name, roms[0].name);
}

TEST(ZdbWriter, RefusesWhatCannotBeStored) {
    TempDir dir;
    auto path = dir.path() / "db.zdb";
    ASSERT_TRUE(core::write_zdb(path, 3, sample_header(), sample_roms()));
    const std::string before = testsupport::read_file(path);

    auto refused = [&](int format, const ZdbHeader& h, const RomTable& roms) {
        auto s = core::write_zdb(path, format, h, roms);
        if (s)
            return std::string("(written)");
        EXPECT_EQ(s.error().code, core::Error::Code::BadInput);
        return s.error().message;
    };
    const ZdbHeader good = sample_header();
    const RomTable roms = sample_roms();

    EXPECT_NE(refused(0, good, roms).find("format"), std::string::npos);
    EXPECT_NE(refused(4, good, roms).find("format"), std::string::npos);

    ZdbHeader h = good;
    h.long_name = "\xE6\x97\xA5\xE6\x9C\xAC"; // not in Windows-1252
    EXPECT_NE(refused(2, h, roms).find("long name"), std::string::npos);
    h = good;
    h.credit = std::string(256, 'c');
    EXPECT_NE(refused(2, h, roms).find("credit"), std::string::npos);
    h = good;
    h.more_info = std::string(32768, 'm');
    EXPECT_NE(refused(2, h, roms).find("more-info"), std::string::npos);
    h = good;
    h.number = -1;
    EXPECT_NE(refused(3, h, roms).find("-1"), std::string::npos);

    RomTable bad = roms;
    bad[1].name = "";
    EXPECT_NE(refused(2, good, bad).find("ROM 2"), std::string::npos);
    bad = roms;
    bad[0].name = std::string(256, 'n');
    EXPECT_NE(refused(2, good, bad).find("256 bytes"), std::string::npos);
    bad = roms;
    bad[0].name = "\xF0\x9F\x98\x80";
    EXPECT_NE(refused(2, good, bad).find("Windows-1252"), std::string::npos);
    bad = roms;
    bad[2].crc = CrcText("12g45678");
    EXPECT_NE(refused(2, good, bad).find("12g45678"), std::string::npos);
    bad = roms;
    bad[0].crc2 = CrcText::none();
    EXPECT_NE(refused(1, good, bad).find("second CRC"), std::string::npos);
    EXPECT_TRUE(core::write_zdb(path, 2, good, bad)) << "formats 2 and 3 store no second CRC";

    // Refusals changed nothing, and no temporary file is left behind.
    ASSERT_TRUE(core::write_zdb(path, 3, sample_header(), sample_roms()));
    EXPECT_EQ(testsupport::read_file(path), before);
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path()))
        ++files;
    EXPECT_EQ(files, 1u);
}

TEST(ZdbWriter, ReportsAFolderThatIsNotThere) {
    TempDir dir;
    auto path = dir.path() / "missing" / "db.zdb";
    auto s = core::write_zdb(path, 2, sample_header(), sample_roms());
    ASSERT_FALSE(s);
    EXPECT_NE(s.error().message.find("missing"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(ZdbWriter, UpperCaseCrcTextIsAccepted) {
    TempDir dir;
    auto path = dir.path() / "u.zdb";
    RomTable roms{RomEntry{CrcText("DEADBEEF"), CrcText::none(), "Upper", "", 0}};
    ASSERT_TRUE(core::write_zdb(path, 2, sample_header(), roms));
    RomTable back;
    ASSERT_TRUE(core::load_zdb(path, core::kZdbFull, &back).usable());
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0].crc, "deadbeef");
    EXPECT_EQ(back[0].name, "Upper");
}
