#include "open_save_filter.h"

#include <algorithm>

namespace ui {
namespace {

std::vector<std::string_view> split(std::string_view text, std::string_view separators) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || separators.find(text[i]) != std::string_view::npos) {
            parts.push_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    return parts;
}

std::string_view trim(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// The Qt dialog matches "*.*" only against names with a dot; "All Files" means every file.
std::vector<std::string> qt_patterns(std::string_view patterns, std::string_view separators) {
    std::vector<std::string> list;
    for (auto part : split(patterns, separators)) {
        if (auto pattern = trim(part); !pattern.empty())
            list.emplace_back(pattern == "*.*" ? "*" : pattern);
    }
    return list;
}

std::string join(const std::vector<std::string>& patterns) {
    std::string text;
    for (const auto& pattern : patterns)
        text += (text.empty() ? "" : " ") + pattern;
    return text;
}

// "Lists (*.rcl)" with the patterns *.rcl: the part before the parentheses, else the whole.
std::string_view without_own_patterns(std::string_view description,
                                      const std::vector<std::string>& patterns) {
    const auto open = description.rfind('(');
    if (description.empty() || description.back() != ')' || open == std::string_view::npos)
        return description;
    auto inner = description.substr(open + 1, description.size() - open - 2);
    if (qt_patterns(inner, ";, ") != patterns)
        return description;
    return trim(description.substr(0, open));
}

std::string name_filter(std::string_view description, std::string_view pattern_text) {
    const auto patterns = qt_patterns(pattern_text, ";");
    if (patterns.empty())
        return description.ends_with(')') ? std::string(description)
                                          : std::string(description) + " (*)";
    const auto head = without_own_patterns(description, patterns);
    if (head.empty())
        return join(patterns);
    return std::string(head) + " (" + join(patterns) + ")";
}

} // namespace

std::string filter_to_stored(std::string_view filter) {
    std::string stored(filter);
    std::replace(stored.begin(), stored.end(), '|', '\0');
    stored.append(2, '\0');
    return stored;
}

std::string filter_from_stored(std::string_view stored) {
    std::string filter(stored);
    std::replace(filter.begin(), filter.end(), '\0', '|');
    for (int i = 0; i < 2 && filter.ends_with('|'); ++i)
        filter.pop_back();
    return filter;
}

std::vector<std::string> filter_to_name_filters(std::string_view filter) {
    std::vector<std::string> filters;
    const auto parts = split(filter, "|");
    for (std::size_t i = 0; i < parts.size(); i += 2) {
        const auto description = trim(parts[i]);
        const auto patterns = i + 1 < parts.size() ? parts[i + 1] : std::string_view{};
        if (description.empty() && trim(patterns).empty())
            break; // two NULs in a row end the list in the stored form
        filters.push_back(name_filter(description, patterns));
    }
    return filters;
}

} // namespace ui
