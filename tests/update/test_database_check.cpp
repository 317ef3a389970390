#include <gtest/gtest.h>

#include <algorithm>

#include "app_home.h"
#include "database_check.h"
#include "local_server.h"
#include "quick_http.h"
#include "recorders.h"
#include "rom_forge.h"
#include "temp_dir.h"
#include "zdb_writer.h"

using testsupport::LocalServer;
using testsupport::read_file;
using testsupport::Reply;
using testsupport::TempDir;
using update::CheckReport;
using update::DatabaseCheck;
using Icon = core::Message::Icon;

namespace {

namespace fs = std::filesystem;

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::string database_bytes(const TempDir& scratch, const std::string& id,
                           const std::string& version) {
    core::ZdbHeader h;
    h.system_id = id;
    h.long_name = id + " games";
    h.version = version;
    h.patterns = "*.bin";
    const fs::path file = scratch.path() / "made.zdb";
    EXPECT_TRUE(core::write_zdb(file, 3, h, {testsupport::rom_entry(0x12345678, "Game (U)")}));
    return read_file(file);
}

// A home with a databases folder, and a server that offers what each test puts there.
class DatabaseCheckTest : public ::testing::Test {
protected:
    void SetUp() override {
        core::set_app_home(home.path());
        fs::create_directories(home.path() / "databases");
        server.serve_folder(site.path());
    }

    fs::path local(const std::string& id) const {
        return home.path() / "databases" / (id + ".zdb");
    }
    void make_local(const std::string& id, const std::string& version) const {
        testsupport::write_file(local(id), database_bytes(scratch, id, version));
    }
    // The version file "VERSION FOLDER" and the database it points at.
    void offer(const std::string& id, const std::string& version) const {
        std::string lower = id;
        std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
        site.write("zelkon/zdb/" + lower + ".txt", version + " " + server.root() + "zdb/");
        site.write("zelkon/zdb/" + id + ".zdb", database_bytes(scratch, id, version));
    }
    std::string local_version(const std::string& id) const {
        return core::read_zdb_version(local(id));
    }
    bool requested(const std::string& path) const {
        auto paths = server.paths();
        return std::find(paths.begin(), paths.end(), path) != paths.end();
    }

    static core::SystemEntry system(const std::string& id) {
        return {id + " games", id, "*.bin", {}};
    }
    CheckReport check(const std::string& id, std::vector<core::SystemEntry> systems = {}) {
        if (systems.empty())
            systems = {system(id.empty() ? "SGENESIS" : id)};
        update::DatabaseChecker checker{update::ServerAddresses(root),
                                        update::HttpClient(testsupport::quick_http())};
        return checker.update_databases(systems, id, prompter, progress);
    }
    // The one message of a single-database check.
    core::Message message() const {
        EXPECT_EQ(prompter.messages.size(), 1u);
        return prompter.messages.empty() ? core::Message{} : prompter.messages.back();
    }
    // The one message of a single-database check; forgotten once looked at.
    void expect_message(const std::string& text, const std::string& title,
                        Icon icon = Icon::Information) {
        ASSERT_EQ(prompter.messages.size(), 1u);
        EXPECT_EQ(prompter.messages[0].text, text);
        EXPECT_EQ(prompter.messages[0].title, title);
        EXPECT_EQ(prompter.messages[0].icon, icon);
        prompter.messages.clear();
    }
    void expect_unable(const std::string& reason_part) const {
        core::Message m = message();
        EXPECT_EQ(m.title, "Unable To Update");
        EXPECT_EQ(m.icon, Icon::Exclamation);
        EXPECT_EQ(m.text.rfind("There was an error when attempting to get the database\r\r", 0), 0u)
            << m.text;
        EXPECT_TRUE(contains(m.text, reason_part)) << m.text;
    }

    TempDir home, site, scratch;
    LocalServer server;
    std::string root = server.root();
    testsupport::RecordingPrompter prompter;
    testsupport::RecordingProgress progress;
};

} // namespace

