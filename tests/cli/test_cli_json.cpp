#include "cli_run.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "rom_forge.h"
#include "temp_dir.h"
#include "trash_home.h"
#include "update_home.h"
#include "zdb_writer.h"

using testsupport::rom_entry;
using testsupport::rom_with_crc;
using testsupport::TempDir;

using namespace clitest; // NOLINT(google-build-using-namespace): the tests' own helpers

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

class CliJson : public ::testing::Test {
protected:
    void SetUp() override {
        write_genesis_database(
            home.path(), {rom_entry(0x11111111, "Alpha (E)"), rom_entry(0x22222222, "Beta (U)")});
        home.write("roms/x.bin", rom_with_crc(256, 0x22222222));
    }
    CliRun run(std::vector<std::string> args) const {
        args.insert(args.begin(), "--no-cache");
        return run_cli_in(home.path(), std::move(args));
    }
    std::string roms() const { return (home.path() / "roms").string(); }

    TempDir home;
    TempDir data_home;
    testsupport::TrashHome trash_home{data_home.path()};
};

TEST_F(CliJson, SystemsAndInfoPrintOneDocument) {
    auto systems = run({"systems", "--json"});
    ASSERT_EQ(systems.code, 0) << systems.err;
    auto list = json::parse(systems.out);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0]["id"], "SGENESIS");
    EXPECT_EQ(list[0]["name"], "Genesis");
    EXPECT_EQ(list[0]["patterns"], "*.bin");

    auto info = run({"info", "SGENESIS", "--json", "--roms"});
    ASSERT_EQ(info.code, 0) << info.err;
    auto doc = json::parse(info.out);
    EXPECT_EQ(doc["system"], "SGENESIS");
    EXPECT_EQ(doc["rom_count"], 2);
    EXPECT_EQ(doc["roms"][1], json({{"crc", "22222222"}, {"crc2", nullptr}, {"name", "Beta (U)"}}));
}

// A name holding a backslash, a tab and a line feed stays one field of one line.
TEST_F(CliJson, IdentifyEscapesNamesOrSeparatesThemByNulOrPrintsJson) {
    const std::string odd = roms() + "/a\\b\tc\nd.bin";
    home.write("roms/a\\b\tc\nd.bin", rom_with_crc(256, 0x99999999));
    const std::string x = roms() + "/x.bin";
    auto text = run({"identify", "--system", "SGENESIS", "-r", roms()});
    EXPECT_EQ(text.out,
              "99999999\t\t" + roms() + "/a\\\\b\\tc\\nd.bin\n22222222\tBeta (U)\t" + x + "\n");
    auto nul = run({"identify", "--system", "SGENESIS", "-r", "-0", roms()});
    EXPECT_EQ(nul.out, "99999999\t\t" + odd + '\0' + "22222222\tBeta (U)\t" + x + '\0');

    auto js = run({"identify", "--system", "SGENESIS", "-r", "--json", roms()});
    ASSERT_EQ(js.code, 0) << js.err;
    auto doc = json::parse(js.out);
    ASSERT_EQ(doc.size(), 2u);
    EXPECT_EQ(doc[0], json({{"crc", "99999999"}, {"name", nullptr}, {"path", odd}}));
    EXPECT_EQ(doc[1]["name"], "Beta (U)");
    EXPECT_EQ(run({"identify", "--system", "SGENESIS", "--json", "-0", x}).code, cli::kExitUsage);
}

// A name taken by another file leaves the file where it is: a problem of the report.
TEST_F(CliJson, RenameReportsItsCountsProblemsAndDryRunPlan) {
    home.write("roms/y.bin", rom_with_crc(256, 0x11111111));
    auto plan = run({"rename", "--system", "SGENESIS", "--dry-run", "--json", roms()});
    ASSERT_EQ(plan.code, 0) << plan.err;
    auto doc = json::parse(plan.out); // the log is not mixed in
    EXPECT_EQ(doc["dry_run"], true);
    EXPECT_EQ(doc["files"], 2);
    ASSERT_EQ(doc["plan"].size(), 2u);
    EXPECT_EQ(
        doc["plan"][0],
        json({{"op", "move"}, {"from", roms() + "/y.bin"}, {"to", roms() + "/Alpha (E).bin"}}));
    EXPECT_TRUE(fs::exists(roms() + "/y.bin"));

    home.write("roms/Alpha (E).bin", "another file");
    auto real = run({"rename", "--system", "SGENESIS", "--json", roms()});
    EXPECT_EQ(real.code, cli::kExitFileError);
    doc = json::parse(real.out);
    EXPECT_EQ(doc["end"], "completed");
    EXPECT_FALSE(doc.contains("plan"));
    EXPECT_EQ(doc["not_carried_out"], 1);
    ASSERT_FALSE(doc["problems"].empty());
    EXPECT_TRUE(fs::exists(roms() + "/Beta (U).bin"));
}

// An entry found by the second checksum of a two-checksum database names its file too.
TEST_F(CliJson, ScanGivesThePathOfAnEntryMatchedByItsSecondChecksum) {
    auto header = testsupport::db_header("SGENESIS", "Genesis", "*.bin");
    ASSERT_TRUE(core::write_zdb(home.path() / "databases/SGENESIS.zdb", 1, header,
                                {rom_entry(0x33333333, "Beta (U)", 0x22222222)})
                    .ok());
    auto r = run({"scan", "--system", "SGENESIS", "--by", "checksum", "--json", roms()});
    ASSERT_EQ(r.code, 0) << r.err;
    auto entry = json::parse(r.out)["entries"][0];
    EXPECT_EQ(entry["state"], "matched");
    EXPECT_EQ(entry["path"], roms() + "/x.bin");
}

class CliJsonUpdate : public testsupport::UpdateHome {
protected:
    void TearDown() override { unsetenv("ZELKON_UPDATE_ROOT"); }
};

TEST_F(CliJsonUpdate, UpdateListGivesRowsByColumnWithTheirMarks) {
    setenv("ZELKON_UPDATE_ROOT", server.root().c_str(), 1);
    list_body("Name\tVersion\r\nNEW\t1.0\r\n");
    publish("NEW", "1.0");
    auto r = run_cli_in(home.path(), {"update", "list", "--json"});
    ASSERT_EQ(r.code, 0) << r.err;
    auto doc = json::parse(r.out);
    EXPECT_EQ(doc["marked"], 1);
    EXPECT_EQ(doc["databases"][0]["Name"], "NEW");
    EXPECT_EQ(doc["databases"][0]["marked"], true);
}

} // namespace
