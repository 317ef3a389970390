#include "cli_run.h"

#include <cstdlib>
#include <gtest/gtest.h>

#include "settings.h"
#include "update_home.h"

using testsupport::read_file;
using testsupport::Reply;

using namespace clitest; // NOLINT(google-build-using-namespace): the tests' own helpers

namespace {

namespace fs = std::filesystem;

// A home and a server tree on a local server that ZELKON_UPDATE_ROOT names. The list marks
// OLD (newer on the server) and NEW (not here); SAME is current.
class CliUpdate : public testsupport::UpdateHome {
protected:
    void SetUp() override {
        UpdateHome::SetUp();
        use_root(server.root());
        list_body("Name\tVersion\tSystem\r\n"
                  "OLD\t2.0\tGenesis\r\n"
                  "NEW\t1.0\tPC Engine\r\n"
                  "SAME\t1.0\tSNES\r\n");
        for (auto [name, version] : {std::pair{"OLD", "2.0"}, {"NEW", "1.0"}, {"SAME", "1.0"}})
            publish(name, version);
        put_local("OLD", "1.0");
        put_local("SAME", "1.0");
    }
    void TearDown() override { unsetenv("ZELKON_UPDATE_ROOT"); }

    static void use_root(const std::string& root) { setenv("ZELKON_UPDATE_ROOT", root.c_str(), 1); }
    CliRun run(std::vector<std::string> args) const {
        return run_cli_in(home.path(), std::move(args));
    }
};

} // namespace

