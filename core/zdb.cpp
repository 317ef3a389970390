#include "zdb.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "cp1252.h"
#include "progress.h"
#include "prompter.h"
#include "settings.h"
#include "text.h"
#include "zdb_parse.h"

namespace core {
namespace zdb_internal {
namespace {

constexpr std::size_t kMaxShortText = 255;
// Records read between two looks at Stop: a few milliseconds of loading.
constexpr std::size_t kStopPollRecords = 4096;

ZdbHeader unusable(std::string reason) {
    ZdbHeader header;
    header.number = -1;
    header.error = std::move(reason);
    return header;
}

std::string not_a_database(std::string_view name, std::string_view why) {
    return "'" + std::string(name) + "' is not a ROM database: " + std::string(why);
}

std::string read_failure(BufferedReader& in, std::string_view name) {
    return "cannot read '" + std::string(name) + "': " + in.error_text();
}

std::uint32_t little_endian(const unsigned char* b, std::size_t size) {
    std::uint32_t value = 0;
    for (std::size_t i = size; i-- > 0;)
        value = (value << 8) | b[i];
    return value;
}

bool read_u32(BufferedReader& in, std::uint32_t& out) {
    unsigned char b[4];
    if (!in.read(b, 4))
        return false;
    out = little_endian(b, 4);
    return true;
}

bool read_i16(BufferedReader& in, std::int16_t& out) {
    unsigned char b[2];
    if (!in.read(b, 2))
        return false;
    out = static_cast<std::int16_t>(static_cast<std::uint16_t>(little_endian(b, 2)));
    return true;
}

// A length byte and that many Windows-1252 bytes, as UTF-8.
bool read_short_text(BufferedReader& in, std::string& out) {
    unsigned char length = 0;
    unsigned char bytes[kMaxShortText];
    if (!in.read_byte(length) || !in.read(bytes, length))
        return false;
    out = cp1252_to_utf8(std::string_view(reinterpret_cast<const char*>(bytes), length));
    return true;
}

bool skip_short_text(BufferedReader& in) {
    unsigned char length = 0;
    return in.read_byte(length) && in.skip(length);
}

// One ROM record as stored. `length` is the unscrambled name length.
struct RawRecord {
    std::uint32_t crc = 0;  // unscrambled
    std::uint32_t crc2 = 0; // unscrambled, format 1 only
    unsigned length = 0;
};

// Reads the fixed part of a record; false when it is cut short.
bool read_record_head(BufferedReader& in, int crc_count, RawRecord& rec) {
    unsigned char b[9];
    std::size_t size = crc_count == 2 ? 9 : 5;
    if (!in.read(b, size))
        return false;
    std::uint32_t stored = little_endian(b + 1, 4);
    rec.length = b[0] ^ (stored & 0xFFu);
    rec.crc = stored ^ kZdbScrambleMask;
    if (crc_count == 2)
        rec.crc2 = little_endian(b + 5, 4) ^ kZdbScrambleMask;
    return true;
}

bool stop_asked(const Progress* progress, std::size_t records) {
    return progress && records % kStopPollRecords == 0 && progress->stop_requested();
}

// What the first pass over the records finds.
struct RecordCount {
    std::size_t entries = 0; ///< complete records with a name: exactly what the table holds
    RecordsEnd end = RecordsEnd::Complete;
};

RecordCount count_entries(BufferedReader& in, int crc_count, const Progress* progress) {
    RecordCount count;
    RawRecord rec;
    for (std::size_t records = 0; !in.at_end(); ++records) {
        if (stop_asked(progress, records))
            return {0, RecordsEnd::Stopped};
        if (!read_record_head(in, crc_count, rec) || !in.skip(rec.length)) {
            count.end = RecordsEnd::CutShort;
            break;
        }
        if (rec.length > 0)
            ++count.entries;
    }
    if (in.failed())
        count.end = RecordsEnd::Failed;
    return count;
}

// A large table is tens of megabytes of fresh memory. Filled in 4 KiB pages it costs a
// page fault every 46 entries, which on a virtual machine is most of the load time;
// in 2 MiB pages it costs a handful. Only advice: without it the load is just slower.
void advise_huge_pages(void* data, std::size_t bytes) {
#ifdef MADV_HUGEPAGE
    constexpr std::size_t kHuge = 2 * 1024 * 1024;
    if (bytes < 2 * kHuge)
        return;
    const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const auto first = (reinterpret_cast<std::uintptr_t>(data) + page - 1) & ~(page - 1);
    const auto last = (reinterpret_cast<std::uintptr_t>(data) + bytes) & ~(page - 1);
    if (last > first)
        (void)::madvise(reinterpret_cast<void*>(first), // NOLINT(performance-no-int-to-ptr)
                        last - first, MADV_HUGEPAGE);
#else
    (void)data;
    (void)bytes;
#endif
}

} // namespace

ZdbHeader parse_zdb_header(BufferedReader& in, int mode, std::string_view display_name) {
    unsigned char format = 0;
    if (!in.read_byte(format)) {
        if (in.failed())
            return unusable(read_failure(in, display_name));
        return unusable(not_a_database(display_name, "the file is empty"));
    }
    if (format < 1 || format > 3)
        return unusable(
            not_a_database(display_name, "unknown format version " + std::to_string(format)));

    ZdbHeader h;
    h.crc_count = format == 1 ? 2 : 1;
    bool ok = read_short_text(in, h.system_id) && read_short_text(in, h.long_name) &&
              read_short_text(in, h.version) && read_short_text(in, h.credit) &&
              read_short_text(in, h.notes) && read_short_text(in, h.patterns);
    if (ok && (format == 1 || format == 3)) {
        std::uint32_t number = 0;
        ok = read_u32(in, number);
        h.number = static_cast<std::int32_t>(number);
        if (ok && format == 1)
            ok = read_i16(in, h.extra);
    }
    if (ok && mode != kZdbHeaderOnly) {
        std::int16_t length = 0;
        ok = read_i16(in, length);
        // A negative length means no text: the records follow the length field.
        if (ok && length > 0) {
            std::string bytes(static_cast<std::size_t>(length), '\0');
            ok = in.read(reinterpret_cast<unsigned char*>(bytes.data()), bytes.size());
            if (ok)
                h.more_info = cp1252_to_utf8(bytes);
        }
    }
    if (!ok) {
        if (in.failed())
            return unusable(read_failure(in, display_name));
        return unusable(not_a_database(display_name, "the header ends early"));
    }
    if (h.number == -1) {
        // A stored header skip of -1 would read as "unusable" to every caller; no real
        // ROM header is that long, so the file is refused rather than misread.
        return unusable(not_a_database(display_name, "the header skip is -1"));
    }
    return h;
}

RecordsEnd parse_zdb_records(BufferedReader& in, int crc_count, RomTable& roms,
                             const Progress* progress) {
    RomTable().swap(roms); // free the previous table before the new one is built

    // Count first and reserve exactly: a table of a few hundred thousand entries must
    // not carry the slack of a growing vector.
    const std::uint64_t start = in.offset();
    const RecordCount count = count_entries(in, crc_count, progress);
    if (count.end == RecordsEnd::Stopped)
        return count.end;
    if (count.end == RecordsEnd::Failed || !in.seek(start))
        return RecordsEnd::Failed;
    roms.reserve(count.entries);
    advise_huge_pages(roms.data(), roms.capacity() * sizeof(RomEntry));

    RawRecord rec;
    unsigned char name[256];
    for (std::size_t records = 0; !in.at_end() && roms.size() < count.entries; ++records) {
        if (stop_asked(progress, records)) {
            RomTable().swap(roms);
            return RecordsEnd::Stopped;
        }
        if (!read_record_head(in, crc_count, rec) || !in.read(name, rec.length))
            break;
        if (rec.length == 0)
            continue;
        RomEntry& entry = roms.emplace_back();
        entry.crc = CrcText::from_value(rec.crc);
        if (crc_count == 2)
            entry.crc2 = CrcText::from_value(rec.crc2);
        // The name is XORed with its CRC text repeated, byte for byte.
        const std::string_view key = entry.crc.view();
        for (unsigned i = 0; i < rec.length; ++i)
            name[i] = static_cast<unsigned char>(name[i] ^ static_cast<unsigned char>(key[i % 8]));
        entry.name =
            cp1252_to_utf8(std::string_view(reinterpret_cast<const char*>(name), rec.length));
    }
    if (in.failed()) {
        RomTable().swap(roms);
        return RecordsEnd::Failed;
    }
    return count.end;
}

ZdbHeader finish_full_load(ZdbHeader header, RecordsEnd end, const RomTable& roms,
                           BufferedReader& in, std::string_view display_name) {
    switch (end) {
    case RecordsEnd::Complete:
        break;
    case RecordsEnd::CutShort:
        header.warning = core::quoted(std::string(display_name)) + " ends inside a record after " +
                         std::to_string(roms.size()) + " entries";
        break;
    case RecordsEnd::Stopped:
        header.stopped = true;
        break;
    case RecordsEnd::Failed:
        return unusable(read_failure(in, display_name));
    }
    return header;
}

std::string parse_zdb_version(BufferedReader& in) {
    unsigned char format = 0;
    std::string version;
    if (!in.read_byte(format) || format == 0)
        return {};
    if (!skip_short_text(in) || !skip_short_text(in) || !read_short_text(in, version))
        return {};
    return version;
}

ZdbHeader parse_zdb_bytes(std::span<const unsigned char> bytes, int mode, RomTable* roms,
                          std::size_t buffer_capacity, const Progress* progress) {
    MemorySource source(bytes);
    BufferedReader in(source, buffer_capacity);
    ZdbHeader h = parse_zdb_header(in, mode, "input");
    if (mode != kZdbFull)
        return h;
    RomTable local;
    RomTable& table = roms ? *roms : local;
    if (!h.usable()) {
        RomTable().swap(table);
        return h;
    }
    const RecordsEnd end = parse_zdb_records(in, h.crc_count, table, progress);
    return finish_full_load(std::move(h), end, table, in, "input");
}

} // namespace zdb_internal

namespace {

using zdb_internal::BufferedReader;

// A database file, read through a descriptor so that reads can be chunked and repeated.
class FileSource final : public zdb_internal::ByteSource {
public:
    FileSource() = default;
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;
    ~FileSource() override {
        if (m_fd >= 0)
            ::close(m_fd);
    }

