#include "general_settings.h"

#include "stored_flag.h"

namespace settings {

namespace fs = std::filesystem;

GeneralSettings read_general_settings(const std::string& program_folder, const fs::path& file) {
    GeneralSettings s;
    auto text = [&](const char* key, const std::string& fallback) {
        return core::read_setting("general", key, fallback, file).text();
    };
    auto check = [&](const char* key, bool& value) {
        read_flag(value, text(key, check_text(value)));
    };
    s.proxy_server = text("ProxyServer", s.proxy_server);
    s.proxy_port = text("ProxyPort", s.proxy_port);
    s.startup_folder = text("StartupFolder", program_folder);
    s.rom_list_folder = text("ROMListFolder", s.startup_folder);
    check("ConvertSpacesToUnderscores", s.spaces_to_underscores);
    check("RenameWithRecursion", s.recursive);
    check("RenameROMsInZip", s.rename_in_zip);
    check("CheckForNews", s.check_for_news);
    return s;
}

std::vector<core::SettingChange> general_setting_changes(const GeneralSettings& s) {
    const std::string section = "general";
    return {
        {section, "ProxyServer", s.proxy_server},
        {section, "ProxyPort", s.proxy_port},
        {section, "StartupFolder", s.startup_folder},
        {section, "ROMListFolder", s.rom_list_folder},
        {section, "ConvertSpacesToUnderscores", check_text(s.spaces_to_underscores)},
        {section, "RenameWithRecursion", check_text(s.recursive)},
        {section, "RenameROMsInZip", check_text(s.rename_in_zip)},
        {section, "CheckForNews", check_text(s.check_for_news)},
    };
}

core::Status save_general_settings(const GeneralSettings& settings, const fs::path& file) {
    return core::write_settings(general_setting_changes(settings), file);
}

std::string port_after_edit(std::string_view text) {
    return text.empty() ? std::string("80") : std::string(text);
}

int first_general_tab(int settings_tab) {
    return settings_tab >= 1 && settings_tab <= 3 ? settings_tab - 1 : 0;
}

} // namespace settings
