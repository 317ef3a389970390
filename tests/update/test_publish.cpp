#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "http_client.h"
#include "local_server.h"
#include "publish.h"
#include "rom_forge.h"
#include "temp_dir.h"
#include "update_server.h"
#include "zdb_writer.h"

extern char** environ;

using core::Error;
using testsupport::read_file;
using testsupport::rom_entry;
using testsupport::TempDir;

namespace {

namespace fs = std::filesystem;

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::vector<std::string> names_in(const fs::path& folder) {
    std::vector<std::string> out;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        out.push_back(it->path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

class Publish : public ::testing::Test {
protected:
    fs::path database(const std::string& file, const std::string& long_name,
                      const std::string& version, std::size_t roms = 2) const {
        core::ZdbHeader header;
        header.system_id = fs::path(file).stem().string();
        header.long_name = long_name;
        header.version = version;
        header.patterns = "*.bin";
        core::RomTable table;
        for (std::size_t i = 0; i < roms; ++i)
            table.push_back(
                rom_entry(0x1000u + static_cast<std::uint32_t>(i), "Game " + std::to_string(i)));
        auto path = source.path() / file;
        EXPECT_TRUE(core::write_zdb(path, 3, header, table));
        return path;
    }

    core::Result<update::PublishReport> publish(const std::string& base = kBase) const {
        return update::publish_databases({source.path(), site(), base});
    }

    fs::path site() const { return out.path() / "site"; }
    fs::path zdb() const { return site() / "zelkon" / "zdb"; }

    static constexpr const char* kBase = "http://dbs.example.org/retro";
    TempDir source;
    TempDir out;
};

} // namespace

TEST_F(Publish, WritesListVersionFilesDatabasesAndNews) {
    auto gen = database("SGENESIS.zdb", "Sega Genesis", "1.2", 3);
    database("Jaguar.zdb", "Atari\tJaguar\r\n", "2024-01", 1); // must not break the list
    source.write("readme.txt", "not a database, not looked at");

    auto report = publish();
    ASSERT_TRUE(report) << report.error().message;
    EXPECT_EQ(read_file(site() / "zelkon" / "list.php"), "Name\tVersion\tSystem\tROMs\r\n"
                                                         "Jaguar\t2024-01\tAtari Jaguar  \t1\r\n"
                                                         "SGENESIS\t1.2\tSega Genesis\t3\r\n");
    EXPECT_EQ(read_file(zdb() / "sgenesis.txt"), "1.2 http://dbs.example.org/retro/zelkon/zdb/");
    EXPECT_EQ(read_file(zdb() / "jaguar.txt"), "2024-01 http://dbs.example.org/retro/zelkon/zdb/");
    EXPECT_EQ(read_file(zdb() / "SGENESIS.zdb"), read_file(gen));
    EXPECT_EQ(read_file(zdb() / "news" / "standard.txt"), "");
    EXPECT_EQ(read_file(zdb() / "news" / "auto.txt"), "");
    EXPECT_EQ(names_in(zdb()), (std::vector<std::string>{"Jaguar.zdb", "SGENESIS.zdb", "jaguar.txt",
                                                         "news", "sgenesis.txt"}))
        << "no temporary file is left behind";
    EXPECT_EQ(report->summary(), "Published 2 databases to '" + site().string() +
                                     "' (served at http://dbs.example.org/retro/).");
    EXPECT_TRUE(report->problems.empty());
}

TEST_F(Publish, RepublishingReplacesVersionsAndKeepsThePublishersNews) {
    database("SGENESIS.zdb", "Sega Genesis", "1.2");
    ASSERT_TRUE(publish());
    testsupport::write_file(zdb() / "news" / "standard.txt", "New: Genesis 1.3\r\n");
    auto newer = database("SGENESIS.zdb", "Sega Genesis", "1.3", 4);

    ASSERT_TRUE(publish("https://mirror.example.org/"));
    EXPECT_EQ(read_file(zdb() / "sgenesis.txt"), "1.3 https://mirror.example.org/zelkon/zdb/");
    EXPECT_EQ(read_file(zdb() / "SGENESIS.zdb"), read_file(newer));
    EXPECT_TRUE(
        contains(read_file(site() / "zelkon" / "list.php"), "SGENESIS\t1.3\tSega Genesis\t4\r\n"));
    EXPECT_EQ(read_file(zdb() / "news" / "standard.txt"), "New: Genesis 1.3\r\n");
}

TEST_F(Publish, FilesThatAreNotDatabasesAreSkippedAndCounted) {
    database("SGENESIS.zdb", "Sega Genesis", "1.2");
    auto garbage = source.write("BROKEN.zdb", "\x07garbage");
    auto page = source.write("PAGE.ZDB", "<html>404</html>");
    auto cut = source.write("CUT.zdb", std::string("\x03\x08SGENESIS\x05Gen", 15));

    auto report = publish();
    ASSERT_TRUE(report) << report.error().message;
    EXPECT_EQ(report->skipped, 3u);
    EXPECT_EQ(report->refused, 0u);
    ASSERT_EQ(report->problems.size(), 3u);
    EXPECT_TRUE(contains(report->problems[0], "skipped '" + garbage.string() + "'"))
        << report->problems[0];
    EXPECT_TRUE(contains(report->problems[1], "skipped '" + cut.string() + "'"));
    EXPECT_TRUE(contains(report->problems[2], "skipped '" + page.string() + "'"));
    EXPECT_TRUE(contains(report->summary(), "\nSkipped 3 files that are not readable databases."));
    EXPECT_EQ(names_in(zdb()), (std::vector<std::string>{"SGENESIS.zdb", "news", "sgenesis.txt"}));
}

TEST_F(Publish, NamesAndVersionsAServerCannotCarryAreRefused) {
    database("SGENESIS.zdb", "Sega Genesis", "1.2");
    database("Gen.zdb", "Genesis", "1");
    database("GEN.zdb", "Genesis too", "2");
    database("back\\slash.zdb", "Odd", "1");
    database("TAB\tNAME.zdb", "Odd", "1");
    database("SPACED.zdb", "Spaced", "1 beta");
    database("NOVERSION.zdb", "None", "");
    database(".zdb", "Nameless", "1");

    auto report = publish();
    ASSERT_TRUE(report) << report.error().message;
    EXPECT_EQ(report->refused, 7u);
    std::string all;
    for (const auto& p : report->problems)
        all += p + "\n";
    EXPECT_TRUE(contains(all, "differ only in letter case")) << all;
    EXPECT_TRUE(contains(all, "its name cannot be a file name on the server")) << all;
    EXPECT_TRUE(contains(all, "its version text '1 beta' contains a blank")) << all;
    EXPECT_TRUE(contains(all, "it has no version text")) << all;
    EXPECT_EQ(read_file(site() / "zelkon" / "list.php"),
              "Name\tVersion\tSystem\tROMs\r\nSGENESIS\t1.2\tSega Genesis\t2\r\n");
    EXPECT_EQ(names_in(zdb()), (std::vector<std::string>{"SGENESIS.zdb", "news", "sgenesis.txt"}));
    EXPECT_TRUE(contains(report->summary(), "\nRefused 7 databases."));
}

TEST_F(Publish, NothingPublishableLeavesTheSiteAsItWas) {
    database("SGENESIS.zdb", "Sega Genesis", "1.2");
    ASSERT_TRUE(publish());
    auto list = read_file(site() / "zelkon" / "list.php");
    fs::remove(source.path() / "SGENESIS.zdb");
    source.write("BROKEN.zdb", "\x09");

    auto report = publish();
    ASSERT_TRUE(report) << report.error().message;
    EXPECT_TRUE(report->published.empty());
    EXPECT_TRUE(contains(report->summary(), "Nothing to publish: the site was left as it was."));
    EXPECT_EQ(read_file(site() / "zelkon" / "list.php"), list);
}

TEST_F(Publish, BadBaseAddressOrSourceChangesNothing) {
    database("SGENESIS.zdb", "Sega Genesis", "1.2");
    for (const char* bad : {"ftp://host/", "dbs.example.org", "http://", "http:///zdb",
                            "http://host/a b/", "http://host/\r\n"}) {
        SCOPED_TRACE(bad);
        auto report = publish(bad);
        ASSERT_FALSE(report);
        EXPECT_EQ(report.error().code, Error::Code::BadInput);
        EXPECT_TRUE(contains(report.error().message, "the base address")) << report.error().message;
    }
    EXPECT_FALSE(fs::exists(site()));
    EXPECT_EQ(*update::normalise_base_url("HTTPS://Host:8080"), "HTTPS://Host:8080/");
    EXPECT_EQ(*update::normalise_base_url("http://127.0.0.1:8000/x/"), "http://127.0.0.1:8000/x/");

    auto missing = update::publish_databases({source.path() / "nope", site(), kBase});
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().code, Error::Code::NotFound);
    EXPECT_TRUE(contains(missing.error().message, "is not a folder"));
    EXPECT_FALSE(fs::exists(site()));
}

TEST_F(Publish, ALinkInsideTheSiteIsNotFollowed) {
    database("SGENESIS.zdb", "Sega Genesis", "1.2");
    TempDir elsewhere;
    fs::create_directories(site());
    fs::create_directory_symlink(elsewhere.path(), site() / "zelkon");
    auto report = publish();
    ASSERT_FALSE(report);
    EXPECT_EQ(report.error().code, Error::Code::BadInput);
    EXPECT_TRUE(contains(report.error().message, "is a symbolic link")) << report.error().message;
    EXPECT_TRUE(names_in(elsewhere.path()).empty());
}

namespace {

bool python_available() {
    return std::system("python3 -c pass >/dev/null 2>&1") == 0;
}

// `python3 -m http.server` serving a folder on 127.0.0.1, stopped with the object.
class PythonServer {
public:
    PythonServer(const fs::path& folder) : m_port(testsupport::dead_port()) {
        std::vector<std::string> args{"python3",     "-m",           "http.server",
                                      "--bind",      "127.0.0.1",    std::to_string(m_port),
                                      "--directory", folder.string()};
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t quiet;
        posix_spawn_file_actions_init(&quiet);
        posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&quiet, 2, "/dev/null", O_WRONLY, 0);
        if (posix_spawnp(&m_pid, "python3", &quiet, nullptr, argv.data(), environ) != 0)
            m_pid = 0;
        posix_spawn_file_actions_destroy(&quiet);
    }
    ~PythonServer() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    PythonServer(const PythonServer&) = delete;
    PythonServer& operator=(const PythonServer&) = delete;

