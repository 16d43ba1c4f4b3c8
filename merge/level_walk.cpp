// merge/level_walk.cpp: the level by level walk of a merge.
//
// Each level loads the children of the three corresponding items, pairs each version with
// the original, merges items, order and additions, then descends into every original child
// that survived without a conflict, with its counterparts. A conflict inside a unit is left
// pending and settled at the nearest enclosing unit, which is then copied whole from both
// versions. The walk keeps its own stack of levels, so any depth of outline is merged.
#include "merge/three_way_merge.h"

#include <new>

#include "compare/item_matching.h"
#include "include/norvex63.h"
#include "merge/content_comparison.h"
#include "outline/progress_bar.h"
#include "support/checked_memory.h"
#include "support/item_key.h"
#include "support/run_state.h"

namespace {

// The original, version 1 and version 2 sides, in that order.
constexpr int kSides = 3;
constexpr int kOriginalSide = 0;
constexpr int kVersion1Side = 1;
constexpr int kVersion2Side = 2;

// One level on the path from the top: its child lists, how far the walk has come through
// them, and what the level carries down.
struct MergeLevelFrame {
    MergeNodeList lists[kSides] = {};
    int32_t count = 0;  // child entries filled
    int32_t next = 0;   // the next child entry to descend into
    int32_t level = 0;
    ItemHandle anchor = 0;  // the nearest enclosing unit of the original, 0 for none
    CWideString label;      // the level's progress label, the parent label of its children
    int32_t pending = 0;    // 1 while a conflict below is left for a unit above to settle
    MergeLevelFrame* below = nullptr;  // the level one up
};

void ReleaseList(MergeNodeList& list) {
    if (list.entries == nullptr) return;
    for (int32_t k = 0; k < list.count; ++k) {
        if (list.entries[k].key != nullptr) CheckedFree(list.entries[k].key);
    }
    CheckedFree(list.entries);
    list.entries = nullptr;
}

void ReleaseFrame(MergeLevelFrame* frame) {
    // Version 2's list, version 1's, then the original's.
    for (int side = kSides - 1; side >= 0; --side) ReleaseList(frame->lists[side]);
    delete frame;
}

bool MakeList(MergeNodeList& list, int32_t count, const WCHAR* keyPrefix) {
    list.count = count;
    list.keyPrefix = keyPrefix;
    list.entries =
        static_cast<MergeNode*>(CheckedAlloc(static_cast<uint32_t>(count) * sizeof(MergeNode)));
    if (list.entries == nullptr) return false;
    for (int32_t k = 0; k < count; ++k) list.entries[k] = {nullptr, 0};
    return true;
}

}  // namespace

void CThreeWayMerge::MatchVersion(COutline& version, int tag) {
    // The tag chooses which of the original's two pairings this version's fills.
    PairingSide original = SideOf(g_baseOutline, tag);
    PairingSide side = SideOf(version);
    MatchItems(original, side, kMergeRules);
}

