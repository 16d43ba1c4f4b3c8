// platform/string_modules.cpp
//
// GetModuleHandleW and LoadStringW over the registry of string modules. A name keeps its
// handle for the life of the process, so a module taken away and registered again answers
// to the handle callers already hold, while in between that handle finds no strings.
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "platform/host_hooks.h"

namespace {

struct StringModule {
    std::u16string name;
    HMODULE handle;
    const StringResource* strings;  // null while the module is taken away
    int count;
};

struct ModuleRegistry {
    std::mutex lock;
    std::vector<StringModule> modules;
};

// Never destroyed: a library withdraws its strings while the process exits, possibly after
// this file's objects would have gone.
ModuleRegistry& Modules() {
    static ModuleRegistry* g_moduleRegistry = new ModuleRegistry;
    return *g_moduleRegistry;
}

// The executable's module: a handle of its own that no registration ever answers.
char g_executableModule;

HMODULE ExecutableModule() { return reinterpret_cast<HMODULE>(&g_executableModule); }

// Module handles are numbered after the registry position; 0 is never one.
HMODULE HandleForPosition(size_t position) {
    return reinterpret_cast<HMODULE>(static_cast<uintptr_t>(position + 1) << 4);
}

StringModule* FindByName(ModuleRegistry& registry, LPCWSTR name) {
    for (StringModule& module : registry.modules) {
        if (module.name == name) return &module;
    }
    return nullptr;
}

// The text of id in module, or null. An empty text counts as none, as on Windows.
LPCWSTR FindString(ModuleRegistry& registry, HINSTANCE handle, UINT id) {
    for (const StringModule& module : registry.modules) {
        if (module.handle != handle || module.strings == nullptr) continue;
        for (int k = 0; k < module.count; ++k) {
            const StringResource& entry = module.strings[k];
            if (entry.id == id && entry.text != nullptr && entry.text[0] != 0) return entry.text;
        }
        return nullptr;
    }
    return nullptr;
}

}  // namespace

int LoadStringW(HINSTANCE module, UINT id, LPWSTR buffer, int bufferSize) {
    if (buffer == nullptr || bufferSize < 0) return 0;
    ModuleRegistry& registry = Modules();
    std::lock_guard<std::mutex> guard(registry.lock);
    LPCWSTR text = FindString(registry, module, id);
    int length = 0;
    while (text != nullptr && text[length] != 0) ++length;
    if (bufferSize == 0) {
        // The buffer is really an LPCWSTR* here; copied bytewise, as its alignment is unknown.
        std::memcpy(buffer, &text, sizeof text);
        return length;
    }
    int copied = length < bufferSize - 1 ? length : bufferSize - 1;
    for (int k = 0; k < copied; ++k) buffer[k] = text[k];
    buffer[copied] = 0;
    return copied;
}

HMODULE GetModuleHandleW(LPCWSTR name) {
    if (name == nullptr) return ExecutableModule();
    ModuleRegistry& registry = Modules();
    std::lock_guard<std::mutex> guard(registry.lock);
    StringModule* module = FindByName(registry, name);
    if (module == nullptr || module->strings == nullptr) return nullptr;
    return module->handle;
}

HMODULE RegisterStringModule(LPCWSTR name, const StringResource* strings, int count) {
    if (name == nullptr) return nullptr;
    // A module with no strings is still registered: GetModuleHandleW must find it.
    static const StringResource kNoStrings[1] = {{0, nullptr}};
    if (strings == nullptr || count < 0) {
        strings = kNoStrings;
        count = 0;
    }
    ModuleRegistry& registry = Modules();
    std::lock_guard<std::mutex> guard(registry.lock);
    StringModule* module = FindByName(registry, name);
    if (module == nullptr) {
        HMODULE handle = HandleForPosition(registry.modules.size());
        registry.modules.push_back(StringModule{name, handle, nullptr, 0});
        module = &registry.modules.back();
    }
    module->strings = strings;
    module->count = count;
    return module->handle;
}

void UnregisterStringModule(LPCWSTR name) {
    if (name == nullptr) return;
    ModuleRegistry& registry = Modules();
    std::lock_guard<std::mutex> guard(registry.lock);
    StringModule* module = FindByName(registry, name);
    if (module == nullptr) return;
    module->strings = nullptr;
    module->count = 0;
}
