#pragma once

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli.h"
#include "recorders.h"
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

using testsupport::contains;

/// The home's Genesis database ("SGENESIS", *.bin) with these entries.
inline void write_genesis_database(const std::filesystem::path& home, const core::RomTable& roms) {
    std::filesystem::create_directories(home / "databases");
    ASSERT_TRUE(core::write_zdb(home / "databases/SGENESIS.zdb", 3,
                                testsupport::db_header("SGENESIS", "Genesis", "*.bin"), roms)
                    .ok());
}

} // namespace clitest
