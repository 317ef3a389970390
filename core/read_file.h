#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "result.h"

namespace core {

/// Every byte of a file; nothing when it does not exist. A folder, a path under a plain
/// file or a file that cannot be read is an error naming it: "cannot read 'x': reason".
Result<std::optional<std::string>> read_file_if_exists(const std::filesystem::path& file);

} // namespace core
