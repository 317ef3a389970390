#pragma once

// What the shell and its common controls give a handler on Windows, reduced to what our
// classes use: file-drop lists, menus, property pages, the task allocator and message-box
// flags. Header-only, so the library and the host agree on every layout.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "com.h"

namespace zelshell {

// ---- the task allocator ----------------------------------------------------------------

inline void* CoTaskMemAlloc(std::size_t bytes) {
    return std::malloc(bytes);
}
inline void CoTaskMemFree(void* block) {
    std::free(block);
}
/// A copy of `text` from the task allocator; null when out of memory.
inline OLECHAR* co_task_text(std::string_view text) {
    auto* out = static_cast<OLECHAR*>(CoTaskMemAlloc(text.size() + 1));
    if (out) {
        std::memcpy(out, text.data(), text.size());
        out[text.size()] = '\0';
    }
    return out;
}

// ---- file-drop lists -------------------------------------------------------------------

/// The header of a file-drop block; the paths follow at pFiles, each ended by a NUL, the
/// list by a second NUL.
struct DROPFILES {
    std::uint32_t pFiles;
    POINTL pt;
    std::int32_t fNC;
    std::int32_t fWide;
};
using HDROP = void*;

/// A file-drop block holding `paths`, from malloc; ReleaseStgMedium frees it.
inline HDROP make_hdrop(const std::vector<std::string>& paths) {
    std::size_t bytes = sizeof(DROPFILES) + 1;
    for (const auto& p : paths)
        bytes += p.size() + 1;
    auto* block = static_cast<char*>(std::calloc(bytes, 1));
    if (!block)
        return nullptr;
    DROPFILES header{static_cast<std::uint32_t>(sizeof(DROPFILES)), {0, 0}, 0, 0};
    std::memcpy(block, &header, sizeof header);
    char* at = block + sizeof(DROPFILES);
    for (const auto& p : paths) {
        std::memcpy(at, p.data(), p.size());
        at += p.size() + 1;
    }
    return block;
}

/// DragQueryFile: with index 0xFFFFFFFF the number of paths; with a null buffer the length
/// of path `index`; otherwise copies at most cch - 1 characters and a NUL and returns the
/// number copied. An index past the end gives 0.
inline std::uint32_t DragQueryFileA(HDROP drop, std::uint32_t index, char* buffer,
                                    std::uint32_t cch) {
    if (!drop)
        return 0;
    DROPFILES header{};
    std::memcpy(&header, drop, sizeof header);
    const char* at = static_cast<const char*>(drop) + header.pFiles;
    std::uint32_t i = 0;
    while (*at) {
        const std::size_t length = std::strlen(at);
        if (i == index) {
            if (!buffer)
                return static_cast<std::uint32_t>(length);
            if (cch == 0)
                return 0;
            const std::size_t n = length < cch - 1 ? length : cch - 1;
            std::memcpy(buffer, at, n);
            buffer[n] = '\0';
            return static_cast<std::uint32_t>(n);
        }
        at += length + 1;
        ++i;
    }
    return index == 0xFFFFFFFFu ? i : 0;
}

/// The whole of path `index`, whatever its length.
inline std::string drag_query_path(HDROP drop, std::uint32_t index) {
    std::string path(DragQueryFileA(drop, index, nullptr, 0), '\0');
    if (!path.empty())
        DragQueryFileA(drop, index, path.data(), static_cast<std::uint32_t>(path.size() + 1));
    return path;
}

inline void ReleaseStgMedium(STGMEDIUM* medium) {
    if (!medium)
        return;
    if (medium->pUnkForRelease)
        medium->pUnkForRelease->Release();
    else
        std::free(medium->hGlobal);
    *medium = STGMEDIUM{0, nullptr, nullptr};
}

/// The request for a data object's file-drop list.
inline FORMATETC hdrop_format() {
    return FORMATETC{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
}

// ---- menus -----------------------------------------------------------------------------

inline constexpr std::uint32_t MF_BYPOSITION = 0x400;

/// The context menu a handler adds its items to, as the host shows it.
struct MenuModel {
    struct Item {
        std::uintptr_t id;
        std::string text;
    };
    std::vector<Item> items;
};

/// InsertMenu by position (MF_BYPOSITION): a position past the end appends.
inline bool InsertMenuA(HMENU menu, std::uint32_t position, std::uint32_t flags,
                        std::uintptr_t id, const char* text) {
    if (!menu || !(flags & MF_BYPOSITION) || !text)
        return false;
    const auto at = position < menu->items.size() ? position : menu->items.size();
    menu->items.insert(menu->items.begin() + static_cast<std::ptrdiff_t>(at), {id, text});
    return true;
}

// ---- property pages --------------------------------------------------------------------

/// The controls of a page's dialog as its dialog procedure fills them: what
/// SendDlgItemMessage and SetWindowText reach on Windows. The host's dialog implements it.
struct DialogControls {
    struct Row {
        const char* column0;
        const char* column1;
    };
    virtual void set_item_text(int id, const char* text) = 0;
    virtual void insert_column(int list_id, int column, const char* title, int width) = 0;
    /// Appends rows to the list, in order. Called with many rows at once: a list of a
    /// hundred thousand must fill in a blink.
    virtual void insert_rows(int list_id, const Row* rows, std::size_t count) = 0;
    virtual void size_columns_to_contents(int list_id) = 0;
    virtual void set_busy(bool busy) = 0; ///< the hourglass pointer

protected:
    ~DialogControls() = default;
};
using HWND = DialogControls*;

inline constexpr std::uint32_t WM_DESTROY = 2;
inline constexpr std::uint32_t WM_NOTIFY = 78;
inline constexpr std::uint32_t WM_INITDIALOG = 272;

inline constexpr std::uint32_t PSP_USETITLE = 0x08;
inline constexpr std::uint32_t PSP_USECALLBACK = 0x80;
inline constexpr std::uint32_t PSPCB_ADDREF = 0;
inline constexpr std::uint32_t PSPCB_RELEASE = 1;
inline constexpr std::uint32_t PSPCB_CREATE = 2;

using DLGPROC = std::intptr_t (*)(HWND dialog, std::uint32_t message, std::uintptr_t wParam,
                                  std::intptr_t lParam);
using LPFNPSPCALLBACK = std::uint32_t (*)(HWND dialog, std::uint32_t message,
                                          PROPSHEETPAGE* page);

struct PROPSHEETPAGE {
    std::uint32_t dwSize;
    std::uint32_t dwFlags;
    void* hInstance;
    int templateId;        ///< the dialog resource: 106 for "ROM Database"
    const char* pszTitle;  ///< must outlive the page (a literal)
    DLGPROC pfnDlgProc;
    std::intptr_t lParam;  ///< the application value
    LPFNPSPCALLBACK pfnCallback;
};

/// A page made from its description; with PSP_USECALLBACK the callback hears PSPCB_ADDREF
/// now and PSPCB_RELEASE when the page is destroyed.
inline HPROPSHEETPAGE CreatePropertySheetPageA(const PROPSHEETPAGE* description) {
    if (!description || !description->pfnDlgProc)
        return nullptr;
    auto* page = new PROPSHEETPAGE(*description);
    if ((page->dwFlags & PSP_USECALLBACK) && page->pfnCallback)
        page->pfnCallback(nullptr, PSPCB_ADDREF, page);
    return page;
}

inline bool DestroyPropertySheetPage(HPROPSHEETPAGE page) {
    if (!page)
        return false;
    if ((page->dwFlags & PSP_USECALLBACK) && page->pfnCallback)
        page->pfnCallback(nullptr, PSPCB_RELEASE, page);
    delete page;
    return true;
}

/// How a host shows a page it took: the callback is asked (PSPCB_CREATE), then the dialog
/// procedure hears WM_INITDIALOG with the page as lParam; WM_DESTROY when it closes.
inline bool open_page_dialog(HPROPSHEETPAGE page, HWND controls) {
    if ((page->dwFlags & PSP_USECALLBACK) && page->pfnCallback &&
        page->pfnCallback(controls, PSPCB_CREATE, page) == 0)
        return false;
    page->pfnDlgProc(controls, WM_INITDIALOG, 0, reinterpret_cast<std::intptr_t>(page));
    return true;
}
inline void close_page_dialog(HPROPSHEETPAGE page, HWND controls) {
    page->pfnDlgProc(controls, WM_DESTROY, 0, 0);
}

// ---- message boxes ---------------------------------------------------------------------

inline constexpr std::uint32_t MB_OK = 0x00;
inline constexpr std::uint32_t MB_OKCANCEL = 0x01;
inline constexpr std::uint32_t MB_ICONERROR = 0x10;
inline constexpr std::uint32_t MB_ICONQUESTION = 0x20;
inline constexpr std::uint32_t MB_ICONEXCLAMATION = 0x30;
inline constexpr std::uint32_t MB_ICONINFORMATION = 0x40;
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

} // namespace zelshell