    /// Opens a regular file; on failure the reason, else "".
    std::string open(const std::filesystem::path& path) {
        // Non-blocking so that a FIFO given by mistake cannot hang the open.
        m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (m_fd < 0)
            return "cannot open '" + path.string() + "': " + std::strerror(errno);
        struct stat st {};
        if (::fstat(m_fd, &st) != 0)
            return "cannot open '" + path.string() + "': " + std::strerror(errno);
        if (S_ISDIR(st.st_mode))
            return "cannot read '" + path.string() + "': " + std::strerror(EISDIR);
        if (!S_ISREG(st.st_mode))
            return "cannot read '" + path.string() + "': not a regular file";
        return {};
    }

    std::ptrdiff_t read(unsigned char* out, std::size_t size) override {
        for (;;) {
            ssize_t n = ::read(m_fd, out, size);
            if (n >= 0)
                return n;
            if (errno != EINTR) {
                m_errno = errno;
                return -1;
            }
        }
    }

    bool seek(std::uint64_t offset) override {
        return ::lseek(m_fd, static_cast<off_t>(offset), SEEK_SET) == static_cast<off_t>(offset);
    }

    std::string error_text() const override { return std::strerror(m_errno); }

private:
    int m_fd = -1;
    int m_errno = EIO;
};

void show_first_load_notice(const ZdbHeader& header, const FirstLoadNotice& notice) {
    if (!notice.prompter)
        return;
    const auto shown = read_setting(notice.system_id, "ZDBLoaded", "0", notice.settings_file);
    if (shown != "0")
        return;
    Message message;
    message.text = header.notes;
    message.title = notice.system_id + " (" + header.version + ") by " + header.credit;
    message.icon = Message::Icon::Information;
    message.buttons = Message::Buttons::Ok;
    notice.prompter->ask(message);
    // Failing to remember it only means the notice shows again next time.
    (void)write_setting(notice.system_id, "ZDBLoaded", "1", notice.settings_file);
}

} // namespace

ZdbHeader load_zdb(const std::filesystem::path& path, int mode, RomTable* roms,
                   const FirstLoadNotice* notice, const Progress* progress) {
    if (mode != kZdbFull && mode != kZdbHeaderOnly && mode != kZdbHeaderAndInfo)
        throw std::invalid_argument("load_zdb: unknown mode " + std::to_string(mode));
    const bool full = mode == kZdbFull;

    FileSource source;
    if (std::string failure = source.open(path); !failure.empty()) {
        if (full && roms)
            RomTable().swap(*roms);
        return zdb_internal::unusable(std::move(failure));
    }
    BufferedReader in(source);
    const std::string name = path.string();
    ZdbHeader header = zdb_internal::parse_zdb_header(in, mode, name);
    if (!full)
        return header;
    if (!header.usable()) {
        if (roms)
            RomTable().swap(*roms);
        return header;
    }
    if (notice)
        show_first_load_notice(header, *notice);
    // Without a table the records are still read: only they tell a file cut short.
    RomTable local;
    RomTable& table = roms ? *roms : local;
    const auto end = zdb_internal::parse_zdb_records(in, header.crc_count, table, progress);
    return zdb_internal::finish_full_load(std::move(header), end, table, in, name);
}

std::string read_zdb_version(const std::filesystem::path& path) {
    FileSource source;
    if (!source.open(path).empty())
        return {};
    BufferedReader in(source);
    return zdb_internal::parse_zdb_version(in);
}

} // namespace core
