// compare/section_walk.cpp: the section by section walk of a build.
//
// The walk is depth-first: a section's records, then its first child's subtree, then its
// second child's, and so on. It runs on an explicit stack of child lists instead of recursing,
// which gives the same order with the depth of an outline bounded by the heap, not the stack.
#include "compare/section_walk.h"

#include <new>

#include "compare/content_records.h"
#include "compare/item_matching.h"
#include "compare/item_records.h"
#include "compare/record_output.h"
#include "include/norvex63.h"
#include "outline/outline_object.h"
#include "outline/progress_bar.h"
#include "support/checked_memory.h"
#include "support/item_key.h"
#include "support/run_state.h"

namespace {

// The child pairs of one compared section and how far the walk has come through them.
struct ChildList {
    int32_t count = 0;
    int32_t next = 0;
    int32_t level = 0;
    WCHAR** firstKeys = nullptr;
    ItemHandle* firstItems = nullptr;
    WCHAR** secondKeys = nullptr;
    ItemHandle* secondItems = nullptr;
    CWideString parentLabel;     // the section's own label, the parent label of its children
    ChildList* below = nullptr;  // the list of the section one level up
};

void ReleaseChildList(ChildList* list) {
    for (int32_t k = list->next; k < list->count; ++k) {
        FreeIfAny(list->firstKeys[k]);
        FreeIfAny(list->secondKeys[k]);
    }
    FreeIfAny(list->firstKeys);
    FreeIfAny(list->firstItems);
    FreeIfAny(list->secondKeys);
    FreeIfAny(list->secondItems);
    delete list;
}

// One section: compare it, write its records and answer its child list (none when the run is
// stopping, or when nothing is left to descend into).
ChildList* CompareOneSection(const WCHAR* firstKey, ItemHandle firstItem, const WCHAR* secondKey,
                             ItemHandle secondItem, int32_t depth, const CWideString& parentLabel) {
    // A stopped run loads nothing more, not even this section.
    if (g_runState.abortFlag != 0) return nullptr;
    // Load both sides. A side over the section limit stops the run after this section; what
    // was loaded is still compared.
    int32_t level = depth + 1;
    LoadSide(g_firstOutline, firstKey, firstItem);
    LoadSide(g_secondOutline, secondKey, secondItem);
    ChildList* children = nullptr;
    if (!RanOutOfMemory()) {
        // Pair the items. Under an item only in the first outline there is no second section:
        // every first-side item stands inside an addition.
        PairingSide first = SideOf(g_firstOutline);
        PairingSide second = SideOf(g_secondOutline);
        if (secondItem != 0) {
            MatchItems(first, second);
        } else {
            SetAllStatus(first, kStatusUnderOnlyFirst);
        }
        // Item records first, then attributes, properties and DTDATA values as the options
        // ask: the compare file holds a section's records in this order.
        WriteItemRecords(g_firstOutline, g_secondOutline, secondKey, firstKey);
        uint32_t options = g_runState.options;
        if ((options & DIF_OPT_ATTRIBUTES) != 0) {
            WriteAttributeRecords(g_firstOutline, g_secondOutline, secondKey);
        }
        if ((options & DIF_OPT_PROPERTIES) != 0) {
            WritePropertyRecords(g_firstOutline, g_secondOutline, secondKey);
        }
        if ((options & DIF_OPT_DTDATA) != 0) {
            WriteDTDataRecords(g_firstOutline, g_secondOutline, secondKey);
        }
        // The child pairs to descend into, as long as memory lasts.
        int32_t firstCount = g_firstOutline.count;
        if (firstCount > 0 && !RanOutOfMemory()) {
            // The list's label may still throw the wide string's out-of-memory failure.
            children = new (std::nothrow) ChildList;
            if (children == nullptr) MarkOutOfMemory();
        }
        if (children != nullptr) {
            uint32_t pointers = static_cast<uint32_t>(firstCount) * sizeof(WCHAR*);
            uint32_t handles = static_cast<uint32_t>(firstCount) * sizeof(ItemHandle);
            children->firstKeys = static_cast<WCHAR**>(CheckedAlloc(pointers));
            children->firstItems = static_cast<ItemHandle*>(CheckedAlloc(handles));
            children->secondKeys = static_cast<WCHAR**>(CheckedAlloc(pointers));
            children->secondItems = static_cast<ItemHandle*>(CheckedAlloc(handles));
            bool allocated = children->firstKeys != nullptr && children->firstItems != nullptr &&
                             children->secondKeys != nullptr && children->secondItems != nullptr;
            children->count =
                allocated ? BuildChildList(children->firstKeys, children->firstItems,
                                           children->secondKeys, children->secondItems, secondKey)
                          : -1;
            if (children->count < 0) {
                // Without its child list the walk cannot go on truthfully.
                children->count = 0;
                MarkOutOfMemory();
            }
        }
    }
    // Release this section before descending, so that only one section per side is held.
    g_secondOutline.FreeItemArrays();
    g_firstOutline.FreeItemArrays();
    // The progress bar learns how many children this level has, none included.
    int32_t childCount = children != nullptr ? children->count : 0;
    g_progressBar.BeginLevel(childCount, level);
    if (children == nullptr) return nullptr;
    if (children->count == 0) {
        ReleaseChildList(children);
        return nullptr;
    }
    children->level = level;
    children->parentLabel = parentLabel;
    return children;
}

}  // namespace

