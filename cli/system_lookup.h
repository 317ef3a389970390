#pragma once

#include <optional>
#include <string>
#include <vector>

#include "rdbs.h"

namespace cli {

struct Context;

/// The databases of the home, listed without touching the settings file. A missing
/// databases folder is told (the engine's message plus where we looked) and gives nothing.
/// The files left out of the list go to `skipped` when given, else unsaid.
std::optional<std::vector<core::SystemEntry>> list_systems(Context& ctx,
                                                           core::Problems* skipped = nullptr);

/// Prints each database left out as "zelkon-cli: <reason>" on stderr.
void report_skipped(Context& ctx, const core::Problems& problems);

/// The database of system `id`, or nothing after telling the user. When the file named
/// after the system (`ID.zdb`) was left out of the list, its reason is told (exit status:
/// file error); otherwise every file left out is named (exit status: usage).
std::optional<core::SystemEntry> find_system_or_complain(Context& ctx, const std::string& id);

} // namespace cli
