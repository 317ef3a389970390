#pragma once

// The object model the file-manager classes are built on: result codes, class ids,
// reference counting and the shell's interfaces, with their methods in the order the
// shell publishes them. A Windows build wraps the same classes in real COM; here the host
// program `zelshell` plays the file manager and calls them through these interfaces.

#include <cstdint>
#include <cstring>

namespace zelshell {

using HRESULT = std::int32_t;
using ULONG = std::uint32_t;

constexpr HRESULT hresult(std::uint32_t bits) {
    return static_cast<HRESULT>(bits);
}
constexpr bool succeeded(HRESULT hr) {
    return hr >= 0;
}
constexpr bool failed(HRESULT hr) {
    return hr < 0;
}
/// A success (severity 0) or failure (1) code of a facility.
constexpr HRESULT make_hresult(unsigned severity, unsigned facility, unsigned code) {
    return hresult((severity << 31) | (facility << 16) | (code & 0xFFFFu));
}

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = hresult(0x80004001);
inline constexpr HRESULT E_NOINTERFACE = hresult(0x80004002);
inline constexpr HRESULT E_POINTER = hresult(0x80004003);
inline constexpr HRESULT E_FAIL = hresult(0x80004005);
inline constexpr HRESULT E_UNEXPECTED = hresult(0x8000FFFF);
inline constexpr HRESULT E_ACCESSDENIED = hresult(0x80070005);
inline constexpr HRESULT E_OUTOFMEMORY = hresult(0x8007000E);
inline constexpr HRESULT E_INVALIDARG = hresult(0x80070057);
inline constexpr HRESULT CLASS_E_NOAGGREGATION = hresult(0x80040110);
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = hresult(0x80040111);
inline constexpr HRESULT DV_E_FORMATETC = hresult(0x80040064);
/// The Win32 error codes the classes report, as result codes of facility 7.
inline constexpr HRESULT kFileNotFound = hresult(0x80070002); ///< ERROR_FILE_NOT_FOUND
inline constexpr HRESULT kPathNotFound = hresult(0x80070003); ///< ERROR_PATH_NOT_FOUND
inline constexpr HRESULT kReadFault = hresult(0x8007001E);    ///< ERROR_READ_FAULT
inline constexpr HRESULT kBadFormat = hresult(0x8007000B);    ///< ERROR_BAD_FORMAT

struct GUID {
    std::uint32_t data1;
    std::uint16_t data2;
    std::uint16_t data3;
    std::uint8_t data4[8];

