#pragma once

// clsPropertySheet: the "ROM Database" page of a database file's properties, and the
// page's dialog procedure and callback (property_page.cpp).

#include <string>

#include "com.h"
#include "drop_files.h"
#include "object.h"
#include "shell_api.h"

namespace zelshell {

class clsPropertySheet final : public IShellExtInit, public IShellPropSheetExt, private ObjectBase {
public:
    HRESULT QueryInterface(const IID& riid, void** ppv) override;
    ULONG AddRef() override { return add_ref(); }
    ULONG Release() override { return release(); }

    /// Keeps the selected .zdb files.
    HRESULT Initialize(const void* pidlFolder, IDataObject* pdtobj, void* hkeyProgID) override;

    /// Hands one page to `lpfnAddPage`; the page holds a reference to this object until it
    /// is destroyed. Fails when no .zdb file is selected.
    HRESULT AddPages(LPFNADDPROPSHEETPAGE lpfnAddPage, std::intptr_t lParam) override;
    HRESULT ReplacePage(std::uint32_t, LPFNADDPROPSHEETPAGE, std::intptr_t) override {
        return E_NOTIMPL;
    }

    /// The first selected .zdb file; "" when none is selected.
    const std::string& selected_file() const { return m_files.selected_file(); }

    /// The object a page's application value (or the module's page handler) stands for.
    static clsPropertySheet* from_unknown(IUnknown* handler);

private:
    DropFileList m_files;
};

/// The page's dialog procedure: fills the page when it opens; returns 0 for every message.
std::intptr_t property_page_procedure(HWND dialog, std::uint32_t message, std::uintptr_t wParam,
                                      std::intptr_t lParam);
/// The page's callback: makes the page's handler the module's page handler (1: the page may
/// be created); when the page is released it gives back the page's reference.
std::uint32_t property_page_callback(HWND dialog, std::uint32_t message, PROPSHEETPAGE* page);

/// The dialog resource and the ids of the page's controls.
inline constexpr int kRomDatabasePage = 106;
inline constexpr int kRomList = 1000;
inline constexpr int kCreditBox = 1001;
inline constexpr int kCountBox = 1002;
inline constexpr int kVersionBox = 1003;

} // namespace zelshell
