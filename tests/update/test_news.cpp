#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "app_home.h"
#include "news.h"
#include "platform.h"
#include "settings.h"
#include "update_home.h"

using testsupport::read_file;
using testsupport::Reply;
using testsupport::TempDir;

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

class NewsTest : public testsupport::UpdateHome {
protected:
    update::NewsClient client(bool dead = false) const {
        return {update::ServerAddresses(dead ? testsupport::dead_root() : server.root()),
                update::HttpClient(testsupport::quick_http()), home.path()};
    }
    std::string last_news() const {
        return core::read_setting("general", "LastNews", "0", home.path() / "zelkon.ini").text();
    }
    update::AutoNewsReport auto_news(bool dead = false) {
        return client(dead).check_for_auto_news(viewer, progress);
    }

    RecordingViewer viewer;
};

} // namespace

// Only a failed Read News is a message. News over the small cap and news the viewer could
// not show are failures too; the latter stays unseen, so it comes again next time.
TEST_F(NewsTest, ReadNewsIsShownFromTheHomeAndAFailureIsAMessageTheAutomaticNewsSkips) {
    server.on(kStandard, Reply{200, "Server moved.\r\nSee you there.\r\n"});
    EXPECT_TRUE(client().read_news(viewer, prompter, progress).clean());
    ASSERT_EQ(viewer.shown, std::vector<fs::path>{home.path() / "news.txt"});
    EXPECT_EQ(viewer.texts[0], "Server moved.\r\nSee you there.\r\n");
    EXPECT_TRUE(prompter.messages.empty());
    EXPECT_EQ(home_files(), std::vector<std::string>{"news.txt"});

    server.on(kStandard, Reply{.endless = (1u << 20) + 4096});
    EXPECT_EQ(client().read_news(viewer, prompter, progress).end, core::End::Failed);
    ASSERT_EQ(prompter.messages.size(), 1u);
    testsupport::expect_box(prompter.messages[0], "Unable to get the news.", "Unable to connect...",
                            core::Message::Icon::Critical);
    server.on(kStandard, Reply{200, "news"});
    server.on(kAuto, Reply{200, "2024-07\r\n"});
    viewer.works = false;
    EXPECT_EQ(client().read_news(viewer, prompter, progress).end, core::End::Failed);
    EXPECT_EQ(prompter.messages.size(), 2u);
    EXPECT_EQ(auto_news().end, core::End::Failed);
    EXPECT_EQ(auto_news(true).end, core::End::Failed);
    EXPECT_EQ(prompter.messages.size(), 2u) << "the automatic news asks nothing";
    EXPECT_EQ(last_news(), "0");
}

TEST_F(NewsTest, AutoNewsIsShownOnceForEachNewFirstLine) {
    server.on(kAuto, Reply{200, "0\nnothing new"}); // the default of LastNews
    EXPECT_FALSE(auto_news().shown);
    // A freshly published server has empty news files: nothing to show or remember.
    server.on(kAuto, Reply{200, " \r\n"});
    EXPECT_TRUE(auto_news().clean());
    EXPECT_FALSE(fs::exists(home.path() / "zelkon.ini"));

    server.on(kAuto, Reply{200, "2024-05\r\nNew databases.\r\n"});
    EXPECT_TRUE(auto_news().shown);
    ASSERT_EQ(viewer.shown, std::vector<fs::path>{home.path() / "newsauto.txt"});
    EXPECT_EQ(last_news(), "2024-05");
    server.on(kAuto, Reply{200, "2024-05\r\nCorrected a typo.\r\n"});
    EXPECT_FALSE(auto_news().shown);
    EXPECT_EQ(read_file(home.path() / "newsauto.txt"), "2024-05\r\nCorrected a typo.\r\n");
    server.on(kAuto, Reply{200, "\xEF\xBB\xBF"
                                "2024-05\nSaved by another editor."});
    EXPECT_FALSE(auto_news().shown) << "a byte-order mark is no part of the first line";

    // Also a first line longer than a setting holds, with blanks and quotes around it, or
    // ending at a control character that a setting cannot hold.
    const std::string line(300, 'n');
    for (const std::string& news : {line, std::string("  \"Spring\"\x01more\n")}) {
        server.on(kAuto, Reply{200, news});
        EXPECT_TRUE(auto_news().shown);
        EXPECT_FALSE(auto_news().shown) << news;
    }
    EXPECT_EQ(last_news(), "  \"Spring\"");
    EXPECT_EQ(viewer.shown.size(), 3u);
}

// Allowed later in the same run: the next activation checks, and only that one.
TEST_F(NewsTest, AutoNewsRunsOnlyWhenAllowedAndOncePerRun) {
    server.on(kAuto, Reply{200, "2024-08\r\n"});
    ASSERT_TRUE(core::write_setting("general", "CheckForNews", "0", home.path() / "zelkon.ini"));
    update::AutoNewsOnce once(client());
    EXPECT_EQ(once.on_activation(viewer, progress), update::AutoNewsRun::NotAllowed);
    EXPECT_TRUE(server.paths().empty()) << "no request may reach the server";
    ASSERT_TRUE(core::write_setting("general", "CheckForNews", "1", home.path() / "zelkon.ini"));
    EXPECT_EQ(once.on_activation(viewer, progress), update::AutoNewsRun::Ran);
    EXPECT_TRUE(once.last().shown);
    server.on(kAuto, Reply{200, "2024-09\r\n"});
    EXPECT_EQ(once.on_activation(viewer, progress), update::AutoNewsRun::AlreadyRan);
    EXPECT_EQ(server.paths().size(), 1u);
}

TEST_F(NewsTest, WhatsNewShowsTheHomesFileElseTheOneShippedBesideTheProgram) {
    // The tests run beside the build's programs, which have the shipped copy.
    EXPECT_TRUE(update::show_whats_new(viewer, home.path()));
    EXPECT_EQ(viewer.shown.back(), core::executable_folder() / "Zelkon - What's New.txt");
    viewer.shown.clear();
    home.write("Zelkon - What's New.txt", "Version 2: news.");
    EXPECT_TRUE(update::show_whats_new(viewer, home.path()));
    EXPECT_EQ(viewer.shown, std::vector<fs::path>{home.path() / "Zelkon - What's New.txt"});
}

TEST(TextViewer, VisualGetsTheFileAsItsLastArgumentAndNothingToStartIsFalse) {
    TempDir dir;
    const fs::path file = dir.write("news.txt", "read me");
    fs::create_directories(dir.path() / "seen");
    const std::string saved_path = std::getenv("PATH") ? std::getenv("PATH") : "";

    setenv("VISUAL", ("cp -t " + (dir.path() / "seen").string()).c_str(), 1);
    EXPECT_TRUE(core::open_in_text_viewer(file));
    // The viewer runs on its own; wait for what it did, not for a time.
    const fs::path copy = dir.path() / "seen" / "news.txt";
    std::error_code ec;
    for (int i = 0; i < 1000 && fs::file_size(copy, ec) != 7; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(read_file(copy), "read me");

    setenv("VISUAL", (dir.path() / "no-such-viewer").c_str(), 1);
    setenv("PATH", (dir.path() / "empty").c_str(), 1); // no xdg-open either
    EXPECT_FALSE(core::open_in_text_viewer(file));
    setenv("PATH", saved_path.c_str(), 1);
    unsetenv("VISUAL");
}
