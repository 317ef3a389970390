// The entry points of the library, with C linkage, as a self-registering in-process
// server has them.

#include "class_table.h"
#include "module_state.h"
#include "object.h"
#include "registration.h"
#include "site.h"
#include "zelshell.h"

using namespace zelshell;

extern "C" {

HRESULT DllGetClassObject(const CLSID* rclsid, const IID* riid, void** ppv) {
    if (!rclsid || !riid)
        return E_INVALIDARG;
    return get_class_object(*rclsid, *riid, ppv);
}

HRESULT DllCanUnloadNow() {
    return live_objects() == 0 && server_locks() == 0 ? S_OK : S_FALSE;
}

HRESULT DllRegisterServer() {
    return register_server();
}

HRESULT DllUnregisterServer() {
    return unregister_server();
}

void ZelshellSetSite(const ZelshellSite* site) {
    set_site(site);
}

const char* ZelshellErrorText() {
    return this_thread_state().error_text.c_str();
}

} // extern "C"
