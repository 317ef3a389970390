#include "zelcore.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <string_view>

#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include "member_name.h"

namespace {

struct ZipDiscarder {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
using ZipHandle = std::unique_ptr<zip_t, ZipDiscarder>;

struct FreeDeleter {
    void operator()(char* p) const { std::free(p); }
};

bool is_ascii(std::string_view text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

// The archive was found before it was opened: libzip's "no such file" then means a broken
// directory entry, not a missing file.
std::int32_t open_error(int zip_code) {
    zip_error_t error;
    // Takes errno for the system errors, so this must come right after zip_open.
    zip_error_init_with_code(&error, zip_code);
    std::int32_t rc = ZELCORE_ERR_BAD_ARCHIVE;
    if (zip_error_system_type(&error) == ZIP_ET_SYS && zip_error_code_system(&error) != 0)
        rc = zip_error_code_system(&error);
    else if (zip_code == ZIP_ER_MEMORY)
        rc = ENOMEM;
    zip_error_fini(&error);
    return rc;
}

std::int32_t rename_member(const char* zip_path, const char* new_name) {
    if (zip_path == nullptr || new_name == nullptr)
        return ZELCORE_ERR_BAD_ARGUMENT;
    if (!zelcore::is_member_file_name(new_name))
        return ZELCORE_ERR_BAD_NAME;
    // libzip replaces the path it was given with a new file; through a symbolic link that
    // would turn the link into a copy, so work on the file the link points to.
    const std::unique_ptr<char, FreeDeleter> real_path(::realpath(zip_path, nullptr));
    if (!real_path)
        return errno;
    // The archive is replaced, not written to, so the folder's permissions would let a
    // read-only archive be changed; the user marked it so to keep it as it is.
    struct stat st {};
    if (::stat(real_path.get(), &st) != 0)
        return errno;
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(real_path.get(), W_OK) != 0)
        return EACCES;

    int zip_code = 0;
    ZipHandle archive(zip_open(real_path.get(), ZIP_CHECKCONS, &zip_code));
    if (!archive)
        return open_error(zip_code);
    // Folder entries count: an archive of "roms/" and "roms/x.bin" is not a one-ROM archive.
    if (zip_get_num_entries(archive.get(), 0) != 1)
        return ZELCORE_ERR_NOT_ONE_MEMBER;
    const char* current = zip_get_name(archive.get(), 0, ZIP_FL_ENC_GUESS);
    if (current == nullptr)
        return ZELCORE_ERR_BAD_ARCHIVE;
    const std::string_view current_name(current);
    if (current_name.empty() || current_name.back() == '/')
        return ZELCORE_ERR_NOT_ONE_MEMBER; // a lone folder holds no ROM to name

    const std::string wanted = zelcore::renamed_member(current_name, new_name);
    if (wanted == current_name)
        return ZELCORE_OK; // nothing to do, and no reason to rewrite the archive
    const zip_flags_t encoding = is_ascii(wanted) ? ZIP_FL_ENC_GUESS : ZIP_FL_ENC_UTF_8;
    if (zip_file_rename(archive.get(), 0, wanted.c_str(), encoding) != 0)
        return ZELCORE_ERR_WRITE;
    // zip_close writes a temporary file beside the archive and renames it over the
    // original, keeping its permissions: a failure leaves the old archive untouched.
    if (zip_close(archive.get()) != 0)
        return ZELCORE_ERR_WRITE; // the handle is still open; ZipHandle discards it
    (void)archive.release();
    return ZELCORE_OK;
}

} // namespace

extern "C" ZELCORE_EXPORT std::int32_t rename_inside_zip(const char* zip_path,
                                                         const char* new_name) {
    try {
        return rename_member(zip_path, new_name);
    } catch (const std::bad_alloc&) {
        return ENOMEM;
    }
}
