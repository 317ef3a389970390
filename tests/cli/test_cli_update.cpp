#include "cli.h"
#include "cli_run.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <sstream>

#include "local_server.h"
#include "rom_forge.h"
#include "temp_dir.h"
#include "zdb.h"
#include "zdb_writer.h"

using testsupport::read_file;
using testsupport::Reply;
using testsupport::TempDir;

using namespace clitest; // NOLINT(google-build-using-namespace): the tests' own helpers

namespace {

namespace fs = std::filesystem;

// A home with databases, a server tree on a local server that ZELKON_UPDATE_ROOT names.
class CliUpdate : public ::testing::Test {
protected:
    void SetUp() override {
        server.serve_folder(site.path());
        setenv("ZELKON_UPDATE_ROOT", server.root().c_str(), 1);
        fs::create_directories(home.path() / "databases");
        site.write("zelkon/list.php", "Name\tVersion\tSystem\r\n"
                                      "OLD\t2.0\tGenesis\r\n"
                                      "NEW\t1.0\tPC Engine\r\n"
                                      "SAME\t1.0\tSNES\r\n");
        for (auto [name, version] : {std::pair{"OLD", "2.0"}, {"NEW", "1.0"}, {"SAME", "1.0"}})
            write_database(site.path() / "zelkon/zdb" / (std::string(name) + ".zdb"), version);
        write_database(local("OLD"), "1.0");
        write_database(local("SAME"), "1.0");
    }
    void TearDown() override { unsetenv("ZELKON_UPDATE_ROOT"); }

    fs::path local(const std::string& name) const {
        return home.path() / "databases" / (name + ".zdb");
    }
    CliRun run(std::vector<std::string> args) const {
        args.insert(args.begin(), "update");
        return run_cli_in(home.path(), std::move(args));
    }

    TempDir home;
    TempDir site;
    testsupport::LocalServer server;
};

TEST_F(CliUpdate, ListShowsAlignedColumnsStatusesAndMarks) {
    const CliRun r = run({"list"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "  Name  Version  System     Status\n"
                     "* OLD   2.0      Genesis    Update Available\n"
                     "* NEW   1.0      PC Engine  New Database\n"
                     "  SAME  1.0      SNES       Current\n"
                     "3 databases on the server, 2 marked (*) as new or out of date\n");
}

TEST_F(CliUpdate, AServerThatCannotBeReachedFailsTheList) {
    server.stop();
    const CliRun r = run({"list"});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(contains(r.err, "Cannot Connect to Server: ")) << r.err;
    EXPECT_TRUE(r.out.empty());
}

TEST_F(CliUpdate, GetMarkedDownloadsWhatTheListMarks) {
    const CliRun r = run({"get", "--marked"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "Updated OLD (version 2.0)\n")) << r.out;
    EXPECT_TRUE(contains(r.out, "Updated NEW (version 1.0)\n"));
    EXPECT_TRUE(contains(r.out, "Downloaded 2 of 2 databases.\n"));
    EXPECT_EQ(core::read_zdb_version(local("OLD")), "2.0");
    EXPECT_EQ(core::read_zdb_version(local("NEW")), "1.0");
    EXPECT_EQ(r.out.find('\r'), std::string::npos);
}

TEST_F(CliUpdate, GetNamesWithoutRegardToCase) {
    const CliRun r = run({"get", "same"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "Downloaded 1 of 1 databases.\n")) << r.out;
    EXPECT_FALSE(fs::exists(local("NEW")));
    EXPECT_EQ(core::read_zdb_version(local("OLD")), "1.0");
    auto paths = server.paths();
    EXPECT_NE(std::find(paths.begin(), paths.end(), "/zelkon/zdb/SAME.zdb"), paths.end());
}

TEST_F(CliUpdate, AnUnknownOrUnsafeNameFailsButTheOthersAreFetched) {
    site.write("zelkon/list.php", "Name\tVersion\r\nNEW\t1.0\r\n../evil\t1\r\n");
    const CliRun r = run({"get", "NOPE", "../evil", "NEW"});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(contains(r.err, "zelkon-cli: the server lists no database 'NOPE'")) << r.err;
    EXPECT_TRUE(contains(r.err, "zelkon-cli: '../evil' cannot be downloaded: Unsafe Name"));
    EXPECT_EQ(core::read_zdb_version(local("NEW")), "1.0");
    EXPECT_FALSE(fs::exists(home.path() / "evil.zdb"));

    const CliRun none = run({"get", "NOPE"});
    EXPECT_EQ(none.code, 1);
    EXPECT_FALSE(contains(none.out, "Downloaded"));
}

TEST_F(CliUpdate, AFailedDownloadIsCountedAndFailsTheRun) {
    server.on("/zelkon/zdb/OLD.zdb", Reply{.body = "<html>Database not found</html>"});
    const std::string before = read_file(local("OLD"));
    const CliRun r = run({"get", "--marked"});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(contains(r.out, "Could not update OLD: ")) << r.out;
    EXPECT_TRUE(contains(r.out, "Downloaded 1 of 2 databases; 1 failed.\n"));
    EXPECT_EQ(read_file(local("OLD")), before);
    EXPECT_FALSE(fs::exists(local("OLD").string() + ".tmp"));
}

TEST_F(CliUpdate, NothingMarkedIsNoFailure) {
    site.write("zelkon/list.php", "Name\tVersion\r\nSAME\t1.0\r\n");
    const CliRun r = run({"get", "--marked"});
    EXPECT_EQ(r.code, 0);
    EXPECT_TRUE(contains(
        r.err, "Nothing to Do: You need to checkmark the ZDBs that you want to download.\n"))
        << r.err;
}

TEST_F(CliUpdate, GetWantsNamesOrMarked) {
    EXPECT_EQ(run({"get"}).code, 2);
    EXPECT_EQ(run({"get", "--marked", "OLD"}).code, 2);
    EXPECT_EQ(run({}).code, 2);
    EXPECT_TRUE(server.paths().empty());
}

} // namespace
