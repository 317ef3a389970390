#include "rdbs.h"

#include <algorithm>
#include <system_error>

#include "progress.h"
#include "prompter.h"
#include "settings.h"
#include "text.h"
#include "zdb.h"

namespace core {
namespace {

const std::string kLoadingStatus = "Loading ROM Databases...";

bool is_zdb_name(std::string_view name) {
    // "*.zdb" without regard to case.
    return wildcard_match("*.zdb", name);
}

std::string replace_all(std::string_view text, std::string_view from, std::string_view to) {
    // Built by appending: GCC 12 at -O3 warns falsely (-Wrestrict) on std::string::replace.
    std::string out;
    for (auto at = text.find(from); at != std::string_view::npos; at = text.find(from)) {
        out.append(text.substr(0, at)).append(to);
        text.remove_prefix(at + from.size());
    }
    out.append(text);
    return out;
}

// The databases of the folder in the order a file list shows them: alphabetical without
// regard to case, ties by the exact name so the order never depends on the file system.
std::vector<std::filesystem::path> list_databases(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> files;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
         it.increment(ec)) {
        std::error_code type_ec;
        if (!it->is_regular_file(type_ec))
            continue;
        if (is_zdb_name(it->path().filename().string()))
            files.push_back(it->path());
    }
    std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) {
        const std::string x = a.filename().string(), y = b.filename().string();
        if (int c = compare_lower(x, y); c != 0)
            return c < 0;
        return x < y;
    });
    return files;
}

} // namespace

std::vector<SystemEntry> load_rdbs(const std::filesystem::path& folder, Prompter& prompter,
                                   Progress& progress, const RdbsOptions& options) {
    std::vector<SystemEntry> systems;
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec)) {
        Message message;
        message.text = "The 'Databases' folder was not found! Zelkon will not work properly "
                       "without it.\rYou must place your ZDB files in a subfolder underneath "
                       "the executable.";
        message.title = "Folder Not Found";
        message.icon = Message::Icon::Critical;
        message.buttons = Message::Buttons::Ok;
        prompter.ask(message);
        return systems;
    }

    progress.status(kLoadingStatus);

    const auto files = list_databases(folder);
    std::vector<SettingChange> resets;
    const std::size_t n = files.size();
    for (std::size_t i = 0; i < n; ++i) {
        const auto& file = files[i];
        progress.status(kLoadingStatus + file.stem().string());
        if (n >= 2)
            progress.step(i, n - 1);

        ZdbHeader header = load_zdb(file, kZdbHeaderOnly);
        if (!header.usable()) {
            if (options.skipped)
                options.skipped->push_back(Problem::line(std::move(header.error), file.string()));
            continue;
        }
        SystemEntry entry;
        entry.long_name = std::move(header.long_name);
        entry.id = std::string(trim_spaces(header.system_id));
        entry.patterns = replace_all(header.patterns, "*.*", "*");
        entry.file = file;
        if (check_setting(entry.id, "ZDBLoaded", "0"))
            resets.push_back({entry.id, "ZDBLoaded", "0"});
        systems.push_back(std::move(entry));
    }
    // One write for all: a folder of many databases must not rewrite the settings file
    // once per database. Failing only means a notice is not shown again.
    if (options.reset_first_load_notice && !resets.empty())
        (void)write_settings(resets, options.settings_file);
    return systems;
}

std::string file_filter(const SystemEntry& system) {
    return system.patterns + ";*.zip";
}

const SystemEntry* find_system(const std::vector<SystemEntry>& systems, std::string_view id) {
    for (const auto& s : systems)
        if (s.id == id)
            return &s;
    for (const auto& s : systems)
        if (iequals(s.id, id))
            return &s;
    return nullptr;
}

} // namespace core
