#include "file_args.h"

#include <algorithm>
#include <cstring>

#include "context.h"
#include "text.h"

namespace cli {
namespace {

void walk(const std::filesystem::path& folder, std::vector<std::filesystem::path>& files,
          Context& ctx) {
    std::error_code ec;
    std::vector<std::filesystem::path> found;
    auto it = std::filesystem::recursive_directory_iterator(
        folder, std::filesystem::directory_options::skip_permission_denied, ec);
    for (; !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        const auto& entry = *it;
        std::error_code type_ec;
        if (entry.is_directory(type_ec) && !entry.is_symlink(type_ec)) {
            if (entry.path().filename().string().starts_with("."))
                it.disable_recursion_pending();
            continue;
        }
        if (entry.is_directory(type_ec)) {
            it.disable_recursion_pending(); // a linked folder could lead in circles
            continue;
        }
        if (entry.is_regular_file(type_ec))
            found.push_back(entry.path());
    }
    if (ec) {
        ctx.error("cannot read the folder '" + folder.string() + "': " + ec.message());
        ctx.exit_code = kExitFileError;
    }
    std::stable_sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
        return core::compare_lower(a.native(), b.native()) < 0;
    });
    files.insert(files.end(), found.begin(), found.end());
}

} // namespace

std::vector<std::filesystem::path>
expand_file_args(Context& ctx, const std::vector<std::string>& args, bool recursive) {
    std::vector<std::filesystem::path> files;
    for (const auto& arg : args) {
        std::error_code ec;
        auto status = std::filesystem::status(arg, ec);
        if (std::filesystem::is_directory(status)) {
            if (recursive) {
                walk(arg, files, ctx);
            } else {
                ctx.error("'" + arg + "' is a folder (--recursive takes the files below it)");
                ctx.exit_code = kExitFileError;
            }
        } else {
            files.emplace_back(arg); // the identifier tells when it cannot be read
        }
    }
    return files;
}

} // namespace cli
