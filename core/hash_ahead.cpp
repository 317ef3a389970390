#include "hash_ahead.h"

#include <algorithm>

namespace core {

HashAhead::HashAhead(const Identifier& identifier, std::vector<std::filesystem::path> paths,
                     std::uint16_t skip, unsigned threads, std::size_t window)
    : m_identifier(identifier), m_paths(std::move(paths)), m_skip(skip),
      m_window(std::max<std::size_t>(window, 1)), m_results(m_paths.size()) {
    threads = std::clamp<unsigned>(threads, 1, 64);
    threads = static_cast<unsigned>(
        std::min<std::size_t>(threads, std::max<std::size_t>(m_paths.size(), 1)));
    for (unsigned i = 0; i < threads; ++i)
        m_workers.emplace_back([this] { work(); });
}

HashAhead::~HashAhead() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_consumed.notify_all();
    for (auto& t : m_workers)
        t.join();
}

unsigned HashAhead::default_threads() {
    return std::max(1u, std::thread::hardware_concurrency());
}

void HashAhead::work() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_consumed.wait(lock, [this] {
            return m_stopping || m_next_to_hash >= m_paths.size() ||
                   m_next_to_hash < m_next_to_take + m_window;
        });
        if (m_stopping || m_next_to_hash >= m_paths.size())
            return;
        std::size_t index = m_next_to_hash++;
        lock.unlock();
        auto result = m_identifier.get_crc32(m_paths[index], m_skip);
        lock.lock();
        m_results[index].emplace(std::move(result));
        m_ready.notify_all();
    }
}

Result<CrcText> HashAhead::next() {
    std::unique_lock lock(m_mutex);
    if (m_next_to_take >= m_results.size())
        return Error::failed("no more files to hash");
    std::size_t index = m_next_to_take;
    m_ready.wait(lock, [&] { return m_results[index].has_value(); });
    Result<CrcText> result = std::move(*m_results[index]);
    m_results[index].reset();
    ++m_next_to_take;
    lock.unlock();
    m_consumed.notify_all();
    return result;
}

} // namespace core
