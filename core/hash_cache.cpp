#include "hash_cache.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <system_error>

#include "app_home.h"
#include "file_move.h"
#include "text.h"

namespace core {
namespace {

// "ZLKC": tells our cache files from any other SQLite file a user might have put here.
constexpr int kApplicationId = 0x5A4C4B43;
constexpr int kSchemaVersion = 1;
constexpr int kBusyTimeoutMs = 1000;
// A writer of another run waits at most the busy timeout: never hold the lock much longer.
constexpr auto kMaxTransactionAge = std::chrono::milliseconds(500);

constexpr const char* kLeftAlone = "; it is left as it is";

constexpr const char* kCreateSchema = "CREATE TABLE IF NOT EXISTS crc ("
                                      " path BLOB NOT NULL, system TEXT NOT NULL,"
                                      " skip INTEGER NOT NULL, member TEXT NOT NULL,"
                                      " size INTEGER NOT NULL, mtime_ns INTEGER NOT NULL,"
                                      " inode INTEGER NOT NULL, device INTEGER NOT NULL,"
                                      " crc TEXT NOT NULL,"
                                      " PRIMARY KEY (path, system, skip, member)"
                                      ") WITHOUT ROWID";

constexpr const char* kLookup = "SELECT size, mtime_ns, inode, device, crc FROM crc"
                                " WHERE path = ?1 AND system = ?2 AND skip = ?3 AND member = ?4";
constexpr const char* kStore = "INSERT OR REPLACE INTO crc"
                               " (path, system, skip, member, size, mtime_ns, inode, device, crc)"
                               " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)";
constexpr const char* kFetch = "SELECT path, system, skip, member, size, mtime_ns, inode, device,"
                               " crc FROM crc WHERE path >= ?1 AND path < ?2";
constexpr const char* kMove = "UPDATE OR REPLACE crc SET path = ?2 WHERE path = ?1";

// The inode compared first: it tells nearly every other file apart at once.
bool unreadable_code(int code) {
    return (code & 0xFF) == SQLITE_NOTADB || (code & 0xFF) == SQLITE_CORRUPT;
}

// "checksums.sqlite.damaged-20261208-101500", or with "-2"... when that is taken.
int move_aside(const std::filesystem::path& file, std::filesystem::path& aside) {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    ::gmtime_r(&now, &utc);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &utc);
    int err = EEXIST;
    for (int n = 1; n < 100 && err == EEXIST; ++n) {
        aside = file.string() + ".damaged-" + stamp + (n == 1 ? "" : "-" + std::to_string(n));
        err = rename_no_replace(file.c_str(), aside.c_str());
    }
    return err;
}

bool same_key(const CacheKey& a, const CacheKey& b) {
    return a.stamp == b.stamp && a.path == b.path && a.system == b.system && a.skip == b.skip &&
           a.member == b.member;
}

std::string reason_for(int code, sqlite3* db) {
    const std::string detail = db ? sqlite3_errmsg(db) : sqlite3_errstr(code);
    switch (code & 0xFF) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return "it is locked by another program";
    case SQLITE_CANTOPEN:
        return "it cannot be opened (" + detail + ")";
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_IOERR:
    case SQLITE_FULL:
        return "it cannot be written (" + detail + ")";
    default:
        return detail;
    }
}

