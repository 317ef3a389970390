#pragma once

// The rename of a drop: files dropped onto a database get the database's names for them,
// found by checksum, in their own folders and with their own extensions.

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "com.h"

namespace zelshell {

/// What a drop did.
struct DropReport {
    std::size_t renamed = 0;           ///< files that now bear their database name
    std::vector<std::string> problems; ///< one line per file left as it was, and why
    /// A dropped file could not be read: the drop ended there (the reason is kept with
    /// fail_with); the renames planned before it were still carried out.
    HRESULT error = S_OK;
};

/// Identifies each of `files` by its checksum under the rules of the database's system
/// (its file's base name) and renames the matches in place. A rename never replaces a
/// file; the renames go through the home's undo journal, so undo takes them back.
DropReport rename_dropped_files(const std::filesystem::path& database,
                                const std::vector<std::string>& files);

/// The text of the "Results" message: the count line, then the problems.
std::string results_text(const DropReport& report);

} // namespace zelshell
