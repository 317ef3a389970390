#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "prompter.h"
#include "result.h"
#include "settings.h"
#include "zdb.h"

namespace settings {

/// The folders and duplicate rules of one system, as its settings dialog shows them. The
/// initial values are the defaults of a system that has no section yet.
struct SystemSettings {
    std::string default_folder;      ///< "DefaultFolder"
    std::string rename_folder;       ///< "RenameFolder"
    std::string unrecognized_folder; ///< "UnrecognizedFolder"
    std::string dupe_folder;         ///< "DupeFolder"
    bool use_default_folder = false; ///< "UseDefaultFolder", "0"/"1"
    bool move_renamed = false;       ///< "MoveRenamedFiles", "0"/"1"
    bool move_unrecognized = false;  ///< "MoveUnrecognized", "0"/"1"
    // The duplicate group: normally exactly one is set, but the stored keys may leave
    // none set, and the dialog shows that as it is.
    bool move_dupes = false;   ///< "MoveDupes", "True"/"False"
    bool ignore_dupes = true;  ///< "IgnoreDupes", "True"/"False"
    bool delete_dupes = false; ///< "DeleteDupes", "True"/"False"
    bool copy_instead = true;  ///< "CopyInstead", "0"/"1"
};

enum class DupeOption { Move, Ignore, Delete };

/// Selects one duplicate option and clears the other two.
void select_dupe_option(SystemSettings& settings, DupeOption option);

/// Reads the eleven keys of section `id` in their stored order, each with the value in
/// `start` as its default. A duplicate key that reads "True" selects its option and clears
/// the others; "False" clears it. A value that is neither flag nor number leaves the
/// control as it was.
SystemSettings read_system_settings(std::string_view id, SystemSettings start = {},
                                    const std::filesystem::path& file = {});

/// The eleven keys as Apply and OK write them, in their stored order.
std::vector<core::SettingChange> system_setting_changes(std::string_view id,
                                                        const SystemSettings& settings);

/// Writes all eleven keys, changed or not, with one replacement of the file; nothing is
/// written when any value cannot be stored.
core::Status save_system_settings(std::string_view id, const SystemSettings& settings,
                                  const std::filesystem::path& file = {});

/// The database of system `id` in the home's databases folder, read in header-and-info mode:
/// what the Database tab shows, as the reader gives it for a missing or damaged file too.
core::ZdbHeader read_database_info(std::string_view id);

/// Writes a database's long text to a new file in `folder` for the text viewer, ending in
/// a line end. The caller removes it once the viewer has read it.
core::Result<std::filesystem::path> write_more_info(std::string_view text,
                                                    const std::filesystem::path& folder);

/// The tab the dialog opens on: 1 for "Folders" when `settings_tab` is 1, else 0 for
/// "Database".
int first_system_tab(int settings_tab);

/// The message of a save that failed; the dialog stays open with its values.
core::Message save_failure_message(const core::Error& error);

/// The Update button's answer when the computer has no connection: nothing is asked of
/// the server.
core::Message offline_message();

/// The More Info button's message when the text could not be shown.
core::Message more_info_failure_message(const std::string& reason);

} // namespace settings