    friend bool operator==(const GUID& a, const GUID& b) {
        return std::memcmp(&a, &b, sizeof(GUID)) == 0;
    }
};
using IID = GUID;
using CLSID = GUID;

// The shell's interface ids, as Windows has them, so that a Windows build and this one
// answer the same QueryInterface calls.
inline constexpr IID IID_IUnknown = {0x00000000, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IClassFactory = {0x00000001, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IDataObject = {0x0000010E, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IPersist = {0x0000010C, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IPersistFile = {0x0000010B, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IDropTarget = {0x00000122, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IShellExtInit = {0x000214E8, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IContextMenu = {0x000214E4, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IShellPropSheetExt = {0x000214E9, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IQueryInfo = {0x00021500, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

/// An OLE text. Linux file names are bytes, and a wide text could not carry every one of
/// them: here an OLE text is the native narrow text (UTF-8 where it is text at all).
using OLECHAR = char;

struct IUnknown {
    virtual HRESULT QueryInterface(const IID& riid, void** ppv) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    ~IUnknown() = default;
};

struct IClassFactory : IUnknown {
    virtual HRESULT CreateInstance(IUnknown* outer, const IID& riid, void** ppv) = 0;
    virtual HRESULT LockServer(bool lock) = 0;

protected:
    ~IClassFactory() = default;
};

// ---- data objects: only what hands out a file-drop list ------------------------------

inline constexpr std::uint16_t CF_HDROP = 15;
inline constexpr std::uint32_t DVASPECT_CONTENT = 1;
inline constexpr std::uint32_t TYMED_HGLOBAL = 1;

struct FORMATETC {
    std::uint16_t cfFormat;
    void* ptd;
    std::uint32_t dwAspect;
    std::int32_t lindex;
    std::uint32_t tymed;
};

/// A storage medium. A file-drop list is a block made by make_hdrop (shell_api.h).
struct STGMEDIUM {
    std::uint32_t tymed;
    void* hGlobal;
    IUnknown* pUnkForRelease;
};

struct IDataObject : IUnknown {
    virtual HRESULT GetData(const FORMATETC* format, STGMEDIUM* medium) = 0;
    virtual HRESULT GetDataHere(const FORMATETC* format, STGMEDIUM* medium) = 0;
    virtual HRESULT QueryGetData(const FORMATETC* format) = 0;

protected:
    ~IDataObject() = default;
};

// ---- the interfaces of the handlers ---------------------------------------------------

struct IShellExtInit : IUnknown {
    virtual HRESULT Initialize(const void* pidlFolder, IDataObject* pdtobj, void* hkeyProgID) = 0;

protected:
    ~IShellExtInit() = default;
};

/// A menu the handler inserts its items into: the host's menu model (shell_api.h).
struct MenuModel;
using HMENU = MenuModel*;

struct CMINVOKECOMMANDINFO {
    std::uint32_t cbSize;
    std::uint32_t fMask;
    void* hwnd;
    /// A verb text, or a command offset when only its low 16 bits are set (make_int_verb).
    const char* lpVerb;
    const char* lpParameters;
    const char* lpDirectory;
    std::int32_t nShow;
    std::uint32_t dwHotKey;
    void* hIcon;
};

/// The verb field of a command given by its offset from idCmdFirst.
inline const char* make_int_verb(std::uint16_t offset) {
    return reinterpret_cast<const char*>(static_cast<std::uintptr_t>(offset));
}
/// True when the verb field holds an offset rather than the address of a text.
inline bool is_int_verb(const char* verb) {
    return (reinterpret_cast<std::uintptr_t>(verb) >> 16) == 0;
}

inline constexpr std::uint32_t GCS_VERBA = 0;
inline constexpr std::uint32_t GCS_HELPTEXTA = 1;
inline constexpr std::uint32_t GCS_VALIDATEA = 2;
inline constexpr std::uint32_t GCS_VERBW = 4;
inline constexpr std::uint32_t GCS_HELPTEXTW = 5;
inline constexpr std::uint32_t GCS_VALIDATEW = 6;

struct IContextMenu : IUnknown {
    virtual HRESULT QueryContextMenu(HMENU hmenu, std::uint32_t indexMenu, std::uint32_t idCmdFirst,
                                     std::uint32_t idCmdLast, std::uint32_t uFlags) = 0;
    virtual HRESULT InvokeCommand(const CMINVOKECOMMANDINFO* pici) = 0;
    /// The wide requests (GCS_*W) write 16-bit characters (char16_t) into pszName;
    /// cchMax counts characters of the request's kind.
    virtual HRESULT GetCommandString(std::uintptr_t idCmd, std::uint32_t uType,
                                     std::uint32_t* pReserved, char* pszName,
                                     std::uint32_t cchMax) = 0;

protected:
    ~IContextMenu() = default;
};

struct PROPSHEETPAGE;
using HPROPSHEETPAGE = PROPSHEETPAGE*;
/// The shell's add-page function: true when it took the page.
using LPFNADDPROPSHEETPAGE = bool (*)(HPROPSHEETPAGE page, std::intptr_t lParam);

struct IShellPropSheetExt : IUnknown {
    virtual HRESULT AddPages(LPFNADDPROPSHEETPAGE lpfnAddPage, std::intptr_t lParam) = 0;
    virtual HRESULT ReplacePage(std::uint32_t uPageID, LPFNADDPROPSHEETPAGE lpfnReplaceWith,
                                std::intptr_t lParam) = 0;

protected:
    ~IShellPropSheetExt() = default;
};

struct IPersist : IUnknown {
    virtual HRESULT GetClassID(CLSID* pClassID) = 0;

protected:
    ~IPersist() = default;
};

struct IPersistFile : IPersist {
    virtual HRESULT IsDirty() = 0;
    virtual HRESULT Load(const OLECHAR* pszFileName, std::uint32_t dwMode) = 0;
    virtual HRESULT Save(const OLECHAR* pszFileName, bool fRemember) = 0;
    virtual HRESULT SaveCompleted(const OLECHAR* pszFileName) = 0;
    /// The text is allocated with CoTaskMemAlloc; the caller frees it.
    virtual HRESULT GetCurFile(OLECHAR** ppszFileName) = 0;

protected:
    ~IPersistFile() = default;
};

struct IQueryInfo : IUnknown {
    /// The tip is allocated with CoTaskMemAlloc; the caller frees it with CoTaskMemFree.
    virtual HRESULT GetInfoTip(std::uint32_t dwFlags, OLECHAR** ppwszTip) = 0;
    virtual HRESULT GetInfoFlags(std::uint32_t* pdwFlags) = 0;

protected:
    ~IQueryInfo() = default;
};

struct POINTL {
    std::int32_t x;
    std::int32_t y;
};
inline constexpr std::uint32_t DROPEFFECT_NONE = 0;
inline constexpr std::uint32_t DROPEFFECT_COPY = 1;

struct IDropTarget : IUnknown {
    virtual HRESULT DragEnter(IDataObject* pDataObj, std::uint32_t grfKeyState, POINTL pt,
                              std::uint32_t* pdwEffect) = 0;
    virtual HRESULT DragOver(std::uint32_t grfKeyState, POINTL pt, std::uint32_t* pdwEffect) = 0;
    virtual HRESULT DragLeave() = 0;
    virtual HRESULT Drop(IDataObject* pDataObj, std::uint32_t grfKeyState, POINTL pt,
                         std::uint32_t* pdwEffect) = 0;

protected:
    ~IDropTarget() = default;
};

} // namespace zelshell
