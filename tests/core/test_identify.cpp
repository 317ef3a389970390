#include "identify.h"

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "rom_forge.h"
#include "temp_dir.h"
#include "zip_maker.h"

namespace {

namespace fs = std::filesystem;
using testsupport::crc32_of;
using testsupport::interleave_smd;
using testsupport::make_zip;
using testsupport::read_file;
using testsupport::rom_with_crc;
using testsupport::TempDir;
using testsupport::write_file;

constexpr std::uint32_t kRomCrc = 0x1234abcd;

std::string hex(std::uint32_t value) {
    char text[9];
    std::snprintf(text, sizeof text, "%08x", value);
    return text;
}

testsupport::ZipEntry entry(std::string name, std::string data, bool store = false,
                            std::string password = {}) {
    return {std::move(name), std::move(data), store, std::move(password)};
}

// Corrupts the stored data of a member whose data holds `marker`; the directory CRC stays.
void corrupt_stored(const fs::path& zip, std::string_view marker) {
    std::string bytes = read_file(zip);
    const auto at = bytes.find(marker);
    ASSERT_NE(at, std::string::npos);
    bytes[at + marker.size() / 2] = static_cast<char>(bytes[at + marker.size() / 2] ^ 0x40);
    write_file(zip, bytes);
}

std::set<fs::path> tree(const fs::path& root) {
    std::set<fs::path> paths;
    for (const auto& e : fs::recursive_directory_iterator(root))
        paths.insert(e.path());
    return paths;
}

// Every identifier of a test puts its private folder into `tmp` (through TMPDIR), so the
// tests can see what is left behind there.
class Identify : public ::testing::Test {
protected:
    void SetUp() override {
        auto zelcore = core::Zelcore::load_beside_executable();
        ASSERT_TRUE(zelcore) << zelcore.error().message;
        m_zelcore.emplace(std::move(zelcore.value()));
    }

    core::Identifier make(const std::string& id, const std::string& patterns) {
        const char* old = std::getenv("TMPDIR");
        const std::optional<std::string> saved =
            old ? std::optional<std::string>(old) : std::nullopt;
        ::setenv("TMPDIR", tmp.path().c_str(), 1);
        auto identifier = core::Identifier::create(*m_zelcore, {id, patterns});
        if (saved)
            ::setenv("TMPDIR", saved->c_str(), 1);
        else
            ::unsetenv("TMPDIR");
        if (!identifier)
            throw std::runtime_error(identifier.error().message);
        return std::move(identifier.value());
    }

    static std::string crc(const core::Identifier& identifier, const fs::path& path,
                           std::uint16_t skip = 0) {
        auto result = identifier.get_crc32(path, skip);
        EXPECT_TRUE(result) << path << ": " << result.error().message;
        return result ? result->str() : "<error>";
    }

    static std::string error(const core::Identifier& identifier, const fs::path& path,
                             std::uint16_t skip = 0) {
        auto result = identifier.get_crc32(path, skip);
        EXPECT_FALSE(result) << path << " gave " << result->str();
        return result ? "" : result.error().message;
    }

    // The files left in the private folders.
    std::vector<fs::path> leftovers() const {
        std::vector<fs::path> files;
        for (const auto& e : fs::recursive_directory_iterator(tmp.path()))
            if (!e.is_directory())
                files.push_back(e.path());
        return files;
    }

