#include "file_move.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "posix_io.h"
#include "temp_folder.h"
#include "text.h"

namespace core {
namespace {

namespace fs = std::filesystem;
using zelcore::UniqueFd;

std::string reason(int err) {
    return std::strerror(err);
}

Error failure(const char* verb, const fs::path& from, const fs::path& to, int err,
              const std::string& why = {}) {
    std::string text = std::string("Could not ") + verb + " " + quoted(from) + " to " + quoted(to) +
                       ": " + (why.empty() ? reason(err) : why);
    return err == EEXIST ? Error::exists(std::move(text)) : Error::failed(std::move(text));
}

int read_full(int fd, char* buffer, std::size_t size, std::size_t& got) {
    got = 0;
    while (got < size) {
        ssize_t n = ::read(fd, buffer + got, size - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    return 0;
}

constexpr std::size_t kChunk = 1 << 20;

int copy_data(int in, int out) {
    std::unique_ptr<char[]> buffer(new char[kChunk]);
    for (;;) {
        std::size_t got = 0;
        if (int err = read_full(in, buffer.get(), kChunk, got))
            return err;
        if (got == 0)
            return 0;
        if (int err = zelcore::write_all(out, buffer.get(), got))
            return err;
    }
}

// Reads both files again from the start: what lies on the disk must be what we read.
int compare_data(int a, int b) {
    if (::lseek(a, 0, SEEK_SET) != 0 || ::lseek(b, 0, SEEK_SET) != 0)
        return errno;
    std::unique_ptr<char[]> x(new char[kChunk]), y(new char[kChunk]);
    for (;;) {
        std::size_t got_a = 0, got_b = 0;
        if (int err = read_full(a, x.get(), kChunk, got_a))
            return err;
        if (int err = read_full(b, y.get(), kChunk, got_b))
            return err;
        if (got_a != got_b || std::memcmp(x.get(), y.get(), got_a) != 0)
            return EIO; // the copy on the disk is not what was read
        if (got_a == 0)
            return 0;
    }
}

// A private name beside the target, so the final step is a rename within one folder.
Result<fs::path> make_part_file(const fs::path& to, int& fd) {
    std::string pattern = (to.parent_path() / ".zelkon-copy-XXXXXX").string();
    fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0)
        return Error::failed(reason(errno));
    return fs::path(pattern);
}

Status copy_into_place(const fs::path& from, const fs::path& to, const char* verb) {
    UniqueFd in(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (!in || ::fstat(in.get(), &st) != 0)
        return failure(verb, from, to, errno);
    if (!S_ISREG(st.st_mode)) // folders and devices are not ours to copy
        return failure(verb, from, to, EINVAL, "it is not a plain file");
    if (path_taken(to))
        return failure(verb, from, to, EEXIST);
    int raw = -1;
    auto part = make_part_file(to, raw);
    UniqueFd out(raw);
    if (!part)
        return failure(verb, from, to, EIO, part.error().message);
    RemoveOnExit cleanup(*part);
    int err = copy_data(in.get(), out.get());
    if (!err && ::fchmod(out.get(), st.st_mode & 07777) != 0)
        err = errno;
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    if (!err && ::futimens(out.get(), times) != 0)
        err = errno;
    if (!err && ::fsync(out.get()) != 0)
        err = errno;
    if (!err)
        err = compare_data(in.get(), out.get());
    if (!err)
        err = rename_no_replace(part->c_str(), to.c_str());
    if (err)
        return failure(verb, from, to, err);
    cleanup.release();
    sync_folder(to.parent_path());
    return Status::success();
}

#ifdef RENAME_NOREPLACE
int renameat2_no_replace(const char* from, const char* to) {
    return ::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE);
}
#else
// A C library older than the call itself: ask the kernel directly.
int renameat2_no_replace(const char* from, const char* to) {
#ifdef SYS_renameat2
    return static_cast<int>(::syscall(SYS_renameat2, AT_FDCWD, from, AT_FDCWD, to, 1u));
#else
    (void)from;
    (void)to;
    errno = ENOSYS;
    return -1;
#endif
}
#endif

} // namespace

int rename_no_replace(const char* from, const char* to) {
    if (renameat2_no_replace(from, to) == 0)
        return 0;
    int err = errno;
    if (err != EINVAL && err != ENOSYS)
        return err;
    // File systems without the flag: a hard link fails when the name is taken.
    if (::link(from, to) != 0)
        return errno;
    if (::unlink(from) != 0) {
        err = errno;
        ::unlink(to);
        return err;
    }
    return 0;
}

bool path_taken(const fs::path& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

bool same_file(const fs::path& a, const fs::path& b) {
    struct stat x {
    }, y{};
    return ::lstat(a.c_str(), &x) == 0 && ::lstat(b.c_str(), &y) == 0 && x.st_dev == y.st_dev &&
           x.st_ino == y.st_ino;
}

void sync_folder(const fs::path& folder) {
    UniqueFd fd(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd)
        ::fsync(fd.get());
}

Status move_no_replace(const fs::path& from, const fs::path& to) {
    int err = rename_no_replace(from.c_str(), to.c_str());
    if (err == 0)
        return Status::success();
    if (err != EXDEV)
        return failure("move", from, to, err);
    if (auto copied = copy_into_place(from, to, "move"); !copied)
        return copied;
    if (::unlink(from.c_str()) != 0) {
        // Both copies are whole; telling the user beats removing the new one.
        return Error::failed("Moved " + quoted(from) + " to " + quoted(to) +
                             " but could not remove the original: " + reason(errno));
    }
    sync_folder(from.parent_path());
    return Status::success();
}

Status copy_no_replace(const fs::path& from, const fs::path& to) {
    return copy_into_place(from, to, "copy");
}

} // namespace core
