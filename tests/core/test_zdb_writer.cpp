#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

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

// Every field at its limit: 255 bytes in Windows-1252, 32,767 bytes of more-info text.
ZdbHeader sample_header() {
    ZdbHeader h;
    h.system_id = "SGENESIS";
    h.long_name = "Sega Genesis / Mega Drive \xE2\x80\x94 \xC3\x89"
                  "dition";
    h.version = "2.4";
    h.credit = "The Collectors \xE2\x82\xAC";
    h.notes = std::string(254, 'x') + "\xC3\xA9";
    h.patterns = "*.bin;*.gen;*.smd";
    h.number = 512;
    h.extra = -7;
    h.more_info = "Line one\r\nLine two \xC5\xB8" + std::string(32767 - 20, 'm');
    return h;
}

struct Row {
    std::uint32_t crc;
    std::string name;
    std::uint32_t crc2;
};

const std::vector<Row> kRows{{0xDEADBEEF, "Sonic the Hedgehog (USA, Europe)", 0x01020304},
                             {0x0000ABCD, "Pok\xC3\xA9mon \xE2\x80\x93 Edition", 0xFFFFFFFF},
                             {0x80000000, std::string(254, 'n') + "\xE2\x82\xAC", 0x7},
                             {0x00000000, "Z", 0x1}};

RomTable sample_roms() {
    RomTable roms;
    for (const auto& r : kRows)
        roms.push_back(rom_entry(r.crc, r.name, r.crc2));
    return roms;
}

std::string cp1252(const std::string& text) {
    return core::utf8_to_cp1252(text).value();
}

} // namespace

// The writer's bytes are those the format table gives, built independently (test_zdb.cpp
// checks the reader against the same table).
TEST(ZdbWriter, BytesMatchTheFormat) {
    TempDir dir;
    const ZdbHeader h = sample_header();
    const zdbfixture::HeaderFields f{
        h.system_id,        cp1252(h.long_name), h.version, cp1252(h.credit),
        cp1252(h.notes),    h.patterns,          h.number,  h.extra,
        cp1252(h.more_info)};
    for (int format : {1, 2, 3}) {
        SCOPED_TRACE(format);
        auto expected = zdbfixture::header(static_cast<unsigned>(format), f);
        for (const auto& r : kRows)
            expected.record(r.crc, cp1252(r.name),
                            format == 1 ? std::optional(r.crc2) : std::nullopt);
        auto path = dir.path() / ("f" + std::to_string(format) + ".zdb");
        auto ok = core::write_zdb(path, format, h, sample_roms());
        ASSERT_TRUE(ok) << ok.error().message;
        EXPECT_TRUE(read_file(path) == expected.data);
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

    // Refusals changed nothing, and no temporary file is left behind.
    EXPECT_TRUE(read_file(path) == before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
    EXPECT_EQ(refused(2, no_second), "(written)") << "formats 2 and 3 store no second CRC";

    auto nowhere = dir.path() / "missing" / "db.zdb";
    auto s = core::write_zdb(nowhere, 2, sample_header(), sample_roms());
    ASSERT_FALSE(s);
    EXPECT_NE(s.error().message.find("missing"), std::string::npos);
}
