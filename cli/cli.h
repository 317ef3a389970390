#pragma once

#include <filesystem>
#include <iosfwd>
#include <string>
#include <vector>

namespace cli {

/// Exit statuses of zelkon-cli.
enum ExitCode : int {
    kExitOk = 0,
    kExitFileError = 1,     ///< a file could not be read (the others were still handled)
    kExitUsage = 2,         ///< bad usage: unknown command, option or system
    kExitNoLibrary = 3,     ///< libzelcore.so or one of its entry points is missing
    kExitInterrupted = 130, ///< stopped by Ctrl-C
};

/// Where a run reads its helper library from and writes its output to, so that tests
/// can run the program in-process.
struct Environment {
    std::ostream& out;
    std::ostream& err;
    std::filesystem::path zelcore_folder; ///< empty: the executable's folder
    /// A user at a terminal answers the questions, read from `in`; otherwise they get the
    /// safe answer unless --yes or --no says otherwise.
    bool interactive = false;
    std::istream* in = nullptr;
};

/// Runs zelkon-cli with `args` (without the program name) and returns the exit status.
int run_cli(const std::vector<std::string>& args, const Environment& env);

} // namespace cli
