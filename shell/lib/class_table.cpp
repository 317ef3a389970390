#include "class_table.h"

#include "object.h"

namespace zelshell {
namespace {

std::vector<ClassInfo>& table() {
    static std::vector<ClassInfo> classes;
    return classes;
}

class ClassFactory final : public IClassFactory, private ObjectBase {
public:
    explicit ClassFactory(Creator create) : m_create(create) {}

    HRESULT QueryInterface(const IID& riid, void** ppv) override {
        return query_interface({{&IID_IClassFactory, this}}, riid, ppv);
    }
    ULONG AddRef() override { return add_ref(); }
    ULONG Release() override { return release(); }

    HRESULT CreateInstance(IUnknown* outer, const IID& riid, void** ppv) override {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        IUnknown* object = m_create();
        if (!object)
            return E_OUTOFMEMORY;
        const HRESULT hr = object->QueryInterface(riid, ppv);
        object->Release();
        return hr;
    }
    HRESULT LockServer(bool lock) override {
        server_locks() += lock ? 1 : -1;
        return S_OK;
    }

private:
    Creator m_create;
};

} // namespace

std::atomic<long>& live_objects() {
    static std::atomic<long> count{0};
    return count;
}

std::atomic<long>& server_locks() {
    static std::atomic<long> count{0};
    return count;
}

const std::vector<ClassInfo>& class_table() {
    return table();
}

ClassRegistration::ClassRegistration(const CLSID& clsid, const char* name, Creator create) {
    table().push_back({clsid, name, create});
}

HRESULT get_class_object(const CLSID& clsid, const IID& riid, void** ppv) {
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    for (const auto& info : table()) {
        if (info.clsid == clsid) {
            auto* factory = new ClassFactory(info.create);
            const HRESULT hr = factory->QueryInterface(riid, ppv);
            factory->Release();
            return hr;
        }
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

} // namespace zelshell
