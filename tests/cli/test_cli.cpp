#include "cli.h"
#include "cli_run.h"

#include <gtest/gtest.h>

#include "app_home.h"
#include "rom_forge.h"
#include "temp_dir.h"
#include "zdb_writer.h"
#include "zip_maker.h"

using testsupport::rom_with_crc;
using testsupport::TempDir;

using namespace clitest; // NOLINT(google-build-using-namespace): the tests' own helpers

namespace {

using testsupport::rom_entry;

class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        core::ZdbHeader gen = testsupport::db_header("SGENESIS", "Genesis", "*.bin;*.smd");
        gen.version = "v7";
        gen.credit = "us";
        gen.notes = "line one\rline two";
        ASSERT_TRUE(core::write_zdb(
            db("SGENESIS.zdb"), 3, gen,
            {rom_entry(0x11111111, "Alpha (World)"), rom_entry(0x22222222, "Beta")}));
        core::ZdbHeader nes = testsupport::db_header("NES", "NES", "*.nes");
        nes.number = 16;
        ASSERT_TRUE(
            core::write_zdb(db("nes.zdb"), 1, nes, {rom_entry(0x33333333, "Gamma", 0x44444444)}));
        dir.write("databases/broken.zdb", "\x07garbage");
    }

    std::filesystem::path db(const std::string& name) const {
        std::filesystem::create_directories(dir.path() / "databases");
        return dir.path() / "databases" / name;
    }

    CliRun run(std::vector<std::string> args, std::filesystem::path zelcore = {}) const {
        return run_cli_in(dir.path(), std::move(args), zelcore);
    }

    TempDir dir;
};

// A database left out is named with its reason, but the listing worked: exit 0.
TEST_F(CliTest, SystemsListsUsableDatabasesAlphabeticallyAndNamesTheOthers) {
    auto r = run({"systems"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "NES\tNES\t1\t*.nes\n"
                     "SGENESIS\tGenesis\tv7\t*.bin;*.smd\n");
    EXPECT_EQ(r.err, "zelkon-cli: '" + db("broken.zdb").string() +
                         "' is not a ROM database: unknown format version 7\n");
    // Listing writes nothing into the home.
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "zelkon.ini"));
}

TEST_F(CliTest, InfoShowsTheHeaderByIdOrPath) {
    auto by_id = run({"info", "SGENESIS", "--roms"});
    EXPECT_EQ(by_id.code, 0) << by_id.err;
    EXPECT_EQ(by_id.out, "system: SGENESIS\nname: Genesis\nversion: v7\ncredit: us\n"
                         "notes: line one line two\npatterns: *.bin;*.smd\nskip: 0\ncrcs: 1\n"
                         "roms: 2\n"
                         "11111111\tXXX     \tAlpha (World)\n"
                         "22222222\tXXX     \tBeta\n");
    auto by_path = run({"info", db("nes.zdb").string()});
    EXPECT_EQ(by_path.code, 0);
    EXPECT_NE(by_path.out.find("skip: 16\ncrcs: 2\nroms: 1\n"), std::string::npos);

    auto missing = run({"info", "gone.zdb"});
    EXPECT_EQ(missing.code, 1);
    EXPECT_NE(missing.err.find("cannot open 'gone.zdb'"), std::string::npos);

    // A database cut inside a record shows what it holds, says so, and is a file problem.
    const std::string whole = testsupport::read_file(db("SGENESIS.zdb"));
    auto cut = dir.write("cut.zdb", whole.substr(0, whole.size() - 2));
    auto r = run({"info", cut.string(), "--roms"});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(contains(r.out, "roms: 1\n11111111\tXXX     \tAlpha (World)\n")) << r.out;
    EXPECT_EQ(r.err, "zelkon-cli: '" + cut.string() + "' ends inside a record after 1 entries\n");
}

