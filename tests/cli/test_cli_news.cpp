#include "cli.h"
#include "cli_run.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <sstream>

#include "local_server.h"
#include "rom_forge.h"
#include "settings.h"
#include "temp_dir.h"
#include "zdb.h"
#include "zdb_writer.h"

using testsupport::Reply;
using testsupport::TempDir;

using namespace clitest; // NOLINT(google-build-using-namespace): the tests' own helpers

namespace {

namespace fs = std::filesystem;

// A home and a server tree on a local server that ZELKON_UPDATE_ROOT names.
class CliNews : public ::testing::Test {
protected:
    void SetUp() override {
        server.serve_folder(site.path());
        use_root(server.root());
        fs::create_directories(home.path() / "databases");
    }
    void TearDown() override { unsetenv("ZELKON_UPDATE_ROOT"); }

    static void use_root(const std::string& root) { setenv("ZELKON_UPDATE_ROOT", root.c_str(), 1); }
    static std::string dead_root() {
        return "http://127.0.0.1:" + std::to_string(testsupport::dead_port()) + "/zelkon/";
    }
    fs::path local(const std::string& id) const {
        return home.path() / "databases" / (id + ".zdb");
    }
    void offer(const std::string& id, const std::string& lower, const std::string& version) const {
        site.write("zelkon/zdb/" + lower + ".txt", version + " " + server.root() + "zdb/");
        write_database(site.path() / "zelkon/zdb" / (id + ".zdb"), version);
    }
    CliRun run(std::vector<std::string> args) const {
        return run_cli_in(home.path(), std::move(args));
    }

    TempDir home, site;
    testsupport::LocalServer server;
};

} // namespace

TEST_F(CliNews, NewsIsPrintedWithLineFeeds) {
    site.write("zelkon/zdb/news/standard.txt", "Line one\r\nLine two");
    auto r = run({"news"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "Line one\nLine two\n");
    EXPECT_TRUE(fs::exists(home.path() / "news.txt"));
}

TEST_F(CliNews, AutoNewsIsPrintedOnlyWhenItChanged) {
    site.write("zelkon/zdb/news/auto.txt", "2024-05\r\nNew databases.\r\n");
    auto first = run({"news", "--auto"});
    EXPECT_EQ(first.code, 0) << first.err;
    EXPECT_EQ(first.out, "2024-05\nNew databases.\n");
    EXPECT_EQ(core::read_setting("general", "LastNews", "0", home.path() / "zelkon.ini"),
              "2024-05");
    auto again = run({"news", "--auto"});
    EXPECT_EQ(again.code, 0);
    EXPECT_EQ(again.out, "");

    use_root(dead_root());
    auto failed = run({"news", "--auto"});
    EXPECT_EQ(failed.code, 1);
    EXPECT_EQ(failed.out, "");
    EXPECT_FALSE(contains(failed.err, "Unable to get the news.")) << "the automatic news is quiet";
}

TEST_F(CliNews, AutoNewsAsksNothingWhileTheUserSaidNo) {
    site.write("zelkon/zdb/news/auto.txt", "2024-05\r\n");
    ASSERT_TRUE(core::write_setting("general", "CheckForNews", "0", home.path() / "zelkon.ini"));
    auto r = run({"news", "--auto"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(server.paths().empty());
}

TEST_F(CliNews, CheckOneDatabaseTellsTheOutcome) {
    write_database(local("SGENESIS"), "1.2");
    offer("SGENESIS", "sgenesis", "1.3");
    // The id may be typed in another letter case; the database's own spelling is asked for.
    auto r = run({"update", "check", "sgenesis"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(contains(r.err, "Updated: The database has been upgraded from version 1.2 to 1.3"))
        << r.err;
    EXPECT_EQ(core::read_zdb_version(local("SGENESIS")), "1.3");

    r = run({"update", "check", "SGENESIS"});
    EXPECT_EQ(r.code, 0);
    EXPECT_TRUE(contains(r.err, "No Update Necessary: The database did not need to be updated"));

    const auto asked = server.paths().size();
    EXPECT_EQ(run({"update", "check"}).code, 2);
    EXPECT_EQ(run({"update", "check", "SGENESIS", "--all"}).code, 2);
    EXPECT_EQ(run({"update", "check", "ZZZ"}).code, 2);
    EXPECT_EQ(server.paths().size(), asked) << "bad usage asks nothing of the server";
}

TEST_F(CliNews, CheckAllPrintsALinePerDatabaseAndFailsWhenOneFailed) {
    write_database(local("AAA"), "1");
    offer("AAA", "aaa", "1");
    write_database(local("BBB"), "1");
    site.write("zelkon/zdb/bbb.txt", "2");
    auto r = run({"update", "check", "--all"});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(contains(r.out, "AAA games (AAA): current, version 1\n")) << r.out;
    EXPECT_TRUE(contains(r.out, "BBB games (BBB): not updated: ")) << r.out;
}

TEST_F(CliNews, ADeadServerFailsBothCommandsWithTheirMessages) {
    write_database(local("AAA"), "1");
    use_root(dead_root());
    auto news = run({"news"});
    EXPECT_EQ(news.code, 1);
    EXPECT_TRUE(contains(news.err, "Unable to connect...: Unable to get the news.\n")) << news.err;
    auto check = run({"update", "check", "AAA"});
    EXPECT_EQ(check.code, 1);
    EXPECT_TRUE(contains(check.err, "Arg: Could not connect to the server.\n\n")) << check.err;
}
