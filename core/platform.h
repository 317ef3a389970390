#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace core {

/// The text before the first NUL character, or the whole text when it holds none.
std::string_view strip_at_nul(std::string_view text);

/// Starts a program (argv[0] is looked up in PATH) in `working_folder` and waits for it
/// at most `timeout`; a timeout only ends the wait. False when it cannot be started.
bool run_and_wait(const std::vector<std::string>& argv, const std::filesystem::path& working_folder,
                  std::chrono::milliseconds timeout);

/// The platform's short form of a path: here the path itself.
std::string get_short_path(std::string_view path);

/// True when a network interface other than loopback is up.
bool is_online();

/// True when the file system holding `path` is a CD or DVD (iso9660 or udf).
bool is_cdrom(const std::filesystem::path& path);

} // namespace core
