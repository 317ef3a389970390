#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace core {

/// A path in single quotes, as every message names a file: 'x.zdb'. A control character in
/// it is shown escaped (\t, \n, \r, \x1b), so that a message naming a file stays one line.
std::string quoted(const std::filesystem::path& path);

/// ASCII lower case; other bytes unchanged.
std::string to_lower_ascii(std::string_view text);
/// Equal without regard to ASCII letter case.
bool iequals(std::string_view a, std::string_view b);
/// Without leading and trailing blanks (spaces only, as the original Trim).
std::string_view trim_spaces(std::string_view text);

/// Three-way comparison of two UTF-8 texts by their lower-cased form, letter by letter.
/// Lower-casing covers ASCII and the Western European letters of Windows-1252
/// (A-Z, À-Þ but ×, Š, Œ, Ž, Ÿ); the order is that of the code points.
int compare_lower(std::string_view a, std::string_view b);

/// The lower-cased form that compare_lower compares: two texts compare equal exactly when
/// their folded forms are equal, so folded texts can key a hash table.
std::string fold_case(std::string_view text);

/// Appends the UTF-8 form of one code point.
void append_utf8(std::string& out, char32_t cp);

/// True when name matches one wildcard pattern (`*`, `?`) without regard to case.
bool wildcard_match(std::string_view pattern, std::string_view name);
/// True when name matches any of the `;`-separated patterns (empty parts are ignored).
bool matches_patterns(std::string_view patterns, std::string_view name);

/// The text after the last dot of the last path component, lower-cased; "" when there is none.
std::string lower_extension(std::string_view path);

/// Message texts break lines with carriage returns (alone or before a line feed); a
/// terminal or a file wants line feeds.
std::string with_line_feeds(std::string_view text);

/// A database name as a file name: a separator or a control character becomes '_', so that
/// the name never reaches into another folder. "" when nothing but blanks and dots would be
/// left ("", "..", "   "), which names no file.
std::string safe_file_name(std::string_view name);

/// The local time now, formatted by strftime (for example "%Y-%m-%d %H:%M:%S").
std::string local_time_text(const char* format);

/// Splits on a one-character delimiter the way the original list splitter does:
/// a missing trailing delimiter is added, so "a;b" and "a;b;" give {"a","b"}, "" gives {""}.
std::vector<std::string> split_list(std::string_view text, char delimiter);

} // namespace core
