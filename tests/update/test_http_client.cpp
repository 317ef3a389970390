#include <gtest/gtest.h>

#include <atomic>

#include "http_client.h"
#include "local_server.h"
#include "quick_http.h"
#include "temp_dir.h"

using core::Error;
using testsupport::LocalServer;
using testsupport::Reply;
using testsupport::Seen;
using testsupport::TempDir;

namespace {

namespace fs = std::filesystem;

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

using testsupport::quick_http;

std::string dead_url(const std::string& path = "/zelkon/list.php") {
    return "http://127.0.0.1:" + std::to_string(testsupport::dead_port()) + path;
}

class HttpClientTest : public ::testing::Test {
protected:
    fs::path target() const { return dir.path() / "download.tmp"; }

    // A failed download to a file: the code, and the file is gone.
    Error failed_file(const std::string& path, std::uint64_t cap = update::kDatabaseBodyCap) {
        auto status = http.get_file(server.url(path), target(), cap);
        EXPECT_FALSE(status);
        EXPECT_FALSE(fs::exists(target())) << "a failed download must leave no file";
        return status ? Error{} : status.error();
    }

    LocalServer server;
    TempDir dir;
    update::HttpClient http{quick_http()};
};

} // namespace

TEST_F(HttpClientTest, BodyArrivesInMemoryAndInAFileWithProgress) {
    std::string big(10000, 'z');
    server.on("/zelkon/zdb/sgenesis.txt", Reply{200, "1.2 http://x/zelkon/zdb/"});
    server.on("/zelkon/zdb/SGENESIS.zdb", Reply{.body = big});

    auto text = http.get_text(server.url("/zelkon/zdb/sgenesis.txt"));
    ASSERT_TRUE(text) << text.error().message;
    EXPECT_EQ(*text, "1.2 http://x/zelkon/zdb/");

    std::vector<std::pair<std::uint64_t, std::uint64_t>> calls;
    auto progress = [&](std::uint64_t got, std::uint64_t expected) {
        calls.emplace_back(got, expected);
    };
    auto status = http.get_file(server.url("/zelkon/zdb/SGENESIS.zdb"), target(),
                                update::kDatabaseBodyCap, progress);
    ASSERT_TRUE(status) << status.error().message;
    EXPECT_EQ(testsupport::read_file(target()), big);
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back(), std::make_pair(std::uint64_t{10000}, std::uint64_t{10000}));
}

TEST_F(HttpClientTest, ErrorPageIsNotFoundAndLeavesNoFile) {
    auto e = failed_file("/zelkon/zdb/MISSING.zdb"); // the server's HTML 404 page
    EXPECT_EQ(e.code, Error::Code::NotFound);
    EXPECT_TRUE(contains(e.message, "404")) << e.message;
    EXPECT_TRUE(contains(e.message, "MISSING.zdb")) << e.message;

    server.on("/gone", Reply{500, "<html>oops</html>", "text/html"});
    auto text = http.get_text(server.url("/gone"));
    ASSERT_FALSE(text);
    EXPECT_EQ(text.error().code, Error::Code::NotFound) << text.error().message;
}

TEST_F(HttpClientTest, TruncatedDownloadFailsAndLeavesNoFile) {
    server.on("/cut", Reply{.body = std::string(5000, 'a'), .declared_length = 100000});
    auto e = failed_file("/cut");
    EXPECT_EQ(e.code, Error::Code::Failed);
    EXPECT_TRUE(contains(e.message, "connection was lost")) << e.message;

    auto text = http.get_text(server.url("/cut"));
    ASSERT_FALSE(text);
    EXPECT_EQ(text.error().code, Error::Code::Failed);
}

TEST_F(HttpClientTest, ServerThatStallsBeforeOrDuringTheBodyFails) {
    server.on("/hold", Reply{.body = "late", .hold_ms = 3000});
    server.on("/slow", Reply{.body = std::string(3 * 4096, 's'), .pause_ms = 3000});
    for (const char* path : {"/hold", "/slow"}) {
        SCOPED_TRACE(path);
        auto e = failed_file(path);
        EXPECT_EQ(e.code, Error::Code::Failed);
        EXPECT_TRUE(contains(e.message, "stopped sending")) << e.message;
        EXPECT_TRUE(contains(e.message, "1 second")) << e.message;
    }
}

