#include "zdb_writer.h"

#include <cerrno>
#include <cstring>
#include <optional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "atomic_file.h"
#include "cp1252.h"

namespace core {
namespace {

constexpr std::size_t kMaxShortText = 255;
constexpr std::size_t kMaxMoreInfo = 32767;

void put_le(std::string& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out += static_cast<char>(value & 0xFFu);
        value >>= 8;
    }
}

// The bytes of a header text, or the reason it cannot be stored.
Result<std::string> encode(std::string_view field, std::string_view text, std::size_t limit) {
    auto bytes = utf8_to_cp1252(text);
    if (!bytes)
        return Error::bad_input("the " + std::string(field) + " '" + std::string(text) +
                                "' holds a character that Windows-1252 cannot store");
    if (bytes->size() > limit)
        return Error::bad_input("the " + std::string(field) + " is " +
                                std::to_string(bytes->size()) + " bytes long; at most " +
                                std::to_string(limit) + " fit");
    return std::move(*bytes);
}

std::optional<std::uint32_t> parse_crc(std::string_view text) {
    if (text.size() != 8)
        return std::nullopt;
    std::uint32_t value = 0;
    for (char c : text) {
        unsigned digit;
        if (c >= '0' && c <= '9')
            digit = static_cast<unsigned>(c - '0');
        else if (c >= 'a' && c <= 'f')
            digit = static_cast<unsigned>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            digit = static_cast<unsigned>(c - 'A' + 10);
        else
            return std::nullopt;
        value = (value << 4) | digit;
    }
    return value;
}

Status append_record(std::string& out, int format, const RomEntry& rom, std::size_t index) {
    const std::string which = "ROM " + std::to_string(index + 1) + " ('" + rom.name + "')";
    auto crc = parse_crc(rom.crc.view());
    if (!crc)
        return Error::bad_input(which + " has no valid CRC: '" + rom.crc.str() + "'");
    std::optional<std::uint32_t> crc2;
    if (format == 1) {
        crc2 = parse_crc(rom.crc2.view());
        if (!crc2)
            return Error::bad_input(which + " has no valid second CRC, which format 1 needs: '" +
                                    rom.crc2.str() + "'");
    }
    auto name = utf8_to_cp1252(rom.name);
    if (!name)
        return Error::bad_input(which + " holds a character that Windows-1252 cannot store");
    // An empty name cannot be stored: the reader takes it for a record to skip.
    if (name->empty() || name->size() > kMaxShortText)
        return Error::bad_input(which + " has a name of " + std::to_string(name->size()) +
                                " bytes; 1 to 255 fit");

    const std::uint32_t stored = *crc ^ kZdbScrambleMask;
    out += static_cast<char>(static_cast<unsigned char>(name->size()) ^ (stored & 0xFFu));
    put_le(out, stored, 4);
    if (crc2)
        put_le(out, *crc2 ^ kZdbScrambleMask, 4);
    // The key is the canonical lower-case text of the CRC, as the reader rebuilds it.
    const CrcText key = CrcText::from_value(*crc);
    for (std::size_t i = 0; i < name->size(); ++i)
        out += static_cast<char>((*name)[i] ^ key.view()[i % 8]);
    return Status::success();
}

Result<std::string> encode_database(int format, const ZdbHeader& h, const RomTable& roms) {
    std::string out;
    out += static_cast<char>(format);
    const std::pair<const char*, const std::string*> texts[] = {
        {"system id", &h.system_id}, {"long name", &h.long_name}, {"version", &h.version},
        {"credit", &h.credit},       {"notes", &h.notes},         {"file patterns", &h.patterns},
    };
    for (const auto& [field, text] : texts) {
        auto bytes = encode(field, *text, kMaxShortText);
        if (!bytes)
            return bytes.error();
        out += static_cast<char>(bytes->size());
        out += *bytes;
    }
    if (format == 1 || format == 3)
        put_le(out, static_cast<std::uint32_t>(h.number), 4);
    if (format == 1)
        put_le(out, static_cast<std::uint16_t>(h.extra), 2);
    auto info = encode("more-info text", h.more_info, kMaxMoreInfo);
    if (!info)
        return info.error();
    put_le(out, static_cast<std::uint32_t>(info->size()), 2);
    out += *info;

    for (std::size_t i = 0; i < roms.size(); ++i)
        if (auto ok = append_record(out, format, roms[i], i); !ok)
            return ok.error();
    return out;
}

} // namespace

Status write_zdb(const std::filesystem::path& path, int format, const ZdbHeader& header,
                 const RomTable& roms) {
    if (format < 1 || format > 3)
        return Error::bad_input("unknown database format " + std::to_string(format) +
                                "; formats 1, 2 and 3 exist");
    if ((format == 1 || format == 3) && header.number == -1)
        return Error::bad_input("a header skip of -1 would make the database unreadable");
    auto bytes = encode_database(format, header, roms);
    if (!bytes)
        return bytes.error();
    return write_file_atomically(path, *bytes);
}

} // namespace core
