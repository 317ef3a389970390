#include "hash_cache.h"

#include <sqlite3.h>

#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "hash_ahead.h"
#include "identify.h"
#include "rom_forge.h"
#include "temp_dir.h"
#include "zip_maker.h"

namespace {

namespace fs = std::filesystem;
using testsupport::read_file;
using testsupport::rom_with_crc;
using testsupport::TempDir;
using testsupport::write_file;

const core::CrcText kWrong(std::string_view("deadbeef"));

class HashCacheTest : public ::testing::Test {
protected:
    fs::path cache_file() const { return dir.path() / "checksums.sqlite"; }

    core::CacheKey key(const fs::path& file, std::string system = "NES", std::uint16_t skip = 0,
                       std::string member = "") const {
        auto stamp = core::stamp_of(file);
        EXPECT_TRUE(stamp) << file;
        return {file.string(), stamp.value_or(core::FileStamp{}), std::move(system), skip,
                std::move(member)};
    }

    static void expect_problem_once(core::HashCache& cache, const std::string& part) {
        EXPECT_FALSE(cache.usable());
        auto problem = cache.take_problem();
        ASSERT_TRUE(problem);
        EXPECT_NE(problem->find(part), std::string::npos) << *problem;
        EXPECT_NE(problem->find("is not used in this run"), std::string::npos) << *problem;
        EXPECT_FALSE(cache.take_problem());
    }

    // A cache that is off misses, drops stores and empties nothing, without failing.
    void expect_off(core::HashCache& cache, const fs::path& rom) {
        cache.store(key(rom), kWrong);
        EXPECT_FALSE(cache.lookup(key(rom)));
        cache.moved(rom.string(), rom.string() + ".x");
        EXPECT_FALSE(cache.clear());
    }

