#include "cli_run.h"

#include <gtest/gtest.h>

#include "hash_cache.h"
#include "rom_forge.h"
#include "temp_dir.h"
#include "zdb_writer.h"

using testsupport::read_file;
using testsupport::rom_entry;
using testsupport::rom_with_crc;
using testsupport::TempDir;

using namespace clitest; // NOLINT(google-build-using-namespace): the tests' own helpers

namespace {

namespace fs = std::filesystem;

class CliCache : public ::testing::Test {
protected:
    void SetUp() override {
        write_genesis_database(home.path(),
                               {rom_entry(0x11111111, "Alpha"), rom_entry(0x22222222, "Beta")});
        home.write("roms/a.bin", rom_with_crc(256, 0x11111111));
        home.write("roms/b.bin", rom_with_crc(256, 0x22222222));
    }
    CliRun run(std::vector<std::string> args) const {
        return run_cli_in(home.path(), std::move(args));
    }
    CliRun identify(std::vector<std::string> before = {}) const {
        before.insert(before.end(), {"identify", "--system", "SGENESIS", "-r", roms().string()});
        return run(std::move(before));
    }
    fs::path roms() const { return home.path() / "roms"; }
    fs::path cache_file() const { return home.path() / "checksums.sqlite"; }

    TempDir home;
};

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
    EXPECT_TRUE(contains(first.out, "11111111\tAlpha\t"));
    EXPECT_TRUE(fs::exists(cache_file()));
    auto second = identify();
    EXPECT_EQ(second.code, 0) << second.err;
    EXPECT_EQ(second.out, first.out);
    EXPECT_EQ(second.err, "");

    auto cleared = run({"cache", "clear"});
    EXPECT_EQ(cleared.code, 0) << cleared.err;
    EXPECT_EQ(cleared.out,
              "Removed 2 entries from the checksum cache '" + cache_file().string() + "'.\n");
    EXPECT_EQ(run({"cache", "clear"}).out,
              "Removed 0 entries from the checksum cache '" + cache_file().string() + "'.\n");
    EXPECT_EQ(run({"cache"}).code, cli::kExitUsage);
}

TEST_F(CliCache, ADamagedCacheIsReportedOnceAndTheCommandGoesOn) {
    const std::string garbage(3000, '\x01');
    testsupport::write_file(cache_file(), garbage);
    auto r = identify();
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "11111111\tAlpha\t") && contains(r.out, "22222222\tBeta\t"));
    const std::string told = "zelkon-cli: the checksum cache";
    EXPECT_EQ(r.err.find(told), r.err.rfind(told)) << r.err; // once
    EXPECT_TRUE(contains(r.err, "left as it is")) << r.err;

    auto cleared = run({"cache", "clear"});
    EXPECT_EQ(cleared.code, cli::kExitFileError);
    EXPECT_TRUE(contains(cleared.err, "zelkon-cli: the checksum cache was not cleared"));
    EXPECT_EQ(read_file(cache_file()), garbage);
}

// The renamed files are found under their new names without being read.
TEST_F(CliCache, RenameLeavesTheNewPathsInTheCache) {
    auto r = run({"rename", "--system", "SGENESIS", roms().string()});
    ASSERT_EQ(r.code, 0) << r.err << r.out;
    const auto alpha = roms() / "Alpha.bin";
    ASSERT_TRUE(fs::exists(alpha));
    core::HashCache cache(cache_file());
    const core::CacheKey key{alpha.string(), core::stamp_of(alpha).value(), "SGENESIS", 0, ""};
    EXPECT_EQ(cache.lookup(key), core::CrcText::from_value(0x11111111)) << cache.problem();
    EXPECT_EQ(cache.clear(), 2u);
}

} // namespace
