#pragma once

#include <cstdint>
#include <filesystem>

#include "shell_api.h"
#include "zelshell.h"

namespace zelshell {

/// What the host set with ZelshellSetSite (all null when none did).
ZelshellSite current_site();
void set_site(const ZelshellSite* site);

/// MessageBoxA through the host's message boxes; without one the text goes to stderr and
/// the answer is the first button (IDOK). `owner` is not used: the boxes have no owner.
int MessageBoxA(HWND owner, const char* text, const char* caption, std::uint32_t type);

/// The folder this library was loaded from.
std::filesystem::path library_folder();

} // namespace zelshell
