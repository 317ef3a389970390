#pragma once

#include <optional>
#include <string>
#include <vector>

#include "rdbs.h"

namespace cli {

struct Context;

/// The databases of the home, listed without touching the settings file. A missing
/// databases folder is told (the engine's message plus where we looked) and gives nothing.
std::optional<std::vector<core::SystemEntry>> list_systems(Context& ctx);

/// The database of system `id`, or nothing after telling the user (exit status: usage).
std::optional<core::SystemEntry> find_system_or_complain(Context& ctx, const std::string& id);

} // namespace cli
