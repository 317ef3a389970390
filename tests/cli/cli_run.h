#pragma once

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "cli.h"

namespace clitest {

/// What one in-process run of zelkon-cli gave.
struct CliRun {
    int code;
    std::string out;
    std::string err;
};

/// Runs zelkon-cli with `--home home` and then `args`, in this process.
inline CliRun run_cli_in(const std::filesystem::path& home, std::vector<std::string> args,
                         const std::filesystem::path& zelcore = {}) {
    args.insert(args.begin(), {"--home", home.string()});
    std::ostringstream out, err;
    int code = cli::run_cli(args, {out, err, zelcore});
    return {code, out.str(), err.str()};
}

inline bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

} // namespace clitest
