#include "filters.h"

#include "read_file.h"
#include "text.h"

namespace lists {
namespace {

// Eight lines of captions and patterns; a larger file is no filter file.
constexpr core::TextFileKind kFilterText{"filter", core::kMiB};

} // namespace

std::vector<Filter> parse_filters(std::string_view text) {
    std::vector<Filter> filters;
    while (!text.empty() && filters.size() < kMaxFilters) {
        const std::string_view line = core::take_line(text);
        auto colon = line.find(':');
        if (colon == std::string_view::npos)
            continue;
        filters.push_back(
            {std::string(line.substr(0, colon)), core::split_list(line.substr(colon + 1), ';')});
    }
    return filters;
}

core::Result<std::vector<Filter>> load_filter(const std::filesystem::path& file) {
    auto text = core::read_text_file_if_exists(file, kFilterText);
    if (!text)
        return text.error();
    return text->has_value() ? parse_filters(**text) : std::vector<Filter>{};
}

bool hidden_by_filters(std::string_view text, const std::vector<Filter>& filters) {
    std::string lower;
    bool folded = false;
    for (const auto& filter : filters) {
        if (filter.shown)
            continue;
        if (!folded) {
            lower = core::fold_case(text);
            folded = true;
        }
        for (const auto& pattern : filter.patterns)
            if (lower.find(pattern) != std::string::npos)
                return true;
    }
    return false;
}

void show_all(std::vector<Filter>& filters) {
    for (auto& filter : filters)
        filter.shown = true;
}

} // namespace lists