namespace {

// Merges one level: loads the three sides' children, pairs each version with the original,
// merges items, order and additions, and collects the children to descend into. Answers the
// level's frame when it has children to descend into; otherwise none, with the level's pending
// flag in *pending.
MergeLevelFrame* EnterLevel(CThreeWayMerge& merge, const MergeNode& original,
                            const MergeNode& version1, const MergeNode& version2, int32_t depth,
                            ItemHandle anchor, const CWideString& label, int32_t* pending) {
    *pending = 0;
    CheckHeap();
    // An aborted or stopped run merges nothing more.
    if (g_runState.abortFlag != 0) return nullptr;
    int32_t level = depth + 1;
    // The item a merge starts from is never the anchor, even when it is a unit: a conflict
    // among its children could only be settled by copying it beside itself, which cannot be
    // done, and would be lost. Its children's conflicts are marked where they arise.
    if (anchor == 0 && depth > 0 && IsUnitItem(g_baseOutline.Outline(), original.item)) {
        anchor = original.item;
    }
    // The original first, then version 1, then version 2.
    LoadSide(g_baseOutline, original.key, original.item);
    LoadSide(g_version1Outline, version1.key, version1.item);
    LoadSide(g_version2Outline, version2.key, version2.item);
    CheckHeap();
    MergeLevelFrame* frame = nullptr;
    if (!RanOutOfMemory()) {
        // Pairing, version 1 before version 2. A side without an item has nothing to pair
        // with: with no original item everything in the versions stands under an addition,
        // with no version item the original's children are all deleted there.
        if (original.item == 0) {
            PairingSide side1 = SideOf(g_version1Outline);
            PairingSide side2 = SideOf(g_version2Outline);
            SetAllStatus(side1, kStatusUnderOnlyFirst);
            SetAllStatus(side2, kStatusUnderOnlyFirst);
        }
        if (version1.item == 0) {
            PairingSide side = SideOf(g_baseOutline, kVersion1);
            SetAllStatus(side, kStatusDeleted);
        } else {
            merge.MatchVersion(g_version1Outline, kVersion1);
        }
        if (version2.item == 0) {
            PairingSide side = SideOf(g_baseOutline, kVersion2);
            SetAllStatus(side, kStatusDeleted);
        } else {
            merge.MatchVersion(g_version2Outline, kVersion2);
        }
        // Items, then order, then additions: the order merge moves only items the item rule
        // kept, and additions are placed after the items that stand before them once moved.
        *pending = merge.MergeItems(anchor);
        merge.MergeOrder(original.item, version1.item, version2.item, anchor);
        merge.InsertAdditions(original.item);
        CheckHeap();
        // The children to descend into, with their counterparts in the versions.
        int32_t originalCount = g_baseOutline.count;
        if (originalCount > 0 && !RanOutOfMemory()) {
            frame = new (std::nothrow) MergeLevelFrame;
            bool made = frame != nullptr &&
                        MakeList(frame->lists[kOriginalSide], originalCount, original.key) &&
                        MakeList(frame->lists[kVersion1Side], originalCount, version1.key) &&
                        MakeList(frame->lists[kVersion2Side], originalCount, version2.key);
            int32_t filled = made ? merge.CollectChildNodes(frame->lists[kOriginalSide],
                                                            frame->lists[kVersion1Side],
                                                            frame->lists[kVersion2Side])
                                  : -1;
            if (filled < 0) {
                MarkOutOfMemory();
                if (frame != nullptr) ReleaseFrame(frame);
                frame = nullptr;
            } else {
                frame->count = filled;
            }
        }
        CheckHeap();
    }
    // The level's arrays go before the children are loaded into the same objects.
    g_version1Outline.FreeItemArrays();
    g_version2Outline.FreeItemArrays();
    g_baseOutline.FreeItemArrays();
    // The progress report counts the children that will be descended into.
    g_progressBar.BeginLevel(frame != nullptr ? frame->count : 0, level);
    if (frame == nullptr) return nullptr;
    if (frame->count == 0) {
        ReleaseFrame(frame);
        return nullptr;
    }
    frame->level = level;
    frame->anchor = anchor;
    frame->label = label;
    frame->pending = *pending;
    return frame;
}

}  // namespace

