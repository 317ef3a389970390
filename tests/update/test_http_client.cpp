#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "http_client.h"
#include "update_home.h"

using core::Error;
using testsupport::contains;
using testsupport::LocalServer;
using testsupport::quick_http;
using testsupport::Reply;
using testsupport::Seen;
using testsupport::StopProgress;
using testsupport::TempDir;

namespace {

namespace fs = std::filesystem;

core::Status status_of(const core::Result<std::string>& text) {
    return text ? core::Status::success() : core::Status(text.error());
}

class HttpClientTest : public ::testing::Test {
protected:
    fs::path target() const { return dir.path() / "download.tmp"; }

    LocalServer server;
    TempDir dir;
    update::HttpClient http{quick_http()};
    core::Progress& none = core::null_progress();
};

} // namespace

// Text arrives in memory in the engines' tests; here a file and its counted bytes.
TEST_F(HttpClientTest, BodyArrivesInAFileWithItsBytesCounted) {
    std::string big(10000, 'z');
    server.on("/zelkon/zdb/SGENESIS.zdb", Reply{.body = big});
    StopProgress progress;
    auto status = http.get_file(server.url("/zelkon/zdb/SGENESIS.zdb"), target(), progress);
    ASSERT_TRUE(status) << status.error().message;
    EXPECT_EQ(testsupport::read_file(target()), big);
    ASSERT_FALSE(progress.seen.empty());
    EXPECT_EQ(progress.seen.back(), std::make_pair(std::uint64_t{10000}, std::uint64_t{10000}));

    // A file that cannot be created is named, and nothing is fetched.
    const fs::path nowhere = dir.path() / "no such folder" / "x.zdb";
    status = http.get_file(server.url("/zelkon/zdb/SGENESIS.zdb"), nowhere, none);
    ASSERT_FALSE(status);
    EXPECT_EQ(status.error().code, Error::Code::Failed);
    EXPECT_TRUE(contains(status.error().message, "cannot create '" + nowhere.string() + "'"))
        << status.error().message;
    EXPECT_EQ(server.requests().size(), 1u);
}

// Each fault has its code and a message naming the address, and a download to a file
// leaves no file; just short of a fault all is well.
TEST_F(HttpClientTest, EveryServerFaultFailsWithItsCodeAndLeavesNoFile) {
    TempDir secret;
    const std::string file_url = "file://" + secret.write("secret.txt", "do not read").string();
    const auto redirect = [](const std::string& to) {
        return Reply{302, "", "text/plain", {{"Location", to}}};
    };
    for (int i = 0; i < 6; ++i)
        server.on("/hop" + std::to_string(i), redirect("/hop" + std::to_string(i + 1)));
    server.on("/gone", Reply{500, "<html>oops</html>", "text/html"});
    server.on("/cut", Reply{.body = std::string(5000, 'a'), .declared_length = 100000});
    server.on("/hold", Reply{.body = "late", .hold_ms = 3000});
    server.on("/slow", Reply{.body = std::string(3 * 4096, 's'), .pause_ms = 3000});
    server.on("/endless", Reply{.endless = 3u << 20});
    server.on("/announced", Reply{.body = "x", .declared_length = 2u << 20});
    server.on("/to-file", redirect(file_url));
    const std::string dead = testsupport::dead_root() + "list.php";
    using Code = Error::Code;
    const struct {
        std::string url;
        bool to_file;
        Code code;
        const char* says;
        std::uint64_t cap = update::kDatabaseBodyCap;
    } faults[] = {
        {server.url("/zelkon/MISSING.zdb"), true, Code::NotFound, "answered 404 to"},
        {server.url("/gone"), false, Code::NotFound, "answered 500 to"},
        {server.url("/cut"), true, Code::Failed, "connection was lost before the whole of"},
        {server.url("/hold"), true, Code::Failed, "stopped sending"},
        {server.url("/slow"), true, Code::Failed, "nothing arrived for 1 second"},
        {server.url("/endless"), false, Code::BadInput, "is larger than 1 MiB", 1u << 20},
        {server.url("/endless"), true, Code::BadInput, "is larger than 64 KiB", 64 * 1024},
        {server.url("/announced"), false, Code::BadInput, "is larger than 1 MiB", 1u << 20},
        {server.url("/hop0"), true, Code::BadInput, "on more than 5 times"},
        {server.url("/to-file"), true, Code::BadInput, "on to an address we do not follow"},
        {file_url, false, Code::BadInput, "is not an http or https address"},
        {dead, false, Code::Failed, "cannot connect to the server for"},
    };
    for (const auto& f : faults) {
        SCOPED_TRACE(f.url);
        const core::Status status = f.to_file ? http.get_file(f.url, target(), none, f.cap)
                                              : status_of(http.get_text(f.url, none, f.cap));
        ASSERT_FALSE(status);
        EXPECT_EQ(status.error().code, f.code) << status.error().message;
        EXPECT_TRUE(contains(status.error().message, f.says)) << status.error().message;
        EXPECT_TRUE(contains(status.error().message, "'" + f.url + "'")) << status.error().message;
        EXPECT_FALSE(fs::exists(target())) << "a failed download must leave no file";
    }
    // Exactly the cap is fine, and so are five redirects.
    server.on("/hop6", Reply{200, std::string(1000, 'e')});
    EXPECT_TRUE(http.get_text(server.url("/hop1"), none, 1000));
}

