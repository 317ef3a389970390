#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <optional>
#include <thread>

#include "app_home.h"
#include "local_server.h"
#include "news.h"
#include "platform.h"
#include "recorders.h"
#include "settings.h"
#include "temp_dir.h"

using testsupport::LocalServer;
using testsupport::read_file;
using testsupport::Reply;
using testsupport::TempDir;
using update::AutoNews;
using update::AutoNewsRun;

namespace {

namespace fs = std::filesystem;

const char* const kStandard = "/zelkon/zdb/news/standard.txt";
const char* const kAuto = "/zelkon/zdb/news/auto.txt";

// Remembers what it was asked to show, and what the file held at that moment.
class RecordingViewer final : public update::TextViewer {
public:
    bool show(const fs::path& file) override {
        shown.push_back(file);
        texts.push_back(read_file(file));
        return works;
    }
    std::vector<fs::path> shown;
    std::vector<std::string> texts;
    bool works = true;
};

update::HttpOptions quick() {
    update::HttpOptions options;
    options.connect_timeout_seconds = 2;
    options.stall_timeout_seconds = 1;
    return options;
}

class NewsTest : public ::testing::Test {
protected:
    void SetUp() override { core::set_app_home(home.path()); }

    update::NewsClient client(const std::string& root) const {
        return update::NewsClient(update::ServerAddresses(root), update::HttpClient(quick()),
                                  home.path());
    }
    update::NewsClient client() const { return client(server.root()); }
    update::NewsClient dead_client() const {
        return client("http://127.0.0.1:" + std::to_string(testsupport::dead_port()) + "/zelkon/");
    }

    std::string last_news() const {
        return core::read_setting("general", "LastNews", "0", home.path() / "zelkon.ini").text();
    }
    // Only the files we mean to leave: no temporary download stays behind.
    std::vector<std::string> home_files() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(home.path()))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    TempDir home;
    LocalServer server;
    RecordingViewer viewer;
    testsupport::RecordingPrompter prompter;
};

} // namespace

TEST_F(NewsTest, StandardNewsIsFetchedIntoTheHomeAndShown) {
    server.on(kStandard, Reply{200, "Server moved.\r\nSee you there.\r\n"});
    auto shown = client().read_news(viewer, prompter);
    ASSERT_TRUE(shown) << shown.error().message;
    ASSERT_EQ(viewer.shown.size(), 1u);
    EXPECT_EQ(viewer.shown[0], home.path() / "news.txt");
    EXPECT_EQ(viewer.texts[0], "Server moved.\r\nSee you there.\r\n");
    EXPECT_TRUE(prompter.messages.empty());
    EXPECT_EQ(home_files(), std::vector<std::string>{"news.txt"});
}

TEST_F(NewsTest, ReadNewsFailuresShowTheMessageAndKeepTheOldNews) {
    home.write("news.txt", "yesterday's news");
    struct Case {
        const char* what;
        Reply reply;
    };
    for (const Case& c : {Case{"missing", Reply{404, "<html>gone</html>", "text/html"}},
                          Case{"cut short", Reply{.body = "half", .declared_length = 100}},
                          Case{"over the cap", Reply{.endless = (1u << 20) + 4096}}}) {
        SCOPED_TRACE(c.what);
        prompter.messages.clear();
        server.on(kStandard, c.reply);
        EXPECT_FALSE(client().read_news(viewer, prompter));
        ASSERT_EQ(prompter.messages.size(), 1u);
        const core::Message& m = prompter.messages[0];
        EXPECT_EQ(m.text, "Unable to get the news.");
        EXPECT_EQ(m.title, "Unable to connect...");
        EXPECT_EQ(m.icon, core::Message::Icon::Critical);
        EXPECT_EQ(m.buttons, core::Message::Buttons::Ok);
        EXPECT_EQ(read_file(home.path() / "news.txt"), "yesterday's news");
        EXPECT_EQ(home_files(), std::vector<std::string>{"news.txt"});
    }
    EXPECT_TRUE(viewer.shown.empty());
}

TEST_F(NewsTest, ReadNewsWithoutAServerOrAViewerFails) {
    EXPECT_FALSE(dead_client().read_news(viewer, prompter));
    EXPECT_TRUE(viewer.shown.empty());
    EXPECT_TRUE(home_files().empty());

    server.on(kStandard, Reply{200, "news"});
    viewer.works = false;
    auto shown = client().read_news(viewer, prompter);
    ASSERT_FALSE(shown);
    EXPECT_NE(shown.error().message.find("news.txt"), std::string::npos);
    ASSERT_EQ(prompter.messages.size(), 2u);
    EXPECT_EQ(prompter.messages[1].text, "Unable to get the news.");
}

TEST_F(NewsTest, AutoNewsIsShownOnceForEachNewFirstLine) {
    server.on(kAuto, Reply{200, "2024-05\r\nNew databases for three systems.\r\n"});
    EXPECT_EQ(client().check_for_auto_news(viewer), AutoNews::Shown);
    ASSERT_EQ(viewer.shown.size(), 1u);
    EXPECT_EQ(viewer.shown[0], home.path() / "newsauto.txt");
    EXPECT_EQ(last_news(), "2024-05");

    // The same first line with other text below it is not news again.
    server.on(kAuto, Reply{200, "2024-05\r\nCorrected a typo.\r\n"});
    EXPECT_EQ(client().check_for_auto_news(viewer), AutoNews::Unchanged);
    EXPECT_EQ(viewer.shown.size(), 1u);
    EXPECT_EQ(read_file(home.path() / "newsauto.txt"), "2024-05\r\nCorrected a typo.\r\n");

    server.on(kAuto, Reply{200, "2024-06"});
    EXPECT_EQ(client().check_for_auto_news(viewer), AutoNews::Shown);
    EXPECT_EQ(last_news(), "2024-06");
    EXPECT_EQ(viewer.shown.size(), 2u);
}

