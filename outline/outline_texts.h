// outline/outline_texts.h
//
// Texts taken from the runtime. Every runtime string is copied into a text the library owns
// and released at once, so no runtime string outlives the call that asked for it; a text only
// compared is read where the runtime keeps it, for the life of a StoredText.
#pragma once

#include "outline/outline_runtime.h"
#include "platform/platform.h"
#include "support/wide_string.h"

// A private copy (checked heap) of the characters of string, or of the empty text when it
// has none. Does not release string. None when the heap refused.
WCHAR* CopyRuntimeString(StringHandle string);
// A private copy of item's stored text (mode 0); the empty text when outline or item is 0.
// None when the heap refused, or when the runtime answered no text (it ran out of memory).
WCHAR* CopyItemText(OutlineHandle outline, ItemHandle item);
// An item's stored text (mode 0) read in place through the runtime's string, which the object
// releases: for comparing texts without copying them out.
class StoredText {
public:
    StoredText(OutlineHandle outline, ItemHandle item);
    ~StoredText();
    StoredText(const StoredText&) = delete;
    StoredText& operator=(const StoredText&) = delete;

    // The terminated characters; the empty text when outline or item is 0; none when the
    // runtime answered no text (it ran out of memory).
    const WCHAR* Characters() const { return characters_; }

private:
    StringHandle string_ = 0;
    const WCHAR* characters_ = nullptr;
};

// The type's display name followed, without separator, by the item's display text (mode 1):
// "Procedure OpenStock". Empty when outline or item is 0.
CWideString DescribeItem(OutlineHandle outline, ItemHandle item);
