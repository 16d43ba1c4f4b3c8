// platform/windows/message_box_seam.cpp
//
// The message box handler on Windows. The library imports MessageBoxW from user32 like any
// module; a host that wants the boxes as lines or records puts its own function into the
// import address tables of the program and of Norvex63.dll. Nothing is shown then, and the
// library itself is the same module that a real host loads.
#include "platform/host_hooks.h"

namespace {

typedef int(WINAPI* MessageBoxFunction)(HWND, LPCWSTR, LPCWSTR, UINT);

MessageBoxHandler g_messageBoxHandler = nullptr;

MessageBoxFunction UserMessageBox() {
    static const MessageBoxFunction function = reinterpret_cast<MessageBoxFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "MessageBoxW")));
    return function;
}

// Stands between the stdcall import and the host's handler, whose calling convention is the
// compiler's default; without a handler the box is user32's own.
int WINAPI InterceptMessageBox(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
    MessageBoxHandler handler = g_messageBoxHandler;
    if (handler == nullptr) return UserMessageBox()(owner, text, caption, type);
    return handler(owner, text, caption, type);
}

// Replaces each import address table entry of module that holds from by to.
void ReplaceImports(HMODULE module, MessageBoxFunction from, MessageBoxFunction to) {
    if (module == nullptr || from == nullptr) return;
    BYTE* base = reinterpret_cast<BYTE*>(module);
    const IMAGE_DOS_HEADER* dosHeader = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    if (dosHeader->e_magic != IMAGE_DOS_SIGNATURE) return;
    const IMAGE_NT_HEADERS* headers =
        reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dosHeader->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports =
        headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.VirtualAddress == 0) return;
    const IMAGE_IMPORT_DESCRIPTOR* library =
        reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
    for (; library->Name != 0; ++library) {
        IMAGE_THUNK_DATA* entry = reinterpret_cast<IMAGE_THUNK_DATA*>(base + library->FirstThunk);
        for (; entry->u1.Function != 0; ++entry) {
            if (entry->u1.Function != reinterpret_cast<ULONG_PTR>(from)) continue;
            DWORD protection = 0;
            if (!VirtualProtect(&entry->u1.Function, sizeof(entry->u1.Function), PAGE_READWRITE,
                                &protection)) {
                continue;
            }
            entry->u1.Function = reinterpret_cast<ULONG_PTR>(to);
            VirtualProtect(&entry->u1.Function, sizeof(entry->u1.Function), protection,
                           &protection);
        }
    }
}

void ReplaceInHostModules(MessageBoxFunction from, MessageBoxFunction to) {
    ReplaceImports(GetModuleHandleW(nullptr), from, to);
    ReplaceImports(GetModuleHandleW(L"Norvex63.dll"), from, to);
}

}  // namespace

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
    MessageBoxHandler previous = g_messageBoxHandler;
    g_messageBoxHandler = handler;
    if (handler != nullptr)
        ReplaceInHostModules(UserMessageBox(), InterceptMessageBox);
    else
        ReplaceInHostModules(InterceptMessageBox, UserMessageBox());
    return previous;
}
