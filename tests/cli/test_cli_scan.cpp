#include "cli_run.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "hash_cache.h"
#include "rom_forge.h"
#include "temp_dir.h"
#include "zdb_writer.h"

using testsupport::read_file;
using testsupport::rom_entry;
using testsupport::rom_with_crc;

using namespace clitest; // NOLINT(google-build-using-namespace): the tests' own helpers

namespace {

namespace fs = std::filesystem;

class CliScan : public ::testing::Test {
protected:
    void SetUp() override {
        write_genesis_database(home.path(), {rom_entry(0x11111111, "Alpha (E)"),
                                             rom_entry(0x22222222, "Beta (U)"),
                                             rom_entry(0x33333333, "Gamma (E)")});
        home.write("roms/x.bin", rom_with_crc(256, 0x22222222));
        home.write("roms/sub/y.bin", rom_with_crc(256, 0x11111111));
        home.write("roms/odd.bin", rom_with_crc(256, 0x99999999));
        home.write("filter.ini", "Europe:(e)\r\nBad:[b]\r\n");
    }
    CliRun run(std::vector<std::string> args) const {
        return run_cli_in(home.path(), std::move(args));
    }
    CliRun scan(std::vector<std::string> more) const {
        std::vector<std::string> args{"--no-cache", "scan", "--system", "SGENESIS", roms()};
        args.insert(args.end(), more.begin(), more.end());
        return run(std::move(args));
    }
    std::string roms() const { return (home.path() / "roms").string(); }
    CliRun identify(std::vector<std::string> before = {}) const {
        before.insert(before.end(), {"identify", "--system", "SGENESIS", "-r", roms()});
        return run(std::move(before));
    }
    fs::path cache_file() const { return home.path() / "checksums.sqlite"; }

    testsupport::TempDir home;
};

// The checksum cache, in the same home.
class CliCache : public CliScan {};

// Entries a filter of --exclude hides are left out of the listing and the lists, and of
// their counts, but not out of the JSON. The match mode is said with its reason.
TEST_F(CliScan, PrintsTheRootsAndTheirShownEntriesInTheWindowsOrder) {
    fs::create_directories(home.path() / "lists");
    auto r = scan({"--by", "checksum", "--exclude", "Europe", "--save-lists",
                   (home.path() / "lists").string()});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "Matched: 1 ROM (Excluding: Europe)\n  Beta (U)\nMissing: 0 ROMs (Excluding: "
                     "Europe)\nUnrecognized: 1 ROM\n  " +
                         roms() + "/odd.bin\n");
    EXPECT_EQ(read_file(home.path() / "lists/sgenesis_have.txt"),
              " You have 1 of 1 known Genesis ROMs (Excluding: Europe)\r\n\r\nBeta (U)\r\n");
    EXPECT_TRUE(contains(r.err, "zelkon-cli: matching by checksum: --by checksum\n"));
    auto by_name = scan({"-0"});
    EXPECT_EQ(by_name.code, 0) << by_name.err;
    EXPECT_TRUE(
        contains(by_name.out, std::string("Matched: 0 ROMs\0Missing: 3 ROMs\0  Alpha (E)\0", 44)));
    EXPECT_TRUE(contains(by_name.err, "zelkon-cli: matching by filename: the setting "
                                      "MatchByFilename; --by checksum to change it\n"));

    auto json = scan({"--by", "checksum", "--exclude", "Europe", "--json"});
    ASSERT_EQ(json.code, 0) << json.err;
    auto doc = nlohmann::json::parse(json.out);
    EXPECT_EQ(doc["match_by"], "checksum");
    EXPECT_EQ(doc["excluding"], nlohmann::json({"Europe"}));
    const auto& entries = doc["entries"];
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0], nlohmann::json({{"state", "matched"},
                                          {"name", "Alpha (E)"},
                                          {"crc", "11111111"},
                                          {"path", roms() + "/sub/y.bin"},
                                          {"hidden", true}}));
    EXPECT_EQ(entries[2]["state"], "missing");
    EXPECT_EQ(entries[2]["path"], nullptr);
    EXPECT_EQ(entries[3]["crc"], "99999999");
    EXPECT_EQ(entries[3]["name"], nullptr);
}

TEST_F(CliScan, ASessionAddsTheFilesOfAnotherDiscAndIsSavedAgain) {
    home.write("disc1.rcl", "33333333 Gamma (E)\r\n");
    auto session = (home.path() / "disc2.rcl").string();
    auto r = scan({"--session", (home.path() / "disc1.rcl").string(), "--save-session", session});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "Matched: 3 ROMs\n"));
    EXPECT_EQ(read_file(session), "11111111 y\r\n22222222 x\r\n33333333 Gamma (E)\r\n"
                                  "99999999 odd\r\n");
    auto none = scan({"--session", "", "--by", "checksum"}); // an empty box: no session
    EXPECT_TRUE(contains(none.out, "Matched: 2 ROMs\n"));
    auto gone = scan({"--session", (home.path() / "gone.rcl").string()});
    EXPECT_EQ(gone.code, 0);
    EXPECT_TRUE(contains(gone.err, "no session file"));
    EXPECT_TRUE(contains(gone.out, "Matched: 2 ROMs\n"));
}

