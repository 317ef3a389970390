#include <algorithm>
#include <filesystem>

#include <gtest/gtest.h>

#include "database_list.h"
#include "update_home.h"

namespace {
namespace fs = std::filesystem;
using testsupport::contains;
using testsupport::quick_http;
using testsupport::read_file;
using testsupport::Reply;
using update::UpdateReport;
using Steps = std::vector<std::pair<std::size_t, std::size_t>>;

class DatabaseListTest : public testsupport::UpdateHome {
protected:
    const update::ListRow& row(const std::string& name) const {
        auto index = list.find(name);
        EXPECT_TRUE(index) << name;
        return list.rows().at(index.value_or(0));
    }
    core::Outcome refresh() { return list.refresh_list(prompter, core::null_progress()); }

    update::DatabaseList list{update::ServerAddresses(server.root()),
                              update::HttpClient(quick_http())};
};

TEST_F(DatabaseListTest, ColumnsFieldsStatusesAndMarks) {
    list_body("\xEF\xBB\xBF" // as saved on another desktop: no part of the first title
              "Name\tVersion\tNotes\r\n"
              "SAME\t1.2\t\r\n"
              "TEN\t1.10\r\n"
              "LOWER\t1.1\tlower\r\n"
              "FRESH\t\tNo version\r\n"
              "DUP\t1\r\ndup\t2\r\n");
    for (const char* name : {"SAME", "TEN", "LOWER"})
        put_local(name, "1.2");
    ASSERT_TRUE(refresh().clean());
    EXPECT_EQ(list.columns(), (std::vector<std::string>{"Name", "Version", "Notes", "Status"}));
    // A trailing tab adds no field: both lines read the same.
    EXPECT_EQ(row("SAME").fields, (std::vector<std::string>{"SAME", "1.2", ""}));
    EXPECT_EQ(row("TEN").fields, (std::vector<std::string>{"TEN", "1.10", ""}));
    EXPECT_EQ(row("FRESH").fields, (std::vector<std::string>{"FRESH", "", "No version"}));
    EXPECT_EQ(row("TEN").key, "id_TEN");

    // The versions differ or they do not.
    const std::vector<std::string> statuses = {"Current",          "Update Available",
                                               "Update Available", "New Database",
                                               "New Database",     "Duplicate"};
    for (std::size_t i = 0; i < statuses.size(); ++i) {
        EXPECT_EQ(list.cell(i, 3), statuses[i]) << i;
        EXPECT_EQ(list.rows()[i].marked, i > 0 && i < 5) << i;
    }
    // A name listed twice, in any letter case, is downloaded once.
    EXPECT_FALSE(list.set_marked(5, true));
    EXPECT_EQ(list.find("Dup"), 4u);
    EXPECT_TRUE(prompter.messages.empty());
}

// A bad list or a missing one: "Cannot Connect to Server" with the reason, and an empty
// list.
TEST_F(DatabaseListTest, AListThatCannotBeHadIsAClearErrorAndEmptiesTheList) {
    const std::pair<const char*, const char*> cases[] = {
        {"Name\tRelease\r\nSGENESIS\t1.2\r\n", "has no column titled \"Version\""},
        {"", "is empty"},
        {"\r\n\r\n", "is empty"},
        {nullptr, "404"},
    };
    for (const auto& [body, says] : cases) {
        SCOPED_TRACE(says);
        list_body("Name\tVersion\r\nOLD\t1\r\n");
        ASSERT_TRUE(refresh().clean());
        body ? list_body(body) : (void)fs::remove(site.path() / "zelkon/list.php");
        prompter.messages.clear();
        const core::Outcome outcome = list.refresh_list(prompter, progress);
        EXPECT_EQ(outcome.end, core::End::Failed);
        ASSERT_EQ(outcome.problems.size(), 1u);
        EXPECT_TRUE(contains(outcome.problems[0].text(), says)) << outcome.problems[0].text();
        EXPECT_TRUE(list.rows().empty());
        EXPECT_TRUE(list.columns().empty());
        ASSERT_EQ(prompter.messages.size(), 1u);
        testsupport::expect_box(prompter.messages[0], outcome.problems[0].text(),
                                "Cannot Connect to Server", core::Message::Icon::Exclamation);
    }
}

TEST_F(DatabaseListTest, SortFlipsOnTheSameColumnAndHoldsAcrossRefreshes) {
    list_body("Name\tVersion\r\nbeta\t2\r\nAlpha\t3\r\ngamma\t1\r\n");
    ASSERT_TRUE(refresh().clean());
    auto names = [&] {
        std::vector<std::string> out;
        for (const auto& r : list.rows())
            out.push_back(r.name);
        return out;
    };
    const std::vector<std::string> up = {"Alpha", "beta", "gamma"},
                                   down = {"gamma", "beta", "Alpha"};
    for (const auto& [column, order, descending] :
         {std::tuple{0u, up, false}, {0u, down, true}, {1u, down, false}, {1u, up, true}}) {
        list.sort_by(column);
        EXPECT_EQ(names(), order);
        EXPECT_EQ(list.sort_descending(), descending);
    }
    ASSERT_TRUE(refresh().clean());
    EXPECT_EQ(names(), up);
    EXPECT_EQ(list.sort_column(), 1u);
}

// Then nothing is marked: a second run has nothing to do.
TEST_F(DatabaseListTest, UpdateReplacesTheMarkedAndRefreshes) {
    list_body("Name\tVersion\r\nOLD\t2.0\r\nSega CD\t1.0\r\nSAME\t1.0\r\n");
    for (auto [name, version] : {std::pair{"OLD", "2.0"}, {"Sega CD", "1.0"}, {"SAME", "1.0"}})
        publish(name, version);
    put_local("OLD", "1.0");
    put_local("SAME", "1.0");
    // A read-only database is still replaced by the list's update.
    fs::permissions(local("OLD"), fs::perms::owner_write, fs::perm_options::remove);
    ASSERT_TRUE(refresh().clean());

    const UpdateReport report = list.update_marked(prompter, progress);
    EXPECT_TRUE(report.clean());
    EXPECT_EQ(report.summary, "Downloaded 2 of 2 databases.\n");
    EXPECT_EQ(report.replaced, (std::vector<std::string>{"OLD", "Sega CD"}));
    EXPECT_EQ(local_version("OLD"), "2.0");
    EXPECT_EQ(read_file(local("Sega CD")), read_file(site.path() / "zelkon/zdb/Sega CD.zdb"));
    EXPECT_EQ(requests_for("/zelkon/zdb/SAME.zdb"), 0u);
    EXPECT_EQ(requests_for("/zelkon/list.php"), 2u);
    const auto seen = server.requests();
    EXPECT_TRUE(std::any_of(seen.begin(), seen.end(), [](const testsupport::Seen& s) {
        return s.target == "/zelkon/zdb/Sega%20CD.zdb";
    }));
    EXPECT_EQ(progress.step_calls, (Steps{{1, 2}, {2, 2}}));
    EXPECT_EQ(progress.statuses.back(), "Downloading Sega CD.zdb (2 of 2)");
    EXPECT_TRUE(contains(progress.log_text, "Updated OLD (version 2.0)\r\n"));
    for (const char* name : {"OLD", "Sega CD", "SAME"}) {
        EXPECT_EQ(row(name).status, "Current") << name;
        EXPECT_FALSE(row(name).marked) << name;
    }
    EXPECT_TRUE(prompter.messages.empty());
    EXPECT_EQ(home_files(), (std::vector<std::string>{"databases/OLD.zdb", "databases/SAME.zdb",
                                                      "databases/Sega CD.zdb"}));

    const auto asked = server.paths().size();
    const UpdateReport again = list.update_marked(prompter, progress);
    EXPECT_TRUE(again.clean());
    EXPECT_EQ(again.summary, "");
    ASSERT_EQ(prompter.messages.size(), 1u);
    testsupport::expect_box(prompter.messages[0],
                            "You need to checkmark the ZDBs that you want to download.",
                            "Nothing to Do", core::Message::Icon::Information);
    EXPECT_EQ(server.paths().size(), asked);
}

// An error answer from a server that still answers: the database stays as it was and the
// run goes on. A cut-short transfer is among the download faults of every engine.
TEST_F(DatabaseListTest, ABadDownloadLeavesItsDatabaseAndTheRunGoesOn) {
    list_body("Name\tVersion\r\nPAGE\t2\r\nGONE\t2\r\nGOOD\t2\r\n");
    for (const char* name : {"PAGE", "GONE"})
        put_local(name, "1");
    publish("GOOD", "2");
    server.on("/zelkon/zdb/PAGE.zdb", Reply{.body = "<html><body>Sorry</body></html>"});
    ASSERT_TRUE(refresh().clean());

    const UpdateReport report = list.update_marked(prompter, progress);
    EXPECT_EQ(report.end, core::End::Completed);
    EXPECT_EQ(report.summary, "Downloaded 1 of 3 databases; 2 failed.\n");
    EXPECT_EQ(report.replaced, std::vector<std::string>{"GOOD"});
    EXPECT_EQ(report.failed, (std::vector<std::string>{"PAGE", "GONE"}));
    ASSERT_EQ(report.problems.size(), 2u);
    EXPECT_EQ(report.problems[0].path, local("PAGE").string());
    EXPECT_EQ(report.problems[0].what, "Could not update PAGE");
    EXPECT_TRUE(contains(report.problems[0].why, "error page"));
    EXPECT_TRUE(contains(report.problems[1].why, "404"));
    for (const auto& p : report.problems)
        EXPECT_TRUE(contains(progress.log_text, p.text() + "\r\n"));
    for (const char* name : {"PAGE", "GONE"}) {
        EXPECT_EQ(local_version(name), "1") << name;
        EXPECT_EQ(row(name).status, "Update Available") << name;
    }
    EXPECT_EQ(row("GOOD").status, "Current");
    EXPECT_EQ(home_files().size(), 3u) << "no download left beside a database";
    EXPECT_TRUE(prompter.messages.empty());
}

TEST_F(DatabaseListTest, AHostileListNeverReachesOutsideTheDatabases) {
    list_body("Name\tVersion\r\n../evil\t1\r\n../../outside\t1\r\n" + site.path().string() +
              "/abs\t1\r\nsub/dir\t1\r\n..\t1\r\nback\\slash\t1\r\n\t1\r\nGOOD\t1\r\n");
    publish("GOOD", "1");
    ASSERT_TRUE(refresh().clean());
    ASSERT_EQ(list.rows().size(), 8u);
    for (std::size_t i = 0; i + 1 < list.rows().size(); ++i) {
        EXPECT_EQ(list.rows()[i].status, "Unsafe Name") << list.rows()[i].name;
        EXPECT_FALSE(list.rows()[i].marked);
        EXPECT_FALSE(list.set_marked(i, true));
    }
    const UpdateReport report = list.update_marked(prompter, progress);
    EXPECT_TRUE(report.clean());
    EXPECT_EQ(report.replaced, std::vector<std::string>{"GOOD"});
    for (const auto& path : server.paths())
        EXPECT_TRUE(path == "/zelkon/list.php" || path == "/zelkon/zdb/GOOD.zdb") << path;
    EXPECT_EQ(home_files(), std::vector<std::string>{"databases/GOOD.zdb"});
    EXPECT_FALSE(fs::exists(site.path() / "abs.zdb"));
}

// A server lost or a Stop between databases: the rest is left as it was; only a lost
// server is a message.
TEST_F(DatabaseListTest, AServerLostOrAStopBetweenDatabasesEndsTheRun) {
    list_body("Name\tVersion\r\nFIRST\t2\r\nSECOND\t2\r\nTHIRD\t2\r\n");
    publish("FIRST", "2");
    publish("SECOND", "2");
    put_local("SECOND", "1");
    for (bool lost : {false, true}) {
        SCOPED_TRACE(lost);
        fs::remove(local("FIRST"));
        ASSERT_TRUE(refresh().clean());
        testsupport::StopProgress ending; // after the first database
        std::string log;
        ending.on_log = [&](std::string_view text) {
            log += text;
            lost ? server.stop() : (void)(ending.stop = true);
        };
        const UpdateReport report = list.update_marked(prompter, ending);
        EXPECT_EQ(report.end, lost ? core::End::Failed : core::End::Stopped);
        EXPECT_EQ(report.summary, "Downloaded 1 of 3 databases; 2 not tried.\n");
        EXPECT_EQ(report.replaced, std::vector<std::string>{"FIRST"});
        EXPECT_EQ(report.not_tried, (std::vector<std::string>{"SECOND", "THIRD"}));
        if (lost) {
            ASSERT_EQ(prompter.messages.size(), 1u);
            ASSERT_EQ(report.problems.size(), 1u);
            testsupport::expect_box(prompter.messages[0], report.problems[0].text(),
                                    "Cannot Connect to Server", core::Message::Icon::Exclamation);
        } else {
            EXPECT_TRUE(prompter.messages.empty());
            EXPECT_TRUE(contains(log, "The update was stopped; 2 marked databases were left as "
                                      "they were.\r\n"));
        }
        EXPECT_EQ(local_version("SECOND"), "1");
        EXPECT_EQ(home_files(),
                  (std::vector<std::string>{"databases/FIRST.zdb", "databases/SECOND.zdb"}));
        EXPECT_EQ(row("FIRST").status, "Current");
        EXPECT_TRUE(row("SECOND").marked);
        EXPECT_TRUE(row("THIRD").marked);
    }
}

// A window may ask again while the list is fetched: nothing more is done.
TEST_F(DatabaseListTest, ARefreshOrUpdateAskedForDuringARefreshIsRefused) {
    list_body("Name\tVersion\r\nA\t1\r\n");
    std::vector<core::End> nested;
    testsupport::StopProgress asking;
    asking.on_poll = [&] {
        if (list.refreshing() && nested.empty()) {
            nested.push_back(list.refresh_list(prompter, core::null_progress()).end);
            nested.push_back(list.update_marked(prompter, core::null_progress()).end);
        }
    };
    ASSERT_TRUE(list.refresh_list(prompter, asking).clean());
    EXPECT_EQ(nested, (std::vector<core::End>{core::End::Refused, core::End::Refused}));
    EXPECT_EQ(server.paths(), std::vector<std::string>{"/zelkon/list.php"});
    EXPECT_EQ(list.rows().size(), 1u);
    EXPECT_FALSE(list.refreshing());
}

} // namespace
