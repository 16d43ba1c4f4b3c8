// platform/windows/string_module.cpp: the resource-only module that holds the strings.
#include "platform/host_hooks.h"

HMODULE LoadStringModule() { return LoadLibraryW(L"Norvex51.dll"); }

void UnloadStringModule(HMODULE module) {
    if (module != nullptr) FreeLibrary(module);
}