TEST_F(NewsTest, AutoNewsMatchingTheDefaultOrEmptyShowsNothing) {
    server.on(kAuto, Reply{200, "0\nnothing new"});
    EXPECT_EQ(client().check_for_auto_news(viewer), AutoNews::Unchanged);
    // A freshly published server has empty news files: nothing to show, nothing remembered.
    server.on(kAuto, Reply{200, " \r\n"});
    EXPECT_EQ(client().check_for_auto_news(viewer), AutoNews::Unchanged);
    EXPECT_TRUE(viewer.shown.empty());
    EXPECT_FALSE(fs::exists(home.path() / "zelkon.ini"));
}

TEST_F(NewsTest, AutoNewsWithALongFirstLineIsNotShownAgain) {
    const std::string line(300, 'n');
    server.on(kAuto, Reply{200, line + "\r\n"});
    EXPECT_EQ(client().check_for_auto_news(viewer), AutoNews::Shown);
    EXPECT_EQ(client().check_for_auto_news(viewer), AutoNews::Unchanged);
    EXPECT_EQ(viewer.shown.size(), 1u);
    EXPECT_EQ(last_news(), line.substr(0, 254));
}

TEST_F(NewsTest, AutoNewsFailsSilentlyAndRemembersNothing) {
    std::string reason;
    EXPECT_EQ(dead_client().check_for_auto_news(viewer, &reason), AutoNews::Failed);
    EXPECT_FALSE(reason.empty());

    server.on(kAuto, Reply{404, "<html>no</html>", "text/html"});
    EXPECT_EQ(client().check_for_auto_news(viewer), AutoNews::Failed);

    // News the viewer could not show stays unseen, so it comes again next time.
    server.on(kAuto, Reply{200, "2024-07\r\n"});
    viewer.works = false;
    EXPECT_EQ(client().check_for_auto_news(viewer), AutoNews::Failed);
    EXPECT_EQ(last_news(), "0");
}

TEST_F(NewsTest, AutoNewsRunsOnlyWhenAllowedAndOncePerRun) {
    server.on(kAuto, Reply{200, "2024-08\r\n"});
    ASSERT_TRUE(core::write_setting("general", "CheckForNews", "0", home.path() / "zelkon.ini"));
    update::AutoNewsOnce once(client());
    EXPECT_EQ(once.on_activation(viewer), AutoNewsRun::NotAllowed);
    EXPECT_TRUE(server.paths().empty()) << "no request may reach the server";
    EXPECT_FALSE(once.has_run());

    // Allowed later in the same run: the next activation checks.
    ASSERT_TRUE(core::write_setting("general", "CheckForNews", "1", home.path() / "zelkon.ini"));
    EXPECT_EQ(once.on_activation(viewer), AutoNewsRun::Ran);
    EXPECT_EQ(once.last(), AutoNews::Shown);
    server.on(kAuto, Reply{200, "2024-09\r\n"});
    EXPECT_EQ(once.on_activation(viewer), AutoNewsRun::AlreadyRan);
    EXPECT_EQ(server.paths().size(), 1u);
    EXPECT_EQ(viewer.shown.size(), 1u);
}

TEST_F(NewsTest, WhatsNewShowsTheHomesFileWhenThereIsOne) {
    EXPECT_FALSE(update::show_whats_new(viewer, home.path()));
    EXPECT_TRUE(viewer.shown.empty());
    home.write("Zelkon - What's New.txt", "Version 2: news.");
    EXPECT_TRUE(update::show_whats_new(viewer, home.path()));
    ASSERT_EQ(viewer.shown.size(), 1u);
    EXPECT_EQ(viewer.shown[0], home.path() / "Zelkon - What's New.txt");
}

namespace {

// Sets an environment variable for one test and puts the old value back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : m_name(name) {
        if (const char* old = std::getenv(name))
            m_old = old;
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (m_old)
            setenv(m_name, m_old->c_str(), 1);
        else
            unsetenv(m_name);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

} // namespace

TEST(TextViewer, VisualGetsTheFileAsItsLastArgument) {
    TempDir dir;
    const fs::path file = dir.write("news.txt", "read me");
    fs::create_directories(dir.path() / "seen");
    ScopedEnv visual("VISUAL", "cp -t " + (dir.path() / "seen").string());
    ASSERT_TRUE(core::open_in_text_viewer(file));
    // The viewer runs on its own; wait for what it did, not for a time.
    const fs::path copy = dir.path() / "seen" / "news.txt";
    auto arrived = [&] {
        std::error_code ec;
        return fs::file_size(copy, ec) == 7 && !ec;
    };
    for (int i = 0; i < 1000 && !arrived(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(read_file(copy), "read me");
}

TEST(TextViewer, NothingToStartIsFalse) {
    TempDir dir;
    const fs::path file = dir.write("news.txt", "read me");
    ScopedEnv visual("VISUAL", (dir.path() / "no-such-viewer").string());
    ScopedEnv path("PATH", (dir.path() / "empty").string());
    EXPECT_FALSE(core::open_in_text_viewer(file));
}
