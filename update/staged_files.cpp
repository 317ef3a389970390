#include "staged_files.h"

#include <cerrno>
#include <cstring>
#include <set>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "file_move.h"
#include "posix_io.h"
#include "text.h"

namespace update {

namespace fs = std::filesystem;
using core::Error;

StagedFiles::~StagedFiles() {
    remove_staged();
}

core::Status StagedFiles::stage(const fs::path& target, std::string_view bytes, mode_t mode) {
    std::string temp = target.string() + ".tmp-XXXXXX";
    int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return Error::failed("cannot write " + core::quoted(target) + ": cannot create a file in " +
                             core::quoted(target.parent_path()) + ": " + std::strerror(errno));
    int err = zelcore::write_all(fd, bytes.data(), bytes.size());
    if (err == 0 && ::fchmod(fd, mode) != 0)
        err = errno;
    if (err == 0 && ::fsync(fd) != 0)
        err = errno;
    if (::close(fd) != 0 && err == 0)
        err = errno;
    if (err != 0) {
        ::unlink(temp.c_str());
        return Error::failed("cannot write " + core::quoted(target) + ": " + std::strerror(err));
    }
    m_files.emplace_back(temp, target);
    return core::Status::success();
}

core::Status StagedFiles::commit() {
    std::set<fs::path> folders;
    for (auto& [temp, target] : m_files) {
        if (::rename(temp.c_str(), target.c_str()) != 0) {
            const int err = errno;
            remove_staged();
            return Error::failed("cannot write " + core::quoted(target) + ": " +
                                 std::strerror(err));
        }
        temp.clear(); // in place: nothing left to remove
        folders.insert(target.parent_path());
    }
    m_files.clear();
    for (const auto& folder : folders)
        core::sync_folder(folder);
    return core::Status::success();
}

void StagedFiles::remove_staged() {
    for (const auto& [temp, target] : m_files)
        if (!temp.empty())
            ::unlink(temp.c_str());
    m_files.clear();
}

} // namespace update
