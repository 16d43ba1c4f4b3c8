// compare/section_walk.h
//
// The walk of a build: compares the children of an item of the first outline with the
// children of its partner in the second, writes that section's records, then descends into
// each child pair in the order of the first outline. Only one section per side is loaded at a
// time; a level keeps only its children's keys and item handles.
#pragma once

#include <cstdint>

#include "outline/outline_runtime.h"
#include "platform/platform.h"
#include "support/wide_string.h"

// Compares the children of firstItem (keys under firstKey) in g_firstOutline with those of
// secondItem (keys under secondKey) in g_secondOutline, and their subtrees. depth is 0 for a
// build of whole outlines, 1 for a build of two items; each section reports progress at level
// depth + 1. Stops at the next section start once the run's abort flag is set; a section over
// the limit sets it with DIF_ST_SECTION_LIMIT, and memory running out sets it through
// MarkOutOfMemory. The walk keeps its own stack, so any depth of outline is compared.
void CompareSection(const WCHAR* firstKey, ItemHandle firstItem, const WCHAR* secondKey,
                    ItemHandle secondItem, int32_t depth, const CWideString& parentLabel);

// Copies the keys and items of the child pairs to descend into: every first-side item that
// is not ignored, with its partner, or, for an item without partner, a key made of secondKey
// and "001" and no item (such items are left out under RDFC). Each array has room for the
// first section's count. Answers the number of pairs; -1 when a key could not be copied (the
// copies made so far are released).
int32_t BuildChildList(WCHAR** firstKeys, ItemHandle* firstItems, WCHAR** secondKeys,
                       ItemHandle* secondItems, const WCHAR* secondKey);
