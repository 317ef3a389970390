#pragma once

#include <string_view>

namespace zelshell {

/// A file built into the library (shell/shims/ and the .zdb type from data/), by its file
/// name; empty when there is none of that name.
std::string_view embedded_file(std::string_view name);

} // namespace zelshell