    std::optional<core::Zelcore> m_zelcore;
    TempDir work;
    TempDir tmp;
};

TEST(IdentifyIsZip, LooksAtTheLastExtensionOnly) {
    EXPECT_TRUE(core::is_zip("a.zip"));
    EXPECT_TRUE(core::is_zip("/roms/Sonic.ZIP"));
    EXPECT_TRUE(core::is_zip("x.bin.Zip"));
    EXPECT_FALSE(core::is_zip("a.zip.bin"));
    EXPECT_FALSE(core::is_zip("/roms.zip/game"));
    EXPECT_FALSE(core::is_zip("zip"));
    EXPECT_FALSE(core::is_zip("a.zi"));
}

TEST_F(Identify, PlainFilesHashFromTheHeaderSkip) {
    const auto nes = make("NES", "*.nes");
    const std::string data = rom_with_crc(4096, 0x0000beef);
    const auto rom = work.write("Game.nes", data);
    EXPECT_EQ(crc(nes, rom), "0000beef");
    EXPECT_EQ(crc(nes, rom, 16), hex(crc32_of(data.substr(16))));
    EXPECT_EQ(crc(nes, rom, 4095), hex(crc32_of(data.substr(4095))));
    // Nothing left after the header: nothing is hashed.
    EXPECT_EQ(crc(nes, rom, 4096), "00000000");
    EXPECT_EQ(crc(nes, rom, 65535), "00000000");
    EXPECT_EQ(crc(nes, work.write("empty.nes", "")), "00000000");
    // The top bit set still gives 8 digits, and the pattern does not matter for plain files.
    EXPECT_EQ(crc(nes, work.write("other.smd", rom_with_crc(100, 0xfedcba98))), "fedcba98");
    EXPECT_TRUE(leftovers().empty());
}

TEST_F(Identify, ZipWithoutSkipTakesTheDirectoryCrcAndReadsNothing) {
    const auto nes = make("NES", "*.nes");
    const std::string first = rom_with_crc(20000, 0x0badcafe, 7);
    const auto zip = work.path() / "set.zip";
    make_zip(zip, {entry("readme.txt", "not a rom"), entry("sub/FIRST.NES", first, true),
                   entry("second.nes", rom_with_crc(500, 0x22222222))});
    // The first matching member's data is broken; only a read of it could notice.
    corrupt_stored(zip, first.substr(1000, 64));

    EXPECT_EQ(crc(nes, zip), "0badcafe");
    EXPECT_TRUE(leftovers().empty());
    // With a header skip the member must be read, and now the damage shows.
    const auto message = error(nes, zip, 16);
    EXPECT_NE(message.find("'sub/FIRST.NES'"), std::string::npos) << message;
    EXPECT_NE(message.find(zip.string()), std::string::npos) << message;
    EXPECT_NE(message.find("CRC error"), std::string::npos) << message;
    EXPECT_TRUE(leftovers().empty());
}

TEST_F(Identify, ZipWithSkipHashesTheExtractedMemberFromTheSkip) {
    const auto nes = make("NES", "*.nes");
    const std::string data = rom_with_crc(40000, 0x77777777, 3);
    const auto zip = work.path() / "one.zip";
    make_zip(zip, {entry("One.NES", data)});
    EXPECT_EQ(crc(nes, zip, 16), hex(crc32_of(data.substr(16))));
    EXPECT_EQ(crc(nes, zip, 40000), "00000000");
    EXPECT_TRUE(leftovers().empty());
}

TEST_F(Identify, ZipWithoutAMatchingMemberGivesZeros) {
    const auto zip = work.path() / "other.zip";
    make_zip(zip, {entry("readme.txt", "hello"), entry("folder.nes/", ""),
                   entry("game.nes.txt", rom_with_crc(600, 0x33333333))});
    // The smallest valid archive: an end-of-directory record and nothing else.
    const auto empty =
        work.write("empty.zip", std::string("PK\x05\x06", 4) + std::string(18, '\0'));
    for (const auto& [id, patterns] : std::vector<std::pair<std::string, std::string>>{
             {"NES", "*.nes"}, {"SGENESIS", "*.smd"}, {"TURBOGFX", "*.nes"}, {"JAGUAR", "*.nes"}}) {
        const auto identifier = make(id, patterns);
        for (const int skip : {0, 512}) {
            EXPECT_EQ(crc(identifier, zip, static_cast<std::uint16_t>(skip)), "00000000") << id;
            EXPECT_EQ(crc(identifier, empty, static_cast<std::uint16_t>(skip)), "00000000") << id;
        }
    }
    EXPECT_TRUE(leftovers().empty());
}

TEST_F(Identify, JaguarDumpsWithAnOddSizeCarryAHeader) {
    const auto jaguar = make("JAGUAR", "*.j64;*.jag");
    const std::string body = rom_with_crc(1048576, kRomCrc, 11);
    const std::string with_header = std::string(512, 'H') + body; // 1,049,088 bytes
    EXPECT_EQ(crc(jaguar, work.write("headered.j64", with_header)), hex(kRomCrc));
    EXPECT_EQ(crc(jaguar, work.write("plain.j64", body)), hex(kRomCrc));
    // A size that is a multiple of 1024 keeps the database's header skip.
    EXPECT_EQ(crc(jaguar, work.path() / "plain.j64", 1024), hex(crc32_of(body.substr(1024))));

    const auto zip = work.path() / "jag.zip";
    make_zip(zip, {entry("Game.J64", with_header)});
    EXPECT_EQ(crc(jaguar, zip), hex(kRomCrc));
    EXPECT_TRUE(leftovers().empty());

    // A multiple of 1024 inside a ZIP gives the directory CRC even with a header skip:
    // the member is never read, as its broken data proves.
    const auto whole = work.path() / "whole.zip";
    make_zip(whole, {entry("Game.jag", body, true)});
    corrupt_stored(whole, body.substr(5000, 64));
    EXPECT_EQ(crc(jaguar, whole, 1024), hex(kRomCrc));
    EXPECT_TRUE(leftovers().empty());
}

TEST_F(Identify, TurboGrafxDumpsStartingWithZerosCarryAHeader) {
    const auto pce = make("TURBOGFX", "*.pce");
    const std::string body = rom_with_crc(262144, kRomCrc, 5);
    ASSERT_NE(body[0], '\0');
    std::string zeros_then_body = std::string(512, '\0') + body;
    EXPECT_EQ(crc(pce, work.write("headered.pce", zeros_then_body)), hex(kRomCrc));
    EXPECT_EQ(crc(pce, work.write("plain.pce", body)), hex(kRomCrc));
    EXPECT_EQ(crc(pce, work.path() / "plain.pce", 3), hex(crc32_of(body.substr(3))));
    // One non-zero byte among the first 16 means no header.
    std::string late = zeros_then_body;
    late[15] = 1;
    EXPECT_EQ(crc(pce, work.write("late.pce", late)), hex(crc32_of(late)));
    // A short file is read as if padded with zeros.
    EXPECT_EQ(crc(pce, work.write("short-zero.pce", std::string(10, '\0'))), "00000000");
    EXPECT_EQ(crc(pce, work.write("short.pce", "abc")), hex(crc32_of("abc")));

    const auto headered_zip = work.path() / "headered.zip";
    make_zip(headered_zip, {entry("Game.PCE", zeros_then_body)});
    EXPECT_EQ(crc(pce, headered_zip), hex(kRomCrc));
    EXPECT_EQ(crc(pce, headered_zip, 3), hex(kRomCrc));
    const auto plain_zip = work.path() / "plain.zip";
    make_zip(plain_zip, {entry("Game.pce", late)});
    // Without a header the directory CRC is the answer, whatever the skip.
    EXPECT_EQ(crc(pce, plain_zip, 512), hex(crc32_of(late)));
    EXPECT_TRUE(leftovers().empty());
}

TEST_F(Identify, GenesisSmdDumpsAreConvertedBeforeHashing) {
    const auto genesis = make("SGENESIS", "*.bin;*.gen;*.smd");
    const std::string plain = rom_with_crc(3 * 16384, kRomCrc, 9);
    const std::string smd = interleave_smd(plain);
    EXPECT_EQ(crc(genesis, work.write("Sonic.smd", smd)), hex(kRomCrc));
    EXPECT_EQ(crc(genesis, work.write("Sonic2.SMD", smd), 512), hex(kRomCrc));
    // Other extensions are hashed as they are, interleaved or not.
    EXPECT_EQ(crc(genesis, work.write("Sonic.bin", plain)), hex(kRomCrc));
    EXPECT_EQ(crc(genesis, work.write("Odd.bin", smd)), hex(crc32_of(smd)));
    EXPECT_EQ(crc(genesis, work.path() / "Odd.bin", 512), hex(crc32_of(smd.substr(512))));
    EXPECT_TRUE(leftovers().empty());

    const auto zip = work.path() / "sonic.zip";
    make_zip(zip, {entry("readme.txt", "x"), entry("Sonic.Smd", smd)});
    EXPECT_EQ(crc(genesis, zip), hex(kRomCrc));
    // Both the extracted member and the converted image are gone.
    EXPECT_TRUE(leftovers().empty());

    // A non-SMD member gives the directory CRC even with a header skip.
    const auto bin_zip = work.path() / "bin.zip";
    make_zip(bin_zip, {entry("Sonic.bin", plain, true)});
    corrupt_stored(bin_zip, plain.substr(7000, 64));
    EXPECT_EQ(crc(genesis, bin_zip, 512), hex(kRomCrc));

    // The same file for another system is not converted.
    const auto nes = make("NES", "*.smd");
    EXPECT_EQ(crc(nes, work.path() / "Sonic.smd"), hex(crc32_of(smd)));
    EXPECT_TRUE(leftovers().empty());
}

TEST_F(Identify, FailuresAreErrorsNamingTheFileAndTheReason) {
    const auto nes = make("NES", "*.nes");
    const auto pce = make("TURBOGFX", "*.nes");
    const auto genesis = make("SGENESIS", "*.smd");
    const auto missing = work.path() / "missing.nes";
    const auto folder = work.path() / "folder.nes";
    fs::create_directories(folder);
    const auto broken = work.write("broken.zip", "PK\x03\x04 but nothing more");
    const auto locked = work.path() / "locked.zip";
    make_zip(locked, {entry("secret.nes", rom_with_crc(4096, 0x44444444), false, "pw")});

    const auto pipe = work.path() / "pipe.nes";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    auto missing_result = nes.get_crc32(missing, 0);
    ASSERT_FALSE(missing_result);
    EXPECT_EQ(missing_result.error().code, core::Error::Code::NotFound);

    for (const auto* identifier : {&nes, &pce, &genesis}) {
        const auto m0 = error(*identifier, pipe);
        EXPECT_EQ(m0, "cannot read '" + pipe.string() + "': it is not a regular file");
        const auto m1 = error(*identifier, missing);
        EXPECT_EQ(m1, "cannot read '" + missing.string() + "': No such file or directory");
        const auto m2 = error(*identifier, folder);
        EXPECT_EQ(m2, "cannot read '" + folder.string() + "': it is a folder");
        const auto m3 = error(*identifier, work.path() / "missing.zip");
        EXPECT_NE(m3.find("missing.zip"), std::string::npos) << m3;
        const auto m4 = error(*identifier, broken);
        EXPECT_EQ(m4.rfind("cannot read the ZIP archive '" + broken.string() + "': ", 0), 0u) << m4;
    }
    // An encrypted member is refused once its data is needed; its directory CRC is still
    // the answer when nothing has to be read.
    EXPECT_EQ(crc(nes, locked), "44444444");
    const auto m5 = error(nes, locked, 16);
    EXPECT_NE(m5.find("'secret.nes'"), std::string::npos) << m5;
    EXPECT_NE(m5.find("encrypted"), std::string::npos) << m5;
    EXPECT_NE(error(pce, locked).find("encrypted"), std::string::npos);

    if (::geteuid() != 0) { // root reads anything
        const auto secret = work.write("secret.nes", "data");
        fs::permissions(secret, fs::perms::none);
        const auto m7 = error(nes, secret);
        EXPECT_EQ(m7.rfind("cannot read '" + secret.string() + "': ", 0), 0u) << m7;
        const auto m8 = error(pce, secret);
        EXPECT_EQ(m8.rfind("cannot read '" + secret.string() + "': ", 0), 0u) << m8;
    }
    EXPECT_TRUE(leftovers().empty());
}

TEST_F(Identify, HostileMemberNamesAreExtractedOnlyIntoThePrivateFolder) {
    const auto pce = make("TURBOGFX", "*.pce");
    const auto deep = work.path() / "a" / "b";
    fs::create_directories(deep);
    const std::string body = std::string(512, '\0') + rom_with_crc(4096, kRomCrc);
    const auto before = tree(work.path());
    for (const std::string name : {"../evil.pce", "../../../../../evil.pce", "/abs.pce",
                                   "a\\..\\..\\b.pce", "dir/../../c.pce"}) {
        const auto zip = deep / "evil.zip";
        make_zip(zip, {entry(name, body)});
        EXPECT_EQ(crc(pce, zip), hex(kRomCrc)) << name;

        auto extracted = pce.extract_from_zip(zip);
        ASSERT_TRUE(extracted) << extracted.error().message;
        EXPECT_EQ(extracted->parent_path().parent_path(), tmp.path()) << *extracted;
        EXPECT_EQ(extracted->extension(), ".pce");
        EXPECT_EQ(read_file(*extracted), body);
        fs::remove(*extracted);
        fs::remove(zip);
        EXPECT_EQ(tree(work.path()), before) << name;
    }
    EXPECT_FALSE(fs::exists("/abs.pce"));
    EXPECT_TRUE(leftovers().empty());
}

TEST_F(Identify, ExtractFromZipUsesFileNamesOfOurOwn) {
    const auto any = make("ANY", "");
    const auto zip = work.path() / "names.zip";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"Sonic (W).BIN", ".bin"}, {"x.b!n", ""}, {"x.verylongext", ""},       {"noext", ""},
        {"a.tar.GZ", ".gz"},       {"dots.", ""}, {"x.\xc3\xa9t\xc3\xa9", ""}, {"x.7z", ".7z"}};
    for (const auto& [name, suffix] : cases) {
        make_zip(zip, {entry(name, "payload of " + name)});
        auto extracted = any.extract_from_zip(zip);
        ASSERT_TRUE(extracted) << extracted.error().message;
        EXPECT_EQ(extracted->parent_path().parent_path(), tmp.path());
        EXPECT_EQ(extracted->extension().string(), suffix) << name;
        EXPECT_EQ(read_file(*extracted), "payload of " + name);
        fs::remove(*extracted);
    }
    const auto nes = make("NES", "*.nes");
    auto none = nes.extract_from_zip(zip);
    ASSERT_TRUE(none) << none.error().message;
    EXPECT_TRUE(none->empty());
    EXPECT_TRUE(leftovers().empty());
}

