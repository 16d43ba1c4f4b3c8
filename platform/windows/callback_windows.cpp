// platform/windows/callback_windows.cpp
//
// Callback windows as real message-only windows. One window class serves them all; its
// procedure hands each message to the procedure kept with the window, once the window is
// made (the creation messages go to DefWindowProcW, so that creation cannot be refused).
#include "platform/host_hooks.h"

namespace {

const WCHAR kClassName[] = L"NorvexCallbackWindow";

LRESULT CALLBACK DispatchMessageToProcedure(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam) {
    WNDPROC procedure = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (procedure == nullptr) return DefWindowProcW(window, message, wParam, lParam);
    return procedure(window, message, wParam, lParam);
}

bool RegisterCallbackClass() {
    static const bool registered = [] {
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = DispatchMessageToProcedure;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = kClassName;
        return RegisterClassW(&windowClass) != 0;
    }();
    return registered;
}

bool IsCallbackWindow(HWND window) {
    WCHAR className[64] = {};
    if (window == nullptr || !IsWindow(window)) return false;
    if (GetClassNameW(window, className, 64) == 0) return false;
    return lstrcmpW(className, kClassName) == 0;
}

}  // namespace

HWND CreateCallbackWindow(WNDPROC procedure) {
    if (procedure == nullptr || !RegisterCallbackClass()) return nullptr;
    HWND window = CreateWindowW(kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    if (window == nullptr) return nullptr;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(procedure));
    return window;
}

void DestroyCallbackWindow(HWND window) {
    if (!IsCallbackWindow(window)) return;
    // The procedure is taken away first, so that the destruction messages do not reach it.
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    DestroyWindow(window);
}
