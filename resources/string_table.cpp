// resources/string_table.cpp: the string table as registered with the platform layer at load.
#include "resources/string_table.h"

#ifndef _WIN32

#include "platform/host_hooks.h"

namespace {

const StringResource kLibraryStrings[] = {
#define NORVEX_STRING(id, name, text) {id, WIDE(text)},
#include "resources/string_texts.inc"
#undef NORVEX_STRING
};

static_assert(sizeof(kLibraryStrings) / sizeof(kLibraryStrings[0]) == kStringCount,
              "every identifier from 1 to kStringCount has a text");

// Registers the table while the library is loaded, before any export can run; the platform
// layer outlives the library, so the registration is withdrawn when the library goes.
struct LoadTimeRegistration {
    LoadTimeRegistration() { RegisterLibraryStrings(); }
    ~LoadTimeRegistration() { UnregisterLibraryStrings(); }
};
const LoadTimeRegistration g_loadTimeRegistration;

}  // namespace

void RegisterLibraryStrings() {
    RegisterStringModule(NORVEX_STRING_MODULE, kLibraryStrings, kStringCount);
}

void UnregisterLibraryStrings() { UnregisterStringModule(NORVEX_STRING_MODULE); }

#endif  // _WIN32
