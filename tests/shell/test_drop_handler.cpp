#include <cstdlib>

#include "progress.h"
#include "rom_forge.h"
#include "shell_fixture.h"
#include "temp_dir.h"
#include "undo_journal.h"
#include "zdb_writer.h"

namespace shelltest {
namespace {

namespace fs = std::filesystem;
using testsupport::names_in;
using testsupport::read_file;
using testsupport::rom_entry;
using testsupport::rom_with_crc;

// Files dropped onto a database, as a file manager drops them: the home (for the undo
// journal) is a folder of the test, and every message box is recorded.
class DropTest : public ::testing::Test {
protected:
    DropTest() {
        ::setenv("ZELKON_HOME", (dir.path() / "home").c_str(), 1);
        const ZelshellSite site{sizeof(ZelshellSite), &record, this, nullptr, nullptr};
        shell().set_site(&site);
    }
    ~DropTest() override {
        shell().set_site(nullptr);
        ::setenv("ZELKON_HOME", "/nonexistent-zelkon-home", 1);
    }
    static int record(void* context, const char* text, const char* title, std::uint32_t type) {
        static_cast<DropTest*>(context)->boxes.push_back(std::string(title) + "|" +
                                                         std::to_string(type) + "|" + text);
        return IDOK;
    }

    fs::path database(const std::string& system, int format, std::int32_t number,
                      const core::RomTable& roms) {
        auto header = testsupport::db_header("OTHER", "Some system", "*.*");
        header.number = number;
        const auto written = core::write_zdb(dir.path() / (system + ".zdb"), format, header, roms);
        EXPECT_TRUE(written.ok()) << written.error().message;
        return dir.path() / (system + ".zdb");
    }
    std::string rom(const std::string& name, const std::string& bytes) {
        return dir.write("roms/" + name, bytes).string();
    }
    HRESULT drop(const fs::path& db, const std::vector<std::string>& files) {
        auto persist = create<IPersistFile>(CLSID_clsDropHandler, IID_IPersistFile);
        EXPECT_EQ(persist->Load(db.c_str(), 0), S_OK);
        ComPtr<IDropTarget> target;
        EXPECT_EQ(persist->QueryInterface(IID_IDropTarget, target.put()), S_OK);
        std::uint32_t effect = DROPEFFECT_NONE;
        auto data = selection(files);
        EXPECT_EQ(target->DragEnter(data.get(), 0, {0, 0}, &effect), S_OK);
        EXPECT_EQ(effect, DROPEFFECT_COPY);
        return target->Drop(data.get(), 0, {0, 0}, &effect);
    }
    std::vector<std::string> roms() const { return names_in(dir.path() / "roms"); }

    testsupport::TempDir dir;
    std::vector<std::string> boxes;
};

TEST_F(DropTest, RenamesMatchesInPlaceNeverOverAFileAndUndoTakesThemBack) {
    const auto db = database("MIXED", 1, 0,
                             {rom_entry(0x1111, "Alpha", 0x2222), rom_entry(0x3333, "Beta", 1),
                              rom_entry(0x4444, "Gamma", 1), rom_entry(0x5555, "a/b\\c", 1),
                              rom_entry(0x6666, " .. ", 1)});
    const std::string gamma = rom("Gamma.rom", "kept");
    const std::vector<std::string> files = {
        rom("second.rom", rom_with_crc(64, 0x2222)), rom("dup.rom", rom_with_crc(64, 0x1111, 2)),
        rom("beta.ROM", rom_with_crc(64, 0x3333)),   rom("third.rom", rom_with_crc(64, 0x4444)),
        rom("slash.Bin", rom_with_crc(64, 0x5555)),  rom("dots.rom", rom_with_crc(64, 0x6666)),
        rom("other.rom", rom_with_crc(64, 0x7777))};
    const auto before = roms();
    ASSERT_EQ(drop(db, files), S_OK);
    EXPECT_EQ(roms(), (std::vector<std::string>{"Alpha.rom", "Gamma.rom", "a_b\\c.Bin", "beta.ROM",
                                                "dots.rom", "dup.rom", "other.rom", "third.rom"}));
    EXPECT_EQ(read_file(gamma), "kept");
    ASSERT_EQ(boxes.size(), 1u);
    const std::string& box = boxes[0];
    EXPECT_EQ(box.rfind("Results|64|Number of ROMs renamed: 2\r\n\r\n", 0), 0u) << box;
    for (const char* named : {"dup.rom", "third.rom", "dots.rom"})
        EXPECT_NE(box.find(named), std::string::npos) << named;

    auto undone =
        core::undo_last_run(dir.path() / "home" / "undo.journal", core::null_progress(), nullptr);
    EXPECT_EQ(undone.restored, 2u) << undone.summary;
    EXPECT_EQ(roms(), before);
}

TEST_F(DropTest, SystemRulesComeFromTheDatabaseFileName) {
    const std::string header(512, '\0');
    const auto plain = rom_with_crc(16384, 0xA001);
    const auto turbo = database("TURBOGFX", 3, 0x10080, // header skip: its low 16 bits, 128
                                {rom_entry(0xB001, "Zeroed"), rom_entry(0xB002, "Skipped")});
    const auto jaguar = database(
        "JAGUAR", 3, 0,
        {rom_entry(0xC001, "Headed"), rom_entry(0xC002, "Whole"), rom_entry(0xC003, "Zipped")});
    const auto genesis = database("SGENESIS", 2, 0, {rom_entry(0xA001, "Sonic")});
    ASSERT_EQ(drop(turbo, {rom("t1.pce", header + rom_with_crc(256, 0xB001)),
                           rom("t2.pce", std::string(128, 'h') + rom_with_crc(256, 0xB002))}),
              S_OK);
    ASSERT_EQ(drop(jaguar, {rom("j1.j64", header + rom_with_crc(2048, 0xC001)),
                            rom("j2.j64", rom_with_crc(2048, 0xC002)),
                            rom("j3.zip", rom_with_crc(1024, 0xC003))}),
              S_OK);
    ASSERT_EQ(drop(genesis, {rom("g.smd", testsupport::interleave_smd(plain))}), S_OK);
    EXPECT_EQ(roms(), (std::vector<std::string>{"Headed.j64", "Skipped.pce", "Sonic.smd",
                                                "Whole.j64", "Zeroed.pce", "Zipped.zip"}));
}

TEST_F(DropTest, AnUnreadableFileEndsTheDropAndANonDatabaseRenamesNothing) {
    const auto db = database("ANY", 2, 0, {rom_entry(0xD001, "First"), rom_entry(0xD002, "Last")});
    fs::create_directories(dir.path() / "roms" / "folder");
    const HRESULT hr =
        drop(db, {rom("a.bin", rom_with_crc(64, 0xD001)), (dir.path() / "roms" / "folder").string(),
                  rom("z.bin", rom_with_crc(64, 0xD002))});
    EXPECT_EQ(hr, kReadFault);
    EXPECT_NE(shell().error_text(hr).find("folder"), std::string::npos);
    EXPECT_EQ(roms(), (std::vector<std::string>{"First.bin", "folder", "z.bin"}));
    EXPECT_TRUE(boxes.empty());

    const auto bad = dir.write("BAD.zdb", "\x07not a database");
    ASSERT_EQ(drop(bad, {rom("z.bin", rom_with_crc(64, 0xD002))}), S_OK);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].rfind("Results|64|No ROMs were renamed.\r\n\r\n", 0), 0u) << boxes[0];
}

} // namespace
} // namespace shelltest
