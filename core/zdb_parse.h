#pragma once

// The database parser behind load_zdb and read_zdb_version, over any byte source, so
// that the same code reads files in chunks and byte buffers in the fuzz target.
// Internal to the core library and its tests; the public interface is zdb.h.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "zdb.h"

namespace core::zdb_internal {

/// Where the parser's bytes come from.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    /// Up to `size` bytes into `out`: the count, 0 at the end, -1 on a read error.
    virtual std::ptrdiff_t read(unsigned char* out, std::size_t size) = 0;
    /// Moves to an absolute offset; false when that is not possible.
    virtual bool seek(std::uint64_t offset) = 0;
    /// The reason of the last failed read, for messages.
    virtual std::string error_text() const { return "read error"; }
};

/// A byte buffer as a source (the buffer must outlive the source).
class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::span<const unsigned char> bytes) : m_bytes(bytes) {}
    std::ptrdiff_t read(unsigned char* out, std::size_t size) override {
        std::size_t n = std::min(size, m_bytes.size() - m_pos);
        if (n > 0)
            std::memcpy(out, m_bytes.data() + m_pos, n);
        m_pos += n;
        return static_cast<std::ptrdiff_t>(n);
    }
    bool seek(std::uint64_t offset) override {
        if (offset > m_bytes.size())
            return false;
        m_pos = static_cast<std::size_t>(offset);
        return true;
    }

private:
    std::span<const unsigned char> m_bytes;
    std::size_t m_pos = 0;
};

/// Reads a source through a fixed buffer. Databases reach a few megabytes and their
/// tables are kept, so the file itself is never held whole in memory.
class BufferedReader {
public:
    static constexpr std::size_t kDefaultCapacity = 64 * 1024;

    explicit BufferedReader(ByteSource& source, std::size_t capacity = kDefaultCapacity)
        : m_source(source), m_capacity(capacity == 0 ? 1 : capacity),
          m_buffer(std::make_unique<unsigned char[]>(m_capacity)) {}

    /// Copies exactly `size` bytes; false when the source ends or fails first.
    bool read(unsigned char* out, std::size_t size) {
        if (m_end - m_pos >= size) {
            if (size > 0)
                std::memcpy(out, m_buffer.get() + m_pos, size);
            m_pos += size;
            return true;
        }
        return read_slow(out, size);
    }

    bool read_byte(unsigned char& out) { return read(&out, 1); }

    /// Passes over exactly `size` bytes; false when the source ends or fails first.
    bool skip(std::size_t size) {
        while (size > 0) {
            if (m_pos == m_end && !fill())
                return false;
            std::size_t n = std::min(size, m_end - m_pos);
            m_pos += n;
            size -= n;
        }
        return true;
    }

    /// True when no byte is left (or the source failed; see failed()).
    bool at_end() { return m_pos == m_end && !fill(); }

    bool failed() const { return m_failed; }
    std::string error_text() const { return m_source.error_text(); }

    /// The source offset of the next byte.
    std::uint64_t offset() const { return m_base + m_pos; }

    bool seek(std::uint64_t offset) {
        if (!m_source.seek(offset))
            return false;
        m_base = offset;
        m_pos = m_end = 0;
        m_failed = false;
        return true;
    }

private:
    bool fill() {
        if (m_failed)
            return false;
        m_base += m_end;
        m_pos = m_end = 0;
        std::ptrdiff_t n = m_source.read(m_buffer.get(), m_capacity);
        if (n < 0) {
            m_failed = true;
            return false;
        }
        m_end = static_cast<std::size_t>(n);
        return n > 0;
    }

    bool read_slow(unsigned char* out, std::size_t size) {
        while (size > 0) {
            if (m_pos == m_end && !fill())
                return false;
            std::size_t n = std::min(size, m_end - m_pos);
            std::memcpy(out, m_buffer.get() + m_pos, n);
            m_pos += n;
            out += n;
            size -= n;
        }
        return true;
    }

    ByteSource& m_source;
    std::size_t m_capacity;
    std::unique_ptr<unsigned char[]> m_buffer;
    std::uint64_t m_base = 0; // source offset of m_buffer[0]
    std::size_t m_pos = 0;
    std::size_t m_end = 0;
    bool m_failed = false;
};

/// The header fields of `mode` (kZdbFull reads as far as kZdbHeaderAndInfo). An unusable
/// file gives number = -1, empty fields and a reason naming `display_name`.
ZdbHeader parse_zdb_header(BufferedReader& in, int mode, std::string_view display_name);

/// How reading the ROM records ended.
enum class RecordsEnd {
    Complete, ///< every record was read
    CutShort, ///< the source ends inside a record: the entries before it were kept
    Stopped,  ///< `progress` asked to stop: `roms` is empty
    Failed,   ///< the source failed: `roms` is empty
};

/// The ROM records from the reader's position to the end, replacing `roms`. A record cut
/// short adds no entry. `progress` (when given) is polled for Stop every few thousand records.
RecordsEnd parse_zdb_records(BufferedReader& in, int crc_count, RomTable& roms,
                             const Progress* progress = nullptr);

/// Completes a full load's header from how its records ended: the warning of a cut-short
/// file, the mark of a stopped load, or an unusable header when the source failed.
ZdbHeader finish_full_load(ZdbHeader header, RecordsEnd end, const RomTable& roms,
                           BufferedReader& in, std::string_view display_name);

/// The version text as read_zdb_version gives it.
std::string parse_zdb_version(BufferedReader& in);

/// load_zdb without the file and the first-load notice: the whole parse of a buffer.
ZdbHeader parse_zdb_bytes(std::span<const unsigned char> bytes, int mode, RomTable* roms,
                          std::size_t buffer_capacity = BufferedReader::kDefaultCapacity,
                          const Progress* progress = nullptr);

} // namespace core::zdb_internal
