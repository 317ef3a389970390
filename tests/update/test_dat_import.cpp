#include "dat_import.h"

#include <gtest/gtest.h>

#include "recorders.h"
#include "temp_dir.h"
#include "text.h"
#include "zdb.h"

using testsupport::read_file;
using testsupport::TempDir;
using update::legal_file_name;

namespace {

namespace fs = std::filesystem;

constexpr const char* kLogiqx = R"xml(<?xml version="1.0"?>
<datafile>
  <header><name>Sega - Mega Drive</name><description>Sega Mega Drive (2024)</description>
    <version>20240101</version><author>The Dumpers</author><homepage>dumpers.example</homepage>
  </header>
  <game name="sonic"><description>Sonic: The Hedgehog (USA)</description>
    <rom name="Sonic (USA).md" size="524288" crc="F9394E97"/></game>
  <machine name="Alpha (World)"><rom name="Alpha (World).md" size="4" crc="abcd"/></machine>
  <game name="CON"><rom name="con.bin" size="4" crc="11111111"/></game>
  <game name="Nodump"><rom name="x.md" size="4" status="nodump"/></game>
  <game name="Broken"><rom name="y.md" size="4" crc="12345678z"/></game>
  <game name="Again (World)"><rom name="a.md" size="4" crc="22222222"/>
    <rom name="a.md" size="4" crc="22222222"/></game>
</datafile>)xml";

// Two ROMs of a cartridge, a loading step without a name, a disc with its tracks.
constexpr const char* kSoftwareList = R"xml(<?xml version="1.0"?>
<!DOCTYPE softwarelist SYSTEM "softwarelist.dtd">
<softwarelist name="jaguar" description="Atari Jaguar cartridges">
  <software name="aircars94"><description>Air Cars (1994 version)</description>
    <part name="cart"><dataarea name="rom">
      <rom name="aircars94.u1" size="0x100000" crc="bbd4c4bd" offset="0"/>
      <rom size="0x100000" offset="0x100000" loadflag="continue"/>
    </dataarea><dataarea name="extra">
      <rom name="aircars94.u2" size="0x100000" crc="d9958c79" offset="2"/>
    </dataarea></part>
  </software>
  <software name="disc"><description>Disc &amp; Tracks (Japan)</description>
    <part name="cd"><dataarea name="rom">
      <rom name="Disc &amp; Tracks (Japan) (Track 1).bin" size="9" crc="00000001"/>
      <rom name="Disc &amp; Tracks (Japan) (Track 2).bin" size="9" crc="00000002"/>
    </dataarea></part>
  </software>
</softwarelist>)xml";

struct Loaded {
    core::ZdbHeader header;
    core::RomTable roms;

    /// {CRC, name} of every entry, in order.
    std::vector<std::pair<std::string, std::string>> entries() const {
        std::vector<std::pair<std::string, std::string>> out;
        for (const auto& rom : roms)
            out.emplace_back(rom.crc.view(), rom.name);
        return out;
    }
};

class DatImport : public ::testing::Test {
protected:
    update::ImportOptions options(std::string_view xml, const std::string& id = "SGENESIS") {
        update::ImportOptions o;
        o.dat_file = dir.write("list.xml", xml);
        o.system_id = id;
        o.out_folder = out;
        return o;
    }
    Loaded load(const std::string& id = "SGENESIS") const {
        Loaded l;
        l.header = core::load_zdb(out / (id + ".zdb"), core::kZdbFull, &l.roms);
        return l;
    }
    // Refused for options, Failed for a list: nothing written, the problem says why.
    void expect_refused(const update::ImportOptions& o, const std::string& part,
                        core::End end = core::End::Failed) {
        auto r = update::import_dat(o);
        EXPECT_EQ(r.end, end) << part;
        ASSERT_EQ(r.problems.size(), 1u) << part;
        EXPECT_NE(r.problems[0].text().find(part), std::string::npos) << r.problems[0].text();
        EXPECT_TRUE(r.summary.empty());
        EXPECT_TRUE(fs::is_empty(out)) << part;
    }

