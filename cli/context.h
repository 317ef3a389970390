#pragma once

#include <filesystem>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>

#include "cli.h"
#include "hash_cache.h"
#include "prompter.h"
#include "zelcore_library.h"

namespace cli {

/// What every command gets: the streams, the home and the helper library.
struct Context {
    std::ostream& out;
    std::ostream& err;
    core::Prompter* prompter = nullptr;
    std::filesystem::path home;
    std::optional<core::Zelcore> zelcore;
    int exit_code = kExitOk;
    bool no_cache = false; ///< --no-cache: every file is read

    /// Prints "zelkon-cli: <text>" on stderr.
    void error(const std::string& text) const;

    /// The checksum cache of the home, opened on first use; null with --no-cache. A problem
    /// with it is printed once and the command goes on without it.
    core::HashCache* hash_cache();
    /// Prints a problem the cache met since it was last asked, once.
    void report_cache_problem();
    /// Commits and closes the cache; a problem at that point is printed too.
    void close_cache();

    /// Held here so that it closes with the run; reached through hash_cache().
    std::unique_ptr<core::HashCache> opened_cache;
};

} // namespace cli
