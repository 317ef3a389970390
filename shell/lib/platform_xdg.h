#pragma once

// What the registration needs of a Linux desktop: the user's XDG folders, whether a program
// of the user runs, and the tools that rebuild the desktop's caches.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <sys/types.h>

#include "result.h"

namespace zelshell::platform {

/// $XDG_DATA_HOME, or ~/.local/share when it is unset or not absolute (as the XDG rules say).
core::Result<std::filesystem::path> data_home();
/// $XDG_CONFIG_HOME, or ~/.config.
core::Result<std::filesystem::path> config_home();
/// The folders of $XDG_CONFIG_DIRS, or /etc/xdg.
std::vector<std::filesystem::path> config_dirs();

/// True when a process of this user runs a program of that name (its /proc comm, without
/// regard to case) whose XDG config folder is `config`: one with another config folder
/// reads other settings. A process whose environment cannot be read counts.
bool program_running_with_config(std::string_view name, const std::filesystem::path& config);

/// Runs a tool with the given arguments and waits for it; false when it is not installed.
bool run_tool(const std::vector<std::string>& argv);

/// The permission bits of a file (not following a last symbolic link: none for a link).
std::optional<mode_t> permission_bits(const std::filesystem::path& path);

} // namespace zelshell::platform
