#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace core {

/// The text before the first NUL character, or the whole text when it holds none.
std::string_view strip_at_nul(std::string_view text);

/// Starts a program (argv[0] is looked up in PATH, no shell in between) in
/// `working_folder` with this process's environment, and waits for it at most `timeout`.
/// True once it has started, whether it ended or the wait timed out; a program still
/// running then goes on and is reaped in the background. False when it cannot be started
/// (no such program, a working folder that cannot be entered, an empty argv).
bool run_and_wait(const std::vector<std::string>& argv, const std::filesystem::path& working_folder,
                  std::chrono::milliseconds timeout);

/// Opens a text file in the desktop's viewer without waiting for it: $VISUAL (split at
/// blanks, the file added as the last argument), else `xdg-open`. No shell is involved.
/// False when no viewer could be started.
bool open_in_text_viewer(const std::filesystem::path& file);

/// The platform's short form of a path: here the path itself.
std::string get_short_path(std::string_view path);

/// True when a network interface other than loopback is up, running and has an
/// IPv4 or IPv6 address.
bool is_online();

/// True when the file system holding `path` is a CD or DVD (iso9660 or udf). A path that
/// does not exist yet is judged by its nearest existing parent folder.
bool is_cdrom(const std::filesystem::path& path);

/// The folder where the file system holding `path` is mounted (its "drive root"), judged
/// like is_cdrom; empty when no part of the path exists.
std::filesystem::path mount_root(const std::filesystem::path& path);

} // namespace core
