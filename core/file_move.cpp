#include "file_move.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "posix_io.h"
#include "progress.h"
#include "temp_folder.h"
#include "text.h"

namespace core {
namespace {

namespace fs = std::filesystem;
using zelcore::UniqueFd;

std::string reason(int err) {
    return std::strerror(err);
}

// ECANCELED stands for a Stop asked for during a copy.
Error failure(const char* verb, const fs::path& from, const fs::path& to, int err,
              const std::string& why = {}) {
    std::string text = std::string("Could not ") + verb + " " + quoted(from) + " to " + quoted(to) +
                       ": " +
                       (!why.empty()       ? why
                        : err == ECANCELED ? "Stop was asked for"
                                           : reason(err));
    if (err == ECANCELED)
        return {Error::Code::Cancelled, std::move(text)};
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
constexpr const char* kPartPrefix = ".zelkon-copy-";

// Stop and bytes for one copy, between chunks.
struct Watch {
    Progress* progress = nullptr;
    std::uint64_t total = 0;

    int stopped() const { return progress && progress->stop_requested() ? ECANCELED : 0; }
    void copied(std::uint64_t done) const {
        if (progress)
            progress->bytes(done, total);
    }
};

int copy_data(int in, int out, const Watch& watch) {
    std::unique_ptr<char[]> buffer(new char[kChunk]);
    std::uint64_t done = 0;
    for (;;) {
        if (int err = watch.stopped())
            return err;
        std::size_t got = 0;
        if (int err = read_full(in, buffer.get(), kChunk, got))
            return err;
        if (got == 0)
            return 0;
        if (int err = zelcore::write_all(out, buffer.get(), got))
            return err;
        watch.copied(done += got);
    }
}

// Reads both files again from the start: what lies on the disk must be what we read.
int compare_data(int a, int b, const Watch& watch) {
    if (::lseek(a, 0, SEEK_SET) != 0 || ::lseek(b, 0, SEEK_SET) != 0)
        return errno;
    std::unique_ptr<char[]> x(new char[kChunk]), y(new char[kChunk]);
    for (;;) {
        if (int err = watch.stopped())
            return err;
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

// A private name beside the target, so the final step is a rename within one folder. It
// stays locked until `fd` closes, so that a sweep for a killed run's litter leaves it alone.
Result<fs::path> make_part_file(const fs::path& to, UniqueFd& fd) {
    for (int attempt = 0; attempt < 8; ++attempt) {
        std::string pattern = (to.parent_path() / (std::string(kPartPrefix) + "XXXXXX")).string();
        fd.reset(::mkostemp(pattern.data(), O_CLOEXEC));
        if (!fd)
            return Error::failed(reason(errno));
        if (lock_as_ours(fd.get(), pattern))
            return fs::path(pattern);
    }
    return Error::failed("the part file was removed each time before it could be written");
}

// The copy's data, mode and times, synced and read back; 0 or an errno value.
int fill_part(int in, int out, const struct stat& st, const Watch& watch) {
    int err = copy_data(in, out, watch);
    if (!err && ::fchmod(out, st.st_mode & 07777) != 0)
        err = errno;
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    if (!err && ::futimens(out, times) != 0)
        err = errno;
    if (!err && !(err = watch.stopped()) && ::fsync(out) != 0)
        err = errno;
    return err ? err : compare_data(in, out, watch);
}

Status copy_into_place(const fs::path& from, const fs::path& to, const char* verb,
                       Progress* progress) {
    UniqueFd in(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (!in || ::fstat(in.get(), &st) != 0)
        return failure(verb, from, to, errno);
    if (!S_ISREG(st.st_mode)) // folders and devices are not ours to copy
        return failure(verb, from, to, EINVAL, "it is not a plain file");
    if (path_taken(to))
        return failure(verb, from, to, EEXIST);
    UniqueFd out;
    auto part = make_part_file(to, out);
    if (!part)
        return failure(verb, from, to, EIO, part.error().message);
    RemoveOnExit cleanup(*part);
    int err =
        fill_part(in.get(), out.get(), st, {progress, static_cast<std::uint64_t>(st.st_size)});
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

bool is_symbolic_link(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
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

Status move_no_replace(const fs::path& from, const fs::path& to, Progress* progress) {
    int err = rename_no_replace(from.c_str(), to.c_str());
    if (err == 0)
        return Status::success();
    if (err != EXDEV)
        return failure("move", from, to, err);
    if (auto copied = copy_into_place(from, to, "move", progress); !copied)
        return copied;
    if (::unlink(from.c_str()) != 0) {
        // Both copies are whole; telling the user beats removing the new one.
        return Error::failed("Moved " + quoted(from) + " to " + quoted(to) +
                             " but could not remove the original: " + reason(errno));
    }
    sync_folder(from.parent_path());
    return Status::success();
}

Status copy_no_replace(const fs::path& from, const fs::path& to, Progress* progress) {
    return copy_into_place(from, to, "copy", progress);
}

std::size_t remove_stale_parts(const std::string& folder) {
    return remove_unlocked(folder.empty() ? fs::path(".") : fs::path(folder), kPartPrefix, false);
}

} // namespace core
