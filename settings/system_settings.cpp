#include "system_settings.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <unistd.h>

#include "app_home.h"
#include "stored_flag.h"

namespace settings {

namespace fs = std::filesystem;

namespace {

// The three duplicate keys in their stored order with their options.
struct DupeKey {
    const char* key;
    DupeOption option;
    bool SystemSettings::*value;
};
constexpr DupeKey kDupeKeys[] = {
    {"MoveDupes", DupeOption::Move, &SystemSettings::move_dupes},
    {"IgnoreDupes", DupeOption::Ignore, &SystemSettings::ignore_dupes},
    {"DeleteDupes", DupeOption::Delete, &SystemSettings::delete_dupes},
};

} // namespace

void select_dupe_option(SystemSettings& settings, DupeOption option) {
    for (const DupeKey& dupe : kDupeKeys)
        settings.*dupe.value = dupe.option == option;
}

SystemSettings read_system_settings(std::string_view id, SystemSettings start,
                                    const fs::path& file) {
    SystemSettings s = std::move(start);
    auto text = [&](const char* key, std::string& value) {
        value = core::read_setting(id, key, value, file).text();
    };
    auto check = [&](const char* key, bool& value) {
        read_flag(value, core::read_setting(id, key, check_text(value), file).text());
    };
    text("DefaultFolder", s.default_folder);
    text("RenameFolder", s.rename_folder);
    text("UnrecognizedFolder", s.unrecognized_folder);
    text("DupeFolder", s.dupe_folder);
    check("UseDefaultFolder", s.use_default_folder);
    check("MoveRenamedFiles", s.move_renamed);
    check("MoveUnrecognized", s.move_unrecognized);
    for (const DupeKey& dupe : kDupeKeys) {
        const auto stored = core::read_setting(id, dupe.key, option_text(s.*dupe.value), file);
        const auto flag = stored_flag(stored.text());
        if (flag == true)
            select_dupe_option(s, dupe.option);
        else if (flag == false)
            s.*dupe.value = false;
    }
    check("CopyInstead", s.copy_instead);
    return s;
}

std::vector<core::SettingChange> system_setting_changes(std::string_view id,
                                                        const SystemSettings& s) {
    const std::string section(id);
    return {
        {section, "DefaultFolder", s.default_folder},
        {section, "RenameFolder", s.rename_folder},
        {section, "UnrecognizedFolder", s.unrecognized_folder},
        {section, "DupeFolder", s.dupe_folder},
        {section, "UseDefaultFolder", check_text(s.use_default_folder)},
        {section, "MoveRenamedFiles", check_text(s.move_renamed)},
        {section, "MoveUnrecognized", check_text(s.move_unrecognized)},
        {section, "MoveDupes", option_text(s.move_dupes)},
        {section, "IgnoreDupes", option_text(s.ignore_dupes)},
        {section, "DeleteDupes", option_text(s.delete_dupes)},
        {section, "CopyInstead", check_text(s.copy_instead)},
    };
}

core::Status save_system_settings(std::string_view id, const SystemSettings& settings,
                                  const fs::path& file) {
    return core::write_settings(system_setting_changes(id, settings), file);
}

core::ZdbHeader read_database_info(std::string_view id) {
    return core::load_zdb(core::databases_folder() / (std::string(id) + ".zdb"),
                          core::kZdbHeaderAndInfo);
}

core::Result<fs::path> write_more_info(std::string_view text, const fs::path& folder) {
    std::string name = (folder / "zelkon-info-XXXXXX.txt").string();
    const int fd = ::mkstemps(name.data(), 4);
    if (fd < 0)
        return core::Error::failed("cannot make a file in '" + folder.string() +
                                   "': " + std::strerror(errno));
    ::close(fd);
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out << text << '\n';
    out.close();
    if (!out) {
        std::error_code ignored;
        fs::remove(name, ignored);
        return core::Error::failed("cannot write '" + name + "'");
    }
    return fs::path(name);
}

int first_system_tab(int settings_tab) {
    return settings_tab == 1 ? 1 : 0;
}

core::Message save_failure_message(const core::Error& error) {
    return {"The settings could not be saved.\r\r" + error.message, "Settings Not Saved",
            core::Message::Icon::Exclamation, core::Message::Buttons::Ok};
}

core::Message offline_message() {
    return {"You need to connect to the Internet first!", "Cannot Connect",
            core::Message::Icon::Exclamation, core::Message::Buttons::Ok};
}

core::Message more_info_failure_message(const std::string& reason) {
    return {"The database's information could not be shown.\r\r" + reason, "More Info",
            core::Message::Icon::Exclamation, core::Message::Buttons::Ok};
}

} // namespace settings
