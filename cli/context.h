#pragma once

#include <filesystem>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>

#include "cli.h"
#include "prompter.h"
#include "services.h"

namespace cli {

/// What every command gets: the streams, the prompter and the program's services (home,
/// helper library, checksum cache).
struct Context {
    std::ostream& out;
    std::ostream& err;
    core::Prompter* prompter = nullptr;
    std::filesystem::path home;
    core::Services* services = nullptr; ///< set once the helper library is loaded
    int exit_code = kExitOk;
    bool no_cache = false; ///< --no-cache: every file is read
    bool quiet = false;    ///< --quiet: stdout carries the results only
    bool verbose = false;  ///< --verbose: a real run logs each file
    bool bell = false;     ///< --bell: the terminal bell at the end of a long run

    /// Prints "zelkon-cli: <text>" on stderr.
    void error(const std::string& text) const;

    const core::Zelcore& zelcore() const { return services->zelcore(); }
    /// The checksum cache of the home, opened on first use; null with --no-cache. A problem
    /// with it is printed once and the command goes on without it.
    core::HashCache* hash_cache();
    /// Prints the services' notices (a cache that turned itself off...) not printed yet.
    void report_notices();
    /// Commits and closes the cache; a problem at that point is printed too.
    void close_cache();
};

} // namespace cli
