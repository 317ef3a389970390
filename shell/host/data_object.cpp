#include "data_object.h"

#include <atomic>

#include "shell_api.h"

namespace zelshell {
namespace {

class FileDropObject final : public IDataObject {
public:
    FileDropObject(std::vector<std::string> paths, bool has_files)
        : m_paths(std::move(paths)), m_has_files(has_files) {}

    HRESULT QueryInterface(const IID& riid, void** ppv) override {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (!(riid == IID_IUnknown || riid == IID_IDataObject))
            return E_NOINTERFACE;
        AddRef();
        *ppv = static_cast<IDataObject*>(this);
        return S_OK;
    }
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override {
        const ULONG left = --m_refs;
        if (left == 0)
            delete this;
        return left;
    }

    HRESULT GetData(const FORMATETC* format, STGMEDIUM* medium) override {
        if (!format || !medium)
            return E_INVALIDARG;
        if (const HRESULT hr = QueryGetData(format); hr != S_OK)
            return hr;
        HDROP block = make_hdrop(m_paths);
        if (!block)
            return E_OUTOFMEMORY;
        *medium = STGMEDIUM{TYMED_HGLOBAL, block, nullptr};
        return S_OK;
    }
    HRESULT GetDataHere(const FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT QueryGetData(const FORMATETC* format) override {
        if (!format)
            return E_INVALIDARG;
        if (!m_has_files || format->cfFormat != CF_HDROP || !(format->tymed & TYMED_HGLOBAL) ||
            format->dwAspect != DVASPECT_CONTENT)
            return DV_E_FORMATETC;
        return S_OK;
    }

private:
    ~FileDropObject() = default;
    std::vector<std::string> m_paths;
    bool m_has_files;
    std::atomic<ULONG> m_refs{1};
};

} // namespace

ComPtr<IDataObject> make_file_drop_object(std::vector<std::string> paths) {
    return ComPtr<IDataObject>(new FileDropObject(std::move(paths), true));
}

ComPtr<IDataObject> make_empty_data_object() {
    return ComPtr<IDataObject>(new FileDropObject({}, false));
}

} // namespace zelshell
