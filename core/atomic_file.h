#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

#include <sys/types.h>

#include "result.h"

namespace core {

/// Writes `bytes` to a new file beside `path` and renames it over `path`, then syncs the
/// folder: a reader sees the old file or the new one, never half of one, a crash keeps one
/// of them whole, and a failed write leaves the old file as it was.
///
/// With `mode` the file gets exactly that mode; without, it keeps the mode of the file it
/// replaces, and a new file gets 0666 less the umask.
Status write_file_atomically(const std::filesystem::path& path, std::string_view bytes,
                             std::optional<mode_t> mode = std::nullopt);

} // namespace core
