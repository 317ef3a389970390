#include "database_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <system_error>

#include <fcntl.h>
#include <unistd.h>

#include "text.h"
#include "zdb.h"

namespace update {
namespace fs = std::filesystem;

namespace {

core::Status remove_and_fail(const fs::path& download, core::Error error) {
    std::error_code ignored;
    fs::remove(download, ignored);
    return error;
}

// The new bytes reach the disk before the name points at them, so a crash right after
// the rename never leaves an empty database where the old one was.
void flush_to_disk(const fs::path& file) {
    int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return;
    (void)::fsync(fd);
    ::close(fd);
}

bool is_read_only(const fs::file_status& status) {
    return (status.permissions() & fs::perms::owner_write) == fs::perms::none;
}

// Why `local` may not be replaced, or "" when it may.
std::string replace_refusal(const fs::path& local, bool replace_read_only) {
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(local, ec);
    if (ec || !fs::exists(status))
        return {};
    if (fs::is_directory(status))
        return core::quoted(local) + " is a folder, not a database";
    if (!replace_read_only && fs::is_regular_file(status) && is_read_only(status))
        return core::quoted(local) + " is read-only; it was left as it is";
    return {};
}

} // namespace

core::Status check_database_file(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return core::Error::failed("cannot open " + core::quoted(file) + ": " +
                                   std::strerror(errno));
    const int first = in.get();
    in.close();
    if (first == '<')
        return core::Error::not_found(core::quoted(file) +
                                      " is the server's error page, not a database");
    // The more-info text belongs to the header too: a download cut short inside it is
    // refused here rather than read as a database with part of its notes.
    const core::ZdbHeader header = core::load_zdb(file, core::kZdbHeaderAndInfo);
    if (!header.usable())
        return core::Error::bad_input(header.error);
    return core::Status::success();
}

core::Status install_database(const fs::path& download, const fs::path& local,
                              bool replace_read_only) {
    if (core::Status checked = check_database_file(download); !checked)
        return remove_and_fail(download, checked.error());
    if (std::string refusal = replace_refusal(local, replace_read_only); !refusal.empty())
        return remove_and_fail(download, core::Error::failed(std::move(refusal)));
    flush_to_disk(download);
    // One rename: the old database stays in place until the new one takes its name.
    if (std::rename(download.c_str(), local.c_str()) != 0) {
        const int error = errno;
        return remove_and_fail(download,
                               core::Error::failed("cannot replace " + core::quoted(local) + ": " +
                                                   std::strerror(error)));
    }
    return core::Status::success();
}

} // namespace update