    std::string url() const { return "http://127.0.0.1:" + std::to_string(m_port) + "/"; }

    /// True once it answers (it needs a moment to start).
    bool wait_until_up(const update::HttpClient& http) const {
        for (int i = 0; i < 200 && m_pid > 0; ++i) {
            if (http.probe(url()))
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }

private:
    int m_port;
    pid_t m_pid = 0;
};

} // namespace

TEST_F(Publish, APublishedTreeServedByAStaticServerFeedsTheClients) {
    if (!python_available())
        GTEST_SKIP() << "python3 is not installed";
    auto gen = database("SGENESIS.zdb", "Sega Genesis", "1.2", 5);
    database("Neo Geo.zdb", "Neo Geo", "7");
    PythonServer server(site());
    update::HttpOptions options;
    options.connect_timeout_seconds = 2;
    options.stall_timeout_seconds = 5;
    update::HttpClient http(options);
    ASSERT_TRUE(publish(server.url()));
    ASSERT_TRUE(server.wait_until_up(http)) << "python3 -m http.server did not start";

    update::ServerAddresses server_at(server.url() + "zelkon/");
    auto list = http.get_text(server_at.list());
    ASSERT_TRUE(list) << list.error().message;
    EXPECT_EQ(*list, read_file(site() / "zelkon" / "list.php"));

    auto version = http.get_text(server_at.version_file("SGENESIS"));
    ASSERT_TRUE(version) << version.error().message;
    auto blank = version->find(' ');
    ASSERT_NE(blank, std::string::npos);
    EXPECT_EQ(version->substr(0, blank), "1.2");
    auto folder = version->substr(blank + 1);
    EXPECT_EQ(folder, server_at.database_folder());

    auto download = out.path() / "SGENESIS.zdb.new";
    auto got = http.get_file(folder + "SGENESIS.zdb", download);
    ASSERT_TRUE(got) << got.error().message;
    core::RomTable roms;
    auto header = core::load_zdb(download, core::kZdbFull, &roms);
    ASSERT_TRUE(header.usable()) << header.error;
    EXPECT_EQ(header.version, "1.2");
    EXPECT_EQ(roms.size(), 5u);
    EXPECT_EQ(read_file(download), read_file(gen));

    auto spaced_version = http.get_text(update::encode_spaces(server_at.version_file("Neo Geo")));
    ASSERT_TRUE(spaced_version) << spaced_version.error().message;
    EXPECT_EQ(*spaced_version, "7 " + server_at.database_folder());
    auto news = http.get_text(server_at.standard_news());
    ASSERT_TRUE(news) << news.error().message;
    EXPECT_EQ(*news, "");
}
