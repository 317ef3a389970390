#include "mod_zdb.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <mutex>
#include <optional>

#include "module_state.h"
#include "site.h"
#include "text.h"

namespace zelshell {
namespace {

bool is_usable_entry(const core::RomEntry& entry) {
    return !core::trim_spaces(entry.crc.view()).empty() && !entry.name.empty();
}

HRESULT code_of_errno(int err) {
    switch (err) {
    case ENOENT:
        return kFileNotFound;
    case ENOTDIR:
        return kPathNotFound;
    case EACCES:
    case EPERM:
        return E_ACCESSDENIED;
    default:
        return kReadFault;
    }
}

} // namespace

ZdbRecord load_zdb(const std::filesystem::path& path, int level) {
    ZdbRecord record;
    if (level != core::kZdbFull) {
        record.header = core::load_zdb(path, level);
        return record;
    }
    auto& roms = this_thread_state().roms;
    record.header = core::load_zdb(path, core::kZdbFull, &roms);
    std::erase_if(roms, [](const core::RomEntry& e) { return !is_usable_entry(e); });
    record.entry_count = roms.size();
    return record;
}

HRESULT check_readable(const std::filesystem::path& path) {
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (ec)
        return fail_with(code_of_errno(ec.value()),
                         "cannot read " + core::quoted(path) + ": " + ec.message());
    if (status.type() == std::filesystem::file_type::directory)
        return fail_with(kReadFault, "cannot read " + core::quoted(path) + ": it is a folder");
    // Opening a named pipe would wait for a writer.
    if (status.type() != std::filesystem::file_type::regular)
        return fail_with(kReadFault,
                         "cannot read " + core::quoted(path) + ": it is not a regular file");
    errno = 0;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        const int err = errno ? errno : EIO;
        return fail_with(code_of_errno(err),
                         "cannot read " + core::quoted(path) + ": " + std::strerror(err));
    }
    return S_OK;
}

core::Result<core::Zelcore> shell_zelcore() {
    static std::mutex mutex;
    static std::optional<core::Zelcore> loaded;
    const std::lock_guard lock(mutex);
    if (loaded)
        return *loaded;
    auto zelcore = core::Zelcore::load(library_folder());
    if (!zelcore)
        zelcore = core::Zelcore::load_beside_executable();
    if (zelcore)
        loaded = *zelcore;
    return zelcore;
}

core::Result<core::Identifier> plain_file_identifier(const std::string& system) {
    auto zelcore = shell_zelcore();
    if (!zelcore)
        return zelcore.error();
    return core::Identifier::create(std::move(zelcore.value()),
                                    {.id = system, .look_inside_zip = false});
}

HRESULT fail_with_error(const core::Error& error) {
    using Code = core::Error::Code;
    switch (error.code) {
    case Code::NotFound:
        return fail_with(kFileNotFound, error.message);
    case Code::BadInput:
        return fail_with(kBadFormat, error.message);
    default:
        return fail_with(kReadFault, error.message);
    }
}

} // namespace zelshell
