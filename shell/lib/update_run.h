#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "com.h"

namespace zelshell {

/// The first `count` length-prefixed texts of a database's header, after its format byte
/// (which is not checked), as the file holds them (Windows-1252 bytes); fewer when the file
/// ends sooner. Fails (with fail_with's reason) when the file cannot be opened.
HRESULT read_header_texts(const std::filesystem::path& file, std::size_t count,
                          std::vector<std::string>& texts);

/// The context menu's "Update Database(s)": checks each selected .zdb file against the
/// update server's version file and replaces it with a newer download, then shows the
/// summary. Files of other kinds are passed over. With two or more paths the user is asked
/// first. Runs on the calling thread until the last message box is closed.
///
/// S_OK when the run ended normally, was cancelled or met a server it cannot reach; the
/// error code (with its reason) when a selected database cannot be opened for its version,
/// which ends the run without a summary.
HRESULT run_update(const std::vector<std::string>& paths);

} // namespace zelshell
