// The "ROM Database" page: its callback and its dialog procedure, which fills the page
// from the first selected database.

#include <locale>
#include <string>
#include <vector>

#include "mod_zdb.h"
#include "module_state.h"
#include "property_sheet.h"
#include "text.h"

namespace zelshell {
namespace {

constexpr int kColumnWidth = 75;

// The user's thousands separator as UTF-8; "," when the locale has no grouping (the C
// locale has none, and a count of thousands should still read as one).
std::string thousands_separator() {
    try {
        const std::locale user("");
        const auto& punct = std::use_facet<std::numpunct<wchar_t>>(user);
        if (punct.grouping().empty() || punct.thousands_sep() == L'\0')
            return ",";
        std::string separator;
        core::append_utf8(separator, static_cast<char32_t>(punct.thousands_sep()));
        return separator;
    } catch (const std::runtime_error&) {
        return ","; // the environment names a locale this system does not have
    }
}

/// The count as "#,###": groups of three digits; "" for 0.
std::string count_text(std::size_t count) {
    if (count == 0)
        return {};
    const std::string digits = std::to_string(count);
    const std::string separator = thousands_separator();
    std::string text;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            text += separator;
        text += digits[i];
    }
    return text;
}

// All rows in one call: a list of a hundred thousand fills at once. The CRC texts are not
// NUL-terminated in the table, so they are copied into one block of 9-byte texts.
void insert_roms(HWND dialog, const core::RomTable& roms) {
    if (roms.empty())
        return;
    std::string crcs(roms.size() * 9, '\0');
    std::vector<DialogControls::Row> rows(roms.size());
    for (std::size_t i = 0; i < roms.size(); ++i) {
        crcs.replace(i * 9, 8, roms[i].crc.view());
        rows[i] = {crcs.data() + i * 9, roms[i].name.c_str()};
    }
    dialog->insert_rows(kRomList, rows.data(), rows.size());
}

void fill_page(HWND dialog) {
    dialog->set_busy(true);
    dialog->insert_column(kRomList, 0, "CRC32", kColumnWidth);
    dialog->insert_column(kRomList, 1, "Title", kColumnWidth);
    auto& state = this_thread_state();
    std::string file;
    if (state.page_handler)
        file = clsPropertySheet::from_unknown(state.page_handler)->selected_file();
    const ZdbRecord record = zelshell::load_zdb(file, core::kZdbFull);
    insert_roms(dialog, state.roms);
    dialog->set_item_text(kCreditBox, record.header.credit.c_str());
    dialog->set_item_text(kCountBox, count_text(record.entry_count).c_str());
    dialog->set_item_text(kVersionBox, record.header.version.c_str());
    dialog->size_columns_to_contents(kRomList);
    core::RomTable().swap(state.roms);
    dialog->set_busy(false);
}

} // namespace

std::intptr_t property_page_procedure(HWND dialog, std::uint32_t message, std::uintptr_t,
                                      std::intptr_t) {
    if (message == WM_INITDIALOG && dialog)
        fill_page(dialog);
    else if (message == WM_DESTROY)
        this_thread_state().page_handler = nullptr;
    return 0;
}

std::uint32_t property_page_callback(HWND, std::uint32_t message, PROPSHEETPAGE* page) {
    if (!page)
        return 1;
    auto* handler = reinterpret_cast<IUnknown*>(page->lParam);
    auto& state = this_thread_state();
    if (message != PSPCB_RELEASE) {
        state.page_handler = handler;
        return 1;
    }
    if (state.page_handler == handler)
        state.page_handler = nullptr;
    if (handler)
        handler->Release();
    return 1;
}

} // namespace zelshell