    TempDir dir;
    fs::path out = dir.path() / "out";
    void SetUp() override { fs::create_directories(out); }
};

// What Windows or Linux refuse, device names, Windows-1252 only, and the length.
TEST(LegalFileName, MakesEveryNameAFileNameOnBothSystems) {
    const std::pair<const char*, const char*> cases[] = {
        {"Sonic (USA, Europe)", "Sonic (USA, Europe)"},
        {"Star Wars: Rebel", "Star Wars - Rebel"},
        {"12:30 A : B", "12-30 A - B"},
        {"AC/DC \\ x | y", "AC-DC - x - y"},
        {"Say \"Hi\" <Beta>", "Say 'Hi' (Beta)"},
        {"Who? Me * Q*bert?", "Who Me Qbert"},
        {"Tab\there\x01", "Tab here"},
        {"  Dots... . ", "Dots"},
        {"...", ""},
        {"?", ""},
        {"CON", "CON_"},
        {"nul.txt", "nul_.txt"},
        {"Com1", "Com1_"},
        {"LPT9 .x", "LPT9_ .x"},
        {"COM\u00B9", "COM\u00B9_"},
        {"Console", "Console"},
        {"COM10", "COM10"},
        {"AUX (Japan)", "AUX (Japan)"},
        {"Ast\u00E9rix \u014Ckami \u016B", "Ast\u00E9rix Okami u"},
        {"\uFF21\uFF22 \u4E2D\u570B", "AB __"},
        {"Xi\u01CEo M\u00F3n\u01DA", "Xiao M\u00F3nu"},
        {"a\377b\300", "a_b_"}, // bytes that are no UTF-8
    };
    for (const auto& [in, expected] : cases)
        EXPECT_EQ(legal_file_name(in), expected) << in;

    std::string long_name;
    for (int i = 0; i < 300; ++i)
        long_name += "\u00E9"; // two bytes each: the cut must not split one
    EXPECT_EQ(legal_file_name(long_name), long_name.substr(0, 240));
    EXPECT_EQ(legal_file_name(std::string(239, 'x') + " yz"), std::string(239, 'x'));
}

TEST_F(DatImport, LogiqxRoundTripsWithCountsAndSummary) {
    auto o = options(kLogiqx);
    o.header_skip = 512;
    auto r = update::import_dat(o);
    ASSERT_TRUE(r.clean()) << testsupport::lines(r.problems).at(0);
    EXPECT_EQ(r.format, 3);
    const auto db = load();
    const core::ZdbHeader& h = db.header;
    ASSERT_TRUE(h.usable()) << h.error;
    EXPECT_EQ((std::vector<std::string>{h.system_id, h.long_name, h.version, h.credit, h.notes,
                                        h.more_info, h.patterns}),
              (std::vector<std::string>{"SGENESIS", "Sega Mega Drive (2024)", "20240101",
                                        "The Dumpers", "Imported from 'list.xml'.",
                                        "Homepage: dumpers.example", "*.bin;*.md;*.smd"}));
    EXPECT_EQ(h.number, 512);
    EXPECT_EQ(db.entries(), (std::vector<std::pair<std::string, std::string>>{
                                {"f9394e97", "Sonic - The Hedgehog (USA)"},
                                {"0000abcd", "Alpha (World)"},
                                {"11111111", "CON_"},
                                {"22222222", "Again (World) (a.md)"}}));

    EXPECT_EQ(r.summary, "Wrote " + core::quoted(out / "SGENESIS.zdb") +
                             " (format 3).\nEntries written: 4\nSkipped without a CRC: 1\n"
                             "Skipped with a bad CRC: 1\nSkipped without a usable name: 0\n"
                             "Duplicates left out: 1\nNames changed to be legal: 2\n"
                             "File patterns: *.bin;*.md;*.smd\n");
}

