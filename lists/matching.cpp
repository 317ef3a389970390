#include "matching.h"

#include <algorithm>
#include <numeric>
#include <string>
#include <vector>

#include "progress.h"
#include "text.h"

namespace lists {
namespace {

using Keys = std::vector<std::string>;

// Progress is drawn every so many entries: a bar cannot show more, and 100,000 calls
// through a front end would cost more than the matching itself.
constexpr std::size_t kStepEvery = 512;

void show_step(core::Progress& progress, std::size_t done, std::size_t total) {
    if (done % kStepEvery == 0 || done == total) {
        progress.step(done, total);
        progress.pump();
    }
}

std::string_view crc_of(const core::RomEntry& rom, int pass) {
    return pass == 0 ? rom.crc.view() : rom.crc2.view();
}

// The order of both lists: the lower-cased key. Equal keys then decide by the exact texts
// in checksum mode, so "ABCD1234" sorts beside "abcd1234" and matches nothing.
Keys record_keys(const ScanRecords& records, MatchBy by) {
    Keys keys;
    keys.reserve(records.size());
    for (const auto& r : records)
        keys.push_back(by == MatchBy::Checksum ? core::to_lower_ascii(r.crc)
                                               : core::fold_case(r.name));
    return keys;
}

Keys rom_keys(const core::RomTable& roms, MatchBy by, int pass) {
    Keys keys;
    keys.reserve(roms.size());
    for (const auto& rom : roms)
        keys.push_back(by == MatchBy::Checksum ? core::to_lower_ascii(crc_of(rom, pass))
                                               : core::fold_case(rom.name));
    return keys;
}

// Sorts items and their keys together by key; equal keys keep their order.
template <class T> void sort_by_keys(std::vector<T>& items, Keys& keys) {
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
void merge_pass(core::RomTable& roms, const Keys& rkeys, ScanRecords& records, const Keys& fkeys,
                MatchBy by, int pass, core::Progress& progress) {
    std::size_t j = 0;
    for (std::size_t i = 0; i < roms.size(); ++i) {
        show_step(progress, i + 1, roms.size());
        const std::string& d = rkeys[i];
        while (j < records.size() && fkeys[j] < d)
            ++j;
        for (std::size_t k = j; k < records.size() && fkeys[k] == d; ++k) {
            if (by == MatchBy::Checksum && records[k].crc != crc_of(roms[i], pass))
                continue;
            records[k].done = true;
            roms[i].done = -1;
        }
    }
}

} // namespace

void sort_records(ScanRecords& records, MatchBy by) {
    Keys keys = record_keys(records, by);
    sort_by_keys(records, keys);
}

void match_collection(core::RomTable& roms, ScanRecords& records, MatchBy by, int passes,
                      core::Progress& progress) {
    const Keys fkeys = record_keys(records, by);
    if (by == MatchBy::Filename)
        passes = 1;
    for (int pass = 0; pass < std::clamp(passes, 1, 2); ++pass) {
        progress.status("Matching Files");
        progress.pump();
        Keys rkeys = rom_keys(roms, by, pass);
        sort_by_keys(roms, rkeys);
        merge_pass(roms, rkeys, records, fkeys, by, pass, progress);
    }
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
        tree.add_unique(found ? ResultTree::kMatched : ResultTree::kMissing,
                        "id_" + rom.name + rom.crc.str(), rom.name);
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
