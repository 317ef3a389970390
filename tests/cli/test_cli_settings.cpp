#include "cli_run.h"

#include <gtest/gtest.h>

#include "rom_forge.h"
#include "temp_dir.h"

using testsupport::names_in;
using testsupport::rom_entry;
using testsupport::rom_with_crc;
using testsupport::TempDir;

using namespace clitest; // NOLINT(google-build-using-namespace): the tests' own helpers

namespace {

namespace fs = std::filesystem;

class CliSettings : public ::testing::Test {
protected:
    void SetUp() override {
        write_genesis_database(home.path(), {rom_entry(0x11111111, "Alpha (World)")});
        home.write("roms/a.bin", rom_with_crc(256, 0x11111111));
        home.write("roms/dupe.bin", rom_with_crc(256, 0x11111111, 2));
        home.write("roms/stranger.bin", rom_with_crc(256, 0xabcdef01));
    }
    CliRun rename() const {
        return run_cli_in(home.path(), {"--yes", "rename", "--system", "SGENESIS",
                                        (home.path() / "roms").string()});
    }
    TempDir home;
};

// Each folder the run would use is checked: a relative or non-text value would put the
// files under the working folder, so the run is refused before anything moves.
TEST_F(CliSettings, AFolderSettingThatIsNoAbsoluteTextPathMovesNothing) {
    const std::vector<std::string> before = names_in(home.path() / "roms");
    const std::vector<std::string> cwd_before = names_in(fs::current_path());
    for (const auto& [flag, key] : {std::pair{"MoveRenamedFiles=1", "RenameFolder"},
                                    {"MoveUnrecognized=1", "UnrecognizedFolder"},
                                    {"MoveDupes=True", "DupeFolder"}}) {
        for (const std::string value : {"\xffroms2/", "roms2/"}) {
            home.write("zelkon.ini",
                       "[SGENESIS]\n" + std::string(flag) + "\n" + key + "=" + value + "\n");
            auto run = rename();
            EXPECT_EQ(run.code, 1) << run.err;
            const std::string why = value.front() == 'r'
                                        ? "'roms2/' is not an absolute path."
                                        : "'\\xFFroms2/' holds bytes that are not UTF-8 text.";
            EXPECT_TRUE(contains(run.err, "The setting " + std::string(key) +
                                              " of section [SGENESIS] cannot be used: " + why))
                << run.err;
            EXPECT_TRUE(contains(run.err, "Nothing was moved."));
            EXPECT_EQ(names_in(home.path() / "roms"), before);
            EXPECT_EQ(names_in(fs::current_path()), cwd_before);
        }
    }
}

// A settings file of binary data gives every default (the unit tests show), said once.
TEST_F(CliSettings, UnreadableSettingsAreSaidOnce) {
    home.write("zelkon.ini", std::string("[SGENESIS]\nCopyInstead=1\n\0", 26));
    auto run = rename();
    EXPECT_EQ(run.code, 0) << run.err;
    const std::string notice = "The settings could not be read, so the defaults are used: '" +
                               (home.path() / "zelkon.ini").string() +
                               "' is not a text file: byte 26 is a control character";
    EXPECT_TRUE(contains(run.err, notice)) << run.err;
    EXPECT_EQ(run.err.find(notice), run.err.rfind(notice));
}

} // namespace
