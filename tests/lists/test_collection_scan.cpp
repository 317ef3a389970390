#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "collection_scan.h"
#include "recorders.h"
#include "rom_forge.h"
#include "services.h"
#include "temp_dir.h"
#include "zdb_writer.h"

namespace fs = std::filesystem;
using lists::MatchBy;
using lists::ResultTree;
using testsupport::rom_entry;
using testsupport::rom_with_crc;

namespace {

using Texts = std::vector<std::string>;

class CollectionScan : public ::testing::Test {
protected:
    testsupport::TempDir dir;
    std::string roms = (dir.path() / "roms").string() + "/";
    core::SystemEntry system{"Test System", "TESTSYS", "*.bin", dir.path() / "TESTSYS.zdb"};
    testsupport::RecordingPrompter prompter;
    testsupport::RecordingProgress progress;
    fs::path session;
    bool use_cache = false;

    void SetUp() override {
        fs::create_directories(roms);
        database({rom_entry(0x11111111, "Alpha"), rom_entry(0x22222222, "Beta (U)"),
                  rom_entry(0x33333333, "Gamma")});
    }
    void database(const core::RomTable& entries, int format = 2) {
        ASSERT_TRUE(core::write_zdb(system.file, format,
                                    testsupport::db_header("TESTSYS", "Test System", "*.bin"),
                                    entries));
    }
    void rom(const std::string& relative, std::uint32_t crc) {
        dir.write(fs::path("roms") / relative, rom_with_crc(256, crc, crc ^ 7));
    }
    void session_lines(const std::string& text) { session = dir.write("old.rcl", text); }