    TempDir dir;
};

TEST_F(HashCacheTest, HitsOnlyWhileSizeTimeAndInodeStayTheSame) {
    const auto rom = dir.write("a.nes", "0123456789");
    core::HashCache cache(cache_file());
    ASSERT_TRUE(cache.usable()) << cache.problem();
    cache.store(key(rom), kWrong);
    EXPECT_EQ(cache.lookup(key(rom)), kWrong);

    write_file(rom, "01234567890"); // another size
    EXPECT_FALSE(cache.lookup(key(rom)));

    cache.store(key(rom), kWrong);
    fs::last_write_time(rom, fs::last_write_time(rom) + std::chrono::seconds(5));
    EXPECT_FALSE(cache.lookup(key(rom)));

    cache.store(key(rom), kWrong);
    const auto other = dir.write("b.nes", "abcdefghijk"); // same size, same time
    fs::last_write_time(other, fs::last_write_time(rom));
    fs::rename(other, rom);
    EXPECT_FALSE(cache.lookup(key(rom)));
}

TEST_F(HashCacheTest, TheRuleIsPartOfTheKey) {
    const auto rom = dir.write("a.nes", "0123456789");
    core::HashCache cache(cache_file());
    cache.store(key(rom, "NES", 16, ""), kWrong);
    EXPECT_EQ(cache.lookup(key(rom, "NES", 16, "")), kWrong);
    EXPECT_FALSE(cache.lookup(key(rom, "NES", 0, "")));
    EXPECT_FALSE(cache.lookup(key(rom, "SGENESIS", 16, "")));
    EXPECT_FALSE(cache.lookup(key(rom, "NES", 16, "*.nes")));
    EXPECT_FALSE(cache.lookup(key(dir.path() / "." / "a.nes", "NES", 16, "")));
}

TEST_F(HashCacheTest, EntriesFollowMovesOutliveTheRunAndClearEmptiesThem) {
    const auto a = dir.write("a.nes", "aaaa");
    const auto b = dir.write("b.nes", "bbbb");
    {
        core::HashCache cache(cache_file());
        cache.store(key(a), kWrong);
        cache.store(key(b), core::CrcText::from_value(2));
        fs::rename(a, dir.path() / "moved.nes");
        cache.moved(a.string(), (dir.path() / "moved.nes").string());
    }
    core::HashCache cache(cache_file());
    ASSERT_TRUE(cache.usable()) << cache.problem();
    EXPECT_EQ(cache.lookup(key(dir.path() / "moved.nes")), kWrong);
    EXPECT_EQ(cache.lookup(key(b)), core::CrcText::from_value(2));
    EXPECT_EQ(cache.clear(), 2u);
    EXPECT_FALSE(cache.lookup(key(b)));
    EXPECT_EQ(cache.clear(), 0u);
    EXPECT_FALSE(cache.take_problem());
}

// A prefetched folder is answered from memory: what is stored, moved or cleared during the
// run must show there just as it would in the database.
TEST_F(HashCacheTest, APrefetchedFolderAnswersAsTheDatabaseWould) {
    const auto a = dir.write("roms/a.nes", "aaaa");
    const auto b = dir.write("roms/sub/b.nes", "bbbb");
    const auto outside = dir.write("romsX/c.nes", "cccc"); // sorts right after the folder
    {
        core::HashCache cache(cache_file());
        cache.store(key(a), kWrong);
        cache.store(key(a, "NES", 16), core::CrcText::from_value(16));
        cache.store(key(outside), core::CrcText::from_value(3));
    }
    core::HashCache cache(cache_file());
    cache.prefetch((dir.path() / "roms").string() + "/");
    EXPECT_EQ(cache.lookup(key(a)), kWrong);
    EXPECT_EQ(cache.lookup(key(a, "NES", 16)), core::CrcText::from_value(16));
    EXPECT_FALSE(cache.lookup(key(b)));
    EXPECT_EQ(cache.lookup(key(outside)), core::CrcText::from_value(3));

    cache.store(key(b), core::CrcText::from_value(2));
    for (std::size_t i = 0; i < core::HashCache::kQueuedStores; ++i) // past the queue
        cache.store(key(outside, "X" + std::to_string(i)), kWrong);
    EXPECT_EQ(cache.lookup(key(b)), core::CrcText::from_value(2));

    const auto moved = dir.path() / "roms" / "moved.nes";
    fs::rename(b, moved);
    cache.moved(b.string(), moved.string());
    EXPECT_EQ(cache.lookup(key(moved)), core::CrcText::from_value(2));
    write_file(a, "changed");
    EXPECT_FALSE(cache.lookup(key(a)));
    EXPECT_TRUE(cache.clear());
    EXPECT_FALSE(cache.lookup(key(moved)));
}

TEST_F(HashCacheTest, ManyStoresSpanSeveralTransactions) {
    const auto rom = dir.write("a.nes", "aaaa");
    const auto n = core::HashCache::kStoresPerCommit * 2 + 10;
    {
        core::HashCache cache(cache_file());
        for (std::size_t i = 0; i < n; ++i) {
            auto k = key(rom);
            k.path += std::to_string(i);
            cache.store(k, core::CrcText::from_value(static_cast<std::uint32_t>(i)));
        }
    }
    core::HashCache cache(cache_file());
    auto last = key(rom);
    last.path += std::to_string(n - 1);
    EXPECT_EQ(cache.lookup(last), core::CrcText::from_value(static_cast<std::uint32_t>(n - 1)));
    EXPECT_EQ(cache.clear(), n);
}

TEST_F(HashCacheTest, FilesNotOursAreReportedOnceAndLeftAlone) {
    const auto rom = dir.write("a.nes", "aaaa");
    const std::string garbage(5000, '\x5a');
    write_file(cache_file(), garbage);
    {
        core::HashCache cache(cache_file());
        expect_problem_once(cache, "not a database");
        EXPECT_NE(cache.problem().find("left as it is"), std::string::npos);
        expect_off(cache, rom);
    }
    EXPECT_EQ(read_file(cache_file()), garbage);

    const auto foreign = dir.path() / "foreign.sqlite";
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(foreign.c_str(), &db), SQLITE_OK);
    sqlite3_exec(db, "CREATE TABLE crc(x)", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    const std::string before = read_file(foreign);
    {
        core::HashCache cache(foreign);
        expect_problem_once(cache, "something other than checksums");
        expect_off(cache, rom);
    }
    EXPECT_EQ(read_file(foreign), before);
}

TEST_F(HashCacheTest, AFileThatCannotBeMadeIsReportedOnce) {
    const auto rom = dir.write("a.nes", "aaaa");
    core::HashCache cache(rom / "checksums.sqlite"); // below a plain file
    expect_problem_once(cache, "cannot be opened");
    expect_off(cache, rom);
}

// Another program holding the write lock beyond the busy timeout, at the open and later.
TEST_F(HashCacheTest, ALockedCacheIsReportedOnceAndTheRunGoesOn) {
    const auto rom = dir.write("a.nes", "aaaa");
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(cache_file().c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE; CREATE TABLE t(x)", nullptr, nullptr, nullptr),
              SQLITE_OK);
    {
        core::HashCache cache(cache_file());
        expect_problem_once(cache, "locked by another program");
        expect_off(cache, rom);
    }
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);

