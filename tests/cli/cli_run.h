#pragma once

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli.h"
#include "rom_forge.h"
#include "zdb_writer.h"

namespace clitest {

/// What one in-process run of zelkon-cli gave.
struct CliRun {
    int code;
    std::string out;
    std::string err;
};

/// Runs zelkon-cli with `--home home` and then `args`, in this process.
inline CliRun run_cli_in(const std::filesystem::path& home, std::vector<std::string> args,
                         const std::filesystem::path& zelcore = {}) {
    args.insert(args.begin(), {"--home", home.string()});
    std::ostringstream out, err;
    int code = cli::run_cli(args, {out, err, zelcore});
    return {code, out.str(), err.str()};
}

inline bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

/// A database of one ROM at `path` (its id the file's stem) with the version text given.
inline void write_database(const std::filesystem::path& path, const std::string& version) {
    core::ZdbHeader header;
    header.system_id = path.stem().string();
    header.long_name = header.system_id + " games";
    header.version = version;
    std::filesystem::create_directories(path.parent_path());
    ASSERT_TRUE(core::write_zdb(path, 3, header, {testsupport::rom_entry(0x1234, "Game")}).ok());
}

/// The home's Genesis database ("SGENESIS", *.bin) with these entries.
inline void write_genesis_database(const std::filesystem::path& home, const core::RomTable& roms) {
    std::filesystem::create_directories(home / "databases");
    ASSERT_TRUE(core::write_zdb(home / "databases/SGENESIS.zdb", 3,
                                testsupport::db_header("SGENESIS", "Genesis", "*.bin"), roms)
                    .ok());
}

} // namespace clitest
