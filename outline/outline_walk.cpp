// outline/outline_walk.cpp: child walks that pass over skipped items.
#include "outline/outline_walk.h"

#include "support/checked_memory.h"
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

KeyResolver::~KeyResolver() {
    for (Level& level : levels_) FreeIfAny(level.children);
}

ItemHandle KeyResolver::Find(const WCHAR* key) {
    if (key == nullptr) return start_;
    int length = lstrlenW(key);
    if (length < kKeyGroupLength + 1) return start_;
    ItemHandle current = start_;
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
        current = level < kRememberedLevels ? ChildAt(levels_[level], current, ordinal)
                                            : NthChild(outline_, current, ordinal);
    }
    return current;
}

ItemHandle KeyResolver::ChildAt(Level& level, ItemHandle parent, int32_t ordinal) {
    if (level.parent != parent) {
        // Another section: walked afresh from its first child.
        FreeIfAny(level.children);
        level = {parent, ordinal, NthChild(outline_, parent, ordinal), nullptr, 0};
        return level.item;
    }
    if (level.children == nullptr && ordinal < level.ordinal) IndexChildren(level);
    ItemHandle child;
    if (level.children != nullptr) {
        child = ordinal <= level.childCount ? level.children[ordinal - 1] : 0;
    } else if (ordinal < level.ordinal) {
        // Without the memory for an index, back to the walk of the rules.
        child = NthChild(outline_, parent, ordinal);
    } else {
        // On from the child found before; where the children ran out, they run out further on.
        child = level.item;
        for (int32_t k = level.ordinal; k < ordinal && child != 0; ++k) {
            child = NextSibling(outline_, child);
        }
    }
    level.ordinal = ordinal;
    level.item = child;
    return child;
}

bool KeyResolver::IndexChildren(Level& level) {
    int32_t count = 0;
    for (ItemHandle child = FirstChild(outline_, level.parent); child != 0;
         child = NextSibling(outline_, child)) {
        ++count;
    }
    if (count == 0) return false;
    level.children =
        static_cast<ItemHandle*>(CheckedAlloc(static_cast<uint32_t>(count) * sizeof(ItemHandle)));
    if (level.children == nullptr) return false;
    level.childCount = 0;
    for (ItemHandle child = FirstChild(outline_, level.parent);
         child != 0 && level.childCount < count; child = NextSibling(outline_, child)) {
        level.children[level.childCount++] = child;
    }
    return true;
}

bool IsItemOfOutline(OutlineHandle outline, ItemHandle item) {
    // The runtime answers no root for an outline it does not know, and no parent for an item
    // that is not a live item of the outline named.
    if (item == 0) return false;
    ItemHandle root = GetRootItem(outline);
    return root != 0 && (item == root || GetParentItem(outline, item) != 0);
}
