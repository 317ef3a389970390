#pragma once

#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "identify.h"

namespace core {

/// Hashes a list of files on worker threads ahead of a consumer that takes the results in
/// list order, so a run on two cores reports exactly what a run on one would.
///
///     HashAhead ahead(identifier, paths, skip);
///     for (std::size_t i = 0; i < paths.size(); ++i) use(ahead.next());
///
/// next() is called from one thread only. Workers stay at most `window` files ahead;
/// destroying the object stops them after the files they are hashing.
class HashAhead {
public:
    HashAhead(const Identifier& identifier, std::vector<std::filesystem::path> paths,
              std::uint16_t skip, unsigned threads = default_threads(), std::size_t window = 256);
    ~HashAhead();
    HashAhead(const HashAhead&) = delete;
    HashAhead& operator=(const HashAhead&) = delete;

    /// The result for the next path in list order; blocks until it is ready.
    Result<CrcText> next();
    std::size_t size() const { return m_paths.size(); }

    /// One worker per core, at least one.
    static unsigned default_threads();

private:
    void work();

    const Identifier& m_identifier;
    std::vector<std::filesystem::path> m_paths;
    std::uint16_t m_skip;
    std::size_t m_window;

    std::mutex m_mutex;
    std::condition_variable m_ready;    // a result was stored
    std::condition_variable m_consumed; // the consumer moved on
    std::vector<std::optional<Result<CrcText>>> m_results;
    std::size_t m_next_to_hash = 0;
    std::size_t m_next_to_take = 0;
    bool m_stopping = false;
    std::vector<std::thread> m_workers;
};

} // namespace core
