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
class HashAhead {
public:
    /// `paths` are kept as plain strings: a path object per file would cost a collection of
    /// 100,000 files some 30 MiB and half a million allocations before the first hash.
    HashAhead(const Identifier& identifier, std::vector<std::string> paths, std::uint16_t skip,
              unsigned threads = default_threads(), std::size_t window = 256);
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

    const Identifier& m_identifier;
    std::vector<std::string> m_paths;
    std::uint16_t m_skip;
    std::size_t m_window;
    std::unique_ptr<Slot[]> m_slots;
    std::atomic<std::size_t> m_next_to_hash{0};
    std::atomic<std::size_t> m_taken{0}; ///< results handed out; raised to stop the workers
    std::atomic<bool> m_stopping{false};
    std::size_t m_next_to_take = 0;
    std::vector<std::thread> m_workers;
};

} // namespace core
