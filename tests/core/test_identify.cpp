#include "identify.h"

#include <deque>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core_fixture.h"
#include "hash_cache.h"
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

const std::string kRom = "1234abcd"; // kRomCrc as text

std::string crc_of(std::string_view bytes) {
    return core::CrcText::from_value(crc32_of(bytes)).str();
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

void expect_mentions(const std::string& message, std::initializer_list<std::string> parts) {
    for (const auto& part : parts)
        EXPECT_NE(message.find(part), std::string::npos) << message << " lacks " << part;
}

// Every identifier of a test puts its private folder into `tmp` (through TMPDIR) and lives
// until the test ends, which then checks that no temporary file is left behind and that
// the folders go with the identifiers.
class Identify : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(corefixture::helper_library()) << "libzelcore.so is not beside the tests";
    }
    void TearDown() override {
        for (const auto& e : fs::recursive_directory_iterator(tmp.path()))
            EXPECT_TRUE(e.is_directory()) << "left behind: " << e.path();
        m_identifiers.clear(); // the private folders go with their identifiers
        EXPECT_TRUE(fs::is_empty(tmp.path()));
    }

    const core::Identifier& make(const std::string& id, const std::string& patterns) {
        auto identifier = core::Identifier::create(*corefixture::helper_library(), {id, patterns});
        if (!identifier)
            throw std::runtime_error(identifier.error().message);
        return m_identifiers.emplace_back(std::move(identifier.value()));
    }
    fs::path archive(const std::string& name, const std::vector<testsupport::ZipEntry>& members) {
        make_zip(work.path() / name, members);
        return work.path() / name;
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

    TempDir work;
    TempDir tmp;
    testsupport::ScopedTmpdir m_in_tmp{tmp.path()};
    std::deque<core::Identifier> m_identifiers;
};

TEST(IdentifyIsZip, LooksAtTheLastExtensionOnly) {
    for (const char* yes : {"a.zip", "/roms/Sonic.ZIP", "x.bin.Zip"})
        EXPECT_TRUE(core::is_zip(yes)) << yes;
    for (const char* no : {"a.zip.bin", "/roms.zip/game", "zip", "a.zi"})
        EXPECT_FALSE(core::is_zip(no)) << no;
}

TEST_F(Identify, PlainFilesHashFromTheHeaderSkip) {
    const auto& nes = make("NES", "*.nes");
    const std::string data = rom_with_crc(4096, 0x0000beef);
    const auto rom = work.write("Game.nes", data);
    EXPECT_EQ(crc(nes, rom), "0000beef");
    EXPECT_EQ(crc(nes, rom, 4095), crc_of(data.substr(4095)));
    // Nothing left after the header: nothing is hashed.
    EXPECT_EQ(crc(nes, rom, 65535), "00000000");
    EXPECT_EQ(crc(nes, work.write("empty.nes", "")), "00000000");
    // The pattern does not matter for plain files.
    EXPECT_EQ(crc(nes, work.write("other.smd", rom_with_crc(100, 0xfedcba98))), "fedcba98");
}

TEST_F(Identify, ZipsGiveTheDirectoryCrcUnlessASkipNeedsTheData) {
    const auto& nes = make("NES", "*.nes");
    const std::string first = rom_with_crc(20000, 0x0badcafe, 7);
    const auto zip = archive("set.zip", {{"readme.txt", "not a rom"},
                                         {"sub/FIRST.NES", first, true},
                                         {"second.nes", rom_with_crc(500, 0x22222222)}});
    // The first matching member's data is broken; only a read of it could notice.
    corrupt_stored(zip, first.substr(1000, 64));
    EXPECT_EQ(crc(nes, zip), "0badcafe");
    expect_mentions(error(nes, zip, 16), {"'sub/FIRST.NES'", zip.string(), "CRC error"});

    // With a header skip the extracted member is hashed from the skip.
    const std::string data = rom_with_crc(40000, 0x77777777, 3);
    const auto one = archive("one.zip", {{"One.NES", data}});
    EXPECT_EQ(crc(nes, one, 16), crc_of(data.substr(16)));
    EXPECT_EQ(crc(nes, one, 40000), "00000000");
}

