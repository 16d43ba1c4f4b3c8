// outline/outline_walk.cpp: child walks that pass over skipped items.
#include "outline/outline_walk.h"

#include "support/item_key.h"

namespace {

ItemHandle SkipSkipped(OutlineHandle outline, ItemHandle item) {
    while (item != 0 && IsItemSkipped(outline, item) != 0) item = GetNextSibling(outline, item);
    return item;
}

}  // namespace

ItemHandle FirstChild(OutlineHandle outline, ItemHandle item) {
    return SkipSkipped(outline, GetFirstChild(outline, item));
}

ItemHandle NextSibling(OutlineHandle outline, ItemHandle item) {
    return SkipSkipped(outline, GetNextSibling(outline, item));
}

ItemHandle NthChild(OutlineHandle outline, ItemHandle parent, int32_t n) {
    ItemHandle child = FirstChild(outline, parent);
    for (int32_t k = 1; k < n && child != 0; ++k) child = NextSibling(outline, child);
    return child;
}

ItemHandle FindItemByKey(OutlineHandle outline, ItemHandle start, const WCHAR* key) {
    if (key == nullptr) return start;
    int length = lstrlenW(key);
    if (length < kKeyGroupLength + 1) return start;
    ItemHandle current = start;
    for (int group = kKeyGroupLength; group < length && current != 0; group += kKeyGroupLength) {
        // A group is read as decimal digits up to its end or the first other character; a
        // shorter last group reads what it has.
        int32_t n = 0;
        for (int k = group; k < group + kKeyGroupLength && k < length; ++k) {
            if (key[k] < u'0' || key[k] > u'9') break;
            n = n * 10 + (key[k] - u'0');
        }
        current = NthChild(outline, current, n);
    }
    return current;
}

bool IsItemOfOutline(OutlineHandle outline, ItemHandle item) {
    // The runtime answers no root for an outline it does not know, and no parent for an item
    // that is not a live item of the outline named.
    if (item == 0) return false;
    ItemHandle root = GetRootItem(outline);
    return root != 0 && (item == root || GetParentItem(outline, item) != 0);
}
