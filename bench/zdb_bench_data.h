#pragma once

// A database that looks like a real one: names of 30 to 50 characters in the usual
// "Title (Region) (Revision)" shape, some with Windows-1252 letters, unique CRCs.

#include <cstdint>
#include <random>
#include <string>

#include "zdb.h"

namespace benchdata {

inline core::ZdbHeader sample_header() {
    core::ZdbHeader h;
    h.system_id = "SGENESIS";
    h.long_name = "Sega Genesis";
    h.version = "2.4";
    h.credit = "Benchmark";
    h.notes = "Generated for measuring the loader.";
    h.patterns = "*.bin;*.gen;*.smd";
    h.more_info = "A generated database.";
    return h;
}

inline core::RomTable sample_roms(std::size_t count) {
    static const char* const words[] = {
        "Super",
        "Mega",
        "Sonic",
        "Quest",
        "Legend",
        "Dragon",
        "Pok\xC3\xA9mon",
        "Street",
        "Fighter",
        "Racing",
        "Castle",
        "Knight",
        "F\xC3\xBC\xC3\x9F"
        "ball",
        "Ni\xC3\xB1o",
        "\xC3\x96sterreich",
        "Adventure",
        "Island",
        "Star",
        "Soldier",
        "\xC5\x92uvre",
        "Tennis",
        "Golf",
        "Shadow",
        "Ninja",
        "Turbo",
        "World",
    };
    static const char* const regions[] = {"(USA)",    "(Europe)",  "(Japan)", "(USA, Europe)",
                                          "(France)", "(Germany)", "(Brazil)"};
    static const char* const suffixes[] = {"",     " (Rev 1)", " (Rev A)", " (Beta)",
                                           " [!]", " (Proto)", " (Unl)"};
    std::mt19937 rng(20240601);
    core::RomTable roms;
    roms.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        std::string name;
        // Whole words until the name is in the 30-50 byte range the real lists have.
        const std::size_t target = 22 + rng() % 18;
        while (name.size() < target) {
            if (!name.empty())
                name += ' ';
            name += words[rng() % std::size(words)];
        }
        name += ' ';
        name += regions[rng() % std::size(regions)];
        name += suffixes[rng() % std::size(suffixes)];
        const auto crc = static_cast<std::uint32_t>(i * 2654435761u);
        roms.push_back(
            {core::CrcText::from_value(crc), core::CrcText::none(), std::move(name), {}, 0});
    }
    return roms;
}

} // namespace benchdata
