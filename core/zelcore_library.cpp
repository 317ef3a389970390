#include "zelcore_library.h"

#include <cerrno>

#include <dlfcn.h>

#include "app_home.h"
#include "text.h"
#include "zelcore.h"

// The install's library folder as seen from its program folder; cmake/install.cmake sets it
// from the install layout.
#ifndef ZELKON_LIBRARY_FROM_PROGRAM
#define ZELKON_LIBRARY_FROM_PROGRAM "../lib/zelkon"
#endif

namespace core {

struct Zelcore::Api {
    void* handle = nullptr;
    decltype(&::file_crc32) file_crc32 = nullptr;
    decltype(&::zelcore_crc32_range) crc32_range = nullptr;
    decltype(&::smd2bin) smd2bin = nullptr;
    decltype(&::rename_inside_zip) rename_inside_zip = nullptr;
    decltype(&::zelcore_error_text) error_text = nullptr;

    Api() = default;
    Api(const Api&) = delete;
    Api& operator=(const Api&) = delete;
    ~Api() {
        if (handle != nullptr)
            ::dlclose(handle);
    }
};

namespace {

std::string last_dl_error() {
    const char* text = ::dlerror();
    return text != nullptr ? text : "unknown error";
}

template <class Fn>
Status resolve(void* handle, const std::filesystem::path& library, const char* symbol, Fn& out) {
    ::dlerror(); // a stale message must not be taken for this lookup's
    void* address = ::dlsym(handle, symbol);
    if (address == nullptr)
        return Error::failed(quoted(library) + " has no entry point '" + symbol +
                             "': " + last_dl_error());
    out = reinterpret_cast<Fn>(address);
    return Status::success();
}

/// ENOENT means the user named a file that is not there; our own negative codes mean the
/// file is there but is not what the operation needs.
Error error_for(std::int32_t code, std::string message) {
    if (code == ENOENT)
        return Error::not_found(std::move(message));
    if (code < 0)
        return Error::bad_input(std::move(message));
    return Error::failed(std::move(message));
}

} // namespace

Result<Zelcore> Zelcore::load(const std::filesystem::path& folder) {
    const std::filesystem::path library = folder / kLibraryName;
    auto api = std::make_shared<Api>();
    // RTLD_NOW: a library that lacks a symbol it needs is refused here, not at a later call.
    api->handle = ::dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (api->handle == nullptr)
        return Error::not_found("cannot load " + quoted(library) + ": " + last_dl_error());

    for (const Status& status :
         {resolve(api->handle, library, "file_crc32", api->file_crc32),
          resolve(api->handle, library, "zelcore_crc32_range", api->crc32_range),
          resolve(api->handle, library, "smd2bin", api->smd2bin),
          resolve(api->handle, library, "rename_inside_zip", api->rename_inside_zip),
          resolve(api->handle, library, "zelcore_error_text", api->error_text)})
        if (!status)
            return status.error();
    return Zelcore(std::move(api));
}

Result<std::filesystem::path> program_library_folder(std::string_view name) {
    const std::filesystem::path folder = executable_folder();
    if (folder.empty())
        return Error::failed("cannot find the folder of the running program to load " +
                             std::string(name));
    // A library beside the program wins, even a broken one: its error is the one to show.
    std::error_code ec;
    if (std::filesystem::exists(folder / name, ec))
        return folder;
    auto installed = (folder / ZELKON_LIBRARY_FROM_PROGRAM).lexically_normal();
    if (std::filesystem::exists(installed / name, ec))
        return installed;
    return Error::not_found("cannot find " + std::string(name) + " in " + quoted(folder) +
                            " nor in " + quoted(installed));
}

Result<Zelcore> Zelcore::load_beside_executable() {
    auto folder = program_library_folder(kLibraryName);
    if (!folder)
        return folder.error();
    return load(*folder);
}

Result<std::uint32_t> Zelcore::file_crc32(const std::filesystem::path& path, std::int64_t offset,
                                          std::int64_t length) const {
    std::uint32_t crc = 0;
    const std::int32_t code = m_api->crc32_range(path.c_str(), offset, length, &crc);
    if (code != ZELCORE_OK)
        return error_for(code, "cannot read " + quoted(path) + ": " + m_api->error_text(code));
    return crc;
}

Status Zelcore::smd2bin(const std::filesystem::path& source,
                        const std::filesystem::path& target) const {
    const std::int32_t code = m_api->smd2bin(source.c_str(), target.c_str());
    if (code != ZELCORE_OK)
        return error_for(code, "cannot convert " + quoted(source) + " into " + quoted(target) +
                                   ": " + m_api->error_text(code));
    return Status::success();
}

Status Zelcore::rename_inside_zip(const std::filesystem::path& zip,
                                  const std::string& new_name) const {
    const std::int32_t code = m_api->rename_inside_zip(zip.c_str(), new_name.c_str());
    if (code != ZELCORE_OK)
        return error_for(code, "cannot rename the file inside " + quoted(zip) + " to '" + new_name +
                                   "': " + m_api->error_text(code));
    return Status::success();
}

} // namespace core
