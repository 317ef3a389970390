#include "temp_folder.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <system_error>
#include <utility>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "posix_io.h"

namespace core {

namespace {

namespace fs = std::filesystem;

bool bad_prefix(std::string_view prefix) {
    return prefix.empty() || prefix.find('/') != std::string_view::npos ||
           prefix.find('\0') != std::string_view::npos;
}

bool same_inode(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The names mkstemp and mkdtemp make: the prefix and six letters or digits.
bool made_name(std::string_view name, std::string_view prefix) {
    if (name.size() != prefix.size() + 6 || !name.starts_with(prefix))
        return false;
    for (char c : name.substr(prefix.size()))
        if (!std::isalnum(static_cast<unsigned char>(c)))
            return false;
    return true;
}

// Removes one entry when it is of the kind asked for, ours, and nobody holds its lock. The
// lock is taken on what was opened and the name checked again under it, so a file that a
// live run has just renamed into place is never the one removed. An empty folder goes
// uncounted: a live run may have made it a moment ago and not yet locked it (that run then
// makes another), and a killed run that left nothing in it left nothing worth telling.
bool remove_if_unlocked(int dir, const fs::path& path, const char* name, bool folder) {
    const int flags = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | (folder ? O_DIRECTORY : 0);
    zelcore::UniqueFd fd(::openat(dir, name, flags));
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0 || st.st_uid != ::geteuid() ||
        (folder ? !S_ISDIR(st.st_mode) : !S_ISREG(st.st_mode)))
        return false;
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0)
        return false; // a live run holds it
    struct stat now {};
    if (::fstatat(dir, name, &now, AT_SYMLINK_NOFOLLOW) != 0 || !same_inode(st, now))
        return false;
    if (!folder)
        return ::unlinkat(dir, name, 0) == 0;
    std::error_code ec;
    return fs::remove_all(path, ec) > 1 && !ec; // the folder and something in it
}

// mkdtemp creates the folder with mode 0700, so no other user can look inside or plant
// files where we are about to write. The folder's descriptor, locked; -1 when a sweep
// removed the folder before the lock was taken.
Result<int> make_locked_folder(std::string& pattern) {
    if (!mkdtemp(pattern.data())) {
        const int err = errno;
        return Error::failed("cannot create a temporary folder in '" +
                             fs::path(pattern).parent_path().string() + "': " + std::strerror(err));
    }
    zelcore::UniqueFd lock(::open(pattern.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!lock && errno != ENOENT) {
        const int err = errno;
        ::rmdir(pattern.c_str());
        return Error::failed("cannot open the temporary folder '" + pattern +
                             "': " + std::strerror(err));
    }
    return lock && lock_as_ours(lock.get(), pattern) ? lock.release() : -1;
}

} // namespace

Result<TempFolder> TempFolder::create(std::string_view prefix) {
    // The prefix becomes part of a file name; a separator would put the folder elsewhere.
    if (bad_prefix(prefix))
        return Error::failed("cannot create a temporary folder: bad name prefix '" +
                             std::string(prefix) + "'");
    std::error_code ec;
    const auto base = std::filesystem::temp_directory_path(ec);
    if (ec)
        return Error::failed("cannot find the temporary folder: " + ec.message());
    // A sweep by another run may remove the folder before it is locked; then a new one is made.
    for (int attempt = 0; attempt < 8; ++attempt) {
        std::string pattern = (base / (std::string(prefix) + "-XXXXXX")).string();
        auto made = make_locked_folder(pattern);
        if (!made)
            return made.error();
        if (*made >= 0)
            return TempFolder(std::filesystem::path(pattern), *made);
    }
    return Error::failed("cannot create a temporary folder in '" + base.string() +
                         "': it was removed each time before it could be used");
}

std::size_t TempFolder::remove_stale(std::string_view prefix) {
    std::error_code ec;
    const auto base = std::filesystem::temp_directory_path(ec);
    if (bad_prefix(prefix) || ec)
        return 0;
    return remove_unlocked(base, std::string(prefix) + "-", true);
}

TempFolder::TempFolder(TempFolder&& other) noexcept
    : m_path(std::move(other.m_path)), m_lock(std::exchange(other.m_lock, -1)) {
    other.m_path.clear();
}

TempFolder& TempFolder::operator=(TempFolder&& other) noexcept {
    if (this != &other) {
        remove();
        m_path = std::move(other.m_path);
        other.m_path.clear();
        m_lock = std::exchange(other.m_lock, -1);
    }
    return *this;
}

TempFolder::~TempFolder() {
    remove();
}

// Removed while still locked, so that no sweep ever meets it half removed.
void TempFolder::remove() {
    if (!m_path.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
        m_path.clear();
    }
    if (m_lock >= 0)
        ::close(std::exchange(m_lock, -1));
}

Result<std::filesystem::path> TempFolder::new_file(std::string_view suffix) const {
    if (m_path.empty())
        return Error::failed("cannot create a temporary file: the temporary folder is gone");
    if (suffix.find('/') != std::string_view::npos || suffix.find('\0') != std::string_view::npos)
        return Error::failed("cannot create a temporary file: bad suffix '" + std::string(suffix) +
                             "'");
    // mkstemps opens with O_EXCL, so two threads asking at once always get two files.
    std::string pattern = (m_path / "f-XXXXXX").string();
    pattern += suffix;
    const int fd = mkstemps(pattern.data(), static_cast<int>(suffix.size()));
    if (fd < 0) {
        const int err = errno;
        return Error::failed("cannot create a temporary file in '" + m_path.string() +
                             "': " + std::strerror(err));
    }
    ::close(fd);
    return std::filesystem::path(pattern);
}

bool lock_as_ours(int fd, const std::filesystem::path& path) {
    // Where a file system has no flock, a sweep cannot lock either and so removes nothing.
    while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
    }
    struct stat held {
    }, named{};
    return ::fstat(fd, &held) == 0 && ::lstat(path.c_str(), &named) == 0 && same_inode(held, named);
}

std::size_t remove_unlocked(const std::filesystem::path& folder, std::string_view prefix,
                            bool folders) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return 0;
    std::size_t removed = 0;
    while (const dirent* entry = ::readdir(dir))
        if (made_name(entry->d_name, prefix) &&
            remove_if_unlocked(::dirfd(dir), folder / entry->d_name, entry->d_name, folders))
            ++removed;
    ::closedir(dir);
    return removed;
}

RemoveOnExit::~RemoveOnExit() {
    if (m_path.empty())
        return;
    std::error_code ec;
    std::filesystem::remove(m_path, ec);
}

} // namespace core
