// libFuzzer target for sort.ini: the rules of a system, where each one sends files, and the
// same text read from a file.
#include <set>
#include <string>

#include "fuzz_support.h"
#include "read_file.h"
#include "sort_rules.h"

using fuzzing::check;

namespace {

bool leaves_folder(std::string_view target) {
    for (std::size_t at = 0; (at = target.find("..", at)) != std::string_view::npos; ++at) {
        const bool starts_part = at == 0 || target[at - 1] == '/';
        const bool ends_part = at + 2 == target.size() || target[at + 2] == '/';
        if (starts_part && ends_part)
            return true;
    }
    return false;
}

void check_rule(const std::vector<sorting::SortRule>& rules, const sorting::SortRule& rule) {
    check(sorting::first_matching_rule(rules, rule.match) != nullptr);
    const auto target = sorting::rule_target_folder("/base/", rule);
    if (!target) {
        check(!target.error().message.empty());
        return;
    }
    check(target->starts_with("/base/") && target->ends_with("/"));
    check(!leaves_folder(*target) && target->find('\0') == std::string::npos);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text = fuzzing::text_of(data, size);
    const auto rules = sorting::read_sort_rules(text, "SNES");
    std::set<std::string> matches;
    for (const auto& rule : rules) {
        check(matches.insert(rule.match).second); // a match text is listed once
        check_rule(rules, rule);
    }
    const auto loaded = sorting::load_sort_rules(fuzzing::write_input("sort.ini", text), "SNES");
    check(loaded.ok() && *loaded == sorting::read_sort_rules(core::without_bom(text), "SNES"));
    return 0;
}
