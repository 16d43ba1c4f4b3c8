// platform/host_hooks.h
//
// What a host program (the command, the tests) needs around the platform services: a window
// whose procedure receives the library's progress messages, a handler for message boxes, and
// the registry of string modules. None of this is called by the library itself, except that
// it registers its own string table when it is loaded.
#pragma once

#include "platform/platform.h"

// Answers a new window handle whose messages go to procedure; never 0 and never reused in
// the process. A null procedure answers 0. On Windows it is a real message-only window of a
// class registered for the purpose, and its procedure runs through SendMessageW as any
// window procedure does.
HWND CreateCallbackWindow(WNDPROC procedure);
// After this, messages to window do nothing and answer 0. Unknown windows are ignored.
void DestroyCallbackWindow(HWND window);

// Replaces the handler that MessageBoxW calls and answers the previous one. A null handler
// restores the default, which prints "caption: text" on standard error and answers IDOK.
// On Windows the library calls user32's own MessageBoxW; the handler is put in its place in
// the import tables of the program and of Norvex63.dll (which must be loaded first), and a
// null handler puts user32's function back.
typedef int (*MessageBoxHandler)(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

#ifdef _WIN32

// On Windows the strings are a real string table in the resource-only module Norvex51.dll.
// Loads it (found as LoadLibraryW finds a module, the program's own folder first) so that
// GetModuleHandleW(L"Norvex51") answers it; answers its handle, or null when it is missing.
HMODULE LoadStringModule();
// Unloads it again: the library then finds no strings, as when the module was never there.
void UnloadStringModule(HMODULE module);

#else

// One string of a module's string table. The texts are not copied: they must outlive the
// registration.
struct StringResource {
    UINT id;
    LPCWSTR text;
};

// Makes GetModuleHandleW(name) answer a module whose LoadStringW finds these strings. A second
// registration under the same name replaces the first. Answers the module handle, which stays
// the same for that name for the life of the process; a null name answers null.
HMODULE RegisterStringModule(LPCWSTR name, const StringResource* strings, int count);
// Takes the module away: GetModuleHandleW(name) answers null again, and LoadStringW with the
// module's handle finds nothing until the name is registered again.
void UnregisterStringModule(LPCWSTR name);

// Makes _heapchk answer this value until it is called again with _HEAPOK.
void ForceHeapCheckAnswer(int answer);

#endif  // _WIN32
