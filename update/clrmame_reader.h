#pragma once

#include <filesystem>
#include <string_view>

#include "dat_reader.h"
#include "result.h"

namespace update {

/// True when `text` opens as a ClrMamePro DAT: after a byte order mark and blanks, one of
/// the words "clrmamepro", "emulator", "game" or "machine" followed by "(".
bool looks_like_clrmamepro(std::string_view text);

/// Parses a ClrMamePro DAT, blocks of `key value` pairs in parentheses:
///
///     clrmamepro ( name "Sega - Mega Drive" version 20240101 )
///     game ( name "Sonic" description "Sonic (USA)"
///            rom ( name "Sonic (USA).md" size 524288 crc f9394e97 ) )
///
/// A value is a word or a text in double quotes (which holds no double quote). The header
/// is the `clrmamepro` (or older `emulator`) block; every `game` and `machine` block is a
/// game; other blocks and keys are passed over. A text left open, a block never closed or
/// nested too deep is refused with its line; `source` names the file in messages.
core::Result<DatFile> parse_clrmamepro(std::string_view text, const std::filesystem::path& source);

} // namespace update
