#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "outcome.h"

namespace core {

class Prompter;
class Progress;

/// One listed database.
struct SystemEntry {
    std::string long_name;
    std::string id;       ///< the trimmed system id
    std::string patterns; ///< the file patterns with every "*.*" replaced by "*"
    std::filesystem::path file;
};

struct RdbsOptions {
    /// Write `ZDBLoaded` = "0" for every listed database (the desktop program's start-up),
    /// so the first-load notice shows once per run.
    bool reset_first_load_notice = true;
    std::filesystem::path settings_file; ///< empty: the application home's
    /// When given, receives each `.zdb` file left out of the list, with the reason.
    Problems* skipped = nullptr;
};

/// Lists every `.zdb` of `folder` (header only, alphabetical without regard to case),
/// skipping unusable files (told through `options.skipped` when given). A missing folder
/// is told through `prompter`.
/// Progress shows "Loading ROM Databases..." with each file's base name.
std::vector<SystemEntry> load_rdbs(const std::filesystem::path& folder, Prompter& prompter,
                                   Progress& progress, const RdbsOptions& options = {});

/// What a folder shows for a system: its file patterns and ZIP archives ("*.bin;*.zip").
std::string file_filter(const SystemEntry& system);

/// The listed database whose id equals `id` (exactly, else without regard to case).
const SystemEntry* find_system(const std::vector<SystemEntry>& systems, std::string_view id);

} // namespace core
