#include "hash_cache.h"

#include <sqlite3.h>

#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testsupport::read_file;
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

// The rule and the path as given are part of the key; a changed time is checked through the
// identifier (test_identify.cpp).
TEST_F(HashCacheTest, HitsOnlyForTheSameRuleWhileSizeTimeAndInodeStay) {
    const auto rom = dir.write("a.nes", "0123456789");
    core::HashCache cache(cache_file());
    ASSERT_TRUE(cache.usable()) << cache.problem();
    cache.store(key(rom, "NES", 16, ""), kWrong);
    EXPECT_EQ(cache.lookup(key(rom, "NES", 16, "")), kWrong);
    EXPECT_FALSE(cache.lookup(key(rom, "NES", 0, "")));
    EXPECT_FALSE(cache.lookup(key(rom, "SGENESIS", 16, "")));
    EXPECT_FALSE(cache.lookup(key(rom, "NES", 16, "*.nes")));
    EXPECT_FALSE(cache.lookup(key(dir.path() / "." / "a.nes", "NES", 16, "")));

    write_file(rom, "01234567890"); // another size
    EXPECT_FALSE(cache.lookup(key(rom, "NES", 16, "")));
    cache.store(key(rom), kWrong);
    const auto other = dir.write("b.nes", "abcdefghijk"); // same size, same time
    fs::last_write_time(other, fs::last_write_time(rom));
    fs::rename(other, rom);
    EXPECT_FALSE(cache.lookup(key(rom)));
}

// Stores span several transactions and outlive the run; an entry follows its file's move.
TEST_F(HashCacheTest, EntriesFollowMovesOutliveTheRunAndClearEmptiesThem) {
    const auto a = dir.write("a.nes", "aaaa");
    const auto b = dir.write("b.nes", "bbbb");
    const auto moved = dir.path() / "moved.nes";
    const auto n = core::HashCache::kStoresPerCommit * 2 + 10;
    const auto numbered = [&](std::size_t i) {
        auto k = key(b);
        k.path += std::to_string(i);
        return k;
    };
    {
        core::HashCache cache(cache_file());
        cache.store(key(a), kWrong);
        for (std::size_t i = 0; i < n; ++i)
            cache.store(numbered(i), core::CrcText::from_value(static_cast<std::uint32_t>(i)));
        fs::rename(a, moved);
        cache.moved(a.string(), moved.string());
    }
    core::HashCache cache(cache_file());
    ASSERT_TRUE(cache.usable()) << cache.problem();
    EXPECT_EQ(cache.lookup(key(moved)), kWrong);
    EXPECT_EQ(cache.lookup(numbered(n - 1)),
              core::CrcText::from_value(static_cast<std::uint32_t>(n - 1)));
    EXPECT_EQ(cache.clear(), n + 1);
    EXPECT_FALSE(cache.lookup(key(moved)));
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

TEST_F(HashCacheTest, FilesNotOursOrNotMadeAreReportedOnceAndLeftAlone) {
    const auto rom = dir.write("a.nes", "aaaa");
    write_file(cache_file(), std::string(5000, '\x5a'));
    const auto foreign = dir.path() / "foreign.sqlite";
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(foreign.c_str(), &db), SQLITE_OK);
    sqlite3_exec(db, "CREATE TABLE crc(x)", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    const std::pair<fs::path, const char*> cases[] = {
        {cache_file(), "not a database"},
        {foreign, "something other than checksums"},
        {rom / "checksums.sqlite", "cannot be opened"}, // below a plain file
    };
    for (const auto& [path, reason] : cases) {
        const std::string before = fs::exists(path) ? read_file(path) : "";
        {
            core::HashCache cache(path);
            expect_problem_once(cache, reason);
            EXPECT_EQ(cache.problem().find("left as it is") != std::string::npos, !before.empty());
            EXPECT_EQ(cache.unreadable().empty(), before.empty()) << path;
            expect_off(cache, rom);
        }
        EXPECT_TRUE(before.empty() || read_file(path) == before) << path;
    }
}

// Only when asked: the file and its log keep their bytes under another name, and a new
// cache takes the place.
TEST_F(HashCacheTest, AnUnreadableCacheIsSetAsideOnlyWhenAsked) {
    const auto rom = dir.write("a.nes", "aaaa");
    const std::string garbage(5000, '\x5a');
    write_file(cache_file(), garbage);
    core::HashCache cache(cache_file());
    write_file(cache_file().string() + "-wal", "old log");
    const auto aside = cache.set_aside();
    ASSERT_TRUE(aside) << cache.problem();
    EXPECT_EQ(aside->parent_path(), dir.path());
    EXPECT_TRUE(aside->filename().string().starts_with("checksums.sqlite.damaged-")) << *aside;
    EXPECT_EQ(read_file(*aside), garbage);
    EXPECT_EQ(read_file(aside->string() + "-wal"), "old log");
    EXPECT_TRUE(cache.usable() && cache.unreadable().empty() && cache.problem().empty());
    cache.store(key(rom), kWrong);
    EXPECT_EQ(cache.lookup(key(rom)), kWrong);
    EXPECT_FALSE(cache.set_aside()) << "a readable cache stays where it is";
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

} // namespace
