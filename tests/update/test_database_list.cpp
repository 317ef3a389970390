#include <algorithm>
#include <filesystem>

#include <gtest/gtest.h>

#include "app_home.h"
#include "database_list.h"
#include "local_server.h"
#include "quick_http.h"
#include "recorders.h"
#include "rom_forge.h"
#include "temp_dir.h"
#include "zdb.h"
#include "zdb_writer.h"

namespace {
namespace fs = std::filesystem;
using testsupport::LocalServer;
using testsupport::read_file;
using testsupport::Reply;
using testsupport::TempDir;
using update::UpdateReport;

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

using testsupport::quick_http;

void write_database(const fs::path& path, const std::string& name, const std::string& version) {
    core::ZdbHeader header;
    header.system_id = name;
    header.long_name = name + " games";
    header.version = version;
    fs::create_directories(path.parent_path());
    ASSERT_TRUE(
        core::write_zdb(path, 3, header, {testsupport::rom_entry(0x12345678, "Game")}).ok());
}

// Stops the server before the download of step `at`: a server that dies between databases.
class ServerKiller final : public core::Progress {
public:
    ServerKiller(LocalServer& server, std::size_t at) : m_server(server), m_at(at) {}
    void status(std::string_view) override {}
    void log(std::string_view text) override { log_text += text; }
    void step(std::size_t done, std::size_t) override {
        if (done == m_at)
            m_server.stop();
    }
    std::string log_text;

private:
    LocalServer& m_server;
    std::size_t m_at;
};

// A home with a databases folder, a server tree served by a real local server.
class DatabaseListTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(home.path() / "databases");
        core::set_app_home(home.path());
        server.serve_folder(site.path());
    }

    fs::path local(const std::string& name) const {
        return home.path() / "databases" / (name + ".zdb");
    }
    void put_local(const std::string& name, const std::string& version) const {
        write_database(local(name), name, version);
    }
    void publish(const std::string& name, const std::string& version) const {
        write_database(site.path() / "zelkon/zdb" / (name + ".zdb"), name, version);
    }
    void list_body(const std::string& body) const { site.write("zelkon/list.php", body); }

    const update::ListRow& row(const std::string& name) const {
        auto index = list.find(name);
        EXPECT_TRUE(index) << name;
        return list.rows().at(index.value_or(0));
    }
    std::size_t requests_for(const std::string& path) const {
        auto paths = server.paths();
        return static_cast<std::size_t>(std::count(paths.begin(), paths.end(), path));
    }

    TempDir home;
    TempDir site;
    LocalServer server;
    update::DatabaseList list{update::ServerAddresses(server.root()),
                              update::HttpClient(quick_http())};
    testsupport::RecordingPrompter prompter;
    testsupport::RecordingProgress progress;
};

TEST_F(DatabaseListTest, ColumnsInOrderFieldsByTheSplittingRule) {
    list_body("Name\tVersion\tNotes\r\n"
              "SGENESIS\t1.2\t\r\n"
              "SNES\t1.2\r\n"
              "PCE\t\tNo version\r\n");
    ASSERT_TRUE(list.refresh_list(prompter).ok());
    EXPECT_EQ(list.columns(), (std::vector<std::string>{"Name", "Version", "Notes", "Status"}));
    EXPECT_EQ(list.status_column(), 3u);
    ASSERT_EQ(list.rows().size(), 3u);
    // A trailing tab adds no field: both lines read the same.
    EXPECT_EQ(row("SGENESIS").fields, (std::vector<std::string>{"SGENESIS", "1.2", ""}));
    EXPECT_EQ(row("SNES").fields, (std::vector<std::string>{"SNES", "1.2", ""}));
    EXPECT_EQ(row("PCE").fields, (std::vector<std::string>{"PCE", "", "No version"}));
    EXPECT_EQ(row("SNES").key, "id_SNES");
    EXPECT_EQ(list.cell(*list.find("PCE"), 2), "No version");
    EXPECT_EQ(list.cell(*list.find("PCE"), 3), "New Database");
    EXPECT_TRUE(prompter.messages.empty());
}

