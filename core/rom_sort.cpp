#include <algorithm>
#include <stdexcept>
#include <string>

#include "text.h"
#include "zdb.h"

namespace core {
namespace {

template <class Key> void stable_sort_by(RomTable& table, Key key) {
    // Stable, so entries with equal keys (one ROM under several names, or
    // files with the same CRC) keep the order of the file they came from.
    std::stable_sort(table.begin(), table.end(), [&](const RomEntry& a, const RomEntry& b) {
        return compare_lower(key(a), key(b)) < 0;
    });
}

} // namespace

void sort_roms_by_field(RomTable& table, int field) {
    switch (field) {
    case kFieldCrc:
        stable_sort_by(table, [](const RomEntry& e) { return e.crc.view(); });
        break;
    case kFieldCrc2:
        stable_sort_by(table, [](const RomEntry& e) { return e.crc2.view(); });
        break;
    case kFieldName:
        stable_sort_by(table, [](const RomEntry& e) { return std::string_view(e.name); });
        break;
    case kFieldPath:
        stable_sort_by(table, [](const RomEntry& e) { return std::string_view(e.path); });
        break;
    default:
        throw std::invalid_argument("sort_roms_by_field: unknown field " + std::to_string(field));
    }
}

void sort_roms_by_name(RomTable& table) {
    sort_roms_by_field(table, kFieldName);
}

} // namespace core