TEST_F(DatImport, SoftwareListGivesOneEntryPerRomOfASoftware) {
    auto o = options(kSoftwareList, "JAGUAR");
    o.version = "7";
    o.patterns = "*.j64;*.rom";
    ASSERT_TRUE(update::import_dat(o).clean());
    const auto db = load("JAGUAR");
    EXPECT_EQ(db.header.long_name, "Atari Jaguar cartridges");
    EXPECT_EQ(db.header.version, "7");
    EXPECT_EQ(db.header.patterns, "*.j64;*.rom");
    // By default every ROM's extension, never "*.*".
    auto dat = update::parse_dat(kSoftwareList, "b.xml");
    ASSERT_TRUE(dat);
    o.patterns.reset();
    EXPECT_EQ(update::import_header(*dat, update::import_table(*dat), o).patterns,
              "*.bin;*.u1;*.u2");
    EXPECT_EQ(db.header.crc_count, 1);
    EXPECT_EQ(db.entries(), (std::vector<std::pair<std::string, std::string>>{
                                {"bbd4c4bd", "Air Cars (1994 version) (aircars94.u1)"},
                                {"d9958c79", "Air Cars (1994 version) (aircars94.u2)"},
                                {"00000001", "Disc & Tracks (Japan) (Track 1)"},
                                {"00000002", "Disc & Tracks (Japan) (Track 2)"}}));
}

TEST_F(DatImport, SecondCrcsMakeAFormat1Database) {
    auto r = update::import_dat(options(R"(<datafile>
        <game name="Both"><rom name="b.bin" crc="11111111" crc2="22222222"/></game>
        <game name="One"><rom name="o.bin" crc="33333333"/></game></datafile>)"));
    ASSERT_TRUE(r.clean());
    EXPECT_EQ(r.format, 1);
    const auto db = load();
    EXPECT_EQ(db.header.crc_count, 2);
    EXPECT_EQ(db.header.patterns, "*.bin;*.smd");
    ASSERT_EQ(db.roms.size(), 2u);
    EXPECT_EQ(db.roms[0].crc2, "22222222");
    EXPECT_EQ(db.roms[1].crc2, "33333333"); // matched by either CRC: the one it has
}

TEST_F(DatImport, RefusesWhatCannotMakeADatabaseAndWritesNothing) {
    auto missing = options(kLogiqx);
    missing.dat_file = dir.path() / "nowhere.dat";
    expect_refused(missing, "cannot open '" + missing.dat_file.string() + "'");
    expect_refused(options("<datafile>\n<game name='x'>\n  </gam>\n"),
                   core::quoted(dir.path() / "list.xml") +
                       " is not well-formed XML (line 3, column");
    expect_refused(options("<html/>"),
                   "is not a DAT file this program reads (its root element is <html>");
    expect_refused(options("PK\x03\x04"), "is not a DAT file this program reads (neither");
    expect_refused(options("clrmamepro ( name \"x )\n"),
                   "is not a well-formed ClrMamePro DAT (line 1): a text in double quotes");
    expect_refused(options("game ( name a\n rom ( name a.bin crc 1 )\n"),
                   "(line 3): a block is not closed");
    std::string nested = "game (";
    for (int i = 0; i < 9; ++i)
        nested += " a (";
    expect_refused(options(nested), "nested more than 8 deep");
    auto no_extension =
        options("<datafile><game name='a'><rom name='a' crc='1'/></game></datafile>");
    no_extension.out_folder = out / "made";
    no_extension.make_out_folder = true; // only for a list that gives a database
    expect_refused(no_extension, "has an extension to make the file patterns of; give them");
    expect_refused(options("<datafile><game name='a'><rom name='a.bin'/></game></datafile>"),
                   "no ROM with a usable CRC (1 without a CRC, 0 with a bad CRC");
    for (const char* id : {"../x", "a/b", "CON", "A]", "", "x."})
        expect_refused(options(kLogiqx, id), "cannot name a database file", core::End::Refused);
    auto skip = options(kLogiqx);
    skip.header_skip = -1;
    expect_refused(skip, "the header skip must be 0 or more", core::End::Refused);
    auto no_folder = options(kLogiqx);
    no_folder.out_folder = dir.path() / "absent";
    expect_refused(no_folder, "does not exist", core::End::Refused);
    EXPECT_FALSE(fs::exists(no_folder.out_folder));
    auto unstorable = options(kLogiqx);
    unstorable.long_name = "\u4E2D";
    expect_refused(unstorable, "Windows-1252 cannot store");
}

constexpr const char* kClrMamePro = R"dat(clrmamepro (
	name "NEC - PC Engine - TurboGrafx 16"
	version 20240101
	author "The Dumpers"
)

