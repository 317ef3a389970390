#include "hash_ahead.h"

#include <algorithm>

#include <fcntl.h>
#include <sys/uio.h>
#include <unistd.h>

namespace core {
namespace {

// What the reader asks for of each file: all of a cartridge, the start of a disc image,
// whose rest the system reads ahead by itself once the file is read in order.
constexpr off_t kFetchBytes = 4 << 20;
// After this many files in a row found in memory, the reader looks at one file in
// kSampleEvery only, so that a tree in memory is hashed as fast as without it.
constexpr std::size_t kInMemoryRun = 64;
constexpr std::size_t kSampleEvery = 16;

// Asks the system to bring the start of a file into memory, without waiting; false when it
// was there already (or cannot be opened). Never blocks on a pipe or a device, and never
// makes one the controlling terminal.
bool fetch(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return false;
    char byte = 0;
    iovec first{&byte, 1};
    const bool in_memory = ::preadv2(fd, &first, 1, 0, RWF_NOWAIT) >= 0;
    if (!in_memory)
        ::posix_fadvise(fd, 0, kFetchBytes, POSIX_FADV_WILLNEED);
    ::close(fd);
    return !in_memory;
}

} // namespace

HashAhead::HashAhead(const Identifier& identifier, std::vector<std::string> paths,
                     std::uint16_t skip, unsigned threads, std::size_t window, std::size_t reads)
    : m_identifier(identifier), m_paths(std::move(paths)), m_skip(skip),
      m_window(std::max<std::size_t>(window, 1)), m_reads(reads),
      m_slots(std::make_unique<Slot[]>(m_paths.size())) {
    std::size_t helpers = std::clamp<unsigned>(threads, 1, 64) - 1;
    helpers = std::min(helpers, m_paths.size());
    for (std::size_t i = 0; i < helpers; ++i)
        m_workers.emplace_back([this] { work(); });
    if (helpers > 0 && m_reads > 0 && m_paths.size() > 1)
        m_reader = std::thread([this] { read_ahead(); });
}

HashAhead::~HashAhead() {
    m_stopping.store(true);
    // Wake workers that wait for the consumer to move on, and the reader.
    m_taken.store(m_paths.size() + m_window + 1);
    m_taken.notify_all();
    m_wake_reader_at.store(kNone);
    m_wake_reader_at.notify_all();
    for (auto& t : m_workers)
        t.join();
    if (m_reader.joinable())
        m_reader.join();
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
    if (next + 1 >= m_wake_reader_at.load() && m_wake_reader_at.exchange(kNone) != kNone)
        m_wake_reader_at.notify_one();
    return next;
}

void HashAhead::read_ahead() {
    std::size_t next = 0;
    std::size_t in_memory = 0; // files in a row that needed no fetching
    while (!m_stopping.load()) {
        // What the hashing threads have taken is being read already.
        next = std::max(next, m_next_to_hash.load());
        if (next >= m_paths.size())
            return;
        if (next >= m_next_to_hash.load() + m_reads) {
            // Enough in flight: go on once the hashing threads have taken half of it.
            if (!wait_for_front(next - m_reads / 2))
                return;
            continue;
        }
        if (in_memory < kInMemoryRun || next % kSampleEvery == 0)
            in_memory = fetch_unless_known(next) ? 0 : in_memory + 1;
        ++next;
    }
}

bool HashAhead::fetch_unless_known(std::size_t index) const {
    return !m_identifier.known_crc32(m_paths[index], m_skip) && fetch(m_paths[index]);
}

bool HashAhead::wait_for_front(std::size_t index) {
    m_wake_reader_at.store(index);
    while (m_next_to_hash.load() < index && !m_stopping.load())
        m_wake_reader_at.wait(index);
    m_wake_reader_at.store(kNone);
    return !m_stopping.load();
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
