#include "matching.h"

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <string>
#include <utility>
#include <vector>

#include "progress.h"
#include "text.h"

namespace lists {
namespace {

// Progress is drawn every so many entries: a bar cannot show more, and 100,000 calls
// through a front end would cost more than the matching itself.
constexpr std::size_t kStepEvery = 512;

void show_step(core::Progress& progress, std::size_t done, std::size_t total) {
    if (done % kStepEvery == 0 || done == total) {
        progress.step(done, total);
    }
}

std::string_view crc_of(const core::RomEntry& rom, int pass) {
    return pass == 0 ? rom.crc.view() : rom.crc2.view();
}

// Both lists are put in the order of their lower-cased keys and walked side by side. In
// checksum mode the key is the first 8 characters of the text, lower-cased and packed into
// one number whose order is theirs; equal numbers are then told apart by the exact texts,
// so "ABCD1234" sorts beside "abcd1234" and matches nothing. Session texts shorter than
// 8 characters pack with zero bytes, which sort first, as a shorter text does.
std::uint64_t crc_key(std::string_view text) {
    std::uint64_t key = 0;
    for (std::size_t i = 0; i < 8; ++i) {
        auto b = i < text.size() ? static_cast<unsigned char>(text[i]) : 0u;
        key = (key << 8) | (b >= 'A' && b <= 'Z' ? b + 32u : b);
    }
    return key;
}

using NameKeys = std::vector<std::string>;
using CrcKeys = std::vector<std::uint64_t>;

template <class Keys, class T, class Key> Keys keys_of(const std::vector<T>& items, Key key) {
    Keys keys;
    keys.reserve(items.size());
    for (const auto& item : items)
        keys.push_back(key(item));
    return keys;
}

CrcKeys record_crc_keys(const ScanRecords& records) {
    return keys_of<CrcKeys>(records, [](const ScanRecord& r) { return crc_key(r.crc); });
}
NameKeys record_name_keys(const ScanRecords& records) {
    return keys_of<NameKeys>(records, [](const ScanRecord& r) { return core::fold_case(r.name); });
}

// Sorts items and their keys together by key; equal keys keep their order.
template <class T, class Keys> void sort_by_keys(std::vector<T>& items, Keys& keys) {
    std::vector<std::size_t> order(items.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return keys[a] < keys[b]; });
    std::vector<T> sorted_items;
    Keys sorted_keys;
    sorted_items.reserve(items.size());
    sorted_keys.reserve(keys.size());
    for (std::size_t k : order) {
        sorted_items.push_back(std::move(items[k]));
        sorted_keys.push_back(std::move(keys[k]));
    }
    items.swap(sorted_items);
    keys.swap(sorted_keys);
}

// One walk over both sorted lists. Records are never passed over for good while the
// entries' key stays the same, so two entries with one checksum both find their files.
template <class Keys, class Same>
void merge_pass(core::RomTable& roms, const Keys& rkeys, ScanRecords& records, const Keys& fkeys,
                Same same, core::Progress& progress) {
    std::size_t j = 0;
    for (std::size_t i = 0; i < roms.size(); ++i) {
        show_step(progress, i + 1, roms.size());
        const auto& d = rkeys[i];
        while (j < records.size() && fkeys[j] < d)
            ++j;
        for (std::size_t k = j; k < records.size() && fkeys[k] == d; ++k) {
            if (!same(records[k], roms[i]))
                continue;
            records[k].done = true;
            roms[i].done = -1;
        }
    }
}

void match_by_checksum(core::RomTable& roms, ScanRecords& records, int passes,
                       core::Progress& progress) {
    const CrcKeys fkeys = record_crc_keys(records);
    for (int pass = 0; pass < std::clamp(passes, 1, 2); ++pass) {
        progress.status("Matching Files");
        auto rkeys = keys_of<CrcKeys>(
            roms, [pass](const core::RomEntry& rom) { return crc_key(crc_of(rom, pass)); });
        sort_by_keys(roms, rkeys);
        merge_pass(
            roms, rkeys, records, fkeys,
            [pass](const ScanRecord& r, const core::RomEntry& rom) {
                return r.crc == crc_of(rom, pass);
            },
            progress);
    }
}

void match_by_name(core::RomTable& roms, ScanRecords& records, core::Progress& progress) {
    const NameKeys fkeys = record_name_keys(records);
    progress.status("Matching Files");
    auto rkeys = keys_of<NameKeys>(
        roms, [](const core::RomEntry& rom) { return core::fold_case(rom.name); });
    sort_by_keys(roms, rkeys);
    merge_pass(
        roms, rkeys, records, fkeys, [](const ScanRecord&, const core::RomEntry&) { return true; },
        progress);
}

} // namespace

void sort_records(ScanRecords& records, MatchBy by) {
    if (by == MatchBy::Checksum) {
        CrcKeys keys = record_crc_keys(records);
        sort_by_keys(records, keys);
    } else {
        NameKeys keys = record_name_keys(records);
        sort_by_keys(records, keys);
    }
}

void match_collection(core::RomTable& roms, ScanRecords& records, MatchBy by, int passes,
                      core::Progress& progress) {
    if (by == MatchBy::Checksum)
        match_by_checksum(roms, records, passes, progress);
    else
        match_by_name(roms, records, progress);
}

void build_result(ScanResult& result, const core::RomTable& roms, bool list_unrecognized,
                  core::Progress& progress) {
    progress.status("Creating Lists");
    progress.step(0, roms.size());
    ResultTree& tree = result.tree;
    tree.reserve(roms.size() + (list_unrecognized ? result.records.size() : 0));
    for (std::size_t i = 0; i < roms.size(); ++i) {
        show_step(progress, i + 1, roms.size());
        const auto& rom = roms[i];
        bool found = rom.done != 0;
        // One name and checksum twice in a database still gives two entries.
        const std::string& key = tree.add_unique(
            found ? ResultTree::kMatched : ResultTree::kMissing, "id_" + rom.name + rom.crc.str(),
            rom.name);
        if (found && rom.crc2 != core::CrcText::none())
            result.second_crcs.emplace(key, rom.crc2.str());
        ++(found ? result.matched : result.missing);
    }
    if (list_unrecognized)
        for (const auto& record : result.records)
            if (!record.done && tree.add(ResultTree::kUnrecognized, record.path, record.path))
                ++result.unrecognized;
    tree.set_text(ResultTree::kMatched, root_text("Matched", result.matched));
    tree.set_text(ResultTree::kMissing, root_text("Missing", result.missing));
    tree.set_text(ResultTree::kUnrecognized, root_text("Unrecognized", result.unrecognized));
    tree.keep_sorted();
}

} // namespace lists