game (
	name "Bomberman"
	description "Bomberman: Panic (Japan)"
	rom ( name "Bomberman (Japan).pce" size 262144 crc 1f041166 sha1 0a )
)
machine ( name Two rom ( name two.pce crc 2 ) rom ( name "two.bin" crc 00000003 ) disk ( name x ) )
)dat";

// The text format gives what its XML twin would; a list of a system with rules of its own
// imported under another id, or under its id in other letter case, is warned of.
TEST_F(DatImport, ClrMameProListsAndTheSystemIdsWithRules) {
    auto o = options(kClrMamePro, "TURBOGFX");
    auto r = update::import_dat(o);
    ASSERT_TRUE(r.clean()) << testsupport::lines(r.problems).at(0);
    EXPECT_TRUE(r.warnings.empty());
    const auto db = load("TURBOGFX");
    EXPECT_EQ((std::vector<std::string>{db.header.long_name, db.header.version, db.header.credit,
                                        db.header.patterns}),
              (std::vector<std::string>{"NEC - PC Engine - TurboGrafx 16", "20240101",
                                        "The Dumpers", "*.bin;*.pce"}));
    EXPECT_EQ(db.entries(), (std::vector<std::pair<std::string, std::string>>{
                                {"1f041166", "Bomberman - Panic (Japan)"},
                                {"00000002", "Two (two.pce)"},
                                {"00000003", "Two (two.bin)"}}));

    auto dat = update::parse_dat(kClrMamePro, o.dat_file);
    ASSERT_TRUE(dat);
    const auto table = update::import_table(*dat);
    auto warnings = [&](const std::string& id) {
        o.system_id = id;
        return update::system_id_warnings(*dat, table, o);
    };
    EXPECT_EQ(warnings("PCE"),
              std::vector<std::string>{core::quoted(o.dat_file) +
                                       " looks like a list of the PC Engine (TurboGrafx-16): "
                                       "imported as PCE, no dump with a 512-byte header is "
                                       "identified; import it as TURBOGFX for that"});
    EXPECT_EQ(warnings("TurboGfx"),
              std::vector<std::string>{"the system id 'TurboGfx' is not TURBOGFX: ids are "
                                       "compared exactly, so no dump with a 512-byte header is "
                                       "identified; import it as TURBOGFX"});
    dat->header.name = "NEC - PC Engine CD"; // CD images have no copier header
    EXPECT_TRUE(warnings("PCECD").empty());
}

// A database in the way is replaced only when asked, and never by an import that stopped.
TEST_F(DatImport, AnExistingDatabaseIsReplacedOnlyByAnImportAskedToThatCompletes) {
    const auto target = out / "SGENESIS.zdb";
    testsupport::write_file(target, "old");
    auto o = options(kLogiqx);
    auto refused = update::import_dat(o);
    EXPECT_EQ(refused.end, core::End::Refused);
    EXPECT_TRUE(refused.exists);
    EXPECT_TRUE(testsupport::lines(refused.problems)
                    .at(0)
                    .ends_with("exists already; nothing was written"));

    o.replace_existing = true;
    testsupport::RecordingProgress progress;
    progress.stop_after = 1; // after the first game
    auto stopped = update::import_dat(o, progress);
    EXPECT_EQ(stopped.end, core::End::Stopped);
    EXPECT_EQ(stopped.summary, "The import was stopped; nothing was written.\n");
    EXPECT_EQ(progress.step_calls, (std::vector<std::pair<std::size_t, std::size_t>>{{1, 6}}));
    EXPECT_EQ(read_file(target), "old");
    EXPECT_EQ(std::distance(fs::directory_iterator(out), {}), 1) << "and no other file";

    ASSERT_TRUE(update::import_dat(o).clean());
    EXPECT_EQ(load().roms.size(), 4u);
}

} // namespace
