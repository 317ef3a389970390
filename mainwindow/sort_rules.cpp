#include "sort_rules.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "read_file.h"
#include "settings.h"
#include "text.h"

namespace sorting {
namespace {

// Hand-kept rules run to dozens of lines; a larger file is no rule file, and reading and
// matching it would keep the user waiting for nothing.
constexpr core::TextFileKind kSortRulesText{"sort rules", core::kMiB};

// Splits at LF, CR LF and a lone CR, the line ends a hand-edited file may carry.
std::vector<std::string_view> split_lines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
        if (text[end] == '\r' && start < text.size() && text[start] == '\n')
            ++start;
    }
    return lines;
}

bool is_section_line(std::string_view line) {
    return line.size() >= 2 && line.front() == '[' && line.back() == ']';
}

void add_rule(std::vector<SortRule>& rules, std::string_view match, std::string_view subfolder) {
    auto same = std::find_if(rules.begin(), rules.end(),
                             [&](const SortRule& r) { return r.match == match; });
    if (same != rules.end())
        same->subfolder = subfolder;
    else
        rules.push_back({std::string(match), std::string(subfolder)});
}

std::vector<std::string_view> folder_parts(std::string_view subfolder) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (start <= subfolder.size()) {
        std::size_t end = subfolder.find_first_of("\\/", start);
        if (end == std::string_view::npos)
            end = subfolder.size();
        std::string_view part = subfolder.substr(start, end - start);
        if (!part.empty() && part != ".")
            parts.push_back(part);
        start = end + 1;
    }
    return parts;
}

// No selected system never lets the rules before the first section line count.
bool applies(std::string_view section, std::string_view system_id) {
    return section == "all" || (!system_id.empty() && section == system_id);
}

core::Error refused(const SortRule& rule, std::string_view why) {
    return core::Error::bad_input("Rule " + core::quoted(rule.match) +
                                  " is refused: " + std::string(why));
}

} // namespace

std::vector<SortRule> read_sort_rules(std::string_view text, std::string_view system_id) {
    std::vector<SortRule> rules;
    std::string_view section;
    for (std::string_view raw : split_lines(text)) {
        const std::string_view line = core::trim_spaces(raw);
        if (is_section_line(line)) {
            section = line.substr(1, line.size() - 2);
            continue;
        }
        if (line.empty() || line.starts_with("//"))
            continue;
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos || !applies(section, system_id))
            continue;
        add_rule(rules, line.substr(0, colon), line.substr(colon + 1));
    }
    return rules;
}

core::Result<std::vector<SortRule>> load_sort_rules(const std::filesystem::path& file,
                                                    std::string_view system_id) {
    auto text = core::read_text_file_if_exists(file, kSortRulesText);
    if (!text)
        return text.error();
    if (!*text)
        return core::Error::not_found("cannot read " + core::quoted(file) + ": " +
                                      std::strerror(ENOENT));
    return read_sort_rules(**text, system_id);
}

const SortRule* first_matching_rule(const std::vector<SortRule>& rules,
                                    std::string_view file_name) {
    const std::string name = core::fold_case(file_name);
    for (const auto& rule : rules)
        if (name.find(core::fold_case(rule.match)) != std::string::npos)
            return &rule;
    return nullptr;
}

core::Result<std::string> rule_target_folder(std::string_view current_folder,
                                             const SortRule& rule) {
    const std::string& sub = rule.subfolder;
    if (sub.find('\0') != std::string::npos)
        return refused(rule, "its folder name holds a NUL character.");
    const auto parts = folder_parts(sub);
    const bool from_root = !sub.empty() && (sub.front() == '/' || sub.front() == '\\');
    const bool climbs = std::find(parts.begin(), parts.end(), "..") != parts.end();
    if (from_root || climbs)
        return refused(rule, "its folder " + core::quoted(sub) + " lies outside " +
                                 core::quoted(std::string(current_folder)) + ".");
    std::string folder = core::add_backslash(current_folder);
    for (auto part : parts) {
        folder += part;
        folder += core::kSeparator;
    }
    return folder;
}

} // namespace sorting
