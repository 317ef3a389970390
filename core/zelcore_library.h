#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "result.h"

namespace core {

/// The folder holding the program library `name` (a file name) for the running program:
/// the program's own folder when it is there (a build, a portable copy), else the library
/// folder of the install the program belongs to. An error names both when neither has it.
Result<std::filesystem::path> program_library_folder(std::string_view name);

/// libzelcore.so, loaded by name at run time from the program's own folder, or from the
/// library folder of the install the program belongs to.
/// The loaded functions are thread-safe; a Zelcore may be shared between threads.
class Zelcore {
public:
    static constexpr const char* kLibraryName = "libzelcore.so";

    /// Loads `folder`/libzelcore.so and resolves every entry point; a missing library
    /// or entry point is an error naming it.
    static Result<Zelcore> load(const std::filesystem::path& folder);
    /// Loads the library beside the running executable when one is there (a build or a
    /// portable copy), else the one in the install's library folder relative to it.
    static Result<Zelcore> load_beside_executable();

    /// CRC-32 of `length` bytes from `offset`; a length of 0 or less gives 0.
    Result<std::uint32_t> file_crc32(const std::filesystem::path& path, std::int64_t offset,
                                     std::int64_t length) const;
    Status smd2bin(const std::filesystem::path& source, const std::filesystem::path& target) const;
    Status rename_inside_zip(const std::filesystem::path& zip, const std::string& new_name) const;

private:
    struct Api;
    explicit Zelcore(std::shared_ptr<const Api> api) : m_api(std::move(api)) {}
    std::shared_ptr<const Api> m_api;
};

} // namespace core