void bind_text(sqlite3_stmt* s, int index, const std::string& text) {
    sqlite3_bind_text(s, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

// Paths are bytes on this platform, not necessarily UTF-8.
void bind_path(sqlite3_stmt* s, int index, const std::string& path) {
    sqlite3_bind_blob(s, index, path.data(), static_cast<int>(path.size()), SQLITE_TRANSIENT);
}

void bind_rule(sqlite3_stmt* s, const CacheKey& key) {
    bind_path(s, 1, key.path);
    bind_text(s, 2, key.system);
    sqlite3_bind_int(s, 3, key.skip);
    bind_text(s, 4, key.member);
}

FileStamp stamp_in_row(sqlite3_stmt* s) {
    return {sqlite3_column_int64(s, 0), sqlite3_column_int64(s, 1),
            static_cast<std::uint64_t>(sqlite3_column_int64(s, 2)),
            static_cast<std::uint64_t>(sqlite3_column_int64(s, 3))};
}

} // namespace

std::filesystem::path HashCache::default_file() {
    return app_home() / "checksums.sqlite";
}

HashCache::HashCache(std::filesystem::path file)
    : m_file(file.empty() ? default_file() : std::move(file)) {
    const std::lock_guard lock(m_mutex);
    if (open_file() && check_schema())
        prepare_statements();
}

HashCache::~HashCache() {
    close();
}

bool HashCache::open_file() {
    std::error_code ignored;
    std::filesystem::create_directories(m_file.parent_path(), ignored);
    const int code =
        sqlite3_open_v2(m_file.c_str(), &m_db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (code != SQLITE_OK) {
        fail(code);
        return false;
    }
    sqlite3_busy_timeout(m_db, kBusyTimeoutMs);
    return true;
}

// Only reads until it knows the file is ours: a file of anyone else is never written.
bool HashCache::check_schema() {
    sqlite3_stmt* s = nullptr;
    int code = sqlite3_prepare_v2(m_db,
                                  "SELECT (SELECT count(*) FROM sqlite_master),"
                                  " (SELECT application_id FROM pragma_application_id),"
                                  " (SELECT user_version FROM pragma_user_version)",
                                  -1, &s, nullptr);
    if (code == SQLITE_OK)
        code = sqlite3_step(s);
    if (code != SQLITE_ROW) {
        sqlite3_finalize(s);
        fail(code);
        return false;
    }
    const auto objects = sqlite3_column_int64(s, 0);
    const int id = sqlite3_column_int(s, 1);
    const int version = sqlite3_column_int(s, 2);
    sqlite3_finalize(s);
    if (objects == 0 && id == 0)
        return create_schema();
    if (id != kApplicationId) {
        turn_off_unreadable("it holds something other than checksums of this program");
        return false;
    }
    if (version != kSchemaVersion) {
        turn_off_unreadable("it was written by another version of this program (schema " +
                            std::to_string(version) + ")");
        return false;
    }
    return tune();
}

// The whole file of a large collection stays in memory: a lookup then reads no page.
bool HashCache::tune() {
    return exec("PRAGMA journal_mode = WAL") && exec("PRAGMA synchronous = NORMAL") &&
           exec("PRAGMA cache_size = -65536");
}

bool HashCache::create_schema() {
    const std::string pragmas = "PRAGMA application_id = " + std::to_string(kApplicationId) +
                                "; PRAGMA user_version = " + std::to_string(kSchemaVersion);
    return exec("BEGIN IMMEDIATE") && exec(kCreateSchema) && exec(pragmas.c_str()) &&
           exec("COMMIT") && tune();
}

bool HashCache::prepare_statements() {
    for (auto [sql, statement] :
         {std::pair{kLookup, &m_lookup}, std::pair{kStore, &m_store}, std::pair{kMove, &m_move}}) {
        const int code = sqlite3_prepare_v2(m_db, sql, -1, statement, nullptr);
        if (code != SQLITE_OK) {
            fail(code);
            return false;
        }
    }
    return true;
}

bool HashCache::exec(const char* sql) {
    const int code = sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr);
    if (code != SQLITE_OK) {
        fail(code);
        return false;
    }
    return true;
}

bool HashCache::begin_reading() {
    if (m_transaction != Transaction::None)
        return true;
    if (!exec("BEGIN"))
        return false;
    m_transaction = Transaction::Read;
    m_transaction_start = std::chrono::steady_clock::now();
    return true;
}

// A read transaction is never turned into a write one: when another run wrote in between,
// that upgrade fails at once instead of waiting for the lock.
bool HashCache::begin_writing() {
    if (m_transaction == Transaction::Write)
        return true;
    if (!commit() || !exec("BEGIN IMMEDIATE"))
        return false;
    m_transaction = Transaction::Write;
    m_pending = 0;
    m_transaction_start = std::chrono::steady_clock::now();
    return true;
}

bool HashCache::commit() {
    if (m_transaction == Transaction::None)
        return true;
    m_transaction = Transaction::None;
    return exec("COMMIT");
}

bool HashCache::commit_when_old() {
    if (m_pending >= kStoresPerCommit ||
        std::chrono::steady_clock::now() - m_transaction_start > kMaxTransactionAge)
        return commit();
    return true;
}

bool HashCache::write_step(sqlite3_stmt* statement) {
    const int code = sqlite3_step(statement);
    sqlite3_reset(statement);
    sqlite3_clear_bindings(statement);
    if (code != SQLITE_DONE) {
        fail(code);
        return false;
    }
    return true;
}

void HashCache::fail(int code) {
    if (unreadable_code(code))
        turn_off_unreadable("it is not a database (the file is damaged or of another kind)");
    else
        turn_off(reason_for(code, m_db));
}

void HashCache::turn_off_unreadable(std::string reason) {
    if (m_problem.empty())
        m_unreadable = reason;
    turn_off(std::move(reason) + kLeftAlone);
}

void HashCache::turn_off(std::string reason) {
    if (m_problem.empty())
        m_problem = "the checksum cache " + quoted(m_file) +
                    " is not used in this run: " + std::move(reason);
    m_off = true;
    finalize_statements();
    if (m_db) {
        // What was not committed is dropped: nothing half-written stays behind.
        if (m_transaction != Transaction::None)
            sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
    m_transaction = Transaction::None;
}

void HashCache::finalize_statements() {
    for (auto** statement : {&m_lookup, &m_store, &m_move}) {
        sqlite3_finalize(*statement);
        *statement = nullptr;
    }
}

std::optional<CrcText> HashCache::lookup(const CacheKey& key) {
    if (m_off)
        return std::nullopt;
    {
        // Stores below a fetched folder are remembered there too, queued or not.
        const std::shared_lock fetch_lock(m_fetch_mutex);
        if (fetched_covers(key.path))
            return find_fetched(key);
    }
    if (auto queued = find_queued(key))
        return queued;
    const std::lock_guard lock(m_mutex);
    // A transaction left open since long ago would show what others wrote meanwhile late.
    if (!m_db || !commit_when_old() || !begin_reading())
        return std::nullopt;
    bind_rule(m_lookup, key);
    std::optional<CrcText> found;
    const int code = sqlite3_step(m_lookup);
    if (code == SQLITE_ROW && stamp_in_row(m_lookup) == key.stamp &&
        sqlite3_column_bytes(m_lookup, 4) == 8) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_lookup, 4));
        found = CrcText(std::string_view(text, 8));
    }
    sqlite3_reset(m_lookup);
    sqlite3_clear_bindings(m_lookup);
    if (code != SQLITE_ROW && code != SQLITE_DONE)
        fail(code);
    else
        commit_when_old();
    return found;
}

