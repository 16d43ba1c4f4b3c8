// support/item_key.cpp: making item keys.
#include "support/item_key.h"

#include "support/checked_memory.h"

namespace {

// number as "%03d" writes it (a sign, then at least three digits with leading zeros for the
// width the sign leaves), into digits; answers the count of characters. Written out instead
// of formatted, since every item of every loaded section takes a key.
int WritePosition(WCHAR* digits, int32_t number) {
    WCHAR reversed[12];
    int count = 0;
    int64_t magnitude = number < 0 ? -static_cast<int64_t>(number) : number;
    do {
        reversed[count++] = static_cast<WCHAR>(u'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    int written = 0;
    if (number < 0) digits[written++] = u'-';
    for (int pad = written + count; pad < 3; ++pad) digits[written++] = u'0';
    while (count > 0) digits[written++] = reversed[--count];
    digits[written] = 0;
    return written;
}

}  // namespace

WCHAR* MakeKey(const WCHAR* prefix, int32_t number) {
    // The text is "%s%03d" of prefix and number. The prefix is copied rather than formatted:
    // keys grow by three characters per level, and a deep outline's keys outgrow any format
    // buffer.
    WCHAR digits[16];
    int digitCount = WritePosition(digits, number);
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
