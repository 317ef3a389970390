#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "com.h"
#include "object.h"

namespace zelshell {

/// The context-menu handler of .zdb files: one command, "Update Database" for one selected
/// file and "Update Databases" for several, that checks them against the update server.
///
/// The file manager calls Initialize with the selection, QueryContextMenu with its menu,
/// GetCommandString for the status-bar help and InvokeCommand when the command is chosen.
/// Used by one thread at a time.
class clsContextMenu final : public IShellExtInit, public IContextMenu, private ObjectBase {
public:
    HRESULT QueryInterface(const IID& riid, void** ppv) override;
    ULONG AddRef() override { return add_ref(); }
    ULONG Release() override { return release(); }

    /// Keeps every selected path, whatever its extension, however many.
    HRESULT Initialize(const void* pidlFolder, IDataObject* pdtobj, void* hkeyProgID) override;

    HRESULT QueryContextMenu(HMENU hmenu, std::uint32_t indexMenu, std::uint32_t idCmdFirst,
                             std::uint32_t idCmdLast, std::uint32_t uFlags) override;
    /// Runs the update for command offset 0 given as an offset; any other verb does nothing.
    HRESULT InvokeCommand(const CMINVOKECOMMANDINFO* pici) override;
    /// The help text, cut to fit cchMax characters with its NUL, for every request kind.
    HRESULT GetCommandString(std::uintptr_t idCmd, std::uint32_t uType, std::uint32_t* pReserved,
                             char* pszName, std::uint32_t cchMax) override;

private:
    std::size_t m_nFiles = 0;         ///< the number of selected files
    std::vector<std::string> m_files; ///< the selected paths, in selection order
};

} // namespace zelshell