void CompareSection(const WCHAR* firstKey, ItemHandle firstItem, const WCHAR* secondKey,
                    ItemHandle secondItem, int32_t depth, const CWideString& parentLabel) {
    ChildList* top =
        CompareOneSection(firstKey, firstItem, secondKey, secondItem, depth, parentLabel);
    while (top != nullptr) {
        if (top->next == top->count) {
            ChildList* finished = top;
            top = top->below;
            ReleaseChildList(finished);
            continue;
        }
        // The child's label, built only where its level reports.
        int32_t i = top->next;
        CWideString label;
        if (g_progressBar.ReportsLevel(top->level)) {
            label = g_progressBar.SectionLabel(g_firstOutline.Outline(), top->firstItems[i],
                                               top->parentLabel, top->level);
            g_progressBar.StepLevel(top->level, i, top->count, label.Text());
        }
        // Compare the child's section; its own child list, if any, goes on top of the stack.
        ChildList* child =
            CompareOneSection(top->firstKeys[i], top->firstItems[i], top->secondKeys[i],
                              top->secondItems[i], top->level, label);
        // The child's keys are no longer needed once its section was loaded; its subtree has
        // keys of its own.
        FreeIfAny(top->firstKeys[i]);
        FreeIfAny(top->secondKeys[i]);
        top->next = i + 1;
        if (child != nullptr) {
            child->below = top;
            top = child;
        }
    }
}

int32_t BuildChildList(WCHAR** firstKeys, ItemHandle* firstItems, WCHAR** secondKeys,
                       ItemHandle* secondItems, const WCHAR* secondKey) {
    const COutline& first = g_firstOutline;
    const COutline& second = g_secondOutline;
    bool descendIntoOnlyFirst = (g_runState.options & DIF_OPT_RDFC) == 0;
    int32_t pairCount = 0;
    for (int32_t i = 0; i < first.count; ++i) {
        if (first.status[i] == kStatusIgnored) continue;
        int32_t j = first.match[i];
        if (j == kNoMatch && !descendIntoOnlyFirst) continue;
        firstKeys[pairCount] = CheckedDup(first.keys[i]);
        firstItems[pairCount] = first.items[i];
        if (j == kNoMatch) {
            // An item only in the first outline: its children are all 'X', keyed under a
            // made-up key of the second side.
            secondKeys[pairCount] = MakeKey(secondKey, kPartnerlessOrdinal);
            secondItems[pairCount] = 0;
        } else {
            secondKeys[pairCount] = CheckedDup(second.keys[j]);
            secondItems[pairCount] = second.items[j];
        }
        if (firstKeys[pairCount] == nullptr || secondKeys[pairCount] == nullptr) {
            for (int32_t k = 0; k <= pairCount; ++k) {
                FreeIfAny(firstKeys[k]);
                FreeIfAny(secondKeys[k]);
            }
            return -1;
        }
        ++pairCount;
    }
    return pairCount;
}
