#include "identify.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <optional>
#include <system_error>

#include <sys/stat.h>

#include "hash_cache.h"
#include "text.h"
#include "zip_archive.h"

namespace core {
namespace {

constexpr std::int64_t kCopierHeader = 512;

Error cannot_read(const std::filesystem::path& path, const std::string& reason) {
    return Error::failed("cannot read " + quoted(path) + ": " + reason);
}

// Follows links, as opening the file would. A folder or a device is not a ROM file.
// One stat call: on a collection of small files every system call shows.
Result<FileStamp> regular_file_stamp(const std::filesystem::path& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        const int err = errno;
        if (err == ENOENT)
            return Error::not_found("cannot read " + quoted(path) + ": " + std::strerror(err));
        return cannot_read(path, std::strerror(err));
    }
    if (S_ISDIR(st.st_mode))
        return cannot_read(path, "it is a folder");
    if (!S_ISREG(st.st_mode))
        return cannot_read(path, "it is not a regular file");
    return stamp_from(st);
}

Result<std::int64_t> regular_file_size(const std::filesystem::path& path) {
    auto stamp = regular_file_stamp(path);
    if (!stamp)
        return stamp.error();
    return stamp->size;
}

// True for a full path with no "." or ".." component and no doubled separator, which
// normalising would leave as it is: the common case, told without building components.
bool is_plainly_normal(std::string_view path) {
    if (path.find("//") != std::string_view::npos || path.ends_with("/.") || path.ends_with("/.."))
        return false;
    return path.find("/./") == std::string_view::npos &&
           path.find("/../") == std::string_view::npos;
}

// The same file under whatever folder the caller ran from: the cache keys by full path.
std::string absolute_text(const std::filesystem::path& path) {
    if (path.is_absolute())
        return is_plainly_normal(path.native()) ? path.native() : path.lexically_normal().native();
    std::error_code ec;
    auto full = std::filesystem::absolute(path, ec);
    return ec ? path.native() : full.lexically_normal().native();
}

// The same error, told in terms of the user's file: `prefix`, the part that names one of
// our files, is replaced by `head`.
Error reworded(const Error& error, const std::string& prefix, const std::string& head) {
    std::string_view reason = error.message;
    if (!prefix.empty() && reason.substr(0, prefix.size()) == prefix)
        reason.remove_prefix(prefix.size());
    return Error{error.code, head + ": " + std::string(reason)};
}

std::string_view member_base_name(std::string_view name) {
    const auto cut = name.find_last_of("/\\");
    return cut == std::string_view::npos ? name : name.substr(cut + 1);
}

// The member's extension may only become part of our file name when it is plainly one;
// anything else (separators, dots, control bytes, long runs) gives no suffix at all.
std::string safe_suffix(std::string_view member_name) {
    const std::string ext = lower_extension(member_base_name(member_name));
    if (ext.empty() || ext.size() > 8)
        return "";
    for (const char c : ext)
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')))
            return "";
    return "." + ext;
}

// The first 16 bytes of a file; whatever lies past the end stays zero, as a fixed-size
// record read of a short file leaves it.
Result<std::array<unsigned char, 16>> first_16_bytes(const std::filesystem::path& path,
                                                     const std::string& shown_name) {
    std::array<unsigned char, 16> bytes{};
    errno = 0;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        const int err = errno;
        return Error::failed("cannot read " + shown_name + ": " +
                             (err ? std::strerror(err) : "cannot open the file"));
    }
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (in.bad())
        return Error::failed("cannot read " + shown_name + ": read error");
    return bytes;
}

bool all_zero(const std::array<unsigned char, 16>& bytes) {
    for (const auto b : bytes)
        if (b != 0)
            return false;
    return true;
}

} // namespace

bool is_zip(std::string_view path) {
    return lower_extension(path) == "zip";
}

Identifier::Identifier(Zelcore zelcore, SystemRules system, TempFolder temp)
    : m_zelcore(std::move(zelcore)), m_system(std::move(system)), m_temp(std::move(temp)) {}

Result<Identifier> Identifier::create(Zelcore zelcore, SystemRules system) {
    auto temp = TempFolder::create(kTempPrefix);
    if (!temp)
        return temp.error();
    return Identifier(std::move(zelcore), std::move(system), std::move(temp.value()));
}

namespace {

// One member extracted into the private folder under a name of ours.
Result<std::filesystem::path>
extract_member(const TempFolder& temp, const std::filesystem::path& zip, const ZipMember& member) {
    auto target = temp.new_file(safe_suffix(member.name));
    if (!target)
        return Error::failed("cannot extract '" + member.name + "' from the ZIP archive " +
                             quoted(zip) + ": " + target.error().message);
    auto status = extract_zip_member(zip, member, *target);
    if (!status)
        return status.error();
    return std::move(target.value());
}

} // namespace

Result<std::filesystem::path> Identifier::extract_from_zip(const std::filesystem::path& zip) const {
    auto members = list_zip(zip, m_system.patterns);
    if (!members)
        return members.error();
    if (members->empty())
        return std::filesystem::path();
    return extract_member(m_temp, zip, members->front());
}

bool Identifier::treats_as_zip(const std::filesystem::path& path) const {
    return m_system.look_inside_zip && is_zip(path.string());
}

