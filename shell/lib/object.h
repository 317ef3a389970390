#pragma once

#include <atomic>
#include <initializer_list>

#include "com.h"

namespace zelshell {

/// The objects of this library alive now; the library may be unloaded at 0.
std::atomic<long>& live_objects();
/// The LockServer count of the class factories.
std::atomic<long>& server_locks();

/// Reference counting for the classes: the creator holds the first reference; the last
/// Release deletes the object.
class ObjectBase {
protected:
    ObjectBase() { ++live_objects(); }
    virtual ~ObjectBase() { --live_objects(); }
    ObjectBase(const ObjectBase&) = delete;
    ObjectBase& operator=(const ObjectBase&) = delete;

    ULONG add_ref() { return ++m_refs; }
    ULONG release() {
        const ULONG left = --m_refs;
        if (left == 0)
            delete this;
        return left;
    }

private:
    std::atomic<ULONG> m_refs{1};
};

/// One interface an object answers QueryInterface for, and the object as that interface.
struct InterfaceEntry {
    const IID* iid;
    IUnknown* object;
};

/// QueryInterface over a table of interfaces: IID_IUnknown gives the first entry. Adds a
/// reference to what it hands out.
inline HRESULT query_interface(std::initializer_list<InterfaceEntry> table, const IID& riid,
                               void** ppv) {
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    for (const auto& entry : table) {
        if (*entry.iid == riid || (riid == IID_IUnknown && &entry == table.begin())) {
            entry.object->AddRef();
            *ppv = entry.object;
            return S_OK;
        }
    }
    return E_NOINTERFACE;
}

} // namespace zelshell
