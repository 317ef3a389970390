// Writes a small home folder to try Zelkon with: two sample databases and a folder of
// sample ROM images whose checksums match them (and one that matches nothing).
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "rom_forge.h"
#include "temp_dir.h"
#include "zdb_writer.h"
#include "zip_maker.h"

namespace fs = std::filesystem;
using testsupport::rom_entry;
using testsupport::rom_with_crc;

namespace {

constexpr const char* kMarker = ".zelkon-demo";

bool write_databases(const fs::path& folder) {
    core::ZdbHeader genesis;
    genesis.system_id = "SGENESIS";
    genesis.long_name = "Sega Genesis / Mega Drive";
    genesis.version = "2026.12";
    genesis.credit = "the Zelkon demo";
    genesis.notes = "A sample database with three ROMs.";
    genesis.patterns = "*.bin;*.gen;*.md;*.smd";
    core::RomTable genesis_roms{rom_entry(0x1a2b3c4d, "Demo Racer (World)"),
                                rom_entry(0x5e6f7081, "Sky Fighter (Europe)"),
                                rom_entry(0x92a3b4c5, "Puzzle Caf\xc3\xa9 (Japan)")};

    core::ZdbHeader nes;
    nes.system_id = "NES";
    nes.long_name = "Nintendo Entertainment System";
    nes.version = "2026.11";
    nes.credit = "the Zelkon demo";
    nes.notes = "A sample database whose ROMs carry a 16-byte header.";
    nes.patterns = "*.nes";
    nes.number = 16; // the header every dump carries, left out of the checksum
    core::RomTable nes_roms{rom_entry(0x0badf00d, "Castle Quest (USA)", 0x0c0ffee0),
                            rom_entry(0x13579bdf, "Pixel Knight (USA, Europe)", 0x2468ace0)};

    for (auto [file, format, header, roms] : {std::tuple{"SGENESIS.zdb", 3, genesis, genesis_roms},
                                              std::tuple{"NES.zdb", 1, nes, nes_roms}}) {
        if (auto ok = core::write_zdb(folder / file, format, header, roms); !ok) {
            std::cerr << "zelkon-demo-home: " << ok.error().message << '\n';
            return false;
        }
    }
    return true;
}

void write_roms(const fs::path& roms) {
    using testsupport::write_file;
    write_file(roms / "genesis" / "racer.bin", rom_with_crc(64 * 1024, 0x1a2b3c4d, 1));
    // An interleaved copier dump: identified after conversion.
    write_file(roms / "genesis" / "fighter.smd",
               testsupport::interleave_smd(rom_with_crc(128 * 1024, 0x5e6f7081, 2)));
    testsupport::make_zip(roms / "genesis" / "puzzle.zip",
                          {{"puzzle.bin", rom_with_crc(32 * 1024, 0x92a3b4c5, 3)}});
    write_file(roms / "genesis" / "homebrew.bin", rom_with_crc(16 * 1024, 0xdeadbeef, 4));

    std::string header = "NES\x1a";
    header.resize(16, '\0');
    write_file(roms / "nes" / "castle.nes", header + rom_with_crc(40 * 1024, 0x0badf00d, 5));
    testsupport::make_zip(roms / "nes" / "knight.zip",
                          {{"readme.txt", "not a ROM"},
                           {"knight.nes", header + rom_with_crc(24 * 1024, 0x2468ace0, 6)}});
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2 || std::string(argv[1]).starts_with("-")) {
        std::cerr << "usage: zelkon-demo-home DIR\n"
                     "Writes DIR/databases/ (SGENESIS.zdb, NES.zdb) and DIR/roms/ with sample "
                     "ROM images.\n";
        return 2;
    }
    fs::path home = argv[1];
    std::error_code ec;
    if (fs::exists(home, ec) && !fs::is_empty(home, ec) && !fs::exists(home / kMarker, ec)) {
        std::cerr << "zelkon-demo-home: '" << home.string()
                  << "' is not empty; give a new folder\n";
        return 1;
    }
    try {
        fs::create_directories(home / "databases");
        testsupport::write_file(home / kMarker, "");
        if (!write_databases(home / "databases"))
            return 1;
        write_roms(home / "roms");
    } catch (const std::exception& e) {
        std::cerr << "zelkon-demo-home: " << e.what() << '\n';
        return 1;
    }
    std::cout << "Demo home written to " << home.string() << '\n';
    return 0;
}
