// outline/outline_texts.cpp: copies of the runtime's texts.
#include "outline/outline_texts.h"

#include "support/checked_memory.h"

namespace {

// Appends the characters of string to text and releases string.
void AppendRuntimeString(CWideString& text, StringHandle string) {
    WCHAR* copy = CopyRuntimeString(string);
    FreeString(string);
    if (copy == nullptr) return;  // the warning box has been shown; the text goes without it
    text += copy;
    CheckedFree(copy);
}

}  // namespace

WCHAR* CopyRuntimeString(StringHandle string) {
    int32_t length = 0;
    const WCHAR* characters = string != 0 ? GetStringText(string, &length) : nullptr;
    if (characters == nullptr || length <= 0) return CheckedDup(WIDE(""));
    // The runtime's length counts the characters; the copy does not rely on a terminator.
    WCHAR* copy =
        static_cast<WCHAR*>(CheckedAlloc((static_cast<uint32_t>(length) + 1) * sizeof(WCHAR)));
    if (copy == nullptr) return nullptr;
    for (int32_t k = 0; k < length; ++k) copy[k] = characters[k];
    copy[length] = 0;
    return copy;
}

WCHAR* CopyItemText(OutlineHandle outline, ItemHandle item) {
    if (outline == 0 || item == 0) return CheckedDup(WIDE(""));
    StringHandle text = 0;
    // A runtime that cannot hand out the text of an item it holds has run out of memory: an
    // empty text in its place would read as the item's own.
    if (GetItemText(outline, item, 0, &text) == 0) return nullptr;
    WCHAR* copy = CopyRuntimeString(text);
    if (text != 0) FreeString(text);
    return copy;
}

StoredText::StoredText(OutlineHandle outline, ItemHandle item) {
    if (outline == 0 || item == 0) {
        characters_ = WIDE("");
        return;
    }
    // The runtime's strings are terminated, so the characters serve as they are.
    if (GetItemText(outline, item, 0, &string_) == 0) return;
    characters_ = GetStringText(string_, nullptr);
    if (characters_ == nullptr) characters_ = WIDE("");
}

StoredText::~StoredText() {
    if (string_ != 0) FreeString(string_);
}

CWideString DescribeItem(OutlineHandle outline, ItemHandle item) {
    CWideString description;
    if (outline == 0 || item == 0) return description;
    StringHandle name = 0;
    GetItemTypeName(GetItemType(outline, item), &name);
    AppendRuntimeString(description, name);
    StringHandle text = 0;
    GetItemText(outline, item, 1, &text);
    AppendRuntimeString(description, text);
    return description;
}
