// What the fuzz targets share: the abort that libFuzzer reports as a crash, the input as
// text, and one scratch folder per process for parsers that only read files.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <system_error>
#include <unistd.h>

namespace fuzzing {

inline void check(bool condition) {
    if (!condition)
        std::abort();
}

inline std::string_view text_of(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

/// A fresh folder for this process, removed when it ends.
inline const std::filesystem::path& scratch_folder() {
    static const std::filesystem::path folder = [] {
        auto path = std::filesystem::temp_directory_path() /
                    ("zelkon-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(path);
        std::atexit([] { std::error_code ignored;
                         std::filesystem::remove_all(scratch_folder(), ignored); });
        return path;
    }();
    return folder;
}

/// Writes `bytes` to `name` in the scratch folder (replacing it) and gives its path.
inline std::filesystem::path write_input(std::string_view name, std::string_view bytes) {
    const auto path = scratch_folder() / name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    check(out.good());
    return path;
}

inline std::string read_back(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace fuzzing