TEST_F(HttpClientTest, BodyOverTheCapIsRefused) {
    server.on("/endless", Reply{.endless = 3u << 20});
    auto text = http.get_text(server.url("/endless"));
    ASSERT_FALSE(text);
    EXPECT_EQ(text.error().code, Error::Code::BadInput);
    EXPECT_TRUE(contains(text.error().message, "larger than 1 MiB")) << text.error().message;

    auto e = failed_file("/endless", 64 * 1024);
    EXPECT_EQ(e.code, Error::Code::BadInput);
    EXPECT_TRUE(contains(e.message, "larger than 64 KiB")) << e.message;

    // An announced length over the cap is refused before the body comes.
    server.on("/announced", Reply{.body = "x", .declared_length = 2u << 20});
    auto announced = http.get_text(server.url("/announced"));
    ASSERT_FALSE(announced);
    EXPECT_EQ(announced.error().code, Error::Code::BadInput) << announced.error().message;

    // Exactly the cap is fine.
    server.on("/exact", Reply{.body = std::string(1000, 'e')});
    EXPECT_TRUE(http.get_text(server.url("/exact"), 1000));
}

TEST_F(HttpClientTest, RedirectsAreFollowedAtMostFiveTimes) {
    for (int i = 0; i < 6; ++i)
        server.on("/hop" + std::to_string(i),
                  Reply{302, "", "text/plain", {{"Location", "/hop" + std::to_string(i + 1)}}});
    server.on("/hop6", Reply{200, "arrived"});

    auto five = http.get_text(server.url("/hop1"));
    ASSERT_TRUE(five) << five.error().message;
    EXPECT_EQ(*five, "arrived");

    auto six = http.get_text(server.url("/hop0"));
    ASSERT_FALSE(six);
    EXPECT_EQ(six.error().code, Error::Code::BadInput) << six.error().message;
    EXPECT_TRUE(contains(six.error().message, "on more than 5 times")) << six.error().message;

    server.on("/loop", Reply{301, "", "text/plain", {{"Location", "/loop"}}});
    EXPECT_EQ(failed_file("/loop").code, Error::Code::BadInput);
}

TEST_F(HttpClientTest, RedirectsElsewhereThanHttpAreRefused) {
    TempDir secret;
    auto file = secret.write("secret.txt", "do not read");
    server.on("/to-file", Reply{302, "", "text/plain", {{"Location", "file://" + file.string()}}});
    server.on("/to-ftp", Reply{302, "", "text/plain", {{"Location", "ftp://127.0.0.1/x.zdb"}}});
    for (const char* path : {"/to-file", "/to-ftp"}) {
        SCOPED_TRACE(path);
        auto text = http.get_text(server.url(path));
        ASSERT_FALSE(text);
        EXPECT_EQ(text.error().code, Error::Code::BadInput);
        EXPECT_TRUE(contains(text.error().message, "we do not follow")) << text.error().message;
        EXPECT_EQ(failed_file(path).code, Error::Code::BadInput);
    }
    auto direct = http.get_text("file://" + file.string());
    ASSERT_FALSE(direct);
    EXPECT_EQ(direct.error().code, Error::Code::BadInput);
    EXPECT_TRUE(contains(direct.error().message, "is not an http or https address"));
}

TEST_F(HttpClientTest, DeadServerFailsWithItsAddress) {
    auto url = dead_url();
    auto text = http.get_text(url);
    ASSERT_FALSE(text);
    EXPECT_EQ(text.error().code, Error::Code::Failed);
    EXPECT_TRUE(contains(text.error().message, "cannot connect")) << text.error().message;
    EXPECT_TRUE(contains(text.error().message, "'" + url + "'")) << text.error().message;
    EXPECT_FALSE(http.probe(url));

    server.on("/zelkon/list.php", Reply{200, "Name\tVersion\r\n"});
    EXPECT_TRUE(http.probe(server.url("/zelkon/list.php")));
    EXPECT_TRUE(http.probe(server.url("/no/such/file"))) << "any answer proves the server is up";
    server.stop();
    EXPECT_FALSE(http.probe(server.url("/zelkon/list.php")));
    EXPECT_EQ(failed_file("/zelkon/list.php").code, Error::Code::Failed);
}

