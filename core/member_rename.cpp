#include "member_rename.h"

#include <memory>

#include <zip.h>

#include "member_name.h"

namespace core {
namespace {

struct ZipDiscarder {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};

std::string_view stem_of(std::string_view member) {
    const std::string_view base = member.substr(zelcore::member_base_start(member));
    const std::size_t dot = base.rfind('.');
    return dot != std::string_view::npos && dot + 1 < base.size() ? base.substr(0, dot) : base;
}

} // namespace

Result<std::string> only_member_name(const std::filesystem::path& zip) {
    int code = 0;
    std::unique_ptr<zip_t, ZipDiscarder> archive(zip_open(zip.c_str(), ZIP_RDONLY, &code));
    if (!archive) {
        zip_error_t error;
        zip_error_init_with_code(&error, code);
        std::string why = zip_error_strerror(&error);
        zip_error_fini(&error);
        return Error::bad_input("it cannot be read as an archive (" + why + ")");
    }
    const zip_int64_t entries = zip_get_num_entries(archive.get(), 0);
    if (entries != 1)
        return Error::bad_input("it holds " + std::to_string(entries) + " entries, not one ROM");
    const char* name = zip_get_name(archive.get(), 0, ZIP_FL_ENC_GUESS);
    if (name == nullptr || *name == '\0' || std::string_view(name).back() == '/')
        return Error::bad_input("its only entry is not a file");
    return std::string(name);
}

Result<MemberRename> plan_member_rename(const std::filesystem::path& zip,
                                        std::string_view new_name) {
    if (!zelcore::is_member_file_name(new_name))
        return Error::bad_input("'" + std::string(new_name) + "' is not a file name");
    auto now = only_member_name(zip);
    if (!now)
        return now.error();
    std::string renamed = zelcore::renamed_member(*now, new_name);
    return MemberRename{zip.string(), std::move(*now), std::move(renamed)};
}

std::string name_giving_back(std::string_view now, std::string_view old) {
    std::string name(stem_of(old));
    if (!zelcore::is_member_file_name(name) || zelcore::renamed_member(now, name) != old)
        return {};
    return name;
}

} // namespace core