TEST_F(HttpClientTest, AProbeAsksOnlyWhetherTheServerAnswers) {
    EXPECT_FALSE(http.probe(testsupport::dead_root(), none));
    EXPECT_TRUE(http.probe(server.url("/no/such/file"), none)) << "any answer proves it is up";
    server.stop();
    EXPECT_FALSE(http.probe(server.url("/"), none));
}

// libcurl asks for Stop at least about once a second even while no byte arrives (about 0.9 s
// here). The bound below only proves that Stop, not a timeout, ended the transfer: a tighter
// one would time the machine, not the program.
TEST_F(HttpClientTest, StopEndsATransferEvenWhileNothingArrives) {
    server.on("/hold", Reply{.body = "late", .hold_ms = 30000});
    server.on("/slow", Reply{.body = "late", .pause_ms = 30000}); // after the headers
    update::HttpOptions patient = quick_http();
    patient.stall_timeout_seconds = 60; // only Stop may end these transfers
    const update::HttpClient client(patient);
    using Clock = std::chrono::steady_clock;
    for (const char* path : {"/hold", "/slow"}) {
        SCOPED_TRACE(path);
        StopProgress progress;
        Clock::time_point pressed;
        std::jthread user([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            pressed = Clock::now();
            progress.stop = true;
        });
        const core::Status status = client.get_file(server.url(path), target(), progress);
        const auto took = Clock::now() - pressed;
        user.join();
        ASSERT_FALSE(status);
        EXPECT_EQ(status.error().code, Error::Code::Cancelled) << status.error().message;
        EXPECT_TRUE(contains(status.error().message, "was stopped")) << status.error().message;
        EXPECT_LT(took, std::chrono::seconds(10));
        EXPECT_FALSE(fs::exists(target()));
    }
}

// A proxy is asked for the whole address ("absolute form") and answers for the host.
TEST(HttpProxy, TheSettingsFileNamesTheProxyThatRequestsGoThroughAndItsPort) {
    LocalServer proxy;
    proxy.on("*", [](const Seen& seen) { return Reply{200, "via proxy: " + seen.target}; });
    TempDir home;
    auto ini = home.write("zelkon.ini", "[general]\r\nProxyServer=127.0.0.1\r\nProxyPort=" +
                                            std::to_string(proxy.port()) + "\r\n");
    auto options = update::http_options_from_settings(ini);
    EXPECT_GT(options.connect_timeout_seconds, 0);
    EXPECT_GT(options.stall_timeout_seconds, 0);
    const std::string far_away = "http://some.host.invalid/zelkon/list.php";
    auto text = update::HttpClient(options).get_text(far_away, core::null_progress());
    ASSERT_TRUE(text) << text.error().message;
    EXPECT_EQ(*text, "via proxy: " + far_away);
    ASSERT_EQ(proxy.requests().size(), 1u);
    EXPECT_EQ(proxy.requests()[0].target, far_away);
    EXPECT_EQ(proxy.requests()[0].host, "some.host.invalid");

    // A port that is not a port number means 80.
    auto port_of = [&](const std::string& value) {
        testsupport::write_file(ini, "[general]\nProxyServer=proxy.lan\nProxyPort=" + value + "\n");
        return update::http_options_from_settings(ini).proxy_port;
    };
    EXPECT_EQ(port_of("3128"), 3128);
    EXPECT_EQ(port_of(" 8080 "), 8080);
    EXPECT_EQ(port_of("65535"), 65535);
    for (const char* bad : {"", "abc", "8080x", "-1", "0", "65536", "99999999999999999999"}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(port_of(bad), 80);
    }
    auto none = update::http_options_from_settings(home.path() / "missing.ini");
    EXPECT_EQ(none.proxy_server, "");
    EXPECT_EQ(none.proxy_port, 80);
}
