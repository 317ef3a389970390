#pragma once

// The made-up collection the benchmarks share: entry i has a scattered checksum and a name
// of the length real titles have.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace benchdata {

inline std::uint32_t entry_crc(std::size_t i) {
    auto x = static_cast<std::uint32_t>(i) * 2654435761u + 0x9E3779B9u;
    return x ^ (x >> 15);
}

inline std::string entry_name(std::size_t i) {
    char name[64];
    std::snprintf(name, sizeof name, "Game Title Number %06zu (World) [!]", i);
    return name;
}

} // namespace benchdata
