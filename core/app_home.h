#pragma once

#include <filesystem>
#include <optional>

namespace core {

/// The application home holds the settings file and the databases folder.
/// Chosen in this order: an explicit folder (`--home`), `ZELKON_HOME`, the executable's
/// folder when it is writable and already holds `zelkon.ini` or `databases/` (portable
/// use), else `$XDG_DATA_HOME/zelkon` (`~/.local/share/zelkon`).
std::filesystem::path resolve_app_home(const std::optional<std::filesystem::path>& explicit_home);

/// The folder of the running program file.
std::filesystem::path executable_folder();

/// The process-wide home used when no file is named. Set once at start-up.
void set_app_home(std::filesystem::path home);
const std::filesystem::path& app_home();

/// `zelkon.ini` in the home.
std::filesystem::path settings_file_path();
/// `databases/` in the home.
std::filesystem::path databases_folder();

} // namespace core
