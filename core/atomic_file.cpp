#include "atomic_file.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "file_move.h"
#include "posix_io.h"
#include "text.h"

namespace core {

namespace fs = std::filesystem;

namespace {

// A name beside `target` that no other file has; O_EXCL makes two writers at once safe.
int open_temp_beside(const fs::path& target, mode_t mode, std::string& name) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = target.string() + ".tmp-" + std::to_string(::getpid()) + "-" +
               std::to_string(counter.fetch_add(1));
        int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

} // namespace

Status write_file_atomically(const fs::path& path, std::string_view bytes,
                             std::optional<mode_t> mode) {
    struct stat st {};
    if (!mode && ::stat(path.c_str(), &st) == 0)
        mode = st.st_mode & 07777;
    std::string temp;
    // The kernel applies the umask to a new file's mode; reading it with umask() would
    // change it for other threads meanwhile.
    int fd = open_temp_beside(path, mode.value_or(0666), temp);
    if (fd < 0) {
        const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
        return Error::failed("cannot write " + quoted(path) + ": cannot create a file in " +
                             quoted(folder) + ": " + std::strerror(errno));
    }
    int err = zelcore::write_all(fd, bytes.data(), bytes.size());
    if (err == 0 && mode && ::fchmod(fd, *mode) != 0)
        err = errno;
    if (err == 0 && ::fsync(fd) != 0)
        err = errno;
    if (::close(fd) != 0 && err == 0)
        err = errno;
    if (err == 0 && ::rename(temp.c_str(), path.c_str()) != 0)
        err = errno;
    if (err != 0) {
        ::unlink(temp.c_str());
        return Error::failed("cannot write " + quoted(path) + ": " + std::strerror(err));
    }
    sync_folder(path.parent_path());
    return Status::success();
}

} // namespace core
