#include "cli.h"
#include "cli_run.h"

#include <gtest/gtest.h>

#include "temp_dir.h"
#include "zdb.h"

using testsupport::TempDir;

using namespace clitest; // NOLINT(google-build-using-namespace): the tests' own helpers

namespace {

namespace fs = std::filesystem;

constexpr const char* kList = R"xml(<softwarelist name="pce" description="PC Engine cards">
  <software name="bomber"><description>Bomberman: Panic Bomber (Japan)</description>
    <part name="cart"><dataarea name="rom">
      <rom name="bomber.pce" size="4" crc="1f041166"/></dataarea></part></software>
  <software name="proto"><description>Proto</description>
    <part name="cart"><dataarea name="rom"><rom name="proto.pce" size="4"/></dataarea></part>
  </software>
</softwarelist>)xml";

class CliImport : public ::testing::Test {
protected:
    CliRun run(std::vector<std::string> args) const {
        args.insert(args.begin(), "import");
        return run_cli_in(home.path(), std::move(args));
    }
    std::vector<std::string> import_args(const std::string& id = "TURBOGFX") const {
        return {list.string(), "--system", id, "--out", out.string()};
    }

    TempDir home;
    fs::path list = home.write("pce.xml", kList);
    fs::path out = home.path() / "out";
    void SetUp() override { fs::create_directories(out); }
};

// Refusals say why and leave the folder alone; a database in the way is replaced only with
// --force.
TEST_F(CliImport, RefusesBadInputThenWritesTheDatabaseAndPrintsTheSummary) {
    auto bad_id = run(import_args("../TURBOGFX"));
    EXPECT_EQ(bad_id.code, cli::kExitUsage);
    EXPECT_NE(bad_id.err.find("cannot name a database file"), std::string::npos) << bad_id.err;

    testsupport::write_file(list, "<softwarelist><software>");
    auto malformed = run(import_args());
    EXPECT_EQ(malformed.code, cli::kExitFileError);
    EXPECT_NE(malformed.err.find("is not well-formed XML (line 1"), std::string::npos);
    EXPECT_TRUE(fs::is_empty(out));

    testsupport::write_file(list, kList);
    auto args = import_args();
    args.insert(args.end(), {"--name", "TurboGrafx-16", "--patterns", "*.pce", "--skip", "512"});
    auto r = run(args);
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("Entries written: 1\nSkipped without a CRC: 1\n"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("Names changed to be legal: 1\nFile patterns: *.pce\n"), std::string::npos)
        << r.out;
    core::RomTable roms;
    auto header = core::load_zdb(out / "TURBOGFX.zdb", core::kZdbFull, &roms);
    EXPECT_EQ(header.long_name, "TurboGrafx-16");
    EXPECT_EQ(header.number, 512);
    EXPECT_EQ(roms.size(), 1u);

    auto again = run(import_args());
    EXPECT_EQ(again.code, cli::kExitFileError);
    EXPECT_NE(again.err.find("exists already; nothing was written"), std::string::npos);
    EXPECT_NE(again.err.find("add --force to replace it"), std::string::npos);
    auto forced = import_args();
    forced.push_back("--force");
    EXPECT_EQ(run(forced).code, 0);

    // Without --out: the home's databases/, made for it. The list is of a system with rules
    // of its own, imported under another id: said, and the database is still written.
    auto as_pce = run({list.string(), "--system", "PCE"});
    EXPECT_EQ(as_pce.code, 0) << as_pce.err;
    EXPECT_TRUE(fs::exists(home.path() / "databases/PCE.zdb"));
    EXPECT_NE(as_pce.err.find("zelkon-cli: '" + list.string() +
                              "' looks like a list of the PC Engine (TurboGrafx-16): imported as "
                              "PCE, no dump with a 512-byte header is identified"),
              std::string::npos)
        << as_pce.err;
}

} // namespace
