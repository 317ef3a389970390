#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "crc_text.h"
#include "file_stamp.h"

struct sqlite3;
struct sqlite3_stmt;

namespace core {

/// Which file, in which state, under which identification rule a CRC text was made.
struct CacheKey {
    std::string path; ///< absolute; for a ZIP archive the archive itself
    FileStamp stamp;
    std::string system; ///< the system id whose rules applied
    std::uint16_t skip = 0;
    /// What picks the member of a ZIP archive (the system's patterns); empty for a plain file.
    std::string member;
};

/// CRC texts of files already read, kept in an SQLite file in the home, so that a rescan of
/// an unchanged collection reads no file twice.
///
/// The cache never fails a run: when its file is damaged, of another kind, locked beyond
/// the busy timeout or cannot be written, it tells so once (take_problem) and from then on
/// every lookup misses and every store is dropped. It never removes or rewrites a file it
/// cannot read as its own. All calls may come from several threads at once.
class HashCache {
public:
    /// Stores are committed in one transaction per this many, so a run of 100,000 files
    /// does not wait for a disk sync per file.
    static constexpr std::size_t kStoresPerCommit = 4096;
    /// Stores wait in memory in groups of this many, so that threads hashing side by side
    /// do not queue for the database once per file.
    static constexpr std::size_t kQueuedStores = 256;

    /// Opens (creating when missing) the cache file; `checksums.sqlite` in the home when
    /// empty. A problem does not stop the open: the cache is then off.
    explicit HashCache(std::filesystem::path file = {});
    ~HashCache();
    HashCache(const HashCache&) = delete;
    HashCache& operator=(const HashCache&) = delete;

    static std::filesystem::path default_file();

    /// The CRC text stored under exactly this key; nothing when any part differs.
    std::optional<CrcText> lookup(const CacheKey& key);
    /// Reads every entry of the files below `folder` (a full path ending in the separator)
    /// into memory with one query, so that a scan of the folder asks the database nothing
    /// more and its threads do not take turns at it.
    void prefetch(std::string_view folder);
    void store(const CacheKey& key, const CrcText& crc);
    /// A file was renamed or moved within its file system: its entries follow it.
    void moved(const std::string& from, const std::string& to);
    /// Removes every entry; the count removed, or nothing when the cache is off.
    std::optional<std::size_t> clear();
    /// Why the file cannot be read as this program's cache (damaged, of another kind or of
    /// another version); empty when it can, or when the cache is off for another reason.
    std::string unreadable() const;
    /// Moves a file unreadable() names aside to "<file>.damaged-<UTC time>" (its write-ahead
    /// log beside it) and starts a new, empty cache in its place. The new name of the old
    /// file; nothing, with the reason in problem(), when it could not be moved or the new
    /// cache is not usable.
    std::optional<std::filesystem::path> set_aside();
    /// Commits what is pending and closes the file; later calls see a cache that is off.
    void close();

    bool usable() const;
    const std::filesystem::path& file() const { return m_file; }
    /// The problem that turned the cache off, the first time it is asked for; later nothing.
    std::optional<std::string> take_problem();
    /// The problem that turned the cache off; empty while there is none.
    std::string problem() const;

private:
    bool open_file();
    bool check_schema();
    bool create_schema();
    bool tune();
    bool prepare_statements();
    bool exec(const char* sql);
    bool begin_reading();
    bool begin_writing();
    bool commit();
    bool commit_when_old();
    bool write_step(sqlite3_stmt* statement);
    struct QueuedStore {
        CacheKey key;
        CrcText crc;
    };
    void write_stores(const std::vector<QueuedStore>& stores);
    std::optional<CrcText> find_queued(const CacheKey& key);
    struct Fetched {
        std::string system;
        std::uint16_t skip = 0;
        std::string member;
        FileStamp stamp;
        CrcText crc;
    };
    bool fetched_covers(std::string_view path) const;
    std::optional<CrcText> find_fetched(const CacheKey& key) const;
    void remember_fetched(const CacheKey& key, const CrcText& crc);
    void write_queue();
    void fail(int code);
    void turn_off(std::string reason);
    void turn_off_unreadable(std::string reason);
    bool open_anew();
    void finalize_statements();

    std::filesystem::path m_file;
    mutable std::mutex m_mutex;
    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_lookup = nullptr;
    sqlite3_stmt* m_store = nullptr;
    sqlite3_stmt* m_move = nullptr;
    /// Lookups run inside a transaction too: one per lookup would lock and unlock the
    /// journal index twice per file.
    enum class Transaction { None, Read, Write };
    Transaction m_transaction = Transaction::None;
    std::size_t m_pending = 0;
    std::chrono::steady_clock::time_point m_transaction_start;
    std::string m_problem;
    std::string m_unreadable;
    bool m_problem_taken = false;
    std::atomic<bool> m_off{false};
    std::mutex m_queue_mutex; ///< taken after m_mutex when both are held
    std::vector<QueuedStore> m_queue;
    std::atomic<std::size_t> m_queued{0}; ///< m_queue's size, read without the lock
    /// What prefetch read: the folders it covers and their entries by path.
    mutable std::shared_mutex m_fetch_mutex;
    std::vector<std::string> m_fetched_folders;
    std::unordered_map<std::string, std::vector<Fetched>> m_fetched;
};

} // namespace core
