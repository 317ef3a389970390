// Writes a home for timing the desktop program's start: N databases of M entries each.
//   startup_home FOLDER N M

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "zdb_bench_data.h"
#include "zdb_writer.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: startup_home FOLDER DATABASES ENTRIES\n");
        return 2;
    }
    const std::filesystem::path databases = std::filesystem::path(argv[1]) / "databases";
    std::filesystem::create_directories(databases);
    const int count = std::atoi(argv[2]);
    const core::RomTable roms = benchdata::sample_roms(static_cast<std::size_t>(std::atoi(argv[3])));
    for (int i = 0; i < count; ++i) {
        core::ZdbHeader header = benchdata::sample_header();
        header.system_id = "SYS" + std::to_string(1000 + i);
        header.long_name = "Benchmark System " + std::to_string(i);
        if (!core::write_zdb(databases / (header.system_id + ".zdb"), 2, header, roms)) {
            std::fprintf(stderr, "could not write database %d\n", i);
            return 1;
        }
    }
    return 0;
}
