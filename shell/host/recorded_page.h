#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "shell_api.h"

namespace zelshell {

/// The controls of a page, kept as text: for the terminal and for the file managers' own
/// pages (--machine).
class RecordedPage final : public DialogControls {
public:
    void set_item_text(int id, const char* text) override { items[id] = text ? text : ""; }
    void insert_column(int, int column, const char* title, int) override {
        if (columns.size() <= static_cast<std::size_t>(column))
            columns.resize(static_cast<std::size_t>(column) + 1);
        columns[static_cast<std::size_t>(column)] = title ? title : "";
    }
    void insert_rows(int, const Row* added, std::size_t count) override {
        for (std::size_t i = 0; i < count; ++i)
            rows.emplace_back(added[i].column0 ? added[i].column0 : "",
                              added[i].column1 ? added[i].column1 : "");
    }
    void size_columns_to_contents(int) override {}
    void set_busy(bool) override {}

    std::string item(int id) const {
        const auto it = items.find(id);
        return it == items.end() ? std::string() : it->second;
    }

    std::map<int, std::string> items;
    std::vector<std::string> columns;
    std::vector<std::pair<std::string, std::string>> rows;
};

/// The ids of the "ROM Database" page's boxes.
inline constexpr int kCreditBox = 1001;
inline constexpr int kCountBox = 1002;
inline constexpr int kVersionBox = 1003;
inline constexpr int kRomList = 1000;

/// Fills `controls` from `page` as a shown page is filled, then closes it.
inline void fill_page(HPROPSHEETPAGE page, DialogControls& controls) {
    if (open_page_dialog(page, &controls))
        close_page_dialog(page, &controls);
}

} // namespace zelshell