TEST_F(HttpClientTest, CancelledStopsATransfer) {
    server.on("/slow", Reply{.body = std::string(40 * 4096, 's'), .pause_ms = 50});
    std::atomic<bool> got_some = false;
    auto options = quick_http();
    options.cancelled = [&] { return got_some.load(); };
    update::HttpClient stoppable(options);
    auto status = stoppable.get_file(server.url("/slow"), target(), update::kDatabaseBodyCap,
                                     [&](std::uint64_t, std::uint64_t) { got_some = true; });
    ASSERT_FALSE(status);
    EXPECT_EQ(status.error().code, Error::Code::Cancelled) << status.error().message;
    EXPECT_FALSE(fs::exists(target()));
}

TEST_F(HttpClientTest, SpacesAreSentAsPercent20) {
    EXPECT_EQ(update::encode_spaces("http://h/zelkon/zdb/Neo Geo  CD.zdb"),
              "http://h/zelkon/zdb/Neo%20Geo%20%20CD.zdb");
    EXPECT_EQ(update::encode_spaces("a+b%41&c"), "a+b%41&c") << "nothing else is encoded";
    server.on("/zelkon/zdb/Neo Geo.zdb", Reply{200, "db"});
    auto text = http.get_text(update::encode_spaces(server.url("/zelkon/zdb/Neo Geo.zdb")));
    ASSERT_TRUE(text) << text.error().message;
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(server.requests()[0].target, "/zelkon/zdb/Neo%20Geo.zdb");
}

TEST_F(HttpClientTest, FileThatCannotBeCreatedIsNamedAndNothingIsFetched) {
    server.on("/db", Reply{200, "db"});
    auto file = dir.path() / "no such folder" / "x.zdb";
    auto status = http.get_file(server.url("/db"), file);
    ASSERT_FALSE(status);
    EXPECT_EQ(status.error().code, Error::Code::Failed);
    EXPECT_TRUE(contains(status.error().message, "cannot create '" + file.string() + "'"))
        << status.error().message;
    EXPECT_TRUE(server.requests().empty());
}

namespace {

// A proxy is asked for the whole address ("absolute form") and answers for the host.
struct TinyProxy {
    TinyProxy() {
        proxy.on("*", [](const Seen& seen) { return Reply{200, "via proxy: " + seen.target}; });
    }
    LocalServer proxy;
};

const std::string kFarAway = "http://some.host.invalid/zelkon/list.php";

} // namespace

TEST(HttpProxy, RequestsGoThroughTheProxy) {
    TinyProxy tiny;
    auto options = quick_http();
    options.proxy_server = "127.0.0.1";
    options.proxy_port = tiny.proxy.port();
    auto text = update::HttpClient(options).get_text(kFarAway);
    ASSERT_TRUE(text) << text.error().message;
    EXPECT_EQ(*text, "via proxy: " + kFarAway);
    ASSERT_EQ(tiny.proxy.requests().size(), 1u);
    EXPECT_EQ(tiny.proxy.requests()[0].target, kFarAway);
    EXPECT_EQ(tiny.proxy.requests()[0].host, "some.host.invalid");
}

TEST(HttpProxy, SettingsFileNamesTheProxy) {
    TinyProxy tiny;
    TempDir home;
    auto ini = home.write("zelkon.ini", "[general]\r\nProxyServer=127.0.0.1\r\nProxyPort=" +
                                            std::to_string(tiny.proxy.port()) + "\r\n");
    auto options = update::http_options_from_settings(ini);
    EXPECT_EQ(options.proxy_server, "127.0.0.1");
    EXPECT_EQ(options.proxy_port, tiny.proxy.port());
    EXPECT_GT(options.connect_timeout_seconds, 0);
    EXPECT_GT(options.stall_timeout_seconds, 0);
    auto text = update::HttpClient(options).get_text(kFarAway);
    ASSERT_TRUE(text) << text.error().message;
    EXPECT_EQ(tiny.proxy.requests().at(0).target, kFarAway);
}

TEST(HttpProxy, PortThatIsNotAPortNumberMeans80) {
    TempDir home;
    auto ini = home.path() / "zelkon.ini";
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
