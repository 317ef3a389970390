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

bool continuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// The length of the sequence a lead byte starts; 0 for a byte that starts none.
std::size_t sequence_length(unsigned char lead) {
    if (lead < 0x80)
        return 1;
    if (lead < 0xC2)
        return 0;
    if (lead < 0xE0)
        return 2;
    if (lead < 0xF0)
        return 3;
    return lead < 0xF5 ? 4 : 0;
}

// Strict: no overlong forms, no surrogates, nothing above U+10FFFF. Anything else came
// from the old program's code page, and reading it as UTF-8 would garble the name.
bool valid_utf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = sequence_length(lead);
        if (length == 0 || i + length > text.size())
            return false;
        for (std::size_t k = 1; k < length; ++k)
            if (!continuation(static_cast<unsigned char>(text[i + k])))
                return false;
        const auto second = static_cast<unsigned char>(length > 1 ? text[i + 1] : 0);
        if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) ||
            (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second > 0x8F))
            return false;
        i += length;
    }
    return true;
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
    const std::string text = valid_utf8(line) ? std::string(line) : core::cp1252_to_utf8(line);
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
    auto bytes = core::read_file_if_exists(file);
    if (!bytes)
        return bytes.error();
    ScanRecords records;
    if (!*bytes)
        return records;
    std::string_view rest = **bytes;
    while (!rest.empty()) {
        const auto end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        // Also on a last line without its LF: a file cut between CR and LF.
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        records.push_back(session_record(line));
    }
    return records;
}

core::Status write_session(const std::filesystem::path& file, const ScanRecords& records) {
    std::string text;
    for (const auto& record : records) {
        text += session_line(record);
        text += "\r\n";
    }
    auto written = core::write_file_atomically(file, text);
    if (!written && written.error().message.find(core::quoted(file)) == std::string::npos)
        return core::Error::failed("cannot write " + core::quoted(file) + ": " +
                                   written.error().message);
    return written;
}

} // namespace lists
