#include "downloaded_systems.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "progress.h"
#include "prompter.h"
#include "update_server.h"

namespace update {
namespace fs = std::filesystem;
namespace {

bool same_file(const fs::path& a, const fs::path& b) {
    std::error_code ec;
    const bool same = fs::equivalent(a, b, ec);
    return ec ? a.lexically_normal() == b.lexically_normal() : same;
}

} // namespace

std::vector<core::SystemEntry> read_downloaded(const std::vector<std::string>& names) {
    if (names.empty())
        return {};
    // The start-up's own reading, so that a new entry is exactly what a restart would list;
    // the first-load notices of this run are left as they are.
    core::RdbsOptions options;
    options.reset_first_load_notice = false;
    std::vector<core::SystemEntry> all =
        core::load_rdbs(local_database_path(names.front()).parent_path(), core::silent_prompter(),
                        core::null_progress(), options);
    std::vector<core::SystemEntry> wanted;
    for (auto& entry : all) {
        const bool downloaded = std::any_of(names.begin(), names.end(), [&](const auto& name) {
            return local_database_path(name).filename() == entry.file.filename();
        });
        if (downloaded)
            wanted.push_back(std::move(entry));
    }
    return wanted;
}

std::size_t add_new_systems(std::vector<core::SystemEntry>& systems,
                            const std::vector<core::SystemEntry>& entries) {
    std::size_t added = 0;
    for (const auto& entry : entries) {
        const bool listed = std::any_of(systems.begin(), systems.end(), [&](const auto& s) {
            return same_file(s.file, entry.file);
        });
        if (listed)
            continue;
        systems.push_back(entry);
        ++added;
    }
    return added;
}

} // namespace update
