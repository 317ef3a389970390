#include "property_sheet.h"

#include "class_table.h"
#include "module_state.h"
#include "zelshell.h"

namespace zelshell {

HRESULT clsPropertySheet::QueryInterface(const IID& riid, void** ppv) {
    return query_interface({{&IID_IShellExtInit, static_cast<IShellExtInit*>(this)},
                            {&IID_IShellPropSheetExt, static_cast<IShellPropSheetExt*>(this)}},
                           riid, ppv);
}

clsPropertySheet* clsPropertySheet::from_unknown(IUnknown* handler) {
    // Pages are made only by AddPages below, which hands out this object as IShellExtInit.
    return static_cast<clsPropertySheet*>(static_cast<IShellExtInit*>(handler));
}

HRESULT clsPropertySheet::Initialize(const void*, IDataObject* pdtobj, void*) {
    return m_files.get_drop_files(pdtobj, ".zdb");
}

HRESULT clsPropertySheet::AddPages(LPFNADDPROPSHEETPAGE lpfnAddPage, std::intptr_t lParam) {
    if (!lpfnAddPage)
        return E_POINTER;
    if (m_files.count() == 0)
        return fail_with(E_INVALIDARG, "none of the selected files is a ROM database (.zdb)");
    // The page holds a reference to its handler: the callback gives it back on release.
    AddRef();
    PROPSHEETPAGE description{};
    description.dwSize = sizeof(PROPSHEETPAGE);
    description.dwFlags = PSP_USETITLE | PSP_USECALLBACK;
    description.templateId = kRomDatabasePage;
    description.pszTitle = "ROM Database";
    description.pfnDlgProc = &property_page_procedure;
    description.lParam = reinterpret_cast<std::intptr_t>(static_cast<IShellExtInit*>(this));
    description.pfnCallback = &property_page_callback;
    HPROPSHEETPAGE page = CreatePropertySheetPageA(&description);
    if (!page) {
        Release();
        return S_OK;
    }
    if (!lpfnAddPage(page, lParam))
        DestroyPropertySheetPage(page);
    return S_OK;
}

namespace {

IUnknown* create() {
    return static_cast<IShellExtInit*>(new clsPropertySheet);
}

const ClassRegistration registration{CLSID_clsPropertySheet, "clsPropertySheet", &create};

} // namespace
} // namespace zelshell
