#include <algorithm>
#include <cstdint>
#include <numeric>
#include <stdexcept>
#include <string>

#include "text.h"
#include "zdb.h"

namespace core {
namespace {

// Moves entries into the order of `order` (sorted[k] = table[order[k]]) in place, one
// cycle of the permutation at a time, so no second table is ever held.
void apply_order(RomTable& table, const std::vector<std::size_t>& order) {
    std::vector<bool> placed(table.size(), false);
    for (std::size_t start = 0; start < table.size(); ++start) {
        if (placed[start] || order[start] == start)
            continue;
        RomEntry held = std::move(table[start]);
        std::size_t at = start;
        while (order[at] != start) {
            table[at] = std::move(table[order[at]]);
            placed[at] = true;
            at = order[at];
        }
        table[at] = std::move(held);
        placed[at] = true;
    }
}

// Sorts positions rather than entries: an entry is large, a position small. Stable, so
// entries with equal keys (one ROM under several names, or files with the same CRC)
// keep the order of the file they came from.
template <class Less> void stable_sort_positions(RomTable& table, Less less) {
    std::vector<std::size_t> order(table.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), less);
    apply_order(table, order);
}

// The lower-cased 8 characters of a CRC text as one number whose order is theirs.
std::uint64_t crc_key(const CrcText& crc) {
    std::uint64_t key = 0;
    for (char c : crc.view()) {
        auto b = static_cast<unsigned char>(c);
        key = (key << 8) | (b >= 'A' && b <= 'Z' ? b + 32u : b);
    }
    return key;
}

void sort_by_crc(RomTable& table, CrcText RomEntry::*field) {
    std::vector<std::uint64_t> keys(table.size());
    for (std::size_t i = 0; i < table.size(); ++i)
        keys[i] = crc_key(table[i].*field);
    stable_sort_positions(table, [&](std::size_t a, std::size_t b) { return keys[a] < keys[b]; });
}

void sort_by_text(RomTable& table, std::string RomEntry::*field) {
    stable_sort_positions(table, [&](std::size_t a, std::size_t b) {
        return compare_lower(table[a].*field, table[b].*field) < 0;
    });
}

} // namespace

void sort_roms_by_field(RomTable& table, int field) {
    switch (field) {
    case kFieldCrc:
        return sort_by_crc(table, &RomEntry::crc);
    case kFieldCrc2:
        return sort_by_crc(table, &RomEntry::crc2);
    case kFieldName:
        return sort_by_text(table, &RomEntry::name);
    case kFieldPath:
        return sort_by_text(table, &RomEntry::path);
    default:
        throw std::invalid_argument("sort_roms_by_field: unknown field " + std::to_string(field));
    }
}

void sort_roms_by_name(RomTable& table) {
    sort_roms_by_field(table, kFieldName);
}

} // namespace core
