// clsQueryInfo: the info tip of a database file, the five lines the file manager shows
// when the pointer rests on it.

#include <string>

#include "class_table.h"
#include "mod_zdb.h"
#include "module_state.h"
#include "object.h"
#include "shell_api.h"
#include "zelshell.h"

namespace zelshell {
namespace {

std::string tip_text(const core::ZdbHeader& header) {
    return "System: " + header.long_name + "\r\n" + "Credit To: " + header.credit + "\r\n" +
           "Version: " + header.version + "\r\n" + "\r\n" + header.notes;
}

class clsQueryInfo final : public IPersistFile, public IQueryInfo, private ObjectBase {
public:
    HRESULT QueryInterface(const IID& riid, void** ppv) override {
        return query_interface({{&IID_IPersistFile, static_cast<IPersistFile*>(this)},
                                {&IID_IPersist, static_cast<IPersistFile*>(this)},
                                {&IID_IQueryInfo, static_cast<IQueryInfo*>(this)}},
                               riid, ppv);
    }
    ULONG AddRef() override { return add_ref(); }
    ULONG Release() override { return release(); }

    // IPersistFile: only Load is needed to show a tip.
    HRESULT GetClassID(CLSID*) override { return E_NOTIMPL; }
    HRESULT IsDirty() override { return E_NOTIMPL; }
    HRESULT Load(const OLECHAR* pszFileName, std::uint32_t) override {
        if (!pszFileName)
            return E_POINTER;
        m_file = pszFileName;
        return S_OK;
    }
    HRESULT Save(const OLECHAR*, bool) override { return E_NOTIMPL; }
    HRESULT SaveCompleted(const OLECHAR*) override { return E_NOTIMPL; }
    HRESULT GetCurFile(OLECHAR**) override { return E_NOTIMPL; }

    // IQueryInfo. A file that cannot be read fails; one that is not a database gives the
    // labels with empty values.
    HRESULT GetInfoTip(std::uint32_t, OLECHAR** ppwszTip) override {
        if (!ppwszTip)
            return E_POINTER;
        *ppwszTip = nullptr;
        if (const HRESULT hr = check_readable(m_file); failed(hr))
            return hr;
        const ZdbRecord record = zelshell::load_zdb(m_file, core::kZdbHeaderOnly);
        *ppwszTip = co_task_text(tip_text(record.header));
        return *ppwszTip ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT GetInfoFlags(std::uint32_t*) override { return E_NOTIMPL; }

private:
    std::string m_file;
};

IUnknown* create() {
    return static_cast<IPersistFile*>(new clsQueryInfo);
}

const ClassRegistration registration{CLSID_clsQueryInfo, "clsQueryInfo", &create};

} // namespace
} // namespace zelshell
