#include <gtest/gtest.h>

#include <algorithm>

#include "database_check.h"
#include "update_home.h"

using testsupport::contains;
using testsupport::read_file;
using testsupport::Reply;
using update::CheckReport;
using update::DatabaseCheck;
using Icon = core::Message::Icon;

namespace {

namespace fs = std::filesystem;

class DatabaseCheckTest : public testsupport::UpdateHome {
protected:
    static core::SystemEntry system(const std::string& id) {
        return {id + " games", id, "*.bin", {}};
    }
    CheckReport check(const std::string& id, std::vector<core::SystemEntry> systems = {}) {
        if (systems.empty())
            systems = {system(id)};
        update::DatabaseChecker checker{update::ServerAddresses(root),
                                        update::HttpClient(testsupport::quick_http())};
        prompter.messages.clear();
        return checker.update_databases(systems, id, prompter, progress);
    }
    // The one message of a single-database check.
    void expect_message(const std::string& text, const std::string& title) const {
        ASSERT_EQ(prompter.messages.size(), 1u);
        testsupport::expect_box(prompter.messages[0], text, title, Icon::Information);
    }
    void expect_unable(const std::string& reason_part) const {
        ASSERT_EQ(prompter.messages.size(), 1u);
        const core::Message& m = prompter.messages[0];
        EXPECT_EQ(m.title, "Unable To Update");
        EXPECT_EQ(m.icon, Icon::Exclamation);
        EXPECT_EQ(m.text.rfind("There was an error when attempting to get the database\r\r", 0), 0u)
            << m.text;
        EXPECT_TRUE(contains(m.text, reason_part)) << m.text;
    }

    std::string root = server.root();
};

} // namespace

// The versions differ or they do not: any difference (a lower server version, no local
// file) is an update. Unlike the list's update, a check never replaces a read-only database.
TEST_F(DatabaseCheckTest, AnEqualVersionStaysAndAnyOtherReplacesAWritableDatabase) {
    put_local("SGENESIS", "1.2");
    publish("SGENESIS", "1.2");
    EXPECT_TRUE(check("SGENESIS").clean());
    expect_message("The database did not need to be updated", "No Update Necessary");
    EXPECT_EQ(requests_for("/zelkon/zdb/SGENESIS.zdb"), 0u);

    publish("SGENESIS", "1.10");
    EXPECT_TRUE(check("SGENESIS").clean());
    expect_message("The database has been upgraded from version 1.2 to 1.10", "Updated");
    EXPECT_EQ(local_version("SGENESIS"), "1.10");
    EXPECT_EQ(progress.statuses.front(), "Checking SGENESIS games...");
    EXPECT_EQ(progress.statuses.back(), "Getting new SGENESIS games database...");

    publish("SGENESIS", "1.9");
    check("SGENESIS");
    expect_message("The database has been upgraded from version 1.10 to 1.9", "Updated");
    publish("SEGA CD", "2");
    const CheckReport report = check("SEGA CD");
    EXPECT_EQ(report.summary, "") << "a single database's outcome is its message";
    expect_message("The database has been upgraded from version  to 2", "Updated");
    EXPECT_EQ(local_version("SEGA CD"), "2");
    EXPECT_EQ(requests_for("/zelkon/zdb/sega cd.txt"), 1u);
    EXPECT_EQ(requests_for("/zelkon/zdb/SEGA CD.zdb"), 1u);
    for (const auto& r : server.requests())
        EXPECT_EQ(r.target.find(' '), std::string::npos) << "a blank is sent as %20";
    EXPECT_EQ(home_files(),
              (std::vector<std::string>{"databases/SEGA CD.zdb", "databases/SGENESIS.zdb"}));
}

TEST_F(DatabaseCheckTest, BadVersionFilesFailAndDownloadNothing) {
    put_local("SGENESIS", "1.2");
    struct Case {
        const char* what;
        Reply reply;
        const char* reason;
    };
    for (const Case& c :
         {Case{"missing", Reply{404, "<html>no</html>", "text/html"}, "404"},
          Case{"an error page", Reply{200, "<html>Not here</html>", "text/html"}, "error page"},
          Case{"no blank", Reply{200, "1.3"}, "no blank"},
          Case{"an empty first line", Reply{200, "\n1.3 http://127.0.0.1/zdb/"}, "no blank"},
          Case{"not a web address", Reply{200, "1.3 ftp://127.0.0.1/zdb/"}, "not an http"},
          Case{"a relative folder", Reply{200, "1.3 zdb/"}, "not an http"}}) {
        SCOPED_TRACE(c.what);
        server.on("/zelkon/zdb/sgenesis.txt", c.reply);
        auto report = check("SGENESIS");
        expect_unable(c.reason);
        ASSERT_EQ(report.databases.size(), 1u);
        EXPECT_EQ(report.databases[0].state, DatabaseCheck::State::Failed);
        EXPECT_EQ(report.end, core::End::Completed);
        ASSERT_EQ(report.problems.size(), 1u);
        EXPECT_EQ(report.problems[0].what, "SGENESIS games (SGENESIS): not updated");
        EXPECT_TRUE(contains(report.problems[0].why, c.reason));
    }
    EXPECT_EQ(requests_for("/zelkon/zdb/SGENESIS.zdb"), 0u);
    EXPECT_EQ(local_version("SGENESIS"), "1.2");
}