// A symbolic link is neither listed nor moved; it is named, and being left alone by rule does
// not fail the run.
TEST_F(CliScan, MovingUnrecognizedFilesCanBeUndone) {
    const std::string link = roms() + "/link.bin";
    fs::create_symlink(home.write("elsewhere/l.bin", "L"), link);
    auto odd = home.path() / "odd";
    auto r = run({"--yes", "--no-cache", "scan", "--system", "SGENESIS", roms(), "--by", "checksum",
                  "--move-unrecognized", odd.string()});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(contains(r.err, "zelkon-cli: Skipped '" + link + "': it is a symbolic link.\n"));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_TRUE(contains(r.out, "Unrecognized: 1 ROM\n  " + (odd / "odd.bin").string() + "\n"));
    EXPECT_TRUE(contains(r.err, "Files have been processed."));
    auto undo = run({"undo"});
    EXPECT_EQ(undo.code, 0) << undo.err;
    EXPECT_TRUE(fs::exists(roms() + "/odd.bin"));

    fs::remove(roms() + "/odd.bin");
    auto nothing = scan({"--by", "checksum", "--copy-unrecognized", odd.string()});
    EXPECT_TRUE(contains(nothing.err, "You have no unrecognized ROMs to move or copy."));
}

TEST_F(CliScan, BadUsageIsToldAndChangesNothing) {
    auto asia = scan({"--exclude", "Asia"});
    EXPECT_EQ(asia.code, 2);
    EXPECT_TRUE(contains(asia.err, "no filter 'Asia'"));
    EXPECT_EQ(scan({"--by", "filename", "--session", "x.rcl"}).code, 2);
    EXPECT_EQ(scan({"--by", "filename", "--save-session", "x.rcl"}).code, 2);
    EXPECT_EQ(scan({"--save-lists", (home.path() / "gone").string()}).code, 2);
    EXPECT_EQ(run({"scan", "--system", "SGENESIS", roms() + "/gone"}).code, 2);
}

// --no-cache neither writes nor clears the cache.
TEST_F(CliCache, ASecondRunGivesTheSameOutputAndClearTellsTheCount) {
    auto uncached = identify({"--no-cache"});
    EXPECT_EQ(uncached.code, 0) << uncached.err;
    auto refused = run({"--no-cache", "cache", "clear"});
    EXPECT_EQ(refused.code, cli::kExitUsage);
    EXPECT_TRUE(
        contains(refused.err, "zelkon-cli: the checksum cache is not used with --no-cache"));
    EXPECT_FALSE(fs::exists(cache_file()));

    auto first = identify();
    EXPECT_TRUE(contains(first.out, "11111111\tAlpha (E)\t"));
    EXPECT_TRUE(fs::exists(cache_file()));
    auto second = identify();
    EXPECT_EQ(second.code, 0) << second.err;
    EXPECT_EQ(second.out, first.out);
    EXPECT_EQ(second.err, "");

    auto cleared = run({"cache", "clear"});
    EXPECT_EQ(cleared.code, 0) << cleared.err;
    EXPECT_EQ(cleared.out,
              "Removed 3 entries from the checksum cache '" + cache_file().string() + "'.\n");
    EXPECT_EQ(run({"cache", "clear"}).out,
              "Removed 0 entries from the checksum cache '" + cache_file().string() + "'.\n");
    EXPECT_EQ(run({"cache"}).code, cli::kExitUsage);
}

TEST_F(CliCache, ADamagedCacheIsReportedOnceAndTheCommandGoesOn) {
    const std::string garbage(3000, '\x01');
    testsupport::write_file(cache_file(), garbage);
    auto r = identify();
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "11111111\tAlpha (E)\t") &&
                contains(r.out, "22222222\tBeta (U)\t"));
    const std::string told = "zelkon-cli: the checksum cache";
    EXPECT_EQ(r.err.find(told), r.err.rfind(told)) << r.err; // once
    EXPECT_TRUE(contains(r.err, "left as it is")) << r.err;

    // Clearing it keeps the damaged file under another name and starts a new cache.
    auto cleared = run({"cache", "clear"});
    EXPECT_EQ(cleared.code, 0) << cleared.err;
    EXPECT_EQ(cleared.err, "");
    fs::path aside;
    for (const auto& entry : fs::directory_iterator(home.path()))
        if (entry.path().filename().string().starts_with("checksums.sqlite.damaged-"))
            aside = entry.path();
    EXPECT_EQ(read_file(aside), garbage);
    EXPECT_TRUE(contains(cleared.out, "could not be read: it is not a database") &&
                contains(cleared.out, "Moved it to '" + aside.string() + "' and started a new"))
        << cleared.out;
    EXPECT_EQ(identify().err, "");
}

// The renamed files are found under their new names without being read.
TEST_F(CliCache, RenameLeavesTheNewPathsInTheCache) {
    auto r = run({"rename", "--system", "SGENESIS", roms()});
    ASSERT_EQ(r.code, 0) << r.err << r.out;
    const auto beta = fs::path(roms()) / "Beta (U).bin";
    ASSERT_TRUE(fs::exists(beta));
    core::HashCache cache(cache_file());
    const core::CacheKey key{beta.string(), core::stamp_of(beta).value(), "SGENESIS", 0, ""};
    EXPECT_EQ(cache.lookup(key), core::CrcText::from_value(0x22222222)) << cache.problem();
    EXPECT_EQ(cache.clear(), 2u);
}

} // namespace
