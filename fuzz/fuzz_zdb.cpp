// libFuzzer target for the database parser: any bytes, every mode, small and large read
// buffers. Besides crashes and sanitizer reports it checks what callers rely on.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "cp1252.h"
#include "zdb.h"
#include "zdb_parse.h"

namespace {

using core::RomTable;
using core::ZdbHeader;
using core::zdb_internal::BufferedReader;
using core::zdb_internal::MemorySource;

void check(bool condition) {
    if (!condition)
        std::abort();
}

bool is_utf8(const std::string& text) {
    return core::utf8_to_cp1252(text).has_value();
}

void check_header(const ZdbHeader& h, int mode) {
    if (!h.usable()) {
        check(!h.error.empty());
        check(h.version.empty() && h.credit.empty() && h.notes.empty() && h.more_info.empty() &&
              h.patterns.empty() && h.long_name.empty() && h.system_id.empty());
        check(h.extra == 0 && h.crc_count == 0);
        return;
    }
    check(h.error.empty());
    check(h.crc_count == 1 || h.crc_count == 2);
    check(is_utf8(h.version) && is_utf8(h.credit) && is_utf8(h.notes) && is_utf8(h.patterns) &&
          is_utf8(h.long_name) && is_utf8(h.system_id) && is_utf8(h.more_info));
    if (mode == core::kZdbHeaderOnly)
        check(h.more_info.empty());
}

bool is_crc_text(std::string_view text) {
    for (char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    return text.size() == 8;
}

bool same(const ZdbHeader& a, const ZdbHeader& b) {
    return a.version == b.version && a.credit == b.credit && a.notes == b.notes &&
           a.more_info == b.more_info && a.patterns == b.patterns && a.long_name == b.long_name &&
           a.system_id == b.system_id && a.number == b.number && a.extra == b.extra &&
           a.crc_count == b.crc_count;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const unsigned char> bytes(data, size);
    // The chunk size is taken from the input so that fields straddle buffer refills.
    const std::size_t small = size == 0 ? 1 : 1 + data[size - 1] % 17;

    std::string listed_version;
    bool listed = false;
    for (int mode : {core::kZdbFull, core::kZdbHeaderOnly, core::kZdbHeaderAndInfo}) {
        RomTable roms{core::RomEntry{}};
        // One buffer holding the whole input: the reference for the chunked run below.
        ZdbHeader h = core::zdb_internal::parse_zdb_bytes(bytes, mode, &roms, size + 1);
        check_header(h, mode);
        if (mode == core::kZdbHeaderOnly && h.usable()) {
            listed = true;
            listed_version = h.version;
        }
        if (mode != core::kZdbFull) {
            check(roms.size() == 1);
            continue;
        }
        if (!h.usable())
            check(roms.empty());
        for (const auto& e : roms) {
            check(is_crc_text(e.crc.view()));
            check(h.crc_count == 2 ? is_crc_text(e.crc2.view()) : e.crc2 == core::CrcText::none());
            check(!e.name.empty() && is_utf8(e.name));
            check(e.path.empty() && e.done == 0);
        }
        check(roms.size() <= size / 6); // a record takes at least 6 bytes

        RomTable chunked;
        ZdbHeader again = core::zdb_internal::parse_zdb_bytes(bytes, mode, &chunked, small);
        check(same(h, again) && again.error == h.error);
        check(chunked.size() == roms.size());
        for (std::size_t i = 0; i < roms.size(); ++i)
            check(chunked[i].crc == roms[i].crc && chunked[i].crc2 == roms[i].crc2 &&
                  chunked[i].name == roms[i].name);
    }

    MemorySource source(bytes);
    BufferedReader in(source, small);
    std::string version = core::zdb_internal::parse_zdb_version(in);
    check(is_utf8(version));
    if (size == 0 || data[0] == 0)
        check(version.empty());
    if (listed)
        check(version == listed_version);
    return 0;
}
