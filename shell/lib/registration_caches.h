#pragma once

// The desktop finds file types and "Open With" entries through caches that a tool rebuilds
// from the files in a folder: update-mime-database for mime/, update-desktop-database for
// applications/. What a rebuild made that was not there before is recorded in the ledger,
// so that unregistration can take it away again when nothing else needs it.

#include <filesystem>

#include "registration_files.h"

namespace zelshell {

enum class Cache { MimeTypes, Applications };

/// Rebuilds the cache of `data`'s folder when `changed` (our files in it changed) or when it
/// has never been built. A missing tool is told through a notice (file types need it).
void rebuild_cache(FileKeeper& keeper, Cache cache, const std::filesystem::path& data,
                   bool changed);
/// After our files left the folder: rebuilds the cache when others' files still need it,
/// else removes what its rebuilds made for us.
void restore_cache(FileKeeper& keeper, Cache cache, const std::filesystem::path& data);

} // namespace zelshell