CacheKey Identifier::cache_key(const std::filesystem::path& path, const FileStamp& stamp,
                               std::uint16_t skip) const {
    // The member of an archive is whichever the patterns pick first: they are part of the
    // rule, so the archive need not even be listed on a hit.
    return {absolute_text(path), stamp, m_system.id, skip,
            treats_as_zip(path) ? m_system.patterns : std::string()};
}

std::optional<CrcText> Identifier::known_crc32(const std::filesystem::path& path,
                                               std::uint16_t skip) const {
    if (!m_cache)
        return std::nullopt;
    auto stamp = regular_file_stamp(path);
    if (!stamp)
        return std::nullopt;
    return m_cache->lookup(cache_key(path, *stamp, skip));
}

Result<CrcText> Identifier::get_crc32(const std::filesystem::path& path, std::uint16_t skip) const {
    auto stamp = regular_file_stamp(path);
    if (!stamp)
        return stamp.error();
    if (!m_cache)
        return compute_crc32(path, stamp->size, skip);
    const CacheKey key = cache_key(path, *stamp, skip);
    if (auto known = m_cache->lookup(key))
        return *known;
    auto crc = compute_crc32(path, stamp->size, skip);
    if (crc)
        m_cache->store(key, *crc);
    return crc;
}

Result<CrcText> Identifier::compute_crc32(const std::filesystem::path& path, std::int64_t path_size,
                                          std::uint16_t skip) const {
    // Step 1: the source. A ZIP archive stands for its first matching member; its data is
    // read only when a rule needs the bytes themselves.
    const bool zip = treats_as_zip(path);
    std::optional<ZipMember> member;
    std::int64_t size = 0;
    std::string extension;
    if (zip) {
        auto members = list_zip(path, m_system.patterns);
        if (!members)
            return members.error();
        if (members->empty())
            return CrcText::from_value(0);
        member = std::move(members->front());
        size = static_cast<std::int64_t>(member->size);
        extension = lower_extension(member_base_name(member->name));
    } else {
        size = path_size;
        extension = lower_extension(path.string());
    }
    std::int64_t offset = skip;
    bool must_extract = false;

    // The working file: the plain file itself, or the extracted member, which is removed
    // however this call ends.
    std::filesystem::path working = path;
    std::optional<RemoveOnExit> extracted_guard;
    const auto extract = [&]() -> Status {
        auto extracted = extract_member(m_temp, path, *member);
        if (!extracted)
            return extracted.error();
        working = std::move(extracted.value());
        extracted_guard.emplace(working);
        return Status::success();
    };
    // Errors name what the user handed us: the file, or the member and its archive, never
    // a file of our private folder.
    const std::string shown =
        zip ? "'" + member->name + "' in the ZIP archive " + quoted(path) : quoted(path);
    const auto hash = [&](const std::filesystem::path& file, std::int64_t from, std::int64_t length,
                          const std::string& what) -> Result<CrcText> {
        auto crc = m_zelcore.file_crc32(file, from, length);
        if (!crc)
            return reworded(crc.error(), "cannot read " + quoted(file) + ": ",
                            "cannot read " + what);
        return CrcText::from_value(*crc);
    };

    // Step 2: the system's rules.
    const std::string& id = m_system.id;
    if (id == "SGENESIS" && extension == "smd") {
        // Interleaved dumps are listed in the database by their plain image.
        if (zip) {
            if (auto s = extract(); !s)
                return s.error();
        }
        auto converted = m_temp.new_file(".bin");
        if (!converted)
            return reworded(converted.error(), "", "cannot convert " + shown);
        const RemoveOnExit converted_guard(*converted);
        if (auto s = m_zelcore.smd2bin(working, *converted); !s)
            return reworded(s.error(),
                            "cannot convert " + quoted(working) + " into " + quoted(*converted) +
                                ": ",
                            "cannot convert " + shown);
        auto converted_size = regular_file_size(*converted);
        if (!converted_size)
            return reworded(converted_size.error(), "cannot read " + quoted(*converted) + ": ",
                            "cannot read the converted image of " + shown);
        return hash(*converted, 0, *converted_size, "the converted image of " + shown);
    }
    if (id == "TURBOGFX") {
        if (zip) {
            if (auto s = extract(); !s)
                return s.error();
        }
        auto head = first_16_bytes(working, shown);
        if (!head)
            return head.error();
        if (all_zero(*head)) {
            // A copier header of 512 bytes; for a ZIP the extracted file is hashed below.
            offset = kCopierHeader;
        } else if (zip) {
            return member->crc;
        }
    } else if (id == "JAGUAR") {
        if (size % 1024 != 0) {
            offset = kCopierHeader;
            if (zip)
                must_extract = true;
        }
    } else if (id != "SGENESIS") {
        // A header skip means the directory CRC (of the whole member) is not the one wanted.
        if (zip && skip > 0)
            must_extract = true;
    }

    // Step 3: the general rule.
    const bool have_extracted = extracted_guard.has_value();
    if (zip && !must_extract && !have_extracted)
        return member->crc;
    if (zip && !have_extracted) {
        if (auto s = extract(); !s)
            return s.error();
    }
    return hash(working, offset, size - offset, shown);
}

} // namespace core