TEST_F(DatabaseCheckTest, AnEqualVersionStaysAndANewerOneReplacesTheLocalDatabase) {
    make_local("SGENESIS", "1.2");
    offer("SGENESIS", "1.2");
    check("SGENESIS");
    expect_message("The database did not need to be updated", "No Update Necessary");
    EXPECT_FALSE(requested("/zelkon/zdb/SGENESIS.zdb"));

    offer("SGENESIS", "1.3");
    EXPECT_EQ(check("SGENESIS").end, CheckReport::End::Completed);
    expect_message("The database has been upgraded from version 1.2 to 1.3", "Updated");
    EXPECT_EQ(local_version("SGENESIS"), "1.3");
    EXPECT_FALSE(fs::exists(local("SGENESIS").string() + ".new"));
    EXPECT_TRUE(requested("/zelkon/zdb/SGENESIS.zdb"));
    EXPECT_EQ(progress.statuses.back(), "Getting new SGENESIS games database...");
    EXPECT_EQ(progress.statuses.front(), "Checking SGENESIS games...");
    EXPECT_EQ(progress.step_calls.back(), (std::pair<std::size_t, std::size_t>{1, 1}));
}

TEST_F(DatabaseCheckTest, ALowerServerVersionAndAMissingLocalFileBothUpdate) {
    make_local("SGENESIS", "1.10");
    offer("SGENESIS", "1.9");
    check("SGENESIS");
    expect_message("The database has been upgraded from version 1.10 to 1.9", "Updated");
    offer("S32X", "2");
    check("S32X");
    expect_message("The database has been upgraded from version  to 2", "Updated");
    EXPECT_EQ(local_version("S32X"), "2");
}

TEST_F(DatabaseCheckTest, AnIdWithABlankIsSentAsPercent20) {
    make_local("SEGA CD", "1");
    offer("SEGA CD", "2");
    check("SEGA CD");
    std::vector<std::string> targets;
    for (const auto& r : server.requests())
        targets.push_back(r.target);
    EXPECT_NE(std::find(targets.begin(), targets.end(), "/zelkon/zdb/sega%20cd.txt"),
              targets.end());
    EXPECT_NE(std::find(targets.begin(), targets.end(), "/zelkon/zdb/SEGA%20CD.zdb"),
              targets.end());
    EXPECT_EQ(local_version("SEGA CD"), "2");
}

TEST_F(DatabaseCheckTest, ADeadServerIsToldOnceAtTheProbe) {
    root = "http://127.0.0.1:" + std::to_string(testsupport::dead_port()) + "/zelkon/";
    make_local("SGENESIS", "1.2");
    auto report = check("SGENESIS");
    EXPECT_EQ(report.end, CheckReport::End::Unreachable);
    core::Message m = message();
    EXPECT_EQ(m.title, "Arg");
    EXPECT_EQ(m.icon, Icon::Exclamation);
    EXPECT_EQ(m.text.rfind("Could not connect to the server.\r\r", 0), 0u) << m.text;
    EXPECT_GT(m.text.size(), std::string("Could not connect to the server.\r\r").size());
    EXPECT_TRUE(progress.statuses.empty());
    EXPECT_TRUE(report.databases.empty());
}

TEST_F(DatabaseCheckTest, BadVersionFilesFailAndDownloadNothing) {
    make_local("SGENESIS", "1.2");
    struct Case {
        const char* what;
        Reply reply;
        const char* reason;
    };
    for (const Case& c :
         {Case{"missing", Reply{404, "<html>no</html>", "text/html"}, "404"},
          Case{"an error page", Reply{200, "<html>Not here</html>", "text/html"}, "error page"},
          Case{"no blank", Reply{200, "1.3"}, "no blank"},
          Case{"not a web address", Reply{200, "1.3 ftp://127.0.0.1/zdb/"}, "not an http"},
          Case{"a relative folder", Reply{200, "1.3 zdb/"}, "not an http"}}) {
        SCOPED_TRACE(c.what);
        prompter.messages.clear();
        server.on("/zelkon/zdb/sgenesis.txt", c.reply);
        auto report = check("SGENESIS");
        expect_unable(c.reason);
        ASSERT_EQ(report.databases.size(), 1u);
        EXPECT_EQ(report.databases[0].state, DatabaseCheck::State::Failed);
        EXPECT_TRUE(report.any_failed());
    }
    EXPECT_FALSE(requested("/zelkon/zdb/SGENESIS.zdb"));
    EXPECT_EQ(local_version("SGENESIS"), "1.2");
}