TEST_F(Identify, ZipWithoutAMatchingMemberGivesZeros) {
    const auto zip = archive("other.zip", {{"readme.txt", "hello"},
                                           {"folder.nes/", ""},
                                           {"game.nes.txt", rom_with_crc(600, 0x33333333)}});
    // The smallest valid archive: an end-of-directory record and nothing else.
    const auto empty =
        work.write("empty.zip", std::string("PK\x05\x06", 4) + std::string(18, '\0'));
    for (const auto& [id, patterns] : std::vector<std::pair<std::string, std::string>>{
             {"NES", "*.nes"}, {"SGENESIS", "*.smd"}, {"TURBOGFX", "*.nes"}, {"JAGUAR", "*.nes"}}) {
        const auto& identifier = make(id, patterns);
        for (const std::uint16_t skip : {std::uint16_t{0}, std::uint16_t{512}}) {
            EXPECT_EQ(crc(identifier, zip, skip), "00000000") << id;
            EXPECT_EQ(crc(identifier, empty, skip), "00000000") << id;
        }
    }
}

TEST_F(Identify, JaguarDumpsWithAnOddSizeCarryAHeader) {
    const auto& jaguar = make("JAGUAR", "*.j64;*.jag");
    const std::string body = rom_with_crc(1048576, kRomCrc, 11);
    const std::string with_header = std::string(512, 'H') + body; // 1,049,088 bytes
    EXPECT_EQ(crc(jaguar, work.write("headered.j64", with_header)), kRom);
    EXPECT_EQ(crc(jaguar, work.write("plain.j64", body)), kRom);
    // A size that is a multiple of 1024 keeps the database's header skip.
    EXPECT_EQ(crc(jaguar, work.path() / "plain.j64", 1024), crc_of(body.substr(1024)));

    const auto zip = archive("jag.zip", {{"Game.J64", with_header}});
    EXPECT_EQ(crc(jaguar, zip), kRom);

    // A multiple of 1024 inside a ZIP gives the directory CRC even with a header skip:
    // the member is never read, as its broken data proves.
    const auto whole = archive("whole.zip", {{"Game.jag", body, true}});
    corrupt_stored(whole, body.substr(5000, 64));
    EXPECT_EQ(crc(jaguar, whole, 1024), kRom);
}

TEST_F(Identify, TurboGrafxDumpsStartingWithZerosCarryAHeader) {
    const auto& pce = make("TURBOGFX", "*.pce");
    const std::string body = rom_with_crc(262144, kRomCrc, 5);
    ASSERT_NE(body[0], '\0');
    std::string zeros_then_body = std::string(512, '\0') + body;
    EXPECT_EQ(crc(pce, work.write("headered.pce", zeros_then_body)), kRom);
    EXPECT_EQ(crc(pce, work.write("plain.pce", body)), kRom);
    EXPECT_EQ(crc(pce, work.path() / "plain.pce", 3), crc_of(body.substr(3)));
    // One non-zero byte among the first 16 means no header.
    std::string late = zeros_then_body;
    late[15] = 1;
    EXPECT_EQ(crc(pce, work.write("late.pce", late)), crc_of(late));
    // A short file is read as if padded with zeros.
    EXPECT_EQ(crc(pce, work.write("short-zero.pce", std::string(10, '\0'))), "00000000");
    EXPECT_EQ(crc(pce, work.write("short.pce", "abc")), crc_of("abc"));

    const auto headered_zip = archive("headered.zip", {{"Game.PCE", zeros_then_body}});
    EXPECT_EQ(crc(pce, headered_zip), kRom);
    EXPECT_EQ(crc(pce, headered_zip, 3), kRom);
    const auto plain_zip = archive("plain.zip", {{"Game.pce", late}});
    // Without a header the directory CRC is the answer, whatever the skip.
    EXPECT_EQ(crc(pce, plain_zip, 512), crc_of(late));
}

