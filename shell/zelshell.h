#pragma once

// The entry points of libzelshell.so, loaded by name, and the ids of its classes.

#include <cstdint>

#include "com.h"

namespace zelshell {

// One fixed class id per class, used by the registration and by the host alike.
inline constexpr CLSID CLSID_clsContextMenu = {
    0x6B1E5A10, 0x3C2D, 0x4F7A, {0x9E, 0x41, 0x5A, 0x7C, 0x12, 0xD0, 0x01, 0x01}};
inline constexpr CLSID CLSID_clsPropertySheet = {
    0x6B1E5A10, 0x3C2D, 0x4F7A, {0x9E, 0x41, 0x5A, 0x7C, 0x12, 0xD0, 0x01, 0x02}};
inline constexpr CLSID CLSID_clsQueryInfo = {
    0x6B1E5A10, 0x3C2D, 0x4F7A, {0x9E, 0x41, 0x5A, 0x7C, 0x12, 0xD0, 0x01, 0x03}};
inline constexpr CLSID CLSID_clsDropHandler = {
    0x6B1E5A10, 0x3C2D, 0x4F7A, {0x9E, 0x41, 0x5A, 0x7C, 0x12, 0xD0, 0x01, 0x04}};
inline constexpr CLSID CLSID_clsDropFiles = {
    0x6B1E5A10, 0x3C2D, 0x4F7A, {0x9E, 0x41, 0x5A, 0x7C, 0x12, 0xD0, 0x01, 0x05}};

/// What the program that loads the library offers it: the message boxes (MessageBoxA),
/// and for the registration the host program the file managers' commands run and the
/// folder for per-database launchers.
struct ZelshellSite {
    std::uint32_t size; ///< sizeof(ZelshellSite)
    /// Shows a message box; `type` holds the MB_ flags; returns IDOK or IDCANCEL.
    /// Null: the text goes to stderr and the first button is the answer.
    int (*message_box)(void* context, const char* text, const char* title, std::uint32_t type);
    void* context;
    const char* host_program;    ///< full path of `zelshell`; null: found beside the library
    const char* launcher_folder; ///< where DllRegisterServer writes launchers; null: none
};

} // namespace zelshell

#define ZELSHELL_API __attribute__((visibility("default")))

extern "C" {
ZELSHELL_API zelshell::HRESULT DllGetClassObject(const zelshell::CLSID* rclsid, const zelshell::IID* riid,
                                    void** ppv);
ZELSHELL_API zelshell::HRESULT DllCanUnloadNow();
ZELSHELL_API zelshell::HRESULT DllRegisterServer();
ZELSHELL_API zelshell::HRESULT DllUnregisterServer();

/// Sets what the host offers (copied; null clears it).
ZELSHELL_API void ZelshellSetSite(const zelshell::ZelshellSite* site);
/// Why the last call of this thread that failed failed, in words a user can read; "" when
/// nothing failed. Valid until the next call on the thread. (COM keeps such a text as the
/// thread's error info.)
ZELSHELL_API const char* ZelshellErrorText();
}
