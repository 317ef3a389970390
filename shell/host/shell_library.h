#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "com.h"
#include "com_ptr.h"
#include "result.h"
#include "zelshell.h"

namespace zelshell {

/// libzelshell.so, loaded by name as a file manager loads its extensions, with the
/// class factory in front of its classes.
///
///     auto shell = ShellLibrary::load_beside_executable();
///     ComPtr<IQueryInfo> tip;
///     HRESULT hr = shell->create(CLSID_clsQueryInfo, IID_IQueryInfo, tip.put());
class ShellLibrary {
public:
    static constexpr const char* kLibraryName = "libzelshell.so";

    static core::Result<ShellLibrary> load(const std::filesystem::path& folder);
    /// Beside the running program, else the install's library folder.
    static core::Result<ShellLibrary> load_beside_executable();

    /// DllGetClassObject, then the factory's CreateInstance.
    HRESULT create(const CLSID& clsid, const IID& iid, void** object) const;

    HRESULT register_server() const;
    HRESULT unregister_server() const;
    HRESULT can_unload_now() const;
    void set_site(const ZelshellSite* site) const;
    /// Why the last failing call of this thread failed, or a text naming the code.
    std::string error_text(HRESULT hr) const;

private:
    struct Api;
    explicit ShellLibrary(std::shared_ptr<const Api> api) : m_api(std::move(api)) {}
    std::shared_ptr<const Api> m_api;
};

/// "0x80004005" for a result code.
std::string hresult_text(HRESULT hr);

} // namespace zelshell