    core::Result<lists::ScanResult> scan(MatchBy by, std::string folder) {
        auto services = core::Services::open({.home = dir.path(), .use_cache = use_cache});
        EXPECT_TRUE(services);
        lists::ScanJob job{system, std::move(folder), by, session, 1, nullptr};
        return lists::scan_collection(job, *services, prompter, progress);
    }
    lists::ScanResult ok(MatchBy by) {
        auto result = scan(by, roms);
        EXPECT_TRUE(result) << result.error().message;
        return result ? std::move(result.value()) : lists::ScanResult{};
    }
};

/// The texts of a root's entries in the order a window shows them.
Texts shown(const lists::ScanResult& r, ResultTree::Root root) {
    Texts out;
    for (auto i : r.tree.shown_children(root))
        out.push_back(r.tree.node(i).text);
    return out;
}

// Stop while the files are read ends the scan, told as stopped.
TEST_F(CollectionScan, CopiesOfOneRomAreOneMatchAndNothingUnrecognized) {
    // 0x33333333 sorts last, so its last copy is the last record matched.
    for (auto crc : {0x11111111u, 0x33333333u})
        for (const char* sub : {"a/", "b/", "c/"})
            rom(sub + std::to_string(crc) + ".bin", crc);
    auto r = ok(MatchBy::Checksum);
    EXPECT_EQ(shown(r, ResultTree::kMatched), (Texts{"Alpha", "Gamma"}));
    EXPECT_EQ(shown(r, ResultTree::kMissing), (Texts{"Beta (U)"}));
    EXPECT_EQ(r.tree.root(ResultTree::kUnrecognized).text, "Unrecognized: 0 ROMs");
    EXPECT_EQ(r.records.size(), 6u);
    EXPECT_TRUE(r.outcome.clean());

    progress.stop_after = progress.steps + 4;
    auto stopped = ok(MatchBy::Checksum);
    EXPECT_TRUE(stopped.stopped());
    EXPECT_LT(stopped.records.size(), 6u);
    EXPECT_EQ(progress.statuses.back(), "Waiting...");
}

// One name and checksum twice in the database still gives two entries; a database with
// second checksums is matched against them in a second pass.
TEST_F(CollectionScan, EntriesKeysImagesAndTheStatusTexts) {
    database({rom_entry(0x11111111, "Alpha", 0xAAAAAAAA),
              rom_entry(0x11111111, "Alpha", 0xAAAAAAAA),
              rom_entry(0x22222222, "Beta (U)", 0xBBBBBBBB)},
             1);
    rom("x.bin", 0x11111111);
    rom("headered.bin", 0xBBBBBBBB);
    rom("odd.bin", 0x99999999);
    auto r = ok(MatchBy::Checksum);
    auto matched = r.tree.children(ResultTree::kMatched);
    ASSERT_EQ(matched.size(), 3u);
    EXPECT_EQ(r.tree.node(matched[0]).key, "id_Alpha11111111");
    EXPECT_EQ(r.tree.node(matched[2]).text, "Beta (U)");
    EXPECT_EQ(r.matched, 3u);
    auto odd = r.tree.children(ResultTree::kUnrecognized);
    ASSERT_EQ(odd.size(), 1u);
    EXPECT_EQ(r.tree.node(odd[0]).key, roms + "odd.bin");
    EXPECT_EQ(r.tree.node(odd[0]).text, roms + "odd.bin");
    EXPECT_EQ(progress.statuses,
              (Texts{"Loading Database", "Getting Files", "Sorting Files", "Matching Files",
                     "Matching Files", "Creating Lists", "Waiting..."}));
    EXPECT_TRUE(prompter.messages.empty()); // not a CD-ROM: no question
}

TEST_F(CollectionScan, FilenameModeIgnoresLetterCaseAndTheDatabaseOrder) {
    // Stored out of order: a walk that trusted the stored order would lose Alpha.
    database({rom_entry(0x33333333, "Gamma"), rom_entry(0x11111111, "Alpha"),
              rom_entry(0x22222222, "Beta (U)")});
    rom("one/ALPHA.bin", 0x1);
    rom("two/alpha.bin", 0x2);
    rom("beta (u).bin", 0x3);
    rom("beta (u)x.bin", 0x4); // sorts right after a match, and is not one
    auto r = ok(MatchBy::Filename);
    EXPECT_EQ(shown(r, ResultTree::kMatched), (Texts{"Alpha", "Beta (U)"}));
    EXPECT_EQ(shown(r, ResultTree::kUnrecognized), (Texts{roms + "beta (u)x.bin"}));
    for (const auto& record : r.records)
        EXPECT_EQ(record.crc, "") << "filename mode reads no file";
}

TEST_F(CollectionScan, SessionRecordsStandForFilesOfAnotherDisc) {
    rom("Alpha.bin", 0x11111111);
    // Reading this broken archive would be told; it is never read because the session
    // holds its name.
    dir.write("roms/gamma.zip", "not an archive");
    // Gamma is on the other disc; the upper-case checksum of that disc's Beta matches
    // nothing, because checksums are compared exactly.
    session_lines("33333333 Gamma\r\nBBBBBBBB Beta (U)\r\n");
    database({rom_entry(0x11111111, "Alpha"), rom_entry(0x33333333, "Gamma"),
              rom_entry(0xBBBBBBBB, "Beta (U)")});
    auto r = ok(MatchBy::Checksum);
    EXPECT_EQ(shown(r, ResultTree::kMatched), (Texts{"Alpha", "Gamma"}));
    EXPECT_EQ(shown(r, ResultTree::kMissing), (Texts{"Beta (U)"}));
    EXPECT_EQ(shown(r, ResultTree::kUnrecognized), (Texts{"Beta (U)"}));
    EXPECT_EQ(r.records.size(), 3u);
    EXPECT_TRUE(r.outcome.problems.empty());
}

TEST_F(CollectionScan, NoFolderOrNoFilesListsNothingUnrecognized) {
    session_lines("99999999 Stray\r\n");
    auto none = scan(MatchBy::Checksum, "");
    ASSERT_TRUE(none);
    EXPECT_EQ(none->missing, 3u);
    EXPECT_EQ(none->unrecognized, 0u);

    dir.write("roms/readme.txt", "not a ROM of this system");
    auto empty = ok(MatchBy::Checksum);
    EXPECT_EQ(empty.missing, 3u);
    EXPECT_EQ(empty.unrecognized, 0u); // the session's stray record is not listed
}

TEST_F(CollectionScan, BadInputFailsBeforeAnyFileIsLookedAt) {
    rom("a.bin", 0x11111111);
    testsupport::write_file(system.file, "\x02short");
    EXPECT_FALSE(scan(MatchBy::Checksum, roms));
    EXPECT_EQ(progress.statuses, (Texts{"Loading Database"}));

    SetUp();
    auto missing = scan(MatchBy::Checksum, (dir.path() / "gone").string() + "/");
    ASSERT_FALSE(missing);
    EXPECT_NE(missing.error().message.find("gone"), std::string::npos);

    session = dir.path(); // a folder is no session file
    EXPECT_FALSE(scan(MatchBy::Checksum, roms));
}

// A link is not a file of the collection: reading it would match the file it points at,
// which may lie anywhere, and a later move would act on the link.
TEST_F(CollectionScan, UnreadableFilesAndLinksAreToldAndNotListed) {
    rom("Alpha.bin", 0x11111111);
    dir.write("roms/broken.zip", "not an archive");
    dir.write("elsewhere/beta.bin", rom_with_crc(256, 0x22222222));
    const std::string link = roms + "Beta (U).bin"; // by either name or checksum
    fs::create_symlink(dir.path() / "elsewhere/beta.bin", link);
    for (auto by : {MatchBy::Checksum, MatchBy::Filename}) {
        auto r = ok(by);
        EXPECT_EQ(r.outcome.end, core::End::Completed);
        EXPECT_EQ(shown(r, ResultTree::kMissing), (Texts{"Beta (U)", "Gamma"}));
        EXPECT_EQ(shown(r, ResultTree::kUnrecognized),
                  by == MatchBy::Checksum ? Texts{} : Texts{roms + "broken.zip"});
        ASSERT_EQ(r.outcome.problems.size(), by == MatchBy::Checksum ? 2u : 1u);
        EXPECT_EQ(r.outcome.problems[0].path, link);
        EXPECT_EQ(r.outcome.problems[0].text(), "Skipped '" + link + "': it is a symbolic link.");
        if (by == MatchBy::Checksum) { // only reading finds the archive broken
            const auto& broken = r.outcome.problems[1];
            EXPECT_EQ(broken.path, roms + "broken.zip");
            EXPECT_TRUE(broken.what.ends_with(" '" + roms + "broken.zip'")) << broken.what;
            EXPECT_FALSE(broken.why.empty());
        }
    }
}

// How the cache keys its entries is the cache's test; here that a scan goes through it.
TEST_F(CollectionScan, ARescanReadsOnlyTheFilesTouchedSince) {
    use_cache = true;
    rom("touched.bin", 0x11111111);
    rom("same.bin", 0x11111111);
    ASSERT_EQ(ok(MatchBy::Checksum).matched, 1u);
    // Both now hold other bytes of the same size; only one shows a new time. A file read
    // again gives the new checksum, one taken from the cache the old.
    for (std::string name : {"touched.bin", "same.bin"}) {
        const auto path = roms + name;
        const auto time = fs::last_write_time(path);
        testsupport::write_file(path, rom_with_crc(256, 0x22222222, 3));
        fs::last_write_time(path, name == "same.bin" ? time : time + std::chrono::seconds(5));
    }
    auto again = ok(MatchBy::Checksum);
    ASSERT_EQ(again.records.size(), 2u);
    for (const auto& record : again.records)
        EXPECT_EQ(record.crc, record.name.starts_with("same") ? "11111111" : "22222222")
            << record.name;
}

TEST(ScanSettings, TheRenameFolderOrElseTheCurrentFolder) {
    testsupport::TempDir dir;
    auto ini = dir.path() / "zelkon.ini";
    auto defaults = lists::read_scan_settings("TESTSYS", "/current/", ini);
    EXPECT_EQ(defaults.by, MatchBy::Filename);
    EXPECT_EQ(defaults.base_folder, "/current/");

    auto renamed = dir.path() / "renamed";
    fs::create_directories(renamed);
    testsupport::write_file(ini, "[general]\nMatchByFilename=False\n[TESTSYS]\nRenameFolder=" +
                                     renamed.string() + "\n");
    auto set = lists::read_scan_settings("TESTSYS", "/current/", ini);
    EXPECT_EQ(set.by, MatchBy::Checksum);
    EXPECT_EQ(set.base_folder, renamed.string() + "/");

    ASSERT_TRUE(lists::write_match_setting(MatchBy::Filename, ini));
    EXPECT_EQ(lists::read_scan_settings("TESTSYS", "/x/", ini).by, MatchBy::Filename);
}

} // namespace
