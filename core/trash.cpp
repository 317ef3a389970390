#include "trash.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <set>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "file_move.h"
#include "posix_io.h"
#include "text.h"

namespace core {
namespace {

namespace fs = std::filesystem;

Error trash_error(const fs::path& file, const std::string& why) {
    return Error::failed("Could not move " + quoted(file) + " to the trash: " + why);
}

bool make_private_folder(const fs::path& folder) {
    if (::mkdir(folder.c_str(), 0700) == 0)
        return true;
    struct stat st {};
    return errno == EEXIST && ::lstat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
           st.st_uid == ::geteuid();
}

bool make_trash_folders(const fs::path& trash) {
    std::error_code ec;
    fs::create_directories(trash.parent_path(), ec);
    return make_private_folder(trash) && make_private_folder(trash / "files") &&
           make_private_folder(trash / "info");
}

dev_t device_of(const fs::path& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_dev : 0;
}

// The top of the mount that holds `file`: the last folder upwards on the same device.
fs::path mount_top(const fs::path& file) {
    const dev_t dev = device_of(file);
    fs::path top = file.parent_path();
    while (top.has_relative_path() && device_of(top.parent_path()) == dev)
        top = top.parent_path();
    return top;
}

struct TrashPlace {
    fs::path folder;
    fs::path base; ///< what Path= is relative to; empty for absolute paths
};

// The home trash when it shares the file's device, else the top folder's own trash: an
// administrator's sticky .Trash with a folder per user, or our own .Trash-UID.
bool find_trash(const fs::path& file, TrashPlace& place) {
    fs::path home = home_trash();
    std::error_code ec;
    fs::create_directories(home.parent_path(), ec);
    if (device_of(home.parent_path()) == device_of(file) && make_trash_folders(home)) {
        place = {home, {}};
        return true;
    }
    const fs::path top = mount_top(file);
    const std::string uid = std::to_string(::geteuid());
    struct stat st {};
    const fs::path shared = top / ".Trash";
    if (::lstat(shared.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX) &&
        make_trash_folders(shared / uid)) {
        place = {shared / uid, top};
        return true;
    }
    if (make_trash_folders(top / (".Trash-" + uid))) {
        place = {top / (".Trash-" + uid), top};
        return true;
    }
    return false;
}

std::string percent_encode(const std::string& path) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : path) {
        if (std::isalnum(c) || std::strchr("/-_.~", c)) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

// The first name free in files/ and in info/, and not planned already: "x.bin", then
// "x.2.bin", "x.3.bin", ...
bool pick_name(const TrashPlace& place, const std::string& name,
               const std::set<std::string>& planned, std::string& chosen) {
    const std::string stem = fs::path(name).stem().string();
    const std::string ext = fs::path(name).extension().string();
    for (unsigned n = 1; n < 100000; ++n) {
        chosen = n == 1 ? name : stem;
        if (n > 1)
            chosen.append(".").append(std::to_string(n)).append(ext);
        const fs::path info = place.folder / "info" / (chosen + ".trashinfo");
        if (!path_taken(place.folder / "files" / chosen) && !path_taken(info) &&
            !planned.contains(info.string()))
            return true;
    }
    return false;
}

// Whether a .trashinfo's Path= names `original`: in full, or relative to the mount top of
// a trash there. Ours are a few lines, written and read at once; a run killed between
// making the file and writing it leaves it empty.
bool info_names(const std::string& info, const std::string& original) {
    char text[8192];
    zelcore::UniqueFd fd(::open(info.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    const ssize_t got = fd ? ::read(fd.get(), text, sizeof text) : -1;
    if (got == 0)
        return true;
    const std::string_view body(text, got > 0 ? static_cast<std::size_t>(got) : 0);
    const auto at = body.find("\nPath=");
    if (at == std::string_view::npos)
        return false;
    const std::string value(body.substr(at + 6, body.find('\n', at + 6) - (at + 6)));
    const std::string full = percent_encode(original);
    return !value.empty() && (value == full || (value[0] != '/' && full.ends_with("/" + value)));
}

} // namespace

fs::path home_trash() {
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data == '/')
        return (fs::path(data) / "Trash").lexically_normal();
    const char* home = std::getenv("HOME");
    return (fs::path(home && *home == '/' ? home : "/") / ".local/share/Trash").lexically_normal();
}

Result<TrashedFile> plan_trash(const fs::path& file, const std::set<std::string>& planned) {
    std::error_code ec;
    const fs::path absolute = fs::absolute(file, ec).lexically_normal();
    if (ec || !path_taken(absolute))
        return trash_error(file, "it does not exist");
    TrashPlace place;
    if (!find_trash(absolute, place))
        return trash_error(file, "its file system has no trash folder we may use");
    std::string name;
    if (!pick_name(place, absolute.filename().string(), planned, name))
        return trash_error(file, std::strerror(EEXIST));
    return TrashedFile{absolute.string(), (place.folder / "files" / name).string(),
                       (place.folder / "info" / (name + ".trashinfo")).string(),
                       place.base.string()};
}

Status write_trash_info(const TrashedFile& file) {
    zelcore::UniqueFd fd(
        ::open(file.info.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!fd)
        return trash_error(file.original, std::strerror(errno));
    const fs::path original(file.original);
    const std::string stored =
        file.base.empty() ? file.original : original.lexically_relative(file.base).string();
    const std::string text = "[Trash Info]\nPath=" + percent_encode(stored) +
                             "\nDeletionDate=" + local_time_text("%Y-%m-%dT%H:%M:%S") + "\n";
    if (zelcore::write_all(fd.get(), text.data(), text.size()) != 0 || ::fsync(fd.get()) != 0) {
        int err = errno;
        ::unlink(file.info.c_str());
        return trash_error(file.original, std::strerror(err));
    }
    return Status::success();
}

Result<TrashedFile> prepare_trash(const fs::path& file) {
    auto planned = plan_trash(file);
    if (!planned)
        return planned;
    if (auto written = write_trash_info(*planned); !written)
        return written.error();
    return planned;
}

Status commit_trash(const TrashedFile& file) {
    int err = rename_no_replace(file.original.c_str(), file.trashed.c_str());
    // One device seen through two mounts (a bind mount) still refuses a plain rename.
    if (err == EXDEV && move_no_replace(file.original, file.trashed))
        err = 0;
    if (err) {
        abandon_trash(file);
        return trash_error(file.original, std::strerror(err));
    }
    sync_folder(fs::path(file.trashed).parent_path());
    return Status::success();
}

void abandon_trash(const TrashedFile& file) {
    ::unlink(file.info.c_str());
}

bool remove_unused_info(const TrashedFile& file) {
    return !path_taken(file.trashed) && info_names(file.info, file.original) &&
           ::unlink(file.info.c_str()) == 0;
}

Result<TrashedFile> move_to_trash(const fs::path& file) {
    auto prepared = prepare_trash(file);
    if (!prepared)
        return prepared;
    if (auto status = commit_trash(*prepared); !status)
        return status.error();
    return prepared;
}

Status restore_from_trash(const TrashedFile& file) {
    std::error_code ec;
    fs::create_directories(fs::path(file.original).parent_path(), ec);
    if (auto status = move_no_replace(file.trashed, file.original); !status)
        return status;
    ::unlink(file.info.c_str());
    return Status::success();
}

} // namespace core
