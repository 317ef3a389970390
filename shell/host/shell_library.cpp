#include "shell_library.h"

#include <cstdio>

#include <dlfcn.h>

#include "text.h"
#include "zelcore_library.h"

namespace zelshell {

struct ShellLibrary::Api {
    void* handle = nullptr;
    decltype(&::DllGetClassObject) get_class_object = nullptr;
    decltype(&::DllCanUnloadNow) can_unload_now = nullptr;
    decltype(&::DllRegisterServer) register_server = nullptr;
    decltype(&::DllUnregisterServer) unregister_server = nullptr;
    decltype(&::ZelshellSetSite) set_site = nullptr;
    decltype(&::ZelshellErrorText) error_text = nullptr;

    Api() = default;
    Api(const Api&) = delete;
    Api& operator=(const Api&) = delete;
    // A file manager unloads an extension only when DllCanUnloadNow says it may; objects
    // still alive keep it loaded, as they would keep their code.
    ~Api() {
        if (handle && can_unload_now && can_unload_now() == S_OK)
            ::dlclose(handle);
    }
};

namespace {

template <class Fn>
core::Status resolve(void* handle, const std::filesystem::path& library, const char* symbol,
                     Fn& out) {
    ::dlerror();
    void* address = ::dlsym(handle, symbol);
    if (!address) {
        const char* why = ::dlerror();
        return core::Error::failed(core::quoted(library) + " has no entry point '" + symbol +
                                   "': " + (why ? why : "unknown error"));
    }
    out = reinterpret_cast<Fn>(address);
    return core::Status::success();
}

} // namespace

core::Result<ShellLibrary> ShellLibrary::load(const std::filesystem::path& folder) {
    const auto library = folder / kLibraryName;
    auto api = std::make_shared<Api>();
    api->handle = ::dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!api->handle) {
        const char* why = ::dlerror();
        return core::Error::not_found("cannot load " + core::quoted(library) + ": " +
                                      (why ? why : "unknown error"));
    }
    for (const core::Status& status :
         {resolve(api->handle, library, "DllGetClassObject", api->get_class_object),
          resolve(api->handle, library, "DllCanUnloadNow", api->can_unload_now),
          resolve(api->handle, library, "DllRegisterServer", api->register_server),
          resolve(api->handle, library, "DllUnregisterServer", api->unregister_server),
          resolve(api->handle, library, "ZelshellSetSite", api->set_site),
          resolve(api->handle, library, "ZelshellErrorText", api->error_text)})
        if (!status)
            return status.error();
    return ShellLibrary(std::move(api));
}

core::Result<ShellLibrary> ShellLibrary::load_beside_executable() {
    auto folder = core::program_library_folder(kLibraryName);
    if (!folder)
        return folder.error();
    return load(*folder);
}

HRESULT ShellLibrary::create(const CLSID& clsid, const IID& iid, void** object) const {
    ComPtr<IClassFactory> factory;
    HRESULT hr = m_api->get_class_object(&clsid, &IID_IClassFactory, factory.put());
    if (failed(hr))
        return hr;
    return factory->CreateInstance(nullptr, iid, object);
}

HRESULT ShellLibrary::register_server() const {
    return m_api->register_server();
}

HRESULT ShellLibrary::unregister_server() const {
    return m_api->unregister_server();
}

HRESULT ShellLibrary::can_unload_now() const {
    return m_api->can_unload_now();
}

void ShellLibrary::set_site(const ZelshellSite* site) const {
    m_api->set_site(site);
}

std::string ShellLibrary::error_text(HRESULT hr) const {
    std::string text = m_api->error_text();
    return text.empty() ? "the file-manager library failed with code " + hresult_text(hr) : text;
}

std::string hresult_text(HRESULT hr) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%08X", static_cast<unsigned>(hr));
    return buffer;
}

} // namespace zelshell
