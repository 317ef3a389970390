#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace cli {

struct Context;

/// The files named on the command line, in order. With `recursive`, a folder stands for
/// every file below it (sorted without regard to case; folders whose name begins with "."
/// are not entered). A folder without `recursive` or a missing path is told and counted as
/// a file error.
std::vector<std::filesystem::path>
expand_file_args(Context& ctx, const std::vector<std::string>& args, bool recursive);

} // namespace cli