TEST_F(Identify, TwoThreadsAtOnceGetTheSameResultsAsOne) {
    const auto genesis = make("SGENESIS", "*.smd;*.bin");
    const auto nes = make("NES", "*.nes");
    struct Job {
        const core::Identifier* identifier;
        fs::path path;
        std::uint16_t skip;
    };
    std::vector<Job> jobs;
    for (std::uint32_t i = 0; i < 4; ++i) {
        const std::string plain = rom_with_crc(2 * 16384, 0x1000 + i, i + 1);
        const auto smd_zip = work.path() / ("g" + std::to_string(i) + ".zip");
        make_zip(smd_zip, {entry("g.smd", interleave_smd(plain))});
        jobs.push_back({&genesis, smd_zip, 0});
        jobs.push_back(
            {&genesis, work.write("g" + std::to_string(i) + ".smd", interleave_smd(plain)), 0});
        const auto nes_zip = work.path() / ("n" + std::to_string(i) + ".zip");
        make_zip(nes_zip, {entry("n.nes", rom_with_crc(30000, 0x2000 + i, i + 9))});
        jobs.push_back({&nes, nes_zip, 16});
        jobs.push_back({&nes, nes_zip, 0});
        jobs.push_back({&nes, work.write("n" + std::to_string(i) + ".nes", plain), 128});
    }
    std::vector<std::string> expected;
    for (const auto& job : jobs)
        expected.push_back(crc(*job.identifier, job.path, job.skip));

    constexpr int kRounds = 15;
    std::vector<std::vector<std::string>> seen(2);
    const auto run = [&](std::vector<std::string>& out) {
        for (int r = 0; r < kRounds; ++r)
            for (const auto& job : jobs) {
                auto result = job.identifier->get_crc32(job.path, job.skip);
                out.push_back(result ? result->str() : result.error().message);
            }
    };
    std::thread a(run, std::ref(seen[0]));
    std::thread b(run, std::ref(seen[1]));
    a.join();
    b.join();
    for (const auto& out : seen) {
        ASSERT_EQ(out.size(), jobs.size() * kRounds);
        for (std::size_t i = 0; i < out.size(); ++i)
            ASSERT_EQ(out[i], expected[i % jobs.size()]) << jobs[i % jobs.size()].path;
    }
    EXPECT_TRUE(leftovers().empty());
}

TEST_F(Identify, ThePrivateFolderGoesWithTheIdentifier) {
    {
        const auto nes = make("NES", "*.nes");
        ASSERT_EQ(tree(tmp.path()).size(), 1u);
        const auto folder = *tree(tmp.path()).begin();
        EXPECT_EQ(fs::status(folder).permissions() & fs::perms::all, fs::perms::owner_all);
        // A file somebody left there does not keep it alive.
        write_file(folder / "stray.bin", "x");
    }
    EXPECT_TRUE(tree(tmp.path()).empty());
}

} // namespace