TEST_F(Identify, GenesisSmdDumpsAreConvertedBeforeHashing) {
    const auto& genesis = make("SGENESIS", "*.bin;*.gen;*.smd");
    const std::string plain = rom_with_crc(3 * 16384, kRomCrc, 9);
    const std::string smd = interleave_smd(plain);
    EXPECT_EQ(crc(genesis, work.write("Sonic.smd", smd)), kRom);
    EXPECT_EQ(crc(genesis, work.write("Sonic2.SMD", smd), 512), kRom);
    // Other extensions are hashed as they are, interleaved or not.
    EXPECT_EQ(crc(genesis, work.write("Sonic.bin", plain)), kRom);
    EXPECT_EQ(crc(genesis, work.write("Odd.bin", smd)), crc_of(smd));
    EXPECT_EQ(crc(genesis, work.path() / "Odd.bin", 512), crc_of(smd.substr(512)));

    // Both the extracted member and the converted image are removed (checked at the end).
    const auto zip = archive("sonic.zip", {{"readme.txt", "x"}, {"Sonic.Smd", smd}});
    EXPECT_EQ(crc(genesis, zip), kRom);

    // A non-SMD member gives the directory CRC even with a header skip.
    const auto bin_zip = archive("bin.zip", {{"Sonic.bin", plain, true}});
    corrupt_stored(bin_zip, plain.substr(7000, 64));
    EXPECT_EQ(crc(genesis, bin_zip, 512), kRom);

    // The same file for another system is not converted.
    EXPECT_EQ(crc(make("NES", "*.smd"), work.path() / "Sonic.smd"), crc_of(smd));
}

TEST_F(Identify, FailuresAreErrorsNamingTheFileAndTheReason) {
    const auto& nes = make("NES", "*.nes");
    const auto& pce = make("TURBOGFX", "*.nes");
    const auto& genesis = make("SGENESIS", "*.smd");
    const auto missing = work.path() / "missing.nes";
    const auto folder = work.path() / "folder.nes";
    fs::create_directories(folder);
    const auto broken = work.write("broken.zip", "PK\x03\x04 but nothing more");
    const auto pipe = work.path() / "pipe.nes";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const auto missing_result = nes.get_crc32(missing, 0);
    ASSERT_FALSE(missing_result);
    EXPECT_EQ(missing_result.error().code, core::Error::Code::NotFound);

    const bool root = ::geteuid() == 0; // root reads anything
    const auto secret = work.write("secret.nes", "data");
    fs::permissions(secret, fs::perms::none);
    for (const auto* identifier : {&nes, &pce, &genesis}) {
        EXPECT_EQ(error(*identifier, pipe),
                  "cannot read '" + pipe.string() + "': it is not a regular file");
        EXPECT_EQ(error(*identifier, missing),
                  "cannot read '" + missing.string() + "': No such file or directory");
        EXPECT_EQ(error(*identifier, folder),
                  "cannot read '" + folder.string() + "': it is a folder");
        expect_mentions(error(*identifier, work.path() / "missing.zip"), {"missing.zip"});
        const auto m = error(*identifier, broken);
        EXPECT_EQ(m.rfind("cannot read the ZIP archive '" + broken.string() + "': ", 0), 0u) << m;
        if (!root) {
            const auto m2 = error(*identifier, secret);
            EXPECT_EQ(m2.rfind("cannot read '" + secret.string() + "': ", 0), 0u) << m2;
        }
    }
    // An encrypted member is refused once its data is needed; its directory CRC is still
    // the answer when nothing has to be read.
    const auto locked =
        archive("locked.zip", {{"secret.nes", rom_with_crc(4096, 0x44444444), false, "pw"}});
    EXPECT_EQ(crc(nes, locked), "44444444");
    expect_mentions(error(nes, locked, 16), {"'secret.nes'", "encrypted"});
    expect_mentions(error(pce, locked), {"encrypted"});
}

