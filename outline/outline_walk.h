// outline/outline_walk.h
//
// The child walks of every engine. Items that the runtime marks as skipped are passed over
// here, so no engine ever sees them, and the keys of the items users see stay consecutive.
#pragma once

#include <cstdint>

#include "outline/outline_runtime.h"

// The first non-skipped child of item; 0 when there is none.
ItemHandle FirstChild(OutlineHandle outline, ItemHandle item);
// The next non-skipped sibling of item; 0 when there is none.
ItemHandle NextSibling(OutlineHandle outline, ItemHandle item);
// The n-th non-skipped child of parent, counted from 1 (n below 2 gives the first); 0 when
// the children run out.
ItemHandle NthChild(OutlineHandle outline, ItemHandle parent, int32_t n);
// The item that key names below start, where start stands for the key's first group (the
// root's "001"): each further group of three digits picks the n-th child. A key shorter than
// four characters names start; a walk that runs out answers 0. An absent key names start.
ItemHandle FindItemByKey(OutlineHandle outline, ItemHandle start, const WCHAR* key);
// Resolves many keys below one start item, each as FindItemByKey would, without a walk from
// the first child per key: each level remembers the item whose children it walked and where
// it stopped, so a key whose groups lead to that item again steps on from there, and the first
// time a key asks for an earlier child of it, the level indexes that item's children. Keys
// taken in sorted order so cost one walk over the items they name; keys in any order cost at
// most one walk over each section they reach per run of keys under it. The outline must not
// change while a resolver is in use.
class KeyResolver {
public:
    KeyResolver(OutlineHandle outline, ItemHandle start) : outline_(outline), start_(start) {}
    ~KeyResolver();
    KeyResolver(const KeyResolver&) = delete;
    KeyResolver& operator=(const KeyResolver&) = delete;

    ItemHandle Find(const WCHAR* key);

private:
    // Levels remembered; deeper groups are walked from their parent.
    static constexpr int kRememberedLevels = 64;
    struct Level {
        ItemHandle parent;     // the item whose children the level walked, 0 for none yet
        int32_t ordinal;       // the child's position last asked for, 1 for any group below 1
        ItemHandle item;       // the child found there, 0 when the children ran out
        ItemHandle* children;  // the parent's children, once a key went back among them
        int32_t childCount;
    };
    // The ordinal-th child of parent at level, from what the level remembers.
    ItemHandle ChildAt(Level& level, ItemHandle parent, int32_t ordinal);
    // Indexes the children of the level's parent; false when the memory was refused.
    bool IndexChildren(Level& level);

    OutlineHandle outline_;
    ItemHandle start_;
    Level levels_[kRememberedLevels] = {};
};

// True when outline is open in the runtime and item is a live item of it. A host that hands
// over a closed outline, an item of another outline or item 0 gets false: working on such
// handles would read an empty outline and write a result that loses everything.
bool IsItemOfOutline(OutlineHandle outline, ItemHandle item);
