#include "context_menu.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "class_table.h"
#include "cp1252.h"
#include "module_state.h"
#include "shell_api.h"
#include "update_run.h"
#include "zelshell.h"

namespace zelshell {
namespace {

IUnknown* create() {
    return static_cast<IShellExtInit*>(new clsContextMenu);
}

const ClassRegistration registration{CLSID_clsContextMenu, "clsContextMenu", &create};

// The help text in Windows-1252, one byte per character: the long name is taken as the
// database holds it, so every character of the text is one the code page has.
std::string help_text(const std::vector<std::string>& files) {
    static constexpr const char* kGeneral = "Check for updates";
    if (files.size() != 1)
        return kGeneral;
    // A file that cannot be read or holds no long name gets the general text, not garbage.
    std::vector<std::string> texts;
    if (failed(read_header_texts(files.front(), 2, texts)) || texts.size() < 2)
        return kGeneral;
    return "Check for an updated '" + texts[1] + "' database";
}

// Windows-1252 bytes as 16-bit characters: every character of the code page lies in the
// Basic Multilingual Plane, so each takes one unit (and one to three UTF-8 bytes).
std::u16string to_utf16(std::string_view cp1252) {
    const std::string utf8 = core::cp1252_to_utf8(cp1252);
    std::u16string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : 3;
        char32_t cp = length == 1 ? lead : length == 2 ? (lead & 0x1Fu) : (lead & 0x0Fu);
        for (std::size_t k = 1; k < length && i + k < utf8.size(); ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3Fu);
        out.push_back(static_cast<char16_t>(cp));
        i += length;
    }
    return out;
}

// At most cch - 1 characters and a NUL into the caller's buffer of cch characters.
template <class Char>
void copy_cut(std::basic_string_view<Char> text, char* out, std::uint32_t cch) {
    if (!out || cch == 0)
        return;
    const std::size_t n = std::min<std::size_t>(text.size(), cch - 1);
    std::memcpy(out, text.data(), n * sizeof(Char));
    const Char nul{};
    std::memcpy(out + n * sizeof(Char), &nul, sizeof(Char));
}

bool is_ansi_request(std::uint32_t type) {
    return type == GCS_VERBA || type == GCS_HELPTEXTA || type == GCS_VALIDATEA;
}
bool is_wide_request(std::uint32_t type) {
    return type == GCS_VERBW || type == GCS_HELPTEXTW || type == GCS_VALIDATEW;
}

} // namespace

HRESULT clsContextMenu::QueryInterface(const IID& riid, void** ppv) {
    return query_interface({{&IID_IShellExtInit, static_cast<IShellExtInit*>(this)},
                            {&IID_IContextMenu, static_cast<IContextMenu*>(this)}},
                           riid, ppv);
}

HRESULT clsContextMenu::Initialize(const void*, IDataObject* pdtobj, void*) {
    if (!pdtobj)
        return fail_with(E_INVALIDARG, "the file manager gave no selection");
    FORMATETC format = hdrop_format();
    STGMEDIUM medium{};
    if (const HRESULT hr = pdtobj->GetData(&format, &medium); failed(hr))
        return fail_with(hr, "the selection holds no list of files");
    const auto drop = static_cast<HDROP>(medium.hGlobal);
    const std::uint32_t count = DragQueryFileA(drop, 0xFFFFFFFFu, nullptr, 0);
    m_files.clear();
    for (std::uint32_t i = 0; i < count; ++i)
        m_files.push_back(drag_query_path(drop, i));
    m_nFiles = m_files.size();
    ReleaseStgMedium(&medium);
    return S_OK;
}

HRESULT clsContextMenu::QueryContextMenu(HMENU hmenu, std::uint32_t indexMenu,
                                         std::uint32_t idCmdFirst, std::uint32_t, std::uint32_t) {
    const std::string text = m_nFiles == 1 ? "Update Database" : "Update Databases";
    if (!InsertMenuA(hmenu, indexMenu, MF_BYPOSITION, idCmdFirst, text.c_str()))
        return fail_with(E_INVALIDARG, "the file manager gave no menu to add the command to");
    return make_hresult(0, 0, 1); // one command id used
}

HRESULT clsContextMenu::InvokeCommand(const CMINVOKECOMMANDINFO* pici) {
    if (!pici)
        return fail_with(E_INVALIDARG, "the file manager gave no command");
    // A verb text is never ours, whatever its address: only offset 0 is the command.
    if (!is_int_verb(pici->lpVerb) || reinterpret_cast<std::uintptr_t>(pici->lpVerb) != 0)
        return S_OK;
    return run_update(m_files);
}

HRESULT clsContextMenu::GetCommandString(std::uintptr_t, std::uint32_t uType, std::uint32_t*,
                                         char* pszName, std::uint32_t cchMax) {
    if (is_ansi_request(uType))
        copy_cut<char>(help_text(m_files), pszName, cchMax);
    else if (is_wide_request(uType))
        copy_cut<char16_t>(to_utf16(help_text(m_files)), pszName, cchMax);
    return S_OK;
}

} // namespace zelshell
