// support/warning_box.cpp: resource texts and the warning box.
#include "support/warning_box.h"

#include "resources/string_table.h"

namespace {

const WCHAR kEmptyText[] = WIDE("");

// Resource 7, loaded once on the first warning. Loading it when the library starts would show
// nothing different, but the first warning may come before the host registered its strings.
WCHAR g_warningBoxText[kResourceBufferSize];
bool g_warningBoxTextLoaded = false;

}  // namespace

const WCHAR* LoadResString(WCHAR* buffer, UINT id) {
    HMODULE module = GetModuleHandleW(NORVEX_STRING_MODULE);
    if (LoadStringW(module, id, buffer, kResourceBufferSize) < 1) return kEmptyText;
    return buffer;
}

int ShowWarning(UINT id) {
    if (!g_warningBoxTextLoaded) {
        g_warningBoxTextLoaded = true;
        // A text that cannot be loaded leaves the box text empty, which the buffer already is.
        const WCHAR* text = LoadResString(g_warningBoxText, kStringInformation);
        if (text != g_warningBoxText) g_warningBoxText[0] = 0;
    }
    WCHAR warningBuffer[kResourceBufferSize];
    const WCHAR* warning = LoadResString(warningBuffer, id);
    return MessageBoxW(nullptr, g_warningBoxText, warning, MB_OK);
}
