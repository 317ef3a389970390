// clsDropHandler: files dropped onto a database file are renamed by that database, and a
// message says how many.

#include <string>

#include "class_table.h"
#include "drop_files.h"
#include "drop_rename.h"
#include "module_state.h"
#include "object.h"
#include "shell_api.h"
#include "site.h"
#include "zelshell.h"

namespace zelshell {
namespace {

class clsDropHandler final : public IPersistFile, public IDropTarget, private ObjectBase {
public:
    HRESULT QueryInterface(const IID& riid, void** ppv) override {
        return query_interface({{&IID_IPersistFile, static_cast<IPersistFile*>(this)},
                                {&IID_IPersist, static_cast<IPersistFile*>(this)},
                                {&IID_IDropTarget, static_cast<IDropTarget*>(this)}},
                               riid, ppv);
    }
    ULONG AddRef() override { return add_ref(); }
    ULONG Release() override { return release(); }

    // IPersistFile: Load names the drop target. The others have nothing to do, but hand
    // back defined values rather than leave the caller's untouched.
    HRESULT GetClassID(CLSID* pClassID) override {
        if (pClassID)
            *pClassID = CLSID_clsDropHandler;
        return S_OK;
    }
    HRESULT IsDirty() override { return S_OK; }
    HRESULT Load(const OLECHAR* pszFileName, std::uint32_t) override {
        if (!pszFileName)
            return E_POINTER;
        m_database = pszFileName;
        return S_OK;
    }
    HRESULT Save(const OLECHAR*, bool) override { return S_OK; }
    HRESULT SaveCompleted(const OLECHAR*) override { return S_OK; }
    HRESULT GetCurFile(OLECHAR** ppszFileName) override {
        if (ppszFileName)
            *ppszFileName = nullptr;
        return S_OK;
    }

    // IDropTarget
    HRESULT DragEnter(IDataObject*, std::uint32_t, POINTL, std::uint32_t* pdwEffect) override {
        if (pdwEffect)
            *pdwEffect = DROPEFFECT_COPY;
        return S_OK;
    }
    HRESULT DragOver(std::uint32_t, POINTL, std::uint32_t*) override { return S_OK; }
    HRESULT DragLeave() override { return S_OK; }
    HRESULT Drop(IDataObject* pDataObj, std::uint32_t, POINTL, std::uint32_t*) override {
        DropFileList dropped;
        if (const HRESULT hr = dropped.get_drop_files(pDataObj, ""); failed(hr))
            return hr;
        const DropReport report = rename_dropped_files(m_database, dropped.files());
        if (failed(report.error))
            return report.error;
        MessageBoxA(nullptr, results_text(report).c_str(), "Results", MB_OK | MB_ICONINFORMATION);
        return S_OK;
    }

private:
    std::string m_database;
};

IUnknown* create() {
    return static_cast<IPersistFile*>(new clsDropHandler);
}

const ClassRegistration registration{CLSID_clsDropHandler, "clsDropHandler", &create};

} // namespace
} // namespace zelshell
