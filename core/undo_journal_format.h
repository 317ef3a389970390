#pragma once

// The undo journal's text form, shared by the journal that writes it and the undo that reads
// it back.

#include <initializer_list>
#include <string>
#include <string_view>

namespace core::journal_format {

inline constexpr std::string_view kFormatLine = "zelkon undo journal 1";

std::string escape(std::string_view field);
/// False for a field that no escape() made.
bool unescape(std::string_view field, std::string& out);
/// The fields escaped, separated by tabs, ended by a line feed.
std::string line(std::initializer_list<std::string_view> fields);

} // namespace core::journal_format
