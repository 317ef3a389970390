#include "cli.h"
#include "cli_run.h"

#include <gtest/gtest.h>

#include "rom_forge.h"
#include "temp_dir.h"
#include "zdb_writer.h"

using testsupport::read_file;
using testsupport::rom_entry;
using testsupport::TempDir;

using namespace clitest; // NOLINT(google-build-using-namespace): the tests' own helpers

namespace {

namespace fs = std::filesystem;

class CliPublish : public ::testing::Test {
protected:
    void SetUp() override {
        core::ZdbHeader gen = testsupport::db_header("SGENESIS", "Sega Genesis", "*.bin");
        gen.version = "1.2";
        ASSERT_TRUE(core::write_zdb(dbs.path() / "SGENESIS.zdb", 3, gen,
                                    {rom_entry(0x11111111, "Alpha"), rom_entry(0x2222, "Beta")}));
    }

    CliRun publish(const std::string& base, fs::path from = {}) const {
        from = from.empty() ? dbs.path() : from;
        return run_cli_in(home.path(),
                          {"publish", from.string(), "--out", site().string(), "--base-url", base});
    }

    fs::path site() const { return home.path() / "site"; }

    TempDir home;
    TempDir dbs;
};

} // namespace

// A file skipped is named on stderr and sets the exit status.
TEST_F(CliPublish, WritesTheTreeAndPrintsWhatWasPublishedOrSkipped) {
    auto r = publish("http://127.0.0.1:8765");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "SGENESIS\t1.2\nPublished 1 database to '" + site().string() +
                         "' (served at http://127.0.0.1:8765/).\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(read_file(site() / "zelkon/zdb/sgenesis.txt"),
              "1.2 http://127.0.0.1:8765/zelkon/zdb/");

    auto broken = dbs.write("BROKEN.zdb", "\x05");
    r = publish("http://h/");
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(contains(r.err, "zelkon-cli: skipped '" + broken.string() + "': ")) << r.err;
    EXPECT_TRUE(contains(r.out, "\nSkipped 1 file that is not a readable database.\n")) << r.out;
}

// Bad usage writes nothing; a site that cannot be written is a file error.
TEST_F(CliPublish, BadUsageOrASiteThatCannotBeWrittenChangesNothing) {
    auto bad_url = publish("ftp://h/");
    EXPECT_EQ(bad_url.code, 2);
    EXPECT_EQ(bad_url.err,
              "zelkon-cli: the base address 'ftp://h/' must start with http:// or https://\n");
    auto no_folder = publish("http://h/", dbs.path() / "missing");
    EXPECT_EQ(no_folder.code, 2);
    EXPECT_TRUE(contains(no_folder.err, "is not a folder")) << no_folder.err;
    EXPECT_FALSE(fs::exists(site()));

    testsupport::write_file(site(), "a file where the site should be");
    auto r = publish("http://h/");
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(contains(r.err, "zelkon-cli: cannot create the folder '" + site().string() + "'"))
        << r.err;
    EXPECT_EQ(read_file(site()), "a file where the site should be");
}
