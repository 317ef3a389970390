#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "result.h"
#include "settings.h"

namespace settings {

/// The program-wide settings of section "general" that the General Settings dialog edits.
struct GeneralSettings {
    std::string proxy_server;           ///< "ProxyServer", as typed
    std::string proxy_port = "80";      ///< "ProxyPort", as typed
    std::string startup_folder;         ///< "StartupFolder"
    std::string rom_list_folder;        ///< "ROMListFolder"
    bool spaces_to_underscores = false; ///< "ConvertSpacesToUnderscores", "0"/"1"
    bool recursive = false;             ///< "RenameWithRecursion", "0"/"1"
    bool rename_in_zip = false;         ///< "RenameROMsInZip", "0"/"1"
    bool check_for_news = true;         ///< "CheckForNews", "0"/"1"
};

/// Reads the eight keys in their stored order. The start-up folder defaults to
/// `program_folder`, the list folder to the start-up folder just read.
GeneralSettings read_general_settings(const std::string& program_folder,
                                      const std::filesystem::path& file = {});

/// The eight keys as Apply and OK write them, in their stored order.
std::vector<core::SettingChange> general_setting_changes(const GeneralSettings& settings);

/// Writes all eight keys with one replacement of the file; nothing is written when any
/// value cannot be stored.
core::Status save_general_settings(const GeneralSettings& settings,
                                   const std::filesystem::path& file = {});

/// The port box's text once it loses the focus: "80" for an empty text, else as typed.
std::string port_after_edit(std::string_view text);

/// The tab index the dialog opens on (0 "Folders", 1 "Renaming", 2 "Internet") for the
/// caller's tab number 1 to 3; any other number opens the first tab.
int first_general_tab(int settings_tab);

} // namespace settings