TEST_F(DatabaseListTest, StatusesAndMarksFollowTheVersionRule) {
    list_body("Name\tSystem\tVersion\r\nSAME\tA\t1.2\r\nTEN\tB\t1.10\r\nLOWER\tC\t1.1\r\n"
              "FRESH\tD\t1.0\r\n");
    put_local("SAME", "1.2");
    put_local("TEN", "1.2");
    put_local("LOWER", "1.2");
    ASSERT_TRUE(list.refresh_list(prompter).ok());

    EXPECT_EQ(row("SAME").status, "Current");
    EXPECT_FALSE(row("SAME").marked);
    for (const char* name : {"TEN", "LOWER"}) {
        EXPECT_EQ(row(name).status, "Update Available") << name;
        EXPECT_TRUE(row(name).marked) << name;
    }
    EXPECT_EQ(row("FRESH").status, "New Database");
    EXPECT_TRUE(row("FRESH").marked);
    EXPECT_EQ(list.marked_count(), 3u);
}

TEST_F(DatabaseListTest, ABadListIsAClearErrorAndEmptiesTheList) {
    const struct {
        const char* body;
        const char* says;
    } cases[] = {
        {"Name\tRelease\r\nSGENESIS\t1.2\r\n", "has no column titled \"Version\""},
        {"", "is empty"},
        {"\r\n\r\n", "is empty"},
    };
    for (const auto& c : cases) {
        list_body("Name\tVersion\r\nOLD\t1\r\n");
        ASSERT_TRUE(list.refresh_list(prompter).ok());
        list_body(c.body);
        prompter.messages.clear();
        const core::Status status = list.refresh_list(prompter);
        ASSERT_FALSE(status.ok()) << c.says;
        EXPECT_TRUE(contains(status.error().message, c.says)) << status.error().message;
        EXPECT_TRUE(list.rows().empty());
        EXPECT_TRUE(list.columns().empty());
        ASSERT_EQ(prompter.messages.size(), 1u);
        EXPECT_EQ(prompter.messages[0].title, "Cannot Connect to Server");
        EXPECT_EQ(prompter.messages[0].text, status.error().message);
    }
}

TEST_F(DatabaseListTest, ADeadServerOrAMissingListCannotBeRefreshed) {
    const std::string dead = "http://127.0.0.1:" + std::to_string(testsupport::dead_port()) + "/";
    update::DatabaseList gone{update::ServerAddresses(dead + "zelkon/"),
                              update::HttpClient(quick_http())};
    EXPECT_FALSE(gone.refresh_list(prompter).ok());
    // No list.php in the tree: the server answers 404.
    EXPECT_FALSE(list.refresh_list(prompter).ok());
    ASSERT_EQ(prompter.messages.size(), 2u);
    for (const auto& m : prompter.messages) {
        EXPECT_EQ(m.title, "Cannot Connect to Server");
        EXPECT_EQ(m.icon, core::Message::Icon::Exclamation);
        EXPECT_EQ(m.buttons, core::Message::Buttons::Ok);
        EXPECT_FALSE(m.text.empty());
    }
    EXPECT_TRUE(contains(prompter.messages[1].text, "404"));
}

TEST_F(DatabaseListTest, SortFlipsOnTheSameColumnAndHoldsAcrossRefreshes) {
    list_body("Name\tVersion\r\nbeta\t2\r\nAlpha\t3\r\ngamma\t1\r\n");
    ASSERT_TRUE(list.refresh_list(prompter).ok());
    auto names = [&] {
        std::vector<std::string> out;
        for (const auto& r : list.rows())
            out.push_back(r.name);
        return out;
    };
    list.sort_by(0);
    EXPECT_EQ(names(), (std::vector<std::string>{"Alpha", "beta", "gamma"}));
    EXPECT_FALSE(list.sort_descending());
    list.sort_by(0);
    EXPECT_EQ(names(), (std::vector<std::string>{"gamma", "beta", "Alpha"}));
    EXPECT_TRUE(list.sort_descending());
    list.sort_by(1);
    EXPECT_EQ(names(), (std::vector<std::string>{"gamma", "beta", "Alpha"}));
    EXPECT_FALSE(list.sort_descending());
    list.sort_by(1);
    EXPECT_EQ(names(), (std::vector<std::string>{"Alpha", "beta", "gamma"}));
    ASSERT_TRUE(list.refresh_list(prompter).ok());
    EXPECT_EQ(names(), (std::vector<std::string>{"Alpha", "beta", "gamma"}));
    EXPECT_EQ(list.sort_column(), 1u);
}

