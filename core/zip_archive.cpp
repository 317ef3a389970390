#include "zip_archive.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <zip.h>

#include "posix_io.h"
#include "text.h"

namespace core {
namespace {

// Big enough to keep system calls rare, small enough to stay friendly to two threads.
constexpr std::size_t kChunk = 256 * 1024;

struct ZipCloser {
    // Read-only archives have nothing to write back; discard never touches the file.
    void operator()(zip_t* za) const { zip_discard(za); }
};
using ZipPtr = std::unique_ptr<zip_t, ZipCloser>;

struct ZipFileCloser {
    void operator()(zip_file_t* zf) const { zip_fclose(zf); }
};
using ZipFilePtr = std::unique_ptr<zip_file_t, ZipFileCloser>;

// libzip's words, made plain where they mislead. A missing archive is told before libzip
// opens it, so its "No such file" means a directory entry that states a size too large for
// its fields without the ZIP64 field that should hold it. Every argument we pass is sound,
// so its "Invalid argument" means a member's offset that leads to no member.
std::string zip_reason(zip_error_t* error) {
    switch (zip_error_code_zip(error)) {
    case ZIP_ER_NOENT:
        return "a directory entry states a size of 4 GiB or more without the ZIP64 field "
               "that must hold it";
    case ZIP_ER_INCONS:
        return "its directory and its member headers disagree (impossible sizes or offsets)";
    case ZIP_ER_INVAL:
        return "its directory places the member where there is none";
    case ZIP_ER_EOF:
        return "the archive ends inside the member's data (it was cut short)";
    default:
        return zip_error_strerror(error);
    }
}

std::string zip_code_text(int code) {
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    std::string text = zip_reason(&error);
    zip_error_fini(&error);
    return text;
}

Error unreadable(const std::filesystem::path& zip, const std::string& reason) {
    return Error::bad_input("cannot read the ZIP archive " + quoted(zip) + ": " + reason);
}

Error cannot_extract(const std::filesystem::path& zip, const ZipMember& member,
                     const std::string& reason) {
    return Error::failed("cannot extract '" + member.name + "' from the ZIP archive " +
                         quoted(zip) + ": " + reason);
}

Result<ZipPtr> open_archive(const std::filesystem::path& zip) {
    // No ZIP_CHECKCONS: it refuses archives with bytes after the directory, which other
    // unpackers read without complaint, and nothing here relies on what it checks. Member
    // data is verified against the directory's size and CRC when it is extracted.
    // libzip's own reason for a folder is a puzzling "Operation not supported", and a pipe
    // or a device would block or never end.
    std::error_code ec;
    const auto st = std::filesystem::status(zip, ec);
    if (std::filesystem::is_directory(st))
        return unreadable(zip, "it is a folder");
    if (ec)
        return unreadable(zip, ec.message());
    if (!std::filesystem::is_regular_file(st))
        return unreadable(zip, "it is not a regular file");
    int code = 0;
    zip_t* za = zip_open(zip.c_str(), ZIP_RDONLY, &code);
    if (!za)
        return unreadable(zip, zip_code_text(code));
    return ZipPtr(za);
}

// The member name without any folders; Windows tools may write either separator.
std::string_view base_name(std::string_view name) {
    const auto cut = name.find_last_of("/\\");
    return cut == std::string_view::npos ? name : name.substr(cut + 1);
}

Result<ZipMember> stat_member(zip_t* za, const std::filesystem::path& zip, zip_uint64_t index) {
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(za, index, ZIP_FL_UNCHANGED, &st) != 0)
        return unreadable(zip, zip_error_strerror(zip_get_error(za)));
    // The CRC and size are what identification compares; an entry without them cannot
    // be identified or verified.
    if (!(st.valid & ZIP_STAT_NAME) || !(st.valid & ZIP_STAT_CRC) || !(st.valid & ZIP_STAT_SIZE))
        return unreadable(zip,
                          "directory entry " + std::to_string(index) + " has no name, CRC or size");
    ZipMember member;
    member.index = index;
    member.name = st.name;
    member.crc = CrcText::from_value(st.crc);
    member.size = st.size;
    member.encrypted =
        (st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE;
    return member;
}

std::filesystem::path folder_of(const std::filesystem::path& target) {
    return target.has_parent_path() ? target.parent_path() : ".";
}

Status extract_into(zip_t* za, const std::filesystem::path& zip, const ZipMember& member,
                    const std::filesystem::path& target, std::uint64_t cap) {
    if (member.encrypted)
        return cannot_extract(zip, member, "the member is encrypted");

    // Check that the index still names the member the caller listed: the archive may have
    // been replaced since.
    auto current = stat_member(za, zip, member.index);
    if (!current)
        return current.error();
    if (current->name != member.name || current->crc != member.crc || current->size != member.size)
        return cannot_extract(zip, member, "the archive changed while it was being read");
    if (current->encrypted)
        return cannot_extract(zip, member, "the member is encrypted");

    if (member.size > cap)
        return cannot_extract(zip, member,
                              "its stated size of " + std::to_string(member.size) +
                                  " bytes is over the limit of " + std::to_string(cap) +
                                  " bytes for " + core::quoted(folder_of(target)) +
                                  " (the free space there less 64 MiB, and under 4 GiB)");

    zelcore::UniqueFd out(
        ::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (out.get() < 0) {
        const int err = errno;
        return cannot_extract(zip, member,
                              "cannot write " + quoted(target) + ": " + std::strerror(err));
    }

    ZipFilePtr in(zip_fopen_index(za, member.index, ZIP_FL_UNCHANGED));
    if (!in)
        return cannot_extract(zip, member, zip_reason(zip_get_error(za)));

    std::vector<char> buffer(kChunk);
    std::uint64_t total = 0;
    for (;;) {
        // libzip checks the CRC when the data ends, so read until it says so.
        const zip_int64_t n = zip_fread(in.get(), buffer.data(), buffer.size());
        if (n < 0)
            return cannot_extract(zip, member, zip_reason(zip_file_get_error(in.get())));
        if (n == 0)
            break;
        const auto got = static_cast<std::uint64_t>(n);
        if (got > member.size - total)
            return cannot_extract(zip, member,
                                  "the data is longer than the stated " +
                                      std::to_string(member.size) + " bytes");
        total += got;
        if (zelcore::write_all(out.get(), buffer.data(), static_cast<std::size_t>(n)) != 0) {
            const int err = errno;
            return cannot_extract(zip, member,
                                  "cannot write " + quoted(target) + ": " + std::strerror(err));
        }
    }
    if (total != member.size)
        return cannot_extract(zip, member,
                              "the data ends after " + std::to_string(total) + " of the stated " +
                                  std::to_string(member.size) + " bytes");
    if (::close(out.release()) != 0) {
        const int err = errno;
        return cannot_extract(zip, member,
                              "cannot write " + quoted(target) + ": " + std::strerror(err));
    }
    return Status::success();
}

} // namespace

Result<std::vector<ZipMember>> list_zip(const std::filesystem::path& zip,
                                        std::string_view patterns) {
    auto archive = open_archive(zip);
    if (!archive)
        return archive.error();
    zip_t* za = archive->get();

    const zip_int64_t count = zip_get_num_entries(za, ZIP_FL_UNCHANGED);
    if (count < 0)
        return unreadable(zip, zip_error_strerror(zip_get_error(za)));

    std::vector<ZipMember> members;
    for (zip_int64_t i = 0; i < count; ++i) {
        auto member = stat_member(za, zip, static_cast<zip_uint64_t>(i));
        if (!member)
            return member.error();
        // Folder entries (and names that end in a separator, which are nothing else) hold
        // no ROM.
        const auto base = base_name(member->name);
        if (base.empty())
            continue;
        if (!patterns.empty() && !matches_patterns(patterns, base))
            continue;
        members.push_back(std::move(member.value()));
    }
    return members;
}

Result<std::uint64_t> extraction_cap(const std::filesystem::path& folder) {
    struct statvfs vfs {};
    if (::statvfs(folder.c_str(), &vfs) != 0) {
        const int err = errno;
        return Error::failed("cannot check the free space of " + quoted(folder) + ": " +
                             std::strerror(err));
    }
    const auto free_bytes = static_cast<std::uint64_t>(vfs.f_bavail) * vfs.f_frsize;
    const std::uint64_t usable = free_bytes > kFreeSpaceMargin ? free_bytes - kFreeSpaceMargin : 0;
    return std::min(usable, kLargestMember);
}

Status extract_zip_member(const std::filesystem::path& zip, const ZipMember& member,
                          const std::filesystem::path& target) {
    auto cap = extraction_cap(folder_of(target));
    if (!cap)
        return cannot_extract(zip, member, cap.error().message);
    return extract_zip_member(zip, member, target, *cap);
}

Status extract_zip_member(const std::filesystem::path& zip, const ZipMember& member,
                          const std::filesystem::path& target, std::uint64_t cap) {
    Status status = [&]() -> Status {
        auto archive = open_archive(zip);
        if (!archive)
            return archive.error();
        return extract_into(archive->get(), zip, member, target, cap);
    }();
    if (!status) {
        // A partly written file must not be mistaken for the member later.
        std::error_code ec;
        std::filesystem::remove(target, ec);
    }
    return status;
}

} // namespace core
