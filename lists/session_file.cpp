#include "session_file.h"

#include <algorithm>
#include <optional>

#include "atomic_file.h"
#include "cp1252.h"
#include "platform.h"
#include "read_file.h"
#include "text.h"

namespace lists {

namespace {

constexpr std::size_t kCrcWidth = 8;
// A line is at most a name's 255 bytes and ten more: this holds a million files.
constexpr core::TextFileKind kSessionText{"session", 256 * core::kMiB};

bool continuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// The bytes taken by the first `count` characters; the whole text when it has fewer.
std::size_t bytes_of_chars(std::string_view text, std::size_t count) {
    std::size_t i = 0;
    for (std::size_t seen = 0; i < text.size(); ++i) {
        if (continuation(static_cast<unsigned char>(text[i])))
            continue;
        if (seen++ == count)
            break;
    }
    return i;
}

std::size_t char_count(std::string_view text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return !continuation(static_cast<unsigned char>(c));
    }));
}

std::string crc_field(std::string_view crc) {
    const std::size_t chars = char_count(crc);
    if (chars >= kCrcWidth)
        return std::string(crc.substr(0, bytes_of_chars(crc, kCrcWidth)));
    return std::string(kCrcWidth - chars, '0') + std::string(crc);
}

// A line feed inside a name would split its line in two when read back; Linux allows one
// in a file name, the format does not.
std::string name_field(const ScanRecord& record) {
    std::string name = record.from_session ? record.path : base_name(record.path);
    std::replace(name.begin(), name.end(), '\n', '?');
    return name;
}

} // namespace

ScanRecord session_record(std::string_view line) {
    const std::string text =
        core::is_valid_utf8(line) ? std::string(line) : core::cp1252_to_utf8(line);
    const std::string_view view = text;
    ScanRecord record;
    record.crc = core::strip_at_nul(view.substr(0, bytes_of_chars(view, kCrcWidth)));
    record.path = core::strip_at_nul(view.substr(bytes_of_chars(view, kCrcWidth + 1)));
    record.from_session = true;
    return record;
}

std::string session_line(const ScanRecord& record) {
    return crc_field(record.crc) + ' ' + name_field(record);
}

core::Result<ScanRecords> read_session(const std::filesystem::path& file) {
    auto text = core::read_text_file_if_exists(file, kSessionText);
    if (!text)
        return text.error();
    ScanRecords records;
    if (!*text)
        return records;
    for (std::string_view rest = **text; !rest.empty();)
        records.push_back(session_record(core::take_line(rest)));
    return records;
}

core::Status write_session(const std::filesystem::path& file, const ScanRecords& records) {
    std::string text;
    for (const auto& record : records) {
        text += session_line(record);
        text += "\r\n";
    }
    // Reading drops a byte-order mark at the start of the file. A first record that begins
    // with one of its own (read from a file that had two) keeps it behind ours.
    if (text.starts_with(core::kByteOrderMark))
        text.insert(0, core::kByteOrderMark);
    return core::write_file_atomically(file, text);
}

} // namespace lists