TEST_F(DatabaseListTest, NothingMarkedIsNothingToDo) {
    list_body("Name\tVersion\r\nSGENESIS\t1.2\r\n");
    publish("SGENESIS", "1.2");
    ASSERT_TRUE(list.refresh_list(prompter).ok());
    list.uncheck_all();
    EXPECT_EQ(list.marked_count(), 0u);

    const UpdateReport report = list.update_marked(prompter, progress);
    EXPECT_EQ(report.end, UpdateReport::End::NothingToDo);
    EXPECT_TRUE(report.ok());
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].text,
              "You need to checkmark the ZDBs that you want to download.");
    EXPECT_EQ(prompter.messages[0].title, "Nothing to Do");
    EXPECT_EQ(prompter.messages[0].icon, core::Message::Icon::Information);
    EXPECT_EQ(prompter.messages[0].buttons, core::Message::Buttons::Ok);
    EXPECT_EQ(server.paths(), std::vector<std::string>{"/zelkon/list.php"});
    EXPECT_FALSE(fs::exists(local("SGENESIS")));
}

TEST_F(DatabaseListTest, UpdateReplacesTheMarkedAndRefreshes) {
    list_body("Name\tVersion\r\nOLD\t2.0\r\nNEW\t1.0\r\nSAME\t1.0\r\n");
    for (auto [name, version] : {std::pair{"OLD", "2.0"}, {"NEW", "1.0"}, {"SAME", "1.0"}})
        publish(name, version);
    put_local("OLD", "1.0");
    put_local("SAME", "1.0");
    // A read-only database is still replaced by the list's update.
    fs::permissions(local("OLD"), fs::perms::owner_write, fs::perm_options::remove);
    ASSERT_TRUE(list.refresh_list(prompter).ok());

    const UpdateReport report = list.update_marked(prompter, progress);
    EXPECT_TRUE(report.ok());
    EXPECT_EQ(report.end, UpdateReport::End::Completed);
    EXPECT_EQ(report.replaced, (std::vector<std::string>{"OLD", "NEW"}));
    EXPECT_EQ(core::read_zdb_version(local("OLD")), "2.0");
    EXPECT_EQ(read_file(local("NEW")), read_file(site.path() / "zelkon/zdb/NEW.zdb"));
    EXPECT_FALSE(fs::exists(local("OLD").string() + ".tmp"));
    EXPECT_EQ(requests_for("/zelkon/zdb/SAME.zdb"), 0u);
    EXPECT_EQ(requests_for("/zelkon/list.php"), 2u);
    EXPECT_EQ(progress.step_calls,
              (std::vector<std::pair<std::size_t, std::size_t>>{{1, 2}, {2, 2}}));
    EXPECT_TRUE(contains(progress.log_text, "Updated OLD (version 2.0)\r\n"));
    for (const char* name : {"OLD", "NEW", "SAME"}) {
        EXPECT_EQ(row(name).status, "Current") << name;
        EXPECT_FALSE(row(name).marked) << name;
    }
    EXPECT_TRUE(prompter.messages.empty());
}

