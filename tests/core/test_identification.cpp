#include "identification.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "recorders.h"
#include "rom_forge.h"
#include "services.h"
#include "temp_dir.h"
#include "text.h"
#include "zdb_writer.h"

namespace {

namespace fs = std::filesystem;

// What every run that identifies files gets from opening a database: a cut-short database
// read as far as it goes and said so, a killed run's private folder cleared, and Stop.
class IdentificationTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(dir.path() / "tmp");
        system.file = dir.path() / "SGENESIS.zdb";
        ASSERT_TRUE(core::write_zdb(system.file, 2,
                                    testsupport::db_header("SGENESIS", "Genesis", "*.bin"),
                                    {testsupport::rom_entry(0x11111111, "Alpha"),
                                     testsupport::rom_entry(0x22222222, "Beta")}));
        auto opened = core::Services::open({.home = dir.path(), .use_cache = false});
        ASSERT_TRUE(opened) << opened.error().message;
        services.emplace(std::move(opened.value()));
    }

    core::Result<core::Identification> open() {
        return core::Identification::open(*services, system, progress, {.log_load = true});
    }

    testsupport::TempDir dir;
    // A temporary folder of its own, holding only the litter a test lays down.
    testsupport::ScopedTmpdir in_tmp{dir.path() / "tmp"};
    core::SystemEntry system{"Genesis", "SGENESIS", "*.bin", {}};
    std::optional<core::Services> services;
    testsupport::RecordingProgress progress;
};

TEST_F(IdentificationTest, ACutDatabaseIsReadAsFarAsItGoesAndSaysSo) {
    fs::resize_file(system.file, fs::file_size(system.file) - 2);
    auto ident = open();
    ASSERT_TRUE(ident) << ident.error().message;
    EXPECT_EQ(ident->roms().size(), 1u);
    const std::string warning = core::quoted(system.file) + " ends inside a record after 1 entries";
    EXPECT_EQ(progress.log_text, "Loading ZDB...done.\r\n" + warning + "\r\n");
    EXPECT_EQ(services->take_notices(), std::vector<std::string>{warning});
}

TEST_F(IdentificationTest, AKilledRunsPrivateFolderIsRemovedWithALogLine) {
    fs::create_directories(dir.path() / "tmp" / "zelkon-ident-Ab12Cd" / "x");
    fs::create_directories(dir.path() / "tmp" / "zelkon-identity"); // not ours: stays
    ASSERT_TRUE(open());
    EXPECT_FALSE(fs::exists(dir.path() / "tmp" / "zelkon-ident-Ab12Cd"));
    EXPECT_TRUE(fs::exists(dir.path() / "tmp" / "zelkon-identity"));
    EXPECT_EQ(progress.log_text,
              "Loading ZDB...done.\r\nRemoved 1 temporary folder left by an earlier run.\r\n");
}

TEST_F(IdentificationTest, StopDuringTheLoadIsTold) {
    progress.stop_after = 0;
    auto ident = open();
    ASSERT_FALSE(ident);
    EXPECT_EQ(ident.error().code, core::Error::Code::Cancelled);
    EXPECT_EQ(progress.log_text, "Loading ZDB...aborted.");
}

} // namespace

namespace {

// The folder read from the checksum cache in one query must hold every file, in the form the
// cache keeps paths: full and normal, or the query reads the wrong entries.
TEST(IdentificationCacheFolder, IsTheDeepestFolderHoldingEveryFile) {
    auto many = [](std::vector<std::string> heads) {
        std::vector<std::string> paths;
        for (std::size_t i = 0; i < 32; ++i)
            paths.push_back(heads[i % heads.size()] + "f" + std::to_string(i) + ".bin");
        return core::Identification::cache_folder(paths);
    };
    EXPECT_EQ(many({"/roms/md/a/", "/roms/md/ab/"}), "/roms/md/");
    EXPECT_EQ(many({"/roms/md/x/../a/"}), "/roms/md/a/");
    const std::string here = fs::current_path().native();
    EXPECT_EQ(many({"sub/", here + "/sub/deeper/"}), here + "/sub/");
    EXPECT_EQ(many({"/roms/", "/home/"}), "") << "not the whole cache";
    EXPECT_EQ(core::Identification::cache_folder({"/roms/a.bin", "/roms/b.bin"}), "")
        << "a handful of files is looked up one by one";
}

} // namespace