int32_t CThreeWayMerge::MergeLevel(const MergeNode& original, const MergeNode& version1,
                                   const MergeNode& version2, int32_t depth, ItemHandle anchor,
                                   const CWideString& label) {
    int32_t pending = 0;
    MergeLevelFrame* top =
        EnterLevel(*this, original, version1, version2, depth, anchor, label, &pending);
    while (top != nullptr) {
        if (top->next == top->count) {
            // The level is done; its pending flag goes to the level above.
            MergeLevelFrame* finished = top;
            pending = finished->pending;
            top = finished->below;
            ReleaseFrame(finished);
            if (top == nullptr) break;
        } else {
            // The next child, in the original's order: report it, then merge its level.
            int32_t i = top->next++;
            CWideString childLabel;
            ItemHandle originalItem = top->lists[kOriginalSide].entries[i].item;
            if (g_progressBar.ReportsLevel(top->level)) {
                childLabel = g_progressBar.SectionLabel(g_baseOutline.Outline(), originalItem,
                                                        top->label, top->level);
                g_progressBar.StepLevel(top->level, i, top->count, childLabel.Text());
            }
            CheckHeap();
            MergeLevelFrame* child = EnterLevel(*this, top->lists[kOriginalSide].entries[i],
                                                top->lists[kVersion1Side].entries[i],
                                                top->lists[kVersion2Side].entries[i], top->level,
                                                top->anchor, childLabel, &pending);
            if (child != nullptr) {
                child->below = top;
                top = child;
                continue;
            }
        }
        // The child at top->next - 1 answered pending: when it is a unit on any side, the
        // conflict is settled there by copying the unit whole from both versions; otherwise it
        // passes upward to this level.
        CheckHeap();
        if (pending != 1) continue;
        int32_t i = top->next - 1;
        ItemHandle originalItem = top->lists[kOriginalSide].entries[i].item;
        ItemHandle version1Item = top->lists[kVersion1Side].entries[i].item;
        ItemHandle version2Item = top->lists[kVersion2Side].entries[i].item;
        if (IsUnitItem(g_baseOutline.Outline(), originalItem) ||
            IsUnitItem(g_version1Outline.Outline(), version1Item) ||
            IsUnitItem(g_version2Outline.Outline(), version2Item)) {
            ConflictItem originalSide = {g_baseOutline.Outline(), originalItem};
            ConflictSide version1Side = {g_version1Outline.Outline(), version1Item, kChangeCopy};
            ConflictSide version2Side = {g_version2Outline.Outline(), version2Item, kChangeCopy};
            // Settled here, at the unit, even though an anchor encloses it.
            MarkConflict(originalSide, version1Side, version2Side, top->anchor, true, kKindText);
            top->pending = 0;
        } else {
            top->pending = 1;
        }
    }
    return pending;
}

int32_t CThreeWayMerge::CollectChildNodes(MergeNodeList& original, MergeNodeList& version1,
                                          MergeNodeList& version2) {
    CBaseOutline& base = g_baseOutline;
    int32_t filled = 0;
    for (int32_t i = 0; i < base.count; ++i) {
        WCHAR version1Status = base.StatusFor(kVersion1)[i];
        WCHAR version2Status = base.StatusFor(kVersion2)[i];
        // A settled conflict or an ignored item is not descended into.
        if (version1Status == kStatusConflict || version1Status == kStatusIgnored ||
            version2Status == kStatusConflict || version2Status == kStatusIgnored) {
            continue;
        }
        // The original's entry is 0 for an item the merge deleted: the level below loads
        // nothing on the original side.
        original.entries[filled] = {CheckedDup(base.keys[i]), base.items[i]};
        // Version 1's entry, then version 2's; a version without a partner gets a made-up key
        // under its own key, and no item.
        MergeNodeList* lists[] = {&version1, &version2};
        COutline* versions[] = {&g_version1Outline, &g_version2Outline};
        int tags[] = {kVersion1, kVersion2};
        for (int side = 0; side < 2; ++side) {
            int32_t match = base.MatchFor(tags[side])[i];
            MergeNode& node = lists[side]->entries[filled];
            if (match != kNoMatch) {
                node = {CheckedDup(versions[side]->keys[match]), versions[side]->items[match]};
            } else {
                node = {MakeKey(lists[side]->keyPrefix, 1), 0};
            }
        }
        bool copied = original.entries[filled].key != nullptr &&
                      version1.entries[filled].key != nullptr &&
                      version2.entries[filled].key != nullptr;
        ++filled;
        // The lists release every key they hold, so a refusal only needs to be told.
        if (!copied) return -1;
    }
    return filled;
}
