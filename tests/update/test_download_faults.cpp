#include <gtest/gtest.h>

#include <functional>

#include "database_check.h"
#include "database_list.h"
#include "news.h"
#include "settings.h"
#include "update_home.h"

using testsupport::Reply;

namespace {

namespace fs = std::filesystem;

class ShowsNothing final : public update::TextViewer {
public:
    bool show(const fs::path&) override { return true; }
};

using DownloadFaults = testsupport::UpdateHome;

} // namespace

// Every download of every engine: an error answer, a transfer cut short or a Stop inside
// it leaves each local file as it was and no temporary file beside it, and the outcome
// says so: Stopped for a stop, never a clean end for a fault.
TEST_F(DownloadFaults, AFailedOrStoppedDownloadLeavesTheLocalFilesAsTheyWere) {
    put_local("SGENESIS", "1");
    publish("SGENESIS", "2");
    list_body("Name\tVersion\r\nSGENESIS\t2\r\n");
    home.write("news.txt", "yesterday's news");
    home.write("newsauto.txt", "2024-01");
    const auto before = testsupport::tree_of(home.path());
    const update::HttpClient http(testsupport::quick_http());
    const update::ServerAddresses at(server.root());
    update::DatabaseList list(at, http);
    const update::DatabaseChecker checker(at, http);
    const update::NewsClient news(at, http, home.path());
    ShowsNothing viewer;
    const std::vector<core::SystemEntry> genesis = {{"Genesis", "SGENESIS", "*.bin", {}}};
    using Run = std::function<core::Outcome(core::Progress&)>;
    const std::pair<const char*, Run> engines[] = {
        {"/zelkon/zdb/SGENESIS.zdb",
         [&](core::Progress& p) {
             EXPECT_TRUE(list.refresh_list(prompter, core::null_progress()).clean());
             return core::Outcome(list.update_marked(prompter, p));
         }},
        {"/zelkon/zdb/SGENESIS.zdb",
         [&](core::Progress& p) {
             return core::Outcome(checker.update_databases(genesis, "SGENESIS", prompter, p));
         }},
        {"/zelkon/zdb/news/standard.txt",
         [&](core::Progress& p) { return news.read_news(viewer, prompter, p); }},
        {"/zelkon/zdb/news/auto.txt",
         [&](core::Progress& p) { return core::Outcome(news.check_for_auto_news(viewer, p)); }},
    };
    const std::pair<const char*, Reply> faults[] = {
        {"missing", Reply{404, "<html>gone</html>", "text/html"}},
        {"cut short", Reply{.body = std::string(20, 'x'), .declared_length = 100000}},
        {"stopped", testsupport::slow_body("2024-09\r\n")},
    };
    for (const auto& [path, run] : engines) {
        for (const auto& [what, reply] : faults) {
            SCOPED_TRACE(std::string(path) + ": " + what);
            server.on(path, reply);
            prompter.messages.clear();
            testsupport::StopProgress stopper;
            const bool stop = what == std::string("stopped");
            stopper.stop_at_bytes = stop ? 4096 : 0;
            const core::Outcome outcome = run(stopper);
            EXPECT_EQ(outcome.end == core::End::Stopped, stop);
            EXPECT_FALSE(outcome.clean());
            EXPECT_TRUE(stop || !outcome.problems.empty()) << "a fault is a problem";
            EXPECT_TRUE(!stop || prompter.messages.empty()) << "a stop asks nothing";
            EXPECT_EQ(testsupport::tree_of(home.path()), before);
        }
    }
    EXPECT_EQ(core::read_setting("general", "LastNews", "0", home.path() / "zelkon.ini"), "0");
}
