#include "registration_files.h"

#include <algorithm>

#include "atomic_file.h"
#include "platform_xdg.h"
#include "read_file.h"
#include "registration_text.h"
#include "text.h"

namespace zelshell {
namespace {

namespace fs = std::filesystem;

core::Error filesystem_error(const std::string& what, const fs::path& path,
                             const std::error_code& ec) {
    return core::Error::failed("cannot " + what + " " + core::quoted(path) + ": " + ec.message());
}

} // namespace

core::Status FileKeeper::make_folder(const fs::path& folder) {
    std::vector<fs::path> missing;
    std::error_code ec;
    for (fs::path at = folder; !at.empty() && !fs::exists(at, ec); at = at.parent_path()) {
        missing.push_back(at);
        if (at == at.parent_path())
            break;
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (!fs::create_directory(*it, ec) && ec)
            return filesystem_error("make the folder", *it, ec);
        m_ledger.record_folder(*it);
    }
    if (!fs::is_directory(folder, ec))
        return core::Error::failed("cannot use " + core::quoted(folder) + ": not a folder");
    return core::Status::success();
}

core::Result<bool> FileKeeper::place(const WantedFile& file) {
    auto disk = core::read_file_if_exists(file.path);
    if (!disk)
        return disk.error();
    const auto recorded = m_ledger.file_hash(file.path);
    if (*disk && **disk == file.bytes) {
        // The same bytes from elsewhere (an install) stay another's; ours get their mode
        // back, which a file manager may need (an executable service menu).
        if (!recorded)
            return false;
        m_ledger.record_file(file.path, content_hash(file.bytes));
        std::error_code ec;
        if (platform::permission_bits(file.path) != file.mode)
            fs::permissions(file.path, static_cast<fs::perms>(file.mode), ec);
        if (ec)
            return filesystem_error("set the mode of", file.path, ec);
        return false;
    }
    if (*disk && recorded && content_hash(**disk) != *recorded) {
        notice(core::quoted(file.path) + " was changed since it was written: kept as it is.");
        return false;
    }
    if (*disk && !recorded) {
        notice(core::quoted(file.path) + " was not written by the registration and differs from "
                                         "what it would write: left as it is.");
        return false;
    }
    if (auto made = make_folder(file.path.parent_path()); !made)
        return made.error();
    if (auto written = core::write_file_atomically(file.path, file.bytes, file.mode); !written)
        return written.error();
    m_ledger.record_file(file.path, content_hash(file.bytes));
    return true;
}

core::Result<bool> FileKeeper::remove(const fs::path& path) {
    const auto recorded = m_ledger.file_hash(path);
    m_ledger.forget_file(path);
    auto disk = core::read_file_if_exists(path);
    if (!disk)
        return disk.error();
    if (!*disk || !recorded)
        return false;
    if (content_hash(**disk) != *recorded) {
        notice(core::quoted(path) + " was changed since it was written: kept.");
        return false;
    }
    std::error_code ec;
    if (!fs::remove(path, ec) && ec)
        return filesystem_error("remove", path, ec);
    return true;
}

core::Result<bool> FileKeeper::remove_others(const std::vector<WantedFile>& wanted) {
    bool removed = false;
    for (const fs::path& path : m_ledger.files()) {
        if (std::any_of(wanted.begin(), wanted.end(),
                        [&](const WantedFile& file) { return file.path == path; }))
            continue;
        auto gone = remove(path);
        if (!gone)
            return gone.error();
        removed = removed || *gone;
    }
    return removed;
}

void FileKeeper::remove_empty_folders() {
    const std::vector<fs::path> folders = m_ledger.folders();
    for (auto it = folders.rbegin(); it != folders.rend(); ++it) {
        std::error_code ec;
        if (!fs::exists(*it, ec) || (fs::is_empty(*it, ec) && fs::remove(*it, ec)))
            m_ledger.forget_folder(*it);
    }
}

} // namespace zelshell
