#pragma once

#include <string>

#include "com.h"
#include "zdb.h"

namespace zelshell {

/// What the library keeps for one thread: the shell may call the handlers from several of
/// its threads, and each has its own copy.
struct ModuleState {
    /// The ROM table of the last full load; the caller erases it when done.
    core::RomTable roms;
    /// The property page's handler object, from the page callback to the page's end.
    IUnknown* page_handler = nullptr;
    /// Why the last failing call failed (ZelshellErrorText).
    std::string error_text;
};

/// The calling thread's state.
ModuleState& this_thread_state();

/// Keeps `text` as why the current call fails and returns `hr`, for one-line returns.
HRESULT fail_with(HRESULT hr, std::string text);

} // namespace zelshell