std::optional<CrcText> HashCache::find_queued(const CacheKey& key) {
    if (m_queued.load(std::memory_order_acquire) == 0)
        return std::nullopt;
    const std::lock_guard queue_lock(m_queue_mutex);
    for (auto it = m_queue.rbegin(); it != m_queue.rend(); ++it)
        if (same_key(it->key, key))
            return it->crc;
    return std::nullopt;
}

void HashCache::prefetch(std::string_view folder) {
    if (m_off || folder.empty() || folder.back() != '/')
        return;
    const std::lock_guard lock(m_mutex);
    write_queue();
    sqlite3_stmt* fetch = nullptr;
    if (!m_db || !commit() || sqlite3_prepare_v2(m_db, kFetch, -1, &fetch, nullptr) != SQLITE_OK) {
        sqlite3_finalize(fetch);
        return;
    }
    // Every path below the folder sorts between "folder/" and "folder0": '0' follows '/'.
    std::string end(folder);
    end.back() = static_cast<char>('/' + 1);
    bind_path(fetch, 1, std::string(folder));
    bind_path(fetch, 2, end);
    const std::unique_lock fetch_lock(m_fetch_mutex);
    int code = SQLITE_ROW;
    while ((code = sqlite3_step(fetch)) == SQLITE_ROW) {
        if (sqlite3_column_bytes(fetch, 8) != 8)
            continue;
        std::string path(static_cast<const char*>(sqlite3_column_blob(fetch, 0)),
                         static_cast<std::size_t>(sqlite3_column_bytes(fetch, 0)));
        auto text = [&](int column) {
            return std::string(reinterpret_cast<const char*>(sqlite3_column_text(fetch, column)),
                               static_cast<std::size_t>(sqlite3_column_bytes(fetch, column)));
        };
        FileStamp stamp{sqlite3_column_int64(fetch, 4), sqlite3_column_int64(fetch, 5),
                        static_cast<std::uint64_t>(sqlite3_column_int64(fetch, 6)),
                        static_cast<std::uint64_t>(sqlite3_column_int64(fetch, 7))};
        m_fetched[std::move(path)].push_back(
            {text(1), static_cast<std::uint16_t>(sqlite3_column_int(fetch, 2)), text(3), stamp,
             CrcText(text(8))});
    }
    sqlite3_finalize(fetch);
    if (code != SQLITE_DONE) {
        m_fetched.clear();
        fail(code);
        return;
    }
    m_fetched_folders.emplace_back(folder);
}

bool HashCache::fetched_covers(std::string_view path) const {
    for (const auto& folder : m_fetched_folders)
        if (path.starts_with(folder))
            return true;
    return false;
}

std::optional<CrcText> HashCache::find_fetched(const CacheKey& key) const {
    auto it = m_fetched.find(key.path);
    if (it == m_fetched.end())
        return std::nullopt;
    for (const auto& entry : it->second)
        if (entry.stamp == key.stamp && entry.system == key.system && entry.skip == key.skip &&
            entry.member == key.member)
            return entry.crc;
    return std::nullopt;
}

// A store below a fetched folder is remembered there too: a lookup of it later in the run
// asks only the memory.
void HashCache::remember_fetched(const CacheKey& key, const CrcText& crc) {
    const std::unique_lock fetch_lock(m_fetch_mutex);
    if (!fetched_covers(key.path))
        return;
    auto& entries = m_fetched[key.path];
    std::erase_if(entries, [&](const Fetched& e) {
        return e.system == key.system && e.skip == key.skip && e.member == key.member;
    });
    entries.push_back({key.system, key.skip, key.member, key.stamp, crc});
}

