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

ItemHandle KeyResolver::Find(const WCHAR* key) {
    if (key == nullptr) return start_;
    int length = lstrlenW(key);
    if (length < kKeyGroupLength + 1) return start_;
    ItemHandle current = start_;
    // True while every group so far equals the key before's, so that its levels still apply.
    bool sharedSoFar = true;
    int level = 0;
    for (int group = kKeyGroupLength; group < length && current != 0;
         group += kKeyGroupLength, ++level) {
        // Groups read as FindItemByKey reads them; positions below 1 name the first child.
        int32_t n = 0;
        for (int k = group; k < group + kKeyGroupLength && k < length; ++k) {
            if (key[k] < u'0' || key[k] > u'9') break;
            n = n * 10 + (key[k] - u'0');
        }
        int32_t ordinal = n < 1 ? 1 : n;
        bool remembered = level < kRememberedLevels;
        const Level* before =
            remembered && sharedSoFar && level < levelCount_ ? &levels_[level] : nullptr;
        if (before != nullptr && before->ordinal == ordinal) {
            current = before->item;
        } else if (before != nullptr && before->ordinal < ordinal && before->item != 0) {
            // The same parent, a later child: step on from the one found before.
            current = before->item;
            for (int32_t k = before->ordinal; k < ordinal && current != 0; ++k) {
                current = NextSibling(outline_, current);
            }
            sharedSoFar = false;
        } else {
            current = NthChild(outline_, current, ordinal);
            sharedSoFar = false;
        }
        if (remembered) {
            levels_[level] = {ordinal, current};
            levelCount_ = level + 1;
        }
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
