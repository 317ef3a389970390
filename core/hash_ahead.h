#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "identify.h"

namespace core {

/// Hashes a list of files on several threads ahead of a consumer that takes the results in
/// list order, so a run on two cores reports exactly what a run on one would.
///
///     HashAhead ahead(identifier, paths, skip);
///     for (std::size_t i = 0; i < paths.size(); ++i) use(ahead.next());
///
/// next() is called from one thread only. While the result it needs is still being
/// computed, the calling thread hashes a later file itself instead of sleeping, so
/// `threads` counts the caller: 1 hashes everything in next(), 2 adds one worker thread.
/// Nobody hashes more than `window` files past the consumer; destroying the object stops
/// the workers after the files they are hashing.
///
/// A file not in memory costs a wait for the disk far longer than its CRC, and a disk or a
/// network share serves many reads at once: with more than one thread, a reader asks the
/// system to fetch the next `reads` files past those being hashed (files the checksum cache
/// knows are skipped), so the hashing threads find them in memory. While it finds file after
/// file in memory already it only looks at some. One thread reads each file only when it
/// hashes it.
class HashAhead {
public:
    /// Reads kept in flight by default. Fixed rather than guessed from the device: a virtual
    /// disk calls itself rotating, and 32 fill the queue of a SATA disk, keep an SSD and a
    /// network share busy, and cost nothing when the files are already in memory.
    static constexpr std::size_t kReads = 32;

    /// `paths` are kept as plain strings: a path object per file would cost a collection of
    /// 100,000 files some 30 MiB and half a million allocations before the first hash.
    HashAhead(const Identifier& identifier, std::vector<std::string> paths, std::uint16_t skip,
              unsigned threads = default_threads(), std::size_t window = 256,
              std::size_t reads = kReads);
    ~HashAhead();
    HashAhead(const HashAhead&) = delete;
    HashAhead& operator=(const HashAhead&) = delete;

    /// The result for the next path in list order.
    Result<CrcText> next();
    std::size_t size() const { return m_paths.size(); }
    const std::string& path(std::size_t index) const { return m_paths[index]; }

    /// One thread per core, at least one.
    static unsigned default_threads();

private:
    struct Slot {
        std::atomic<std::uint32_t> ready{0};
        std::optional<Result<CrcText>> result;
    };
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

    /// Claims the next file to hash below `limit`; kNone when there is none.
    std::size_t claim(std::size_t limit);
    void hash(std::size_t index);
    void work();
    /// The reader: keeps the files just past the hashing threads on their way into memory.
    void read_ahead();
    /// Fetches the file unless the checksum cache knows it; false when no fetch was needed.
    bool fetch_unless_known(std::size_t index) const;
    /// Waits until the hashing threads have claimed the file at `index`; false when stopping.
    bool wait_for_front(std::size_t index);

    const Identifier& m_identifier;
    std::vector<std::string> m_paths;
    std::uint16_t m_skip;
    std::size_t m_window;
    std::size_t m_reads;
    std::unique_ptr<Slot[]> m_slots;
    std::atomic<std::size_t> m_next_to_hash{0};
    std::atomic<std::size_t> m_taken{0}; ///< results handed out; raised to stop the workers
    std::atomic<bool> m_stopping{false};
    /// Where the reader waits for the hashing threads to arrive; kNone when it does not wait.
    std::atomic<std::size_t> m_wake_reader_at{kNone};
    std::size_t m_next_to_take = 0;
    std::vector<std::thread> m_workers;
    std::thread m_reader;
};

} // namespace core
