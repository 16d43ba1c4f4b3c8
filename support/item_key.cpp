// support/item_key.cpp: making item keys.
#include "support/item_key.h"

#include "support/checked_memory.h"

WCHAR* MakeKey(const WCHAR* prefix, int32_t number) {
    // The text is "%s%03d" of prefix and number. The prefix is copied rather than formatted:
    // keys grow by three characters per level, and a deep outline's keys outgrow any format
    // buffer.
    WCHAR digits[16];
    int digitCount = wsprintfW(digits, WIDE("%03d"), number);
    int prefixLength = lstrlenW(prefix);
    // Twice the prefix's length plus 8 characters; never less than the text needs.
    uint32_t room = 2 * static_cast<uint32_t>(prefixLength) + 8;
    if (room < static_cast<uint32_t>(prefixLength + digitCount + 1)) {
        room = static_cast<uint32_t>(prefixLength + digitCount + 1);
    }
    WCHAR* key = static_cast<WCHAR*>(CheckedAlloc(room * sizeof(WCHAR)));
    if (key == nullptr) return nullptr;  // the caller goes on without this item's key
    if (prefix != nullptr) lstrcpyW(key, prefix);
    lstrcpyW(key + prefixLength, digits);
    return key;
}

int32_t KeyOrdinal(const WCHAR* key) {
    int length = lstrlenW(key);
    return length < kKeyGroupLength ? 0 : _wtoi(key + length - kKeyGroupLength);
}
