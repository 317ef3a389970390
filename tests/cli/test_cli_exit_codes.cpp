// Each command's failure modes against the README's table of exit statuses: the same
// cause gives the same status in every command, and every status given is one the README
// documents.

#include <fstream>
#include <map>
#include <regex>

#include <gtest/gtest.h>

#include "cli_run.h"
#include "rom_forge.h"
#include "temp_dir.h"
#include "zdb_writer.h"

using namespace clitest; // NOLINT(google-build-using-namespace): the tests' own helpers

namespace {

// The README's rows "| N | meaning |".
std::map<int, std::string> documented_statuses() {
    std::ifstream readme(ZELKON_SOURCE_DIR "/README.md");
    const std::regex row(R"(^\| (\d+) \| (.+) \|$)");
    std::map<int, std::string> table;
    for (std::string line; std::getline(readme, line);) {
        std::smatch m;
        if (std::regex_match(line, m, row))
            table[std::stoi(m[1])] = m[2];
    }
    return table;
}

TEST(CliExitCodes, EachCauseGivesTheStatusTheReadmeDocuments) {
    testsupport::TempDir home;
    std::filesystem::create_directories(home.path() / "databases");
    ASSERT_TRUE(core::write_zdb(home.path() / "databases" / "SGENESIS.zdb", 3,
                                testsupport::db_header("SGENESIS", "Genesis", "*.bin"), {}));
    const std::string missing = (home.path() / "gone").string();
    struct Case {
        std::vector<std::string> args;
        int status;
    };
    const std::vector<Case> cases{
        {{"undo"}, 0},
        {{"identify", "--system", "SGENESIS", missing}, 1},
        {{"info", missing + ".zdb"}, 1},
        {{"import", missing + ".dat", "--system", "X"}, 1},
        {{"frobnicate"}, 2},
        {{"systems", "--frobnicate"}, 2},
        {{"identify", "--system", "NOPE", missing}, 2},
        {{"info", "NOPE"}, 2},
        {{"update", "check", "NOPE"}, 2},
        {{"rename", "--system", "SGENESIS", missing}, 2},
        {{"rename", "--system", "SGENESIS", "--dry-run", missing}, 2},
        {{"sort", "--system", "SGENESIS", missing}, 2},
        {{"sort", "--system", "SGENESIS", "--dry-run", missing}, 2},
        {{"unsort", "--system", "SGENESIS", missing}, 2},
        {{"scan", "--system", "SGENESIS", missing}, 2},
        {{"publish", missing, "--out", missing, "--base-url", "http://a/"}, 2},
    };
    const auto table = documented_statuses();
    ASSERT_EQ(table.size(), 5u) << "the README's table of exit statuses";
    for (const auto& c : cases) {
        const CliRun r = run_cli_in(home.path(), c.args);
        std::string shown;
        for (const auto& a : c.args)
            shown += a + " ";
        EXPECT_EQ(r.code, c.status) << shown << r.err;
        EXPECT_TRUE(table.count(r.code)) << shown << "gives an undocumented status " << r.code;
    }
    // The helper library looked for in a folder that does not hold it.
    EXPECT_EQ(run_cli_in(home.path(), {"systems"}, missing).code, 3);
}

} // namespace
