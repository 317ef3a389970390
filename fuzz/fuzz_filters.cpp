// libFuzzer target for filter.ini: the filters of a text and of the same text as a file,
// and hiding with every filter switched off.
#include <string>

#include "filters.h"
#include "fuzz_support.h"
#include "read_file.h"
#include "text.h"

using fuzzing::check;

namespace {

bool same(const std::vector<lists::Filter>& a, const std::vector<lists::Filter>& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].caption != b[i].caption || a[i].patterns != b[i].patterns)
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text = fuzzing::text_of(data, size);
    auto filters = lists::parse_filters(text);
    check(filters.size() <= lists::kMaxFilters);
    for (auto& f : filters) {
        check(f.shown && !f.patterns.empty());
        check(f.caption.find_first_of(":\n") == std::string::npos);
        for (const auto& p : f.patterns)
            check(p.find_first_of(";\n") == std::string::npos);
        f.shown = false;
    }
    // A hidden filter hides its own first pattern when that is in lower case.
    for (const auto& f : filters)
        if (const std::string& p = f.patterns.front(); core::fold_case(p) == p)
            check(lists::hidden_by_filters(p, filters));
    lists::show_all(filters);
    check(!lists::hidden_by_filters(text, filters));

    const auto loaded = lists::load_filter(fuzzing::write_input("filter.ini", text));
    check(loaded.ok() && same(*loaded, lists::parse_filters(core::without_bom(text))));
    return 0;
}
