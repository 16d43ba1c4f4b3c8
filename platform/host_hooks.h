// platform/host_hooks.h
//
// What a host program (the command, the tests) needs around the platform services: a window
// whose procedure receives the library's progress messages, a handler for message boxes, and
// the registry of string modules. None of this is called by the library itself, except that
// it registers its own string table when it is loaded.
#pragma once

#include "platform/platform.h"

// Answers a new window handle whose messages go to procedure; never 0 and never reused in
// the process. A null procedure answers 0.
HWND CreateCallbackWindow(WNDPROC procedure);
// After this, messages to window do nothing and answer 0. Unknown windows are ignored.
void DestroyCallbackWindow(HWND window);

// Replaces the handler that MessageBoxW calls and answers the previous one. A null handler
// restores the default, which prints "caption: text" on standard error and answers IDOK.
typedef int (*MessageBoxHandler)(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

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