TEST_F(DatabaseCheckTest, ABadDownloadLeavesTheLocalDatabaseAndNoNewFile) {
    make_local("SGENESIS", "1.2");
    offer("SGENESIS", "1.3");
    const std::string good = read_file(site.path() / "zelkon/zdb/SGENESIS.zdb");
    struct Case {
        const char* what;
        Reply reply;
    };
    for (const Case& c :
         {Case{"an error page", Reply{200, "<html>Oops</html>", "text/html"}},
          Case{"cut short", Reply{.body = good.substr(0, 20), .declared_length = good.size()}},
          Case{"not a database", Reply{200, std::string("\x07junk", 5)}}}) {
        SCOPED_TRACE(c.what);
        prompter.messages.clear();
        server.on("/zelkon/zdb/SGENESIS.zdb", c.reply);
        check("SGENESIS");
        expect_unable("");
        EXPECT_EQ(local_version("SGENESIS"), "1.2");
        EXPECT_FALSE(fs::exists(local("SGENESIS").string() + ".new"));
    }
}

TEST_F(DatabaseCheckTest, AReadOnlyDatabaseIsNeverReportedUpdated) {
    make_local("SGENESIS", "1.2");
    fs::permissions(local("SGENESIS"), fs::perms::owner_read | fs::perms::group_read);
    offer("SGENESIS", "1.3");
    check("SGENESIS");
    expect_unable("read-only");
    EXPECT_EQ(local_version("SGENESIS"), "1.2");
    EXPECT_FALSE(fs::exists(local("SGENESIS").string() + ".new"));
}

TEST_F(DatabaseCheckTest, TheIdIsMatchedExactlyAndMustNameAFile) {
    auto report = check("sgenesis", {system("SGENESIS")});
    EXPECT_EQ(report.end, CheckReport::End::UnknownId);
    EXPECT_TRUE(prompter.messages.empty());
    EXPECT_TRUE(server.paths().empty());

    // An id read from a database's header never leads a path out of the databases folder.
    report = check("../evil", {system("../evil")});
    expect_unable("cannot name a database file");
    EXPECT_EQ(server.paths().size(), 1u) << "only the probe";
    EXPECT_FALSE(fs::exists(home.path() / "evil.zdb.new"));
}

TEST_F(DatabaseCheckTest, AllDatabasesAreReportedOneByOneWithoutMessages) {
    make_local("AAA", "1");
    offer("AAA", "1");
    offer("BBB", "5"); // no local copy: its old version is its own, empty
    make_local("CCC", "1");
    site.write("zelkon/zdb/ccc.txt", "<html>error</html>");
    auto report = check("", {system("AAA"), system("BBB"), system("CCC")});
    EXPECT_EQ(report.end, CheckReport::End::Completed);
    EXPECT_TRUE(prompter.messages.empty());
    ASSERT_EQ(report.databases.size(), 3u);
    EXPECT_EQ(update::describe(report.databases[0]), "AAA games (AAA): current, version 1");
    EXPECT_EQ(update::describe(report.databases[1]),
              "BBB games (BBB): updated to version 5 (there was no local copy)");
    EXPECT_EQ(report.databases[1].old_version, "");
    EXPECT_TRUE(contains(update::describe(report.databases[2]), "CCC games (CCC): not updated: "));
    EXPECT_TRUE(report.any_failed());
    EXPECT_EQ(progress.step_calls.back(), (std::pair<std::size_t, std::size_t>{3, 3}));
}

TEST_F(DatabaseCheckTest, MoreThan255DatabasesAreAllChecked) {
    // An empty version equals the empty version of a missing local file: all current.
    server.on("*", [this](const testsupport::Seen&) { return Reply{200, " " + root + "zdb/"}; });
    std::vector<core::SystemEntry> systems;
    systems.reserve(300);
    for (int i = 0; i < 300; ++i)
        systems.push_back(system("SYS" + std::to_string(i)));
    auto report = check("", systems);
    ASSERT_EQ(report.databases.size(), 300u);
    EXPECT_EQ(report.databases.back().state, DatabaseCheck::State::Current);
    EXPECT_FALSE(report.any_failed());
}
