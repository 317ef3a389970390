#include "hash_ahead.h"

#include <algorithm>

namespace core {

HashAhead::HashAhead(const Identifier& identifier, std::vector<std::string> paths,
                     std::uint16_t skip, unsigned threads, std::size_t window)
    : m_identifier(identifier), m_paths(std::move(paths)), m_skip(skip),
      m_window(std::max<std::size_t>(window, 1)),
      m_slots(std::make_unique<Slot[]>(m_paths.size())) {
    std::size_t helpers = std::clamp<unsigned>(threads, 1, 64) - 1;
    helpers = std::min(helpers, m_paths.size());
    for (std::size_t i = 0; i < helpers; ++i)
        m_workers.emplace_back([this] { work(); });
}

HashAhead::~HashAhead() {
    m_stopping.store(true);
    // Wake workers that wait for the consumer to move on.
    m_taken.store(m_paths.size() + m_window + 1);
    m_taken.notify_all();
    for (auto& t : m_workers)
        t.join();
}

unsigned HashAhead::default_threads() {
    return std::max(1u, std::thread::hardware_concurrency());
}

std::size_t HashAhead::claim(std::size_t limit) {
    limit = std::min(limit, m_paths.size());
    std::size_t next = m_next_to_hash.load();
    do {
        if (next >= limit)
            return kNone;
    } while (!m_next_to_hash.compare_exchange_weak(next, next + 1));
    return next;
}

void HashAhead::hash(std::size_t index) {
    Slot& slot = m_slots[index];
    slot.result.emplace(m_identifier.get_crc32(m_paths[index], m_skip));
    slot.ready.store(1, std::memory_order_release);
    slot.ready.notify_one();
}

void HashAhead::work() {
    while (!m_stopping.load()) {
        std::size_t taken = m_taken.load();
        std::size_t index = claim(taken + m_window);
        if (index != kNone) {
            hash(index);
        } else if (m_next_to_hash.load() >= m_paths.size()) {
            return;
        } else {
            m_taken.wait(taken); // the window is full: wait for the consumer
        }
    }
}

Result<CrcText> HashAhead::next() {
    if (m_next_to_take >= m_paths.size())
        return Error::failed("no more files to hash");
    std::size_t index = m_next_to_take++;
    Slot& slot = m_slots[index];
    while (!slot.ready.load(std::memory_order_acquire)) {
        // Rather than sleep, hash a later file; wait only when none is left to take.
        std::size_t other = claim(index + m_window);
        if (other == kNone) {
            slot.ready.wait(0, std::memory_order_acquire);
            break;
        }
        hash(other);
    }
    Result<CrcText> result = std::move(*slot.result);
    slot.result.reset();
    m_taken.store(index + 1);
    m_taken.notify_all();
    return result;
}

} // namespace core