TEST_F(DatabaseListTest, ABadDownloadLeavesItsDatabaseAndTheRunGoesOn) {
    list_body("Name\tVersion\r\nPAGE\t2\r\nGONE\t2\r\nCUT\t2\r\nJUNK\t2\r\nGOOD\t2\r\n");
    for (const char* name : {"PAGE", "GONE", "CUT", "JUNK"})
        put_local(name, "1");
    publish("GOOD", "2");
    const std::string whole = read_file(site.path() / "zelkon/zdb/GOOD.zdb");
    server.on("/zelkon/zdb/PAGE.zdb", Reply{.body = "<html><body>Sorry</body></html>"});
    server.on("/zelkon/zdb/CUT.zdb",
              Reply{.body = whole.substr(0, 20), .declared_length = whole.size()});
    server.on("/zelkon/zdb/JUNK.zdb", Reply{.body = "\x09 not a database at all"});
    ASSERT_TRUE(list.refresh_list(prompter).ok());

    const UpdateReport report = list.update_marked(prompter, progress);
    EXPECT_FALSE(report.ok());
    EXPECT_EQ(report.end, UpdateReport::End::Completed);
    EXPECT_EQ(report.replaced, std::vector<std::string>{"GOOD"});
    ASSERT_EQ(report.failed.size(), 4u);
    EXPECT_TRUE(contains(report.failed[0].error.message, "error page"));
    EXPECT_TRUE(contains(report.failed[1].error.message, "404"));
    EXPECT_TRUE(contains(report.failed[2].error.message, "connection was lost"));
    EXPECT_TRUE(contains(report.failed[3].error.message, "not a ROM database"));
    for (const char* name : {"PAGE", "GONE", "CUT", "JUNK"}) {
        EXPECT_EQ(core::read_zdb_version(local(name)), "1") << name;
        EXPECT_FALSE(fs::exists(local(name).string() + ".tmp")) << name;
        EXPECT_EQ(row(name).status, "Update Available") << name;
        EXPECT_TRUE(contains(progress.log_text, std::string("Could not update ") + name + ": "));
    }
    EXPECT_EQ(row("GOOD").status, "Current");
    EXPECT_TRUE(prompter.messages.empty());
}

TEST_F(DatabaseListTest, AHostileListNeverReachesOutsideTheDatabases) {
    list_body("Name\tVersion\r\n../evil\t1\r\n../../outside\t1\r\n" + site.path().string() +
              "/abs\t1\r\nsub/dir\t1\r\n..\t1\r\nback\\slash\t1\r\n\t1\r\nGOOD\t1\r\n");
    publish("GOOD", "1");
    ASSERT_TRUE(list.refresh_list(prompter).ok());
    ASSERT_EQ(list.rows().size(), 8u);
    for (std::size_t i = 0; i + 1 < list.rows().size(); ++i) {
        EXPECT_EQ(list.rows()[i].status, "Unsafe Name") << list.rows()[i].name;
        EXPECT_FALSE(list.rows()[i].marked);
        EXPECT_FALSE(list.set_marked(i, true));
    }
    const UpdateReport report = list.update_marked(prompter, progress);
    EXPECT_TRUE(report.ok());
    EXPECT_EQ(report.replaced, std::vector<std::string>{"GOOD"});
    for (const auto& path : server.paths())
        EXPECT_TRUE(path == "/zelkon/list.php" || path == "/zelkon/zdb/GOOD.zdb") << path;
    std::vector<fs::path> written;
    for (const auto& entry : fs::recursive_directory_iterator(home.path()))
        written.push_back(fs::relative(entry.path(), home.path()));
    EXPECT_EQ(written, (std::vector<fs::path>{"databases", "databases/GOOD.zdb"}));
    EXPECT_FALSE(fs::exists(site.path() / "abs.zdb"));
}

TEST_F(DatabaseListTest, ANameListedTwiceIsDownloadedOnce) {
    list_body("Name\tVersion\r\nSGENESIS\t2\r\nsgenesis\t3\r\n");
    ASSERT_TRUE(list.refresh_list(prompter).ok());
    EXPECT_EQ(list.rows()[0].status, "New Database");
    EXPECT_EQ(list.rows()[1].status, "Duplicate");
    EXPECT_FALSE(list.rows()[1].marked);
    EXPECT_FALSE(list.set_marked(1, true));
    EXPECT_EQ(list.find("Sgenesis"), 0u);
}