void HashCache::store(const CacheKey& key, const CrcText& crc) {
    if (m_off)
        return;
    remember_fetched(key, crc);
    std::vector<QueuedStore> full;
    {
        const std::lock_guard queue_lock(m_queue_mutex);
        m_queue.push_back({key, crc});
        m_queued.store(m_queue.size(), std::memory_order_release);
        if (m_queue.size() < kQueuedStores)
            return;
        full.swap(m_queue);
        m_queued.store(0, std::memory_order_release);
    }
    const std::lock_guard lock(m_mutex);
    write_stores(full);
}

void HashCache::write_queue() {
    std::vector<QueuedStore> queued;
    {
        const std::lock_guard queue_lock(m_queue_mutex);
        queued.swap(m_queue);
        m_queued.store(0, std::memory_order_release);
    }
    write_stores(queued);
}

void HashCache::write_stores(const std::vector<QueuedStore>& stores) {
    for (const auto& [key, crc] : stores) {
        if (!m_db || !begin_writing())
            return;
        bind_rule(m_store, key);
        sqlite3_bind_int64(m_store, 5, key.stamp.size);
        sqlite3_bind_int64(m_store, 6, key.stamp.mtime_ns);
        sqlite3_bind_int64(m_store, 7, static_cast<sqlite3_int64>(key.stamp.inode));
        sqlite3_bind_int64(m_store, 8, static_cast<sqlite3_int64>(key.stamp.device));
        const auto text = crc.view();
        sqlite3_bind_text(m_store, 9, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        if (!write_step(m_store))
            return;
        ++m_pending;
        commit_when_old();
    }
}

void HashCache::moved(const std::string& from, const std::string& to) {
    {
        const std::unique_lock fetch_lock(m_fetch_mutex);
        if (auto node = m_fetched.extract(from)) {
            node.key() = to;
            m_fetched.erase(to);
            m_fetched.insert(std::move(node));
        }
    }
    const std::lock_guard lock(m_mutex);
    write_queue(); // a file stored and moved in one run must be found at its new path
    if (!m_db || !begin_writing())
        return;
    bind_path(m_move, 1, from);
    bind_path(m_move, 2, to);
    if (write_step(m_move)) {
        ++m_pending;
        commit_when_old();
    }
}

std::optional<std::size_t> HashCache::clear() {
    const std::lock_guard lock(m_mutex);
    write_queue();
    {
        const std::unique_lock fetch_lock(m_fetch_mutex);
        m_fetched.clear();
    }
    if (!m_db || !begin_writing() || !exec("DELETE FROM crc"))
        return std::nullopt;
    const auto removed = static_cast<std::size_t>(sqlite3_changes64(m_db));
    if (!commit())
        return std::nullopt;
    return removed;
}

std::string HashCache::unreadable() const {
    const std::lock_guard lock(m_mutex);
    return m_unreadable;
}

std::optional<std::filesystem::path> HashCache::set_aside() {
    const std::lock_guard lock(m_mutex);
    if (m_unreadable.empty())
        return std::nullopt;
    // A log left beside the old file would be read into the new one: it goes along.
    const std::filesystem::path wal = m_file.string() + "-wal", shm = m_file.string() + "-shm";
    std::filesystem::path aside;
    int err = move_aside(m_file, aside);
    if (err == 0 && path_taken(wal))
        err = ::rename(wal.c_str(), (aside.string() + "-wal").c_str()) == 0 ? 0 : errno;
    if (err != 0) {
        m_problem = "the checksum cache " + quoted(m_file) +
                    " could not be moved aside: " + std::strerror(err);
        return std::nullopt;
    }
    ::unlink(shm.c_str());
    return open_anew() ? std::optional(aside) : std::nullopt;
}

bool HashCache::open_anew() {
    m_problem.clear();
    m_problem_taken = false;
    m_unreadable.clear();
    if (!open_file() || !check_schema() || !prepare_statements())
        return false;
    m_off = false;
    return true;
}

void HashCache::close() {
    const std::lock_guard lock(m_mutex);
    write_queue();
    if (!m_db)
        return;
    if (!commit())
        return;
    finalize_statements();
    sqlite3_close_v2(m_db);
    m_db = nullptr;
    m_off = true;
}

bool HashCache::usable() const {
    const std::lock_guard lock(m_mutex);
    return m_db != nullptr;
}

std::optional<std::string> HashCache::take_problem() {
    const std::lock_guard lock(m_mutex);
    if (m_problem.empty() || m_problem_taken)
        return std::nullopt;
    m_problem_taken = true;
    return m_problem;
}

std::string HashCache::problem() const {
    const std::lock_guard lock(m_mutex);
    return m_problem;
}

} // namespace core
