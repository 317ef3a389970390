#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ui {

/// The file dialogs' filter notation: descriptions and patterns in turn, separated by "|"
/// ("Text Files|*.txt|All Files|*.*"); one entry's patterns are separated by ";".
///
/// The dialog keeps it in a stored form: every "|" a NUL character and the whole ending with
/// two NULs. Reading it back turns the NULs into "|" and drops up to two trailing "|".
std::string filter_to_stored(std::string_view filter);
std::string filter_from_stored(std::string_view stored);

/// One name filter per description in the form the Qt file dialog reads:
/// "Text Files (*.txt)". Patterns are listed with blanks between them; "*.*" becomes "*"
/// so that "All Files" also shows names without a dot. A description that already ends
/// with its own patterns in parentheses ("Lists (*.rcl)|*.rcl") is not given them twice.
/// A description without patterns is kept as it is when it ends in parentheses (a filter
/// already written the Qt way) and matches every file otherwise.
std::vector<std::string> filter_to_name_filters(std::string_view filter);

} // namespace ui
