#pragma once

#include <filesystem>

#include "result.h"

namespace update {

/// Fails unless `file` reads as a database: format byte 1, 2 or 3 and a header that
/// parses. A body that starts with "<" is the server's error page and says so.
core::Status check_database_file(const std::filesystem::path& file);

/// Puts a downloaded database in the place of `local` with one rename, after
/// check_database_file; the old file stays until the new one is in place. A read-only
/// `local` is replaced only with `replace_read_only`. On any failure `download` is
/// removed and `local` is as it was.
core::Status install_database(const std::filesystem::path& download,
                              const std::filesystem::path& local, bool replace_read_only);

} // namespace update