// What the check refuses or cannot reach.
TEST_F(DatabaseCheckTest, TheIdIsMatchedExactlyMustNameAFileAndNeedsAServer) {
    auto report = check("sgenesis", {system("SGENESIS")});
    EXPECT_EQ(report.end, core::End::Refused);
    EXPECT_EQ(testsupport::lines(report.problems),
              std::vector<std::string>{"no loaded database has the id 'sgenesis'"});
    EXPECT_TRUE(prompter.messages.empty());
    EXPECT_TRUE(server.paths().empty());

    // An id read from a database's header never leads a path out of the databases folder.
    report = check("../evil");
    expect_unable("cannot name a database file");
    EXPECT_EQ(server.paths().size(), 1u) << "only the probe";
    EXPECT_FALSE(fs::exists(home.path() / "evil.zdb.new"));

    // A dead server is told once, at the probe.
    root = testsupport::dead_root();
    report = check("SGENESIS");
    EXPECT_EQ(report.end, core::End::Failed);
    EXPECT_TRUE(report.databases.empty());
    ASSERT_EQ(prompter.messages.size(), 1u);
    testsupport::expect_box(prompter.messages[0],
                            "Could not connect to the server.\r\r" + report.problems.at(0).text(),
                            "Arg", Icon::Exclamation);
}

TEST_F(DatabaseCheckTest, EveryDatabaseHoweverManyIsSummedUpALineEachWithoutMessages) {
    put_local("AAA", "1");
    publish("AAA", "1");
    publish("BBB", "5"); // no local copy: its old version is its own, empty
    put_local("CCC", "1");
    site.write("zelkon/zdb/ccc.txt", "<html>error</html>");
    auto report = check("", {system("AAA"), system("BBB"), system("CCC")});
    EXPECT_EQ(report.end, core::End::Completed);
    EXPECT_TRUE(prompter.messages.empty());
    ASSERT_EQ(report.databases.size(), 3u);
    EXPECT_EQ(report.summary, "AAA games (AAA): current, version 1\n"
                              "BBB games (BBB): updated to version 5 (there was no local copy)\n"
                              "CCC games (CCC): not updated: the server's answer to '" +
                                  server.root() +
                                  "zdb/ccc.txt' is an error page, not a version file\n");
    ASSERT_EQ(report.problems.size(), 1u);
    EXPECT_EQ(report.problems[0].path, local("CCC").string());
    EXPECT_EQ(progress.step_calls.back(), (std::pair<std::size_t, std::size_t>{3, 3}));

    // Stop in the second database, then during the probe: no message, and why at the end.
    for (long at : {2, 0}) {
        progress.stop_after = at;
        progress.steps = 0;
        report = check("", {system("AAA"), system("BBB"), system("CCC")});
        EXPECT_EQ(report.end, core::End::Stopped);
        EXPECT_EQ(report.databases.size(), at);
        EXPECT_TRUE(contains(testsupport::lines(report.problems).back(),
                             at ? "the check was stopped" : "was stopped"));
        EXPECT_TRUE(prompter.messages.empty());
    }

    // More than 255 databases are all checked. An empty version equals the empty version
    // of a missing local file: all current.
    progress.stop_after = -1;
    server.on("*", [this](const testsupport::Seen&) { return Reply{200, " " + root + "zdb/"}; });
    std::vector<core::SystemEntry> systems;
    for (int i = 0; i < 300; ++i)
        systems.push_back(system("SYS" + std::to_string(i)));
    report = check("", systems);
    ASSERT_EQ(report.databases.size(), 300u);
    EXPECT_EQ(report.databases.back().state, DatabaseCheck::State::Current);
    EXPECT_TRUE(report.clean());
}