// Hostile and odd member names: extracted only into the private folder, under names of ours
// that keep a plain suffix.
TEST_F(Identify, MembersAreExtractedOnlyIntoThePrivateFolder) {
    const auto& pce = make("TURBOGFX", "");
    const auto deep = work.path() / "a" / "b";
    fs::create_directories(deep);
    const std::string body = std::string(512, '\0') + rom_with_crc(4096, kRomCrc);
    const auto before = tree(work.path());
    std::vector<std::pair<std::string, std::string>> cases = {
        {"Sonic (W).BIN", ".bin"}, {"x.b!n", ""}, {"x.verylongext", ""},       {"noext", ""},
        {"a.tar.GZ", ".gz"},       {"dots.", ""}, {"x.\xc3\xa9t\xc3\xa9", ""}, {"x.7z", ".7z"}};
    for (const char* hostile : {"../evil.pce", "../../../../../evil.pce", "/abs.pce",
                                "a\\..\\..\\b.pce", "dir/../../c.pce"})
        cases.emplace_back(hostile, ".pce");
    for (const auto& [name, suffix] : cases) {
        const auto zip = deep / "evil.zip";
        make_zip(zip, {{name, body}});
        EXPECT_EQ(crc(pce, zip), kRom) << name;

        auto extracted = pce.extract_from_zip(zip);
        ASSERT_TRUE(extracted) << extracted.error().message;
        EXPECT_EQ(extracted->parent_path().parent_path(), tmp.path()) << *extracted;
        EXPECT_EQ(extracted->extension().string(), suffix) << name;
        EXPECT_EQ(read_file(*extracted), body);
        fs::remove(*extracted);
        fs::remove(zip);
        EXPECT_EQ(tree(work.path()), before) << name;
    }
    EXPECT_FALSE(fs::exists("/abs.pce"));
    auto none = make("NES", "*.nes").extract_from_zip(archive("none.zip", {{"a.txt", "x"}}));
    ASSERT_TRUE(none) << none.error().message;
    EXPECT_TRUE(none->empty());
}

// A cache changes no answer and keeps only successes; an unchanged file is not read again,
// under any spelling of its path.
TEST_F(Identify, ACacheChangesNoAnswerAndSparesReadingUnchangedFiles) {
    const auto plain = work.write("game.nes", rom_with_crc(4096, 0x1234abcd));
    const auto zip = archive("set.zip", {{"a.txt", "text"}, {"g.nes", rom_with_crc(600, 0xcafe)}});
    const auto broken = work.write("broken.zip", "PK not really");
    const auto& uncached = make("NES", "*.nes");
    core::HashCache cache(work.path() / "checksums.sqlite");
    auto cached =
        core::Identifier::create(*corefixture::helper_library(), {"NES", "*.nes"}).value();
    cached.set_cache(&cache);
    for (int pass = 0; pass < 2; ++pass) {
        for (const std::uint16_t skip : {std::uint16_t{0}, std::uint16_t{16}}) {
            EXPECT_EQ(crc(cached, plain, skip), crc(uncached, plain, skip));
            EXPECT_EQ(crc(cached, zip, skip), crc(uncached, zip, skip));
        }
        error(cached, broken);
        error(cached, work.path() / "missing.nes");
    }
    EXPECT_EQ(cache.clear(), 4u); // two files under two skips; no failure

    // Only a lookup can give this text: the bytes say 1234abcd.
    const auto key = [&] {
        return core::CacheKey{plain.string(), core::stamp_of(plain).value(), "NES", 0, ""};
    };
    cache.store(key(), core::CrcText::from_value(0xdeadbeef));
    EXPECT_EQ(crc(cached, plain), "deadbeef");
    EXPECT_EQ(crc(cached, work.path() / "." / "game.nes"), "deadbeef");
    fs::last_write_time(plain, fs::last_write_time(plain) + std::chrono::seconds(1));
    EXPECT_EQ(crc(cached, plain), "1234abcd");
    EXPECT_EQ(cache.lookup(key()), core::CrcText::from_value(0x1234abcd));
}

} // namespace
