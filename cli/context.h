#pragma once

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>

#include "cli.h"
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

    /// Prints "zelkon-cli: <text>" on stderr.
    void error(const std::string& text) const;
};

} // namespace cli
