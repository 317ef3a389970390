#pragma once

#include <string>
#include <vector>

#include "rdbs.h"

namespace update {

// The program reads its databases once, at start; a database the list has just downloaded
// is the one exception, so that the user can pick it at once.

/// The databases of `names` (as the list names them) read from the databases folder as the
/// start-up reads them (header only); an unusable file is left out. Runs on a worker.
std::vector<core::SystemEntry> read_downloaded(const std::vector<std::string>& names);

/// Adds each of `entries` whose file `systems` does not list yet, after the others: the
/// listed ones keep their places (the main window's selection is a place in the list), and
/// the next start lists them all alphabetically. Returns how many were added.
std::size_t add_new_systems(std::vector<core::SystemEntry>& systems,
                            const std::vector<core::SystemEntry>& entries);

} // namespace update
