#include "rename_engine.h"
#include "settings.h"

namespace renaming {

RenameSettings read_rename_settings(std::string_view system_id, std::string_view current_folder,
                                    const std::filesystem::path& settings_file) {
    auto get = [&](std::string_view section, std::string_view key, core::SettingDefault fallback) {
        return core::read_setting(section, key, fallback, settings_file).text();
    };
    RenameSettings s;
    s.copy_instead = get(system_id, "CopyInstead", "0") == "1";
    s.rename_in_zip = get("general", "RenameROMsInZip", "0") == "1";
    s.move_renamed = get(system_id, "MoveRenamedFiles", "0") != "0";
    s.rename_folder = get(system_id, "RenameFolder", current_folder);
    s.move_unrecognized = get(system_id, "MoveUnrecognized", "0") == "1";
    s.unrecognized_folder = get(system_id, "UnrecognizedFolder", "");
    s.move_dupes = get(system_id, "MoveDupes", false) == "True";
    s.dupe_folder = get(system_id, "DupeFolder", "");
    s.delete_dupes = get(system_id, "DeleteDupes", false) == "True";
    const std::string recursion = get("general", "RenameWithRecursion", 0);
    s.recursive = recursion == "1" || recursion == "True";
    return s;
}

} // namespace renaming
