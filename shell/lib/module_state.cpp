#include "module_state.h"

#include <map>
#include <mutex>
#include <thread>

namespace zelshell {
namespace {

// A map by thread rather than thread_local: the library is loaded and unloaded by name,
// and thread-local objects with destructors do not mix well with unloading. A thread's
// state is small once its ROM table is erased.
struct States {
    std::mutex mutex;
    std::map<std::thread::id, ModuleState> by_thread;
};

States& states() {
    static States s;
    return s;
}

} // namespace

ModuleState& this_thread_state() {
    auto& s = states();
    const std::lock_guard lock(s.mutex);
    // std::map never moves its elements: the reference stays good while other threads add.
    return s.by_thread[std::this_thread::get_id()];
}

HRESULT fail_with(HRESULT hr, std::string text) {
    this_thread_state().error_text = std::move(text);
    return hr;
}

} // namespace zelshell
