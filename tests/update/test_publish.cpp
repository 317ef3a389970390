#include <gtest/gtest.h>

#include "http_client.h"
#include "publish.h"
#include "update_home.h"
#include "update_server.h"

using core::Error;
using testsupport::contains;
using testsupport::names_in;
using testsupport::read_file;
using testsupport::rom_entry;
using testsupport::TempDir;

namespace {

namespace fs = std::filesystem;

class Publish : public ::testing::Test {
protected:
    fs::path database(const std::string& file, const std::string& long_name,
                      const std::string& version, std::size_t roms = 2) const {
        core::ZdbHeader header =
            testsupport::db_header(fs::path(file).stem().string(), long_name, "*.bin");
        header.version = version;
        core::RomTable table;
        for (std::size_t i = 0; i < roms; ++i)
            table.push_back(
                rom_entry(0x1000u + static_cast<std::uint32_t>(i), "Game " + std::to_string(i)));
        auto path = source.path() / file;
        EXPECT_TRUE(core::write_zdb(path, 3, header, table));
        return path;
    }

    update::PublishReport publish(const std::string& base = kBase,
                                  core::Progress& progress = core::null_progress()) const {
        return update::publish_databases({source.path(), site(), base}, progress);
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
    EXPECT_TRUE(report.clean());
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
    EXPECT_EQ(report.summary, "Jaguar\t2024-01\nSGENESIS\t1.2\nPublished 2 databases to '" +
                                  site().string() +
                                  "' (served at http://dbs.example.org/retro/).\n");
}

TEST_F(Publish, FilesLeftOutAreProblemsInOrderAndCounted) {
    database("SGENESIS.zdb", "Sega Genesis", "1.2");
    auto garbage = source.write("BROKEN.zdb", "\x07garbage");
    auto page = source.write("PAGE.ZDB", "<html>404</html>");
    auto cut = source.write("CUT.zdb", std::string("\x03\x08SGENESIS\x05Gen", 15));
    database("Gen.zdb", "Genesis", "1");
    database("GEN.zdb", "Genesis too", "2");
    database("back\\slash.zdb", "Odd", "1");
    database("TAB\tNAME.zdb", "Odd", "1");
    database("SPACED.zdb", "Spaced", "1 beta");
    database("NOVERSION.zdb", "None", "");
    database(".zdb", "Nameless", "1");

    auto report = publish();
    EXPECT_EQ(report.end, core::End::Completed);
    EXPECT_EQ(report.skipped, 3u);
    EXPECT_EQ(report.refused, 7u);
    std::string all;
    for (const auto& line : testsupport::lines(report.problems))
        all += line + "\n";
    for (const auto& [file, why] :
         {std::pair{garbage, "skipped"}, {cut, "skipped"}, {page, "skipped"}})
        EXPECT_TRUE(contains(all, std::string(why) + " '" + file.string() + "': ")) << all;
    EXPECT_LT(all.find(garbage.string()), all.find(cut.string())) << "in the order of the list";
    EXPECT_TRUE(contains(all, "differ only in letter case")) << all;
    EXPECT_TRUE(contains(all, "its name cannot be a file name on the server")) << all;
    EXPECT_TRUE(contains(all, "its version text '1 beta' contains a blank")) << all;
    EXPECT_TRUE(contains(all, "it has no version text")) << all;
    EXPECT_EQ(read_file(site() / "zelkon" / "list.php"),
              "Name\tVersion\tSystem\tROMs\r\nSGENESIS\t1.2\tSega Genesis\t2\r\n");
    EXPECT_EQ(names_in(zdb()), (std::vector<std::string>{"SGENESIS.zdb", "news", "sgenesis.txt"}));
    EXPECT_TRUE(contains(report.summary, "\nSkipped 3 files that are not readable databases.\n"
                                         "Refused 7 databases.\n"));

    // Nothing publishable at all: a list that clients rely on is never emptied.
    const auto before = testsupport::tree_of(site());
    fs::remove(source.path() / "SGENESIS.zdb");
    report = publish();
    EXPECT_EQ(report.end, core::End::Completed);
    EXPECT_TRUE(report.published.empty());
    EXPECT_TRUE(contains(report.summary, "\nNothing to publish: the site was left as it was.\n"));
    EXPECT_EQ(testsupport::tree_of(site()), before);
}

// Stop while the databases are read or while the site's files are written: every file of
// the site as it was, and no temporary file. Then a run that completes replaces the
// versions and keeps the publisher's news.
TEST_F(Publish, RepublishingStoppedLeavesTheSiteAsItWasAndCompletedReplacesIt) {
    database("A.zdb", "Alpha", "1");
    database("SGENESIS.zdb", "Sega Genesis", "1.2");
    ASSERT_TRUE(publish().clean());
    testsupport::write_file(zdb() / "news" / "standard.txt", "New: Genesis 1.3\r\n");
    const auto before = testsupport::tree_of(site());
    database("A.zdb", "Alpha", "2");
    auto newer = database("SGENESIS.zdb", "Sega Genesis", "1.3", 4);
    for (long at : {1, 3}) { // reading the second database; writing the first one
        SCOPED_TRACE(at);
        testsupport::RecordingProgress progress;
        progress.stop_after = at;
        auto report = publish(kBase, progress);
        EXPECT_EQ(report.end, core::End::Stopped);
        EXPECT_EQ(report.summary, "Publishing was stopped; the site was left as it was.\n");
        EXPECT_TRUE(report.published.empty());
        EXPECT_EQ(testsupport::tree_of(site()), before);
    }
    ASSERT_TRUE(publish("https://mirror.example.org/").clean());
    EXPECT_EQ(read_file(zdb() / "sgenesis.txt"), "1.3 https://mirror.example.org/zelkon/zdb/");
    EXPECT_EQ(read_file(zdb() / "SGENESIS.zdb"), read_file(newer));
    EXPECT_TRUE(
        contains(read_file(site() / "zelkon" / "list.php"), "SGENESIS\t1.3\tSega Genesis\t4\r\n"));
    EXPECT_EQ(read_file(zdb() / "news" / "standard.txt"), "New: Genesis 1.3\r\n");
}

TEST_F(Publish, BadBaseAddressSourceOrSiteIsRefusedAndChangesNothing) {
    database("SGENESIS.zdb", "Sega Genesis", "1.2");
    for (const char* bad : {"ftp://host/", "dbs.example.org", "http://", "http:///zdb",
                            "http://host/a b/", "http://host/\r\n"}) {
        SCOPED_TRACE(bad);
        auto report = publish(bad);
        EXPECT_EQ(report.end, core::End::Refused);
        ASSERT_EQ(report.problems.size(), 1u);
        EXPECT_TRUE(contains(report.problems[0].text(), "the base address"));
    }
    EXPECT_FALSE(fs::exists(site()));
    EXPECT_EQ(*update::normalise_base_url("HTTPS://Host:8080"), "HTTPS://Host:8080/");
    EXPECT_EQ(*update::normalise_base_url("http://127.0.0.1:8000/x/"), "http://127.0.0.1:8000/x/");

    auto missing = update::publish_databases({source.path() / "nope", site(), kBase});
    EXPECT_EQ(missing.end, core::End::Refused);
    EXPECT_TRUE(contains(testsupport::lines(missing.problems).at(0), "is not a folder"));
    EXPECT_FALSE(fs::exists(site()));

    // A link inside the site is not followed.
    TempDir elsewhere;
    fs::create_directories(site());
    fs::create_directory_symlink(elsewhere.path(), site() / "zelkon");
    auto link = publish();
    EXPECT_EQ(link.end, core::End::Refused);
    EXPECT_TRUE(contains(testsupport::lines(link.problems).at(0), "is a symbolic link"));
    EXPECT_TRUE(names_in(elsewhere.path()).empty());
}

// The tree as a static web server hands it out is what the clients ask for, each blank of
// an address sent as %20 and nothing else changed.
TEST_F(Publish, APublishedTreeServedAsFilesFeedsTheClients) {
    EXPECT_EQ(update::encode_spaces("http://h/Neo Geo  CD+%41&"),
              "http://h/Neo%20Geo%20%20CD+%41&");
    database("SGENESIS.zdb", "Sega Genesis", "1.2", 5);
    database("Neo Geo.zdb", "Neo Geo", "7");
    testsupport::LocalServer server;
    server.serve_folder(site());
    ASSERT_TRUE(publish(server.url("/")).clean());
    const update::ServerAddresses at(server.root());
    EXPECT_EQ(read_file(zdb() / "neo geo.txt"), "7 " + at.database_folder());
    const update::HttpClient http(testsupport::quick_http());
    for (const auto& [url, file] : {std::pair{at.list(), "list.php"},
                                    {at.version_file("SGENESIS"), "zdb/sgenesis.txt"},
                                    {at.version_file("Neo Geo"), "zdb/neo geo.txt"},
                                    {at.database_file("Neo Geo"), "zdb/Neo Geo.zdb"},
                                    {at.standard_news(), "zdb/news/standard.txt"}}) {
        auto got = http.get_text(update::encode_spaces(url), core::null_progress());
        ASSERT_TRUE(got) << got.error().message;
        EXPECT_EQ(*got, read_file(site() / "zelkon" / file));
    }
}

TEST(UpdateRoot, AServerOnThisMachineNeedsNoNetwork) {
    for (const char* root : {"http://127.0.0.1:8765/zelkon/", "http://localhost/zelkon/",
                             "http://[::1]:80/zelkon/", "http://user@127.0.0.1/"})
        EXPECT_TRUE(update::is_local_server(root)) << root;
    for (const char* root : {"http://zdb.zelkon.org/zelkon/", "http://127.0.0.1.evil.net/",
                             "http://localhost.example/", "http://[::2]/", "http://10.0.0.1/"})
        EXPECT_FALSE(update::is_local_server(root)) << root;
}
