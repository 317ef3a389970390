#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace core {

/// Windows-1252 bytes to UTF-8. The five unassigned bytes map to the C1 controls of the
/// same value, as Windows does, so every byte string converts.
std::string cp1252_to_utf8(std::string_view bytes);

/// True when the text is strict UTF-8: no overlong forms, no surrogates, nothing above
/// U+10FFFF.
bool is_valid_utf8(std::string_view text);

/// UTF-8 to Windows-1252 bytes; nothing when the text holds a character the code page
/// lacks or is not valid UTF-8.
std::optional<std::string> utf8_to_cp1252(std::string_view text);

} // namespace core
