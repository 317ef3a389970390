#include <filesystem>

#include <gtest/gtest.h>

#include "database_file.h"
#include "rom_forge.h"
#include "temp_dir.h"
#include "zdb.h"
#include "zdb_writer.h"

namespace {
namespace fs = std::filesystem;
using core::Error;
using testsupport::read_file;
using testsupport::TempDir;

fs::path make_database(const fs::path& path, const std::string& version) {
    core::ZdbHeader header = testsupport::db_header("SGENESIS", "Sega Genesis", "*.bin");
    header.version = version;
    const core::RomTable roms = {testsupport::rom_entry(0x12345678, "Sonic", 0x22222222)};
    EXPECT_TRUE(core::write_zdb(path, 3, header, roms).ok());
    return path;
}

// Which headers are usable is the database reader's test; here how a refusal is told.
TEST(CheckDatabaseFile, RefusesWhatIsNoDatabase) {
    TempDir dir;
    const std::string whole = read_file(make_database(dir.path() / "good.zdb", "2.0"));
    const struct {
        const char* name;
        std::string bytes;
        Error::Code code = Error::Code::BadInput;
        const char* says = "not a ROM database";
    } cases[] = {
        {"format 4", "\x04" + whole.substr(1)},
        {"header cut short", whole.substr(0, 12)},
        {"error page", "<html><body>404</body></html>\r\n", Error::Code::NotFound, "error page"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto file = dir.write("bad.zdb", c.bytes);
        const core::Status status = update::check_database_file(file);
        ASSERT_FALSE(status.ok());
        EXPECT_EQ(status.error().code, c.code);
        EXPECT_NE(status.error().message.find(c.says), std::string::npos);
        EXPECT_NE(status.error().message.find("'" + file.string() + "'"), std::string::npos);
    }
    EXPECT_FALSE(update::check_database_file(dir.path() / "missing.zdb").ok());
}

// A bad download never replaces the local file; a read-only one is replaced only when asked.
// No download is left either way.
TEST(InstallDatabase, PutsAGoodDownloadInPlaceOverAReadOnlyFileOnlyWhenAsked) {
    TempDir dir;
    const fs::path local = make_database(dir.path() / "SGENESIS.zdb", "1.0");
    fs::permissions(local,
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    const std::string before = read_file(local);
    for (const char* body : {"<!DOCTYPE html><p>gone</p>", "", "\x07garbage"}) {
        const fs::path download = dir.write("SGENESIS.zdb.tmp", body);
        EXPECT_FALSE(update::install_database(download, local, true).ok()) << body;
        EXPECT_EQ(read_file(local), before);
        EXPECT_FALSE(fs::exists(download));
    }

    fs::path download = make_database(dir.path() / "SGENESIS.zdb.tmp", "2.0");
    const core::Status refused = update::install_database(download, local, false);
    ASSERT_FALSE(refused.ok());
    EXPECT_NE(refused.error().message.find("read-only"), std::string::npos);
    EXPECT_EQ(read_file(local), before);
    EXPECT_FALSE(fs::exists(download));

    download = make_database(dir.path() / "SGENESIS.zdb.tmp", "2.0");
    const std::string fresh = read_file(download);
    ASSERT_TRUE(update::install_database(download, local, true).ok());
    EXPECT_EQ(read_file(local), fresh);
    EXPECT_FALSE(fs::exists(download));
}

TEST(InstallDatabase, APlaceThatCannotTakeItKeepsNoDownload) {
    TempDir dir;
    fs::create_directories(dir.path() / "SGENESIS.zdb" / "inside");
    for (const fs::path& local : {dir.path() / "SGENESIS.zdb", dir.path() / "missing" / "X.zdb"}) {
        const fs::path download = make_database(dir.path() / "X.zdb.tmp", "2.0");
        EXPECT_FALSE(update::install_database(download, local, true).ok()) << local;
        EXPECT_FALSE(fs::exists(download));
    }
    EXPECT_TRUE(fs::is_directory(dir.path() / "SGENESIS.zdb" / "inside"));
    EXPECT_FALSE(fs::exists(dir.path() / "missing"));
}

} // namespace
