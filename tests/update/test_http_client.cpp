// filled in next
#include <gtest/gtest.h>

#include "http_client.h"
#include "local_server.h"
#include "temp_dir.h"

TEST(HttpSmoke, TextFileAndFaults) {
    testsupport::LocalServer server;
    server.on("/a b.txt", testsupport::Reply{200, "hello"});
    server.on("/cut", testsupport::Reply{.body = "abc", .declared_length = 100});
    server.on("/big", testsupport::Reply{.endless = 3u << 20});
    update::HttpClient http;
    auto t = http.get_text(update::encode_spaces(server.url("/a b.txt")));
    ASSERT_TRUE(t) << t.error().message;
    EXPECT_EQ(*t, "hello");
    auto missing = http.get_text(server.url("/nope"));
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().code, core::Error::Code::NotFound) << missing.error().message;
    auto cut = http.get_text(server.url("/cut"));
    ASSERT_FALSE(cut);
    std::cerr << cut.error().message << "\n";
    auto big = http.get_text(server.url("/big"));
    ASSERT_FALSE(big);
    std::cerr << big.error().message << "\n";
    testsupport::TempDir dir;
    auto dead = update::HttpClient().get_text(
        "http://127.0.0.1:" + std::to_string(testsupport::dead_port()) + "/");
    ASSERT_FALSE(dead);
    std::cerr << dead.error().message << "\n";
    EXPECT_EQ(server.paths().front(), "/a b.txt");
}
