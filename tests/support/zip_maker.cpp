#include "zip_maker.h"

#include <stdexcept>

#include <zip.h>

namespace testsupport {

void make_zip(const std::filesystem::path& path, const std::vector<ZipEntry>& entries) {
    int err = 0;
    zip_t* za = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
    if (!za)
        throw std::runtime_error("cannot create zip " + path.string());
    for (const auto& e : entries) {
        zip_source_t* src = zip_source_buffer(za, e.data.data(), e.data.size(), 0);
        zip_int64_t idx = src ? zip_file_add(za, e.name.c_str(), src, ZIP_FL_ENC_UTF_8) : -1;
        if (idx < 0) {
            zip_source_free(src);
            zip_discard(za);
            throw std::runtime_error("cannot add " + e.name + " to " + path.string());
        }
        zip_set_file_compression(za, static_cast<zip_uint64_t>(idx),
                                 e.store ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 0);
        if (!e.password.empty() &&
            zip_file_set_encryption(za, static_cast<zip_uint64_t>(idx), ZIP_EM_AES_256,
                                    e.password.c_str()) != 0) {
            zip_discard(za);
            throw std::runtime_error("cannot encrypt " + e.name);
        }
    }
    if (zip_close(za) != 0) {
        zip_discard(za);
        throw std::runtime_error("cannot write zip " + path.string());
    }
}

} // namespace testsupport