TEST_F(CliUpdate, ListShowsAlignedColumnsStatusesAndMarksOrFailsWithoutAServer) {
    const CliRun r = run({"update", "list"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "  Name  Version  System     Status\n"
                     "* OLD   2.0      Genesis    Update Available\n"
                     "* NEW   1.0      PC Engine  New Database\n"
                     "  SAME  1.0      SNES       Current\n"
                     "3 databases on the server, 2 marked (*) as new or out of date\n");

    server.stop();
    const CliRun down = run({"update", "list"});
    EXPECT_EQ(down.code, 1);
    EXPECT_TRUE(contains(down.err, "Cannot Connect to Server: ")) << down.err;
    EXPECT_TRUE(down.out.empty());
}

// A failed download is counted and fails the run; the other marked database is fetched.
TEST_F(CliUpdate, GetMarkedDownloadsWhatTheListMarksAndCountsAFailure) {
    server.on("/zelkon/zdb/OLD.zdb", Reply{.body = "<html>Database not found</html>"});
    const CliRun r = run({"update", "get", "--marked"});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(contains(r.out, "Could not update OLD: ")) << r.out;
    EXPECT_TRUE(contains(r.out, "Updated NEW (version 1.0)\n"));
    EXPECT_TRUE(contains(r.out, "Downloaded 1 of 2 databases; 1 failed.\n"));
    EXPECT_EQ(r.out.find('\r'), std::string::npos);
    EXPECT_EQ(local_version("OLD"), "1.0");
}

// Names are matched without regard to case; an unknown name is bad usage (as an unknown
// system is), an unsafe one an item not done, and the others are still fetched.
TEST_F(CliUpdate, GetFetchesTheNamedAndFailsForUnknownOrUnsafeNames) {
    list_body("Name\tVersion\r\nNEW\t1.0\r\nSAME\t1.0\r\n../evil\t1\r\n");
    const CliRun r = run({"update", "get", "NOPE", "../evil", "same"});
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(contains(r.err, "zelkon-cli: the server lists no database 'NOPE'")) << r.err;
    EXPECT_TRUE(contains(r.err, "zelkon-cli: '../evil' cannot be downloaded: Unsafe Name"));
    EXPECT_TRUE(contains(r.out, "Downloaded 1 of 1 databases.\n")) << r.out;
    EXPECT_EQ(requests_for("/zelkon/zdb/SAME.zdb"), 1u);
    EXPECT_FALSE(fs::exists(local("NEW")));
    EXPECT_FALSE(fs::exists(home.path() / "evil.zdb"));

    const CliRun none = run({"update", "get", "NOPE"});
    EXPECT_EQ(none.code, 2);
    EXPECT_EQ(run({"update", "get", "../evil"}).code, 1);
    EXPECT_FALSE(contains(none.out, "Downloaded"));
}

TEST_F(CliUpdate, BadUsageAsksNothingAndNothingMarkedIsNoFailure) {
    for (std::vector<std::string> args : {std::vector<std::string>{"update"},
                                          {"update", "get"},
                                          {"update", "get", "--marked", "OLD"},
                                          {"update", "check"},
                                          {"update", "check", "OLD", "--all"},
                                          {"update", "check", "ZZZ"}})
        EXPECT_EQ(run(args).code, 2) << args.back();
    EXPECT_TRUE(server.paths().empty());

    list_body("Name\tVersion\r\nSAME\t1.0\r\n");
    const CliRun r = run({"update", "get", "--marked"});
    EXPECT_EQ(r.code, 0);
    EXPECT_TRUE(contains(
        r.err, "Nothing to Do: You need to checkmark the ZDBs that you want to download.\n"))
        << r.err;
}

TEST_F(CliUpdate, CheckOneDatabaseTellsTheOutcomeOrThatTheServerIsDead) {
    // The id may be typed in another letter case; the database's own spelling is asked for.
    auto r = run({"update", "check", "old"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(contains(r.err, "Updated: The database has been upgraded from version 1.0 to 2.0"))
        << r.err;
    EXPECT_EQ(local_version("OLD"), "2.0");

    use_root(testsupport::dead_root());
    r = run({"update", "check", "OLD"});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(contains(r.err, "zelkon-cli: Could not connect to the server.\n\n")) << r.err;
}

TEST_F(CliUpdate, CheckAllPrintsALinePerDatabaseAndFailsWhenOneFailed) {
    site.write("zelkon/zdb/same.txt", "2");
    auto r = run({"update", "check", "--all"});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(contains(r.out, "OLD games (OLD): updated from version 1.0 to 2.0\n")) << r.out;
    EXPECT_TRUE(contains(r.out, "SAME games (SAME): not updated: ")) << r.out;
}

TEST_F(CliUpdate, NewsIsPrintedWithLineFeedsWithoutItsByteOrderMark) {
    site.write("zelkon/zdb/news/standard.txt", "\xEF\xBB\xBFLine one\r\nLine two");
    auto r = run({"news"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "Line one\nLine two\n");
}

// Nothing is asked while the user said no; then only news that changed is printed, and a
// failure is quiet, unlike that of the news asked for.
TEST_F(CliUpdate, AutoNewsIsPrintedOnlyWhenAllowedAndChanged) {
    site.write("zelkon/zdb/news/auto.txt", "2024-05\r\nNew databases.\r\n");
    const fs::path ini = home.path() / "zelkon.ini";
    ASSERT_TRUE(core::write_setting("general", "CheckForNews", "0", ini));
    auto off = run({"news", "--auto"});
    EXPECT_EQ(off.code, 0);
    EXPECT_EQ(off.out, "");
    EXPECT_TRUE(server.paths().empty());

    ASSERT_TRUE(core::write_setting("general", "CheckForNews", "1", ini));
    auto first = run({"news", "--auto"});
    EXPECT_EQ(first.code, 0) << first.err;
    EXPECT_EQ(first.out, "2024-05\nNew databases.\n");
    auto again = run({"news", "--auto"});
    EXPECT_EQ(again.code, 0);
    EXPECT_EQ(again.out, "");

    use_root(testsupport::dead_root());
    auto failed = run({"news", "--auto"});
    EXPECT_EQ(failed.code, 1);
    EXPECT_EQ(failed.out, "");
    EXPECT_FALSE(contains(failed.err, "Unable to get the news.")) << "the automatic news is quiet";
    failed = run({"news"});
    EXPECT_EQ(failed.code, 1);
    EXPECT_TRUE(contains(failed.err, "zelkon-cli: Unable to get the news.\n"))
        << failed.err;
}
