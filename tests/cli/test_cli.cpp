#include "cli.h"
#include "cli_run.h"

#include <gtest/gtest.h>
#include <sstream>

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
        core::ZdbHeader gen;
        gen.system_id = "SGENESIS";
        gen.long_name = "Genesis";
        gen.version = "v7";
        gen.credit = "us";
        gen.notes = "line one\rline two";
        gen.patterns = "*.bin;*.smd";
        ASSERT_TRUE(core::write_zdb(
            db("SGENESIS.zdb"), 3, gen,
            {rom_entry(0x11111111, "Alpha (World)"), rom_entry(0x22222222, "Beta")}));
        core::ZdbHeader nes;
        nes.system_id = "NES";
        nes.long_name = "NES";
        nes.version = "1";
        nes.patterns = "*.nes";
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

TEST_F(CliTest, SystemsListsUsableDatabasesAlphabetically) {
    auto r = run({"systems"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "NES\tNES\t1\t*.nes\n"
                     "SGENESIS\tGenesis\tv7\t*.bin;*.smd\n");
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

    auto broken = run({"info", db("broken.zdb").string()});
    EXPECT_EQ(broken.code, 1);
    EXPECT_NE(broken.err.find("broken.zdb"), std::string::npos);
    auto missing = run({"info", "gone.zdb"});
    EXPECT_EQ(missing.code, 1);
    EXPECT_NE(missing.err.find("cannot open 'gone.zdb'"), std::string::npos);
}

TEST_F(CliTest, IdentifyPrintsCrcNameAndPathInOrder) {
    auto a = dir.write("roms/a.bin", rom_with_crc(4096, 0x11111111));
    auto z = dir.path() / "roms/b.zip";
    testsupport::make_zip(z, {{"notes.txt", "x"}, {"b.bin", rom_with_crc(2048, 0x22222222)}});
    auto u = dir.write("roms/unknown.bin", rom_with_crc(100, 0xabcdef01));
    auto none = dir.path() / "roms/none.zip";
    testsupport::make_zip(none, {{"readme.txt", "only text"}});

    auto r = run(
        {"identify", "--system", "SGENESIS", a.string(), z.string(), u.string(), none.string()});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "11111111\tAlpha (World)\t" + a.string() + "\n" + "22222222\tBeta\t" +
                         z.string() + "\n" + "abcdef01\t\t" + u.string() + "\n" + "00000000\t\t" +
                         none.string() + "\n");
}

TEST_F(CliTest, IdentifyAppliesTheHeaderSkipAndMatchesTheSecondCrc) {
    std::string header(16, 'H');
    auto f = dir.write("nes/g.nes", header + rom_with_crc(1024, 0x44444444));
    auto r = run({"identify", "--system", "NES", f.string()});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "44444444\tGamma\t" + f.string() + "\n");
}

TEST_F(CliTest, IdentifyGoesOnAfterUnreadableFiles) {
    auto a = dir.write("roms/a.bin", rom_with_crc(64, 0x11111111));
    auto missing = (dir.path() / "roms/missing.bin").string();
    auto bad_zip = dir.write("roms/bad.zip", "PK\x03\x04 not really");
    auto r = run({"identify", "--system", "SGENESIS", missing, bad_zip.string(), a.string()});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, "11111111\tAlpha (World)\t" + a.string() + "\n");
    EXPECT_NE(r.err.find(missing), std::string::npos);
    EXPECT_NE(r.err.find(bad_zip.string()), std::string::npos);
}

TEST_F(CliTest, IdentifyWalksFoldersOnlyWhenAsked) {
    dir.write("tree/b/two.bin", rom_with_crc(64, 0x22222222));
    dir.write("tree/A/one.bin", rom_with_crc(64, 0x11111111));
    dir.write("tree/.hidden/three.bin", rom_with_crc(64, 0x33333333));
    auto tree = (dir.path() / "tree").string();

    auto flat = run({"identify", "--system", "SGENESIS", tree});
    EXPECT_EQ(flat.code, 1);
    EXPECT_NE(flat.err.find("is a folder"), std::string::npos);

    auto deep = run({"identify", "--system", "SGENESIS", "--recursive", tree});
    EXPECT_EQ(deep.code, 0) << deep.err;
    EXPECT_EQ(deep.out, "11111111\tAlpha (World)\t" + tree + "/A/one.bin\n" + "22222222\tBeta\t" +
                            tree + "/b/two.bin\n");
}

TEST_F(CliTest, OneWorkerAndManyGiveTheSameOutput) {
    std::vector<std::string> args{"identify", "--system", "SGENESIS", "-r",
                                  (dir.path() / "many").string()};
    for (int i = 0; i < 200; ++i)
        dir.write("many/f" + std::to_string(i) + ".bin",
                  rom_with_crc(static_cast<std::size_t>(64 + i), i % 2 ? 0x11111111 : 0x1000u + i));
    auto serial = args, parallel = args;
    serial.insert(serial.end(), {"--jobs", "1"});
    parallel.insert(parallel.end(), {"--jobs", "4"});
    auto one = run(serial), four = run(parallel);
    EXPECT_EQ(one.code, 0);
    EXPECT_EQ(one.out, four.out);
    EXPECT_EQ(std::count(one.out.begin(), one.out.end(), '\n'), 200);
}

TEST_F(CliTest, BadUsageExitsWithTwo) {
    EXPECT_EQ(run({}).code, 2);
    EXPECT_EQ(run({"frobnicate"}).code, 2);
    EXPECT_EQ(run({"identify", "x.bin"}).code, 2); // no --system
    auto unknown = run({"identify", "--system", "PSX", "x.bin"});
    EXPECT_EQ(unknown.code, 2);
    EXPECT_NE(unknown.err.find("PSX"), std::string::npos);
    EXPECT_EQ(run({"--help"}).code, 0);
}

TEST_F(CliTest, MissingHelperLibraryIsAStartUpError) {
    TempDir empty;
    auto r = run({"systems"}, empty.path());
    EXPECT_EQ(r.code, 3);
    EXPECT_NE(r.err.find("libzelcore.so"), std::string::npos);
    EXPECT_TRUE(r.out.empty());
}

TEST_F(CliTest, MissingDatabasesFolderIsTold) {
    TempDir other;
    std::ostringstream out, err;
    int code = cli::run_cli({"--home", other.path().string(), "systems"}, {out, err, {}});
    EXPECT_EQ(code, 1);
    EXPECT_NE(err.str().find("Folder Not Found"), std::string::npos);
    EXPECT_NE(err.str().find((other.path() / "databases").string()), std::string::npos);
}

} // namespace
