#include <gtest/gtest.h>

#include <string>

#include "cp1252.h"
#include "rom_forge.h"
#include "temp_dir.h"
#include "zdb.h"
#include "zdb_fixture.h"
#include "zdb_writer.h"

using core::CrcText;
using core::RomTable;
using core::ZdbHeader;
using testsupport::read_file;
using testsupport::rom_entry;
using testsupport::TempDir;

namespace {

std::string texts(const ZdbHeader& h) {
    return h.system_id + "|" + h.long_name + "|" + h.version + "|" + h.credit + "|" + h.notes +
           "|" + h.patterns + "|" + h.more_info;
}

ZdbHeader sample_header() {
    ZdbHeader h;
    h.system_id = "SGENESIS";
    h.long_name = "Sega Genesis / Mega Drive \xE2\x80\x94 \xC3\x89"
                  "dition";
    h.version = "2.4";
    h.credit = "The Collectors \xE2\x82\xAC";
    h.notes = std::string(254, 'x') + "\xC3\xA9"; // the limits: 255 bytes in Windows-1252,
    h.patterns = "*.bin;*.gen;*.smd";
    h.number = 512;
    h.extra = -7;
    h.more_info = "Line one\r\nLine two \xC5\xB8" + std::string(32767 - 20, 'm'); // 32,767
    return h;
}

RomTable sample_roms() {
    return {rom_entry(0xDEADBEEF, "Sonic the Hedgehog (USA, Europe)", 0x01020304),
            rom_entry(0x0000ABCD, "Pok\xC3\xA9mon \xE2\x80\x93 Edition", 0xFFFFFFFF),
            rom_entry(0x80000000, std::string(254, 'n') + "\xE2\x82\xAC", 0x7),
            rom_entry(0x00000000, "Z", 0x1)};
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
        EXPECT_EQ(texts(r), texts(h));
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
    zdbfixture::HeaderFields f{"SMS", "Master System", "1", "Z\xE9", "n", "*.sms", 16, 3, ""};
    ZdbHeader h;
    for (auto [out, in] : {std::pair{&h.system_id, &f.system_id},
                           {&h.long_name, &f.long_name},
                           {&h.version, &f.version},
                           {&h.credit, &f.credit},
                           {&h.notes, &f.notes},
                           {&h.patterns, &f.patterns}})
        *out = core::cp1252_to_utf8(*in);
    h.number = f.number;
    h.extra = f.extra;
    const RomTable roms{rom_entry(0xABCD, "Ab", 0x99), rom_entry(0x12345678, "\xE2\x82\xAC", 0x1)};
    for (unsigned format : {1u, 2u, 3u}) {
        SCOPED_TRACE(format);
        const bool two = format == 1;
        auto expected = zdbfixture::header(format, f)
                            .record(0xABCD, "Ab", two ? std::optional(0x99u) : std::nullopt)
                            .record(0x12345678, "\x80", two ? std::optional(1u) : std::nullopt);
        auto path = dir.path() / "x.zdb";
        ASSERT_TRUE(core::write_zdb(path, static_cast<int>(format), h, roms));
        EXPECT_EQ(read_file(path), expected.data);
    }
}

TEST(ZdbWriter, RefusesWhatCannotBeStoredAndChangesNothing) {
    TempDir dir;
    auto path = dir.path() / "db.zdb";
    ASSERT_TRUE(core::write_zdb(path, 3, sample_header(), sample_roms()));
    const std::string before = read_file(path);

    // Applies `change` to a good header and table and returns the refusal.
    auto refused = [&](int format, auto change) {
        ZdbHeader h = sample_header();
        RomTable roms = sample_roms();
        change(h, roms);
        auto s = core::write_zdb(path, format, h, roms);
        if (s)
            return std::string("(written)");
        EXPECT_EQ(s.error().code, core::Error::Code::BadInput);
        return s.error().message;
    };
    auto none = [](ZdbHeader&, RomTable&) {};
    EXPECT_NE(refused(0, none).find("format"), std::string::npos);
    EXPECT_NE(refused(4, none).find("format"), std::string::npos);
    const std::vector<std::pair<std::string, void (*)(ZdbHeader&, RomTable&)>> cases{
        {"long name", [](ZdbHeader& h, RomTable&) { h.long_name = "\xE6\x97\xA5"; }},
        {"credit", [](ZdbHeader& h, RomTable&) { h.credit = std::string(256, 'c'); }},
        {"more-info", [](ZdbHeader& h, RomTable&) { h.more_info = std::string(32768, 'm'); }},
        {"-1", [](ZdbHeader& h, RomTable&) { h.number = -1; }},
        {"ROM 2", [](ZdbHeader&, RomTable& r) { r[1].name = ""; }},
        {"256 bytes", [](ZdbHeader&, RomTable& r) { r[0].name = std::string(256, 'n'); }},
        {"Windows-1252", [](ZdbHeader&, RomTable& r) { r[0].name = "\xF0\x9F\x98\x80"; }},
        {"12g45678", [](ZdbHeader&, RomTable& r) { r[2].crc = CrcText("12g45678"); }},
    };
    for (const auto& [reason, change] : cases)
        EXPECT_NE(refused(3, change).find(reason), std::string::npos) << reason;
    auto no_second = [](ZdbHeader&, RomTable& r) { r[0].crc2 = CrcText::none(); };
    EXPECT_NE(refused(1, no_second).find("second CRC"), std::string::npos);
    EXPECT_EQ(refused(2, no_second), "(written)") << "formats 2 and 3 store no second CRC";

    // Refusals changed nothing, and no temporary file is left behind.
    ASSERT_TRUE(core::write_zdb(path, 3, sample_header(), sample_roms()));
    EXPECT_EQ(read_file(path), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);

    auto nowhere = dir.path() / "missing" / "db.zdb";
    auto s = core::write_zdb(nowhere, 2, sample_header(), sample_roms());
    ASSERT_FALSE(s);
    EXPECT_NE(s.error().message.find("missing"), std::string::npos);
}
