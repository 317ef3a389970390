#include "read_file.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "text.h"

namespace core {
namespace {

Error read_error(const std::filesystem::path& file, int err) {
    return Error::failed("cannot read " + quoted(file) + ": " + std::strerror(err));
}

Error too_large(const std::filesystem::path& file, const TextFileKind& kind) {
    const auto cap = kind.max_bytes >= kMiB ? std::to_string(kind.max_bytes / kMiB) + " MiB"
                                            : std::to_string(kind.max_bytes) + " bytes";
    return Error::bad_input(quoted(file) + " is larger than " + cap + ", too large for a " +
                            std::string(kind.name) + " file");
}

// Reads to the end, or until more than `cap` bytes came (a file that grows while read).
int read_all(int fd, std::uint64_t cap, std::string& bytes) {
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got > 0)
            bytes.append(buffer, static_cast<std::size_t>(got));
        else if (got == 0)
            return 0;
        else if (errno != EINTR)
            return errno;
        if (bytes.size() > cap)
            return 0;
    }
}

} // namespace

Result<std::optional<std::string>> read_file_if_exists(const std::filesystem::path& file,
                                                       std::optional<TextFileKind> kind) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT)
            return std::optional<std::string>{};
        return read_error(file, errno);
    }
    const std::uint64_t cap = kind ? kind->max_bytes : UINT64_MAX;
    struct stat st {};
    int err = ::fstat(fd, &st) != 0 ? errno : S_ISDIR(st.st_mode) ? EISDIR : 0;
    std::string bytes;
    const bool over = err == 0 && static_cast<std::uint64_t>(st.st_size) > cap;
    if (err == 0 && !over)
        err = read_all(fd, cap, bytes);
    ::close(fd);
    if (err != 0)
        return read_error(file, err);
    if (over || bytes.size() > cap)
        return too_large(file, *kind);
    return std::optional<std::string>(std::move(bytes));
}

Result<std::optional<std::string>> read_text_file_if_exists(const std::filesystem::path& file,
                                                            const TextFileKind& kind) {
    auto bytes = read_file_if_exists(file, kind);
    if (bytes && *bytes && (*bytes)->starts_with(kByteOrderMark))
        (*bytes)->erase(0, kByteOrderMark.size());
    return bytes;
}

std::string_view without_bom(std::string_view text) {
    if (text.starts_with(kByteOrderMark))
        text.remove_prefix(kByteOrderMark.size());
    return text;
}

std::string_view take_line(std::string_view& rest) {
    const auto end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    // Also on a last line without its LF: a file cut between CR and LF.
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return line;
}

} // namespace core