TEST_F(DatabaseListTest, AServerLostMidRunStopsIt) {
    list_body("Name\tVersion\r\nFIRST\t2\r\nSECOND\t2\r\nTHIRD\t2\r\n");
    publish("FIRST", "2");
    publish("SECOND", "2");
    put_local("SECOND", "1");
    ASSERT_TRUE(list.refresh_list(prompter).ok());
    ServerKiller killer(server, 2);

    const UpdateReport report = list.update_marked(prompter, killer);
    EXPECT_EQ(report.end, UpdateReport::End::ServerLost);
    EXPECT_FALSE(report.ok());
    EXPECT_EQ(report.replaced, std::vector<std::string>{"FIRST"});
    EXPECT_TRUE(report.failed.empty());
    EXPECT_EQ(report.not_tried, (std::vector<std::string>{"SECOND", "THIRD"}));
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].title, "Cannot Connect to Server");
    EXPECT_EQ(prompter.messages[0].icon, core::Message::Icon::Exclamation);
    ASSERT_TRUE(report.error);
    EXPECT_EQ(prompter.messages[0].text, report.error->message);
    EXPECT_EQ(core::read_zdb_version(local("SECOND")), "1");
    EXPECT_FALSE(fs::exists(local("SECOND").string() + ".tmp"));
    EXPECT_FALSE(fs::exists(local("THIRD")));
    EXPECT_EQ(row("FIRST").status, "Current");
    EXPECT_TRUE(row("SECOND").marked);
    EXPECT_TRUE(row("THIRD").marked);
}

TEST_F(DatabaseListTest, StoppingLeavesTheRestAlone) {
    list_body("Name\tVersion\r\nFIRST\t2\r\nSECOND\t2\r\n");
    publish("FIRST", "2");
    publish("SECOND", "2");
    ASSERT_TRUE(list.refresh_list(prompter).ok());
    progress.stop_after = 1;
    const UpdateReport report = list.update_marked(prompter, progress);
    EXPECT_EQ(report.end, UpdateReport::End::Cancelled);
    EXPECT_FALSE(report.ok());
    EXPECT_EQ(report.replaced, std::vector<std::string>{"FIRST"});
    EXPECT_EQ(report.not_tried, std::vector<std::string>{"SECOND"});
    EXPECT_FALSE(fs::exists(local("SECOND")));
    EXPECT_TRUE(prompter.messages.empty());
}

TEST_F(DatabaseListTest, ASpaceIsRequestedAsPercent20) {
    list_body("Name\tVersion\r\nSega CD\t1\r\n");
    publish("Sega CD", "1");
    ASSERT_TRUE(list.refresh_list(prompter).ok());
    ASSERT_TRUE(list.update_marked(prompter, progress).ok());
    const auto seen = server.requests();
    EXPECT_TRUE(std::any_of(seen.begin(), seen.end(), [](const testsupport::Seen& s) {
        return s.target == "/zelkon/zdb/Sega%20CD.zdb";
    }));
    EXPECT_EQ(core::read_zdb_version(local("Sega CD")), "1");
}

TEST_F(DatabaseListTest, ARefreshAskedForDuringARefreshDoesNothing) {
    list_body("Name\tVersion\r\nA\t1\r\n");
    update::DatabaseList* inner = nullptr;
    bool nested_ok = false;
    UpdateReport::End nested_update{};
    update::HttpOptions options = quick_http();
    options.cancelled = [&] {
        if (inner && inner->refreshing()) {
            nested_ok = inner->refresh_list(prompter).ok();
            nested_update = inner->update_marked(prompter, progress).end;
        }
        return false;
    };
    update::DatabaseList guarded{update::ServerAddresses(server.root()),
                                 update::HttpClient(options)};
    inner = &guarded;
    ASSERT_TRUE(guarded.refresh_list(prompter).ok());
    EXPECT_TRUE(nested_ok);
    EXPECT_EQ(nested_update, UpdateReport::End::Busy);
    EXPECT_EQ(server.paths(), std::vector<std::string>{"/zelkon/list.php"});
    EXPECT_EQ(guarded.rows().size(), 1u);
    EXPECT_FALSE(guarded.refreshing());
}

} // namespace
