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
// True when outline is open in the runtime and item is a live item of it. A host that hands
// over a closed outline, an item of another outline or item 0 gets false: working on such
// handles would read an empty outline and write a result that loses everything.
bool IsItemOfOutline(OutlineHandle outline, ItemHandle item);
