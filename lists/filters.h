#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "result.h"

namespace lists {

/// One line of "filter.ini": a caption for the menu and the patterns it hides.
struct Filter {
    std::string caption;
    std::vector<std::string> patterns;
    bool shown = true; ///< the menu entry's check mark; every filter starts shown
};

/// Lines after the eighth filter are not read.
inline constexpr std::size_t kMaxFilters = 8;

/// The filters of a "filter.ini" text: per line, the caption before the first ":" and the
/// ";"-separated patterns after it (an empty item is a pattern too). A line without ":"
/// names no filter and is passed over; it does not count towards the eight.
std::vector<Filter> parse_filters(std::string_view text);

/// The filters of `file`, a leading byte-order mark skipped; none when it does not exist.
/// A file that exists but cannot be read or is larger than 1 MiB is an error, which a
/// window may show or ignore.
core::Result<std::vector<Filter>> load_filter(const std::filesystem::path& file);

/// True when a filter that is not shown has a pattern that occurs in `text` after the text
/// is lower-cased. Patterns are used as written, so only lower-case patterns can match,
/// and an empty pattern matches every text.
bool hidden_by_filters(std::string_view text, const std::vector<Filter>& filters);

/// Every filter shown again ("Show All").
void show_all(std::vector<Filter>& filters);

} // namespace lists