// Files that cannot be read are told and the others printed in the order given.
TEST_F(CliTest, IdentifyPrintsCrcNameAndPathInOrderPastUnreadableFiles) {
    auto a = dir.write("roms/a.bin", rom_with_crc(4096, 0x11111111));
    auto z = dir.path() / "roms/b.zip";
    testsupport::make_zip(z, {{"notes.txt", "x"}, {"b.bin", rom_with_crc(2048, 0x22222222)}});
    auto u = dir.write("roms/unknown.bin", rom_with_crc(100, 0xabcdef01));
    auto none = dir.path() / "roms/none.zip";
    testsupport::make_zip(none, {{"readme.txt", "only text"}});
    auto missing = (dir.path() / "roms/missing.bin").string();
    auto bad_zip = dir.write("roms/bad.zip", "PK\x03\x04 not really");

    auto r = run({"identify", "--system", "SGENESIS", missing, a.string(), z.string(),
                  bad_zip.string(), u.string(), none.string()});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, "11111111\tAlpha (World)\t" + a.string() + "\n" + "22222222\tBeta\t" +
                         z.string() + "\n" + "abcdef01\t\t" + u.string() + "\n" + "00000000\t\t" +
                         none.string() + "\n");
    EXPECT_TRUE(contains(r.err, missing));
    EXPECT_TRUE(contains(r.err, bad_zip.string()));

    // The NES database skips a 16-byte header and also knows the second CRC.
    auto nes = dir.write("nes/g.nes", std::string(16, 'H') + rom_with_crc(1024, 0x44444444));
    r = run({"identify", "--system", "NES", nes.string()});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "44444444\tGamma\t" + nes.string() + "\n");
}

// Folders are walked only when asked, hidden ones never; one worker and four print the same.
TEST_F(CliTest, IdentifyWalksFoldersOnlyWhenAskedInTheSameOrderWhateverTheWorkers) {
    dir.write("tree/b/two.bin", rom_with_crc(64, 0x22222222));
    dir.write("tree/A/one.bin", rom_with_crc(64, 0x11111111));
    dir.write("tree/.hidden/three.bin", rom_with_crc(64, 0x33333333));
    for (int i = 0; i < 60; ++i)
        dir.write("tree/many/f" + std::to_string(i) + ".bin",
                  rom_with_crc(static_cast<std::size_t>(64 + i), 0x1000u + i));
    auto tree = (dir.path() / "tree").string();

    auto flat = run({"identify", "--system", "SGENESIS", tree});
    EXPECT_EQ(flat.code, 1);
    EXPECT_TRUE(contains(flat.err, "is a folder"));

    auto one = run({"identify", "--system", "SGENESIS", "--recursive", tree, "--jobs", "1"});
    EXPECT_EQ(one.code, 0) << one.err;
    EXPECT_EQ(one.out.rfind("11111111\tAlpha (World)\t" + tree + "/A/one.bin\n" +
                                "22222222\tBeta\t" + tree + "/b/two.bin\n",
                            0),
              0u)
        << one.out;
    EXPECT_EQ(std::count(one.out.begin(), one.out.end(), '\n'), 62);
    EXPECT_EQ(run({"identify", "--system", "SGENESIS", "-r", tree, "--jobs", "4"}).out, one.out);
}

TEST_F(CliTest, BadUsageAndStartUpProblemsAreTold) {
    EXPECT_EQ(run({}).code, 2);
    EXPECT_EQ(run({"frobnicate"}).code, 2);
    EXPECT_EQ(run({"identify", "x.bin"}).code, 2); // no --system
    // A system not found: the databases left out are named, one may be the one asked for.
    auto unknown = run({"identify", "--system", "PSX", "x.bin"});
    EXPECT_EQ(unknown.code, 2);
    EXPECT_TRUE(contains(unknown.err, "broken.zdb' is not a ROM database"));
    EXPECT_TRUE(contains(unknown.err, "no database for the system 'PSX'"));
    // The system's own database that cannot be read is named with its reason: a file problem.
    auto unreadable = run({"identify", "--system", "BROKEN", "x.bin"});
    EXPECT_EQ(unreadable.code, 1);
    EXPECT_EQ(unreadable.err, "zelkon-cli: '" + db("broken.zdb").string() +
                                  "' is not a ROM database: unknown format version 7\n");
    EXPECT_EQ(run({"--help"}).code, 0);

    // Without the helper library nothing starts; a home without its databases folder is told.
    TempDir empty;
    auto r = run({"systems"}, empty.path());
    EXPECT_EQ(r.code, 3);
    EXPECT_TRUE(contains(r.err, "libzelcore.so"));
    EXPECT_TRUE(r.out.empty());
    r = run_cli_in(empty.path(), {"systems"});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(contains(r.err, "Folder Not Found"));
    EXPECT_TRUE(contains(r.err, (empty.path() / "databases").string()));
}

} // namespace
