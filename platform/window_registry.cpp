// platform/window_registry.cpp
//
// SendMessageW over the registry of callback windows. A procedure may send further messages
// or destroy its own window while it runs, so the registry is never held locked across a
// call: the procedure is copied out first, and the call runs with the lock released.
#include <cstdint>
#include <map>
#include <mutex>

#include "platform/host_hooks.h"

namespace {

struct WindowRegistry {
    std::mutex lock;
    std::map<uintptr_t, WNDPROC> procedures;
    // Handles count up from 1 and are never given twice, so a stale handle cannot reach a
    // window made later.
    uintptr_t lastHandle = 0;
};

// Never destroyed: a library's exit code may still send messages after this file's objects
// would have gone.
WindowRegistry& Windows() {
    static WindowRegistry* g_windowRegistry = new WindowRegistry;
    return *g_windowRegistry;
}

}  // namespace

LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WNDPROC procedure = nullptr;
    {
        WindowRegistry& registry = Windows();
        std::lock_guard<std::mutex> guard(registry.lock);
        auto found = registry.procedures.find(reinterpret_cast<uintptr_t>(window));
        if (found == registry.procedures.end()) return 0;
        procedure = found->second;
    }
    return procedure(window, message, wParam, lParam);
}

HWND CreateCallbackWindow(WNDPROC procedure) {
    if (procedure == nullptr) return nullptr;
    WindowRegistry& registry = Windows();
    std::lock_guard<std::mutex> guard(registry.lock);
    uintptr_t handle = ++registry.lastHandle;
    registry.procedures[handle] = procedure;
    return reinterpret_cast<HWND>(handle);
}

void DestroyCallbackWindow(HWND window) {
    WindowRegistry& registry = Windows();
    std::lock_guard<std::mutex> guard(registry.lock);
    registry.procedures.erase(reinterpret_cast<uintptr_t>(window));
}
