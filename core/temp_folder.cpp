#include "temp_folder.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <system_error>

#include <unistd.h>

namespace core {

Result<TempFolder> TempFolder::create(std::string_view prefix) {
    // The prefix becomes part of a file name; a separator would put the folder elsewhere.
    if (prefix.empty() || prefix.find('/') != std::string_view::npos ||
        prefix.find('\0') != std::string_view::npos)
        return Error::failed("cannot create a temporary folder: bad name prefix '" +
                             std::string(prefix) + "'");
    std::error_code ec;
    const auto base = std::filesystem::temp_directory_path(ec);
    if (ec)
        return Error::failed("cannot find the temporary folder: " + ec.message());
    // mkdtemp creates the folder with mode 0700, so no other user can look inside or plant
    // files where we are about to write.
    std::string pattern = (base / (std::string(prefix) + "-XXXXXX")).string();
    if (!mkdtemp(pattern.data())) {
        const int err = errno;
        return Error::failed("cannot create a temporary folder in '" + base.string() +
                             "': " + std::strerror(err));
    }
    return TempFolder(std::filesystem::path(pattern));
}

TempFolder::TempFolder(TempFolder&& other) noexcept : m_path(std::move(other.m_path)) {
    other.m_path.clear();
}

TempFolder& TempFolder::operator=(TempFolder&& other) noexcept {
    if (this != &other) {
        if (!m_path.empty()) {
            std::error_code ec;
            std::filesystem::remove_all(m_path, ec);
        }
        m_path = std::move(other.m_path);
        other.m_path.clear();
    }
    return *this;
}

TempFolder::~TempFolder() {
    if (m_path.empty())
        return;
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
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

RemoveOnExit::~RemoveOnExit() {
    if (m_path.empty())
        return;
    std::error_code ec;
    std::filesystem::remove(m_path, ec);
}

} // namespace core