    const auto wal_file = dir.path() / "wal.sqlite";
    { core::HashCache fresh(wal_file); }
    core::HashCache cache(wal_file);
    ASSERT_TRUE(cache.usable()) << cache.problem();
    ASSERT_EQ(sqlite3_open(wal_file.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    cache.store(key(rom), kWrong);
    cache.close(); // stores wait in memory until a group is full or the cache closes
    expect_problem_once(cache, "locked by another program");
    expect_off(cache, rom);
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
}

class CachedIdentify : public HashCacheTest {
protected:
    void SetUp() override {
        auto zelcore = core::Zelcore::load_beside_executable();
        ASSERT_TRUE(zelcore) << zelcore.error().message;
        m_zelcore.emplace(std::move(zelcore.value()));
    }
    core::Identifier make(const std::string& id, const std::string& patterns) {
        auto identifier = core::Identifier::create(*m_zelcore, {id, patterns});
        if (!identifier)
            throw std::runtime_error(identifier.error().message);
        return std::move(identifier.value());
    }
    static std::string crc(const core::Identifier& identifier, const fs::path& file,
                           std::uint16_t skip = 0) {
        auto result = identifier.get_crc32(file, skip);
        return result ? result->str() : result.error().message;
    }
    std::optional<core::Zelcore> m_zelcore;
};

TEST_F(CachedIdentify, GivesTheSameTextsAsWithoutAndStoresOnlySuccesses) {
    const auto plain = dir.write("game.nes", rom_with_crc(4096, 0x1234abcd));
    const auto zip = dir.path() / "set.zip";
    testsupport::make_zip(zip, {{"readme.txt", "text"}, {"g.nes", rom_with_crc(600, 0x0badcafe)}});
    const auto broken = dir.write("broken.zip", "PK not really");
    const auto plain_ident = make("NES", "*.nes");
    core::HashCache cache(cache_file());
    auto cached = make("NES", "*.nes");
    cached.set_cache(&cache);
    for (int pass = 0; pass < 2; ++pass) {
        for (const std::uint16_t skip : {std::uint16_t{0}, std::uint16_t{16}}) {
            EXPECT_EQ(crc(cached, plain, skip), crc(plain_ident, plain, skip));
            EXPECT_EQ(crc(cached, zip, skip), crc(plain_ident, zip, skip));
        }
        EXPECT_FALSE(cached.get_crc32(broken, 0));
        EXPECT_FALSE(cached.get_crc32(dir.path() / "missing.nes", 0));
    }
    EXPECT_EQ(cache.clear(), 4u); // two files under two skips; no failure
}

TEST_F(CachedIdentify, AnUnchangedFileIsNotReadAgain) {
    const auto rom = dir.write("game.nes", rom_with_crc(4096, 0x1234abcd));
    core::HashCache cache(cache_file());
    auto ident = make("NES", "*.nes");
    ident.set_cache(&cache);
    // Only a lookup can give this text: the bytes say 1234abcd.
    cache.store(key(rom), kWrong);
    EXPECT_EQ(crc(ident, rom), "deadbeef");
    EXPECT_EQ(crc(ident, dir.path() / "." / "game.nes"), "deadbeef");
    fs::last_write_time(rom, fs::last_write_time(rom) + std::chrono::seconds(1));
    EXPECT_EQ(crc(ident, rom), "1234abcd");
    EXPECT_EQ(cache.lookup(key(rom)), core::CrcText(std::string_view("1234abcd")));
}

TEST_F(CachedIdentify, SeveralThreadsShareOneCache) {
    std::vector<std::string> paths;
    for (std::uint32_t i = 0; i < 64; ++i)
        paths.push_back(dir.write("r" + std::to_string(i) + ".nes", rom_with_crc(256, i)).string());
    core::HashCache cache(cache_file());
    auto ident = make("NES", "*.nes");
    ident.set_cache(&cache);
    for (int pass = 0; pass < 2; ++pass) {
        core::HashAhead ahead(ident, paths, 0, 4);
        for (std::uint32_t i = 0; i < paths.size(); ++i) {
            auto result = ahead.next();
            ASSERT_TRUE(result) << result.error().message;
            EXPECT_EQ(*result, core::CrcText::from_value(i));
        }
    }
    EXPECT_EQ(cache.clear(), paths.size());
}

} // namespace
