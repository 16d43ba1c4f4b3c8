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
#include "outline/progress_bar.h"
#include "support/run_state.h"
#include "merge/content_comparison.h"
#include "support/checked_memory.h"
#include "support/item_key.h"

namespace {

// The original, version 1 and version 2 sides, in that order.
constexpr int kSides = 3;

// One level on the path from the top: its child lists, how far the walk has come through
// them, and what the level carries down.
struct MergeLevelFrame {
    MergeNodeList lists[kSides] = {};
    int32_t count = 0;  // child entries filled
    int32_t next = 0;
    int32_t level = 0;
    ItemHandle anchor = 0;
    CWideString label;
    int32_t pending = 0;
    MergeLevelFrame* below = nullptr;
};

void MarkOutOfMemory() {
    g_runState.outOfMemory = true;
    g_runState.abortFlag = 1;
}

void LoadSide(COutline& side, const MergeNode& node) {
    if (side.LoadSection(node.key, node.item, g_runState.options)) return;
    if (side.OutOfMemory()) {
        MarkOutOfMemory();
        return;
    }
    g_runState.abortFlag = 1;
    g_runState.result = DIF_ST_SECTION_LIMIT;
}

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
    PairingSide original = SideOf(g_baseOutline, tag);
    PairingSide side = SideOf(version);
    MatchItems(original, side, kMergeRules);
}

namespace {

// Steps 1 to 13 of one level. Answers the level's frame when it has children to descend
// into; otherwise none, with the level's pending flag in *pending.
MergeLevelFrame* EnterLevel(CThreeWayMerge& merge, const MergeNode& original,
                            const MergeNode& version1, const MergeNode& version2, int32_t depth,
                            ItemHandle anchor, const CWideString& label, int32_t* pending) {
    *pending = 0;
    CheckHeap();
    // 1-3.
    if (g_runState.abortFlag != 0) return nullptr;
    int32_t level = depth + 1;
    // The item a merge starts from is never the anchor, even when it is a unit: a conflict
    // among its children could only be settled by copying it beside itself, which cannot be
    // done, and would be lost. Its children's conflicts are marked where they arise.
    if (anchor == 0 && depth > 0 && IsUnitItem(g_baseOutline.Outline(), original.item)) {
        anchor = original.item;
    }
    // 4.
    LoadSide(g_baseOutline, original);
    LoadSide(g_version1Outline, version1);
    LoadSide(g_version2Outline, version2);
    CheckHeap();
    MergeLevelFrame* frame = nullptr;
    if (!g_runState.outOfMemory) {
        // 5-7. A side without an item has nothing to pair with.
        if (original.item == 0) {
            PairingSide side1 = SideOf(g_version1Outline);
            PairingSide side2 = SideOf(g_version2Outline);
            SetAllStatus(side1, kStatusUnderOnlyFirst);
            SetAllStatus(side2, kStatusUnderOnlyFirst);
        }
        if (version1.item == 0) {
            PairingSide side = SideOf(g_baseOutline, 1);
            SetAllStatus(side, kStatusDeleted);
        } else {
            merge.MatchVersion(g_version1Outline, 1);
        }
        if (version2.item == 0) {
            PairingSide side = SideOf(g_baseOutline, 2);
            SetAllStatus(side, kStatusDeleted);
        } else {
            merge.MatchVersion(g_version2Outline, 2);
        }
        // 8-10.
        *pending = merge.MergeItems(anchor);
        merge.MergeOrder(original.item, version1.item, version2.item, anchor);
        merge.InsertAdditions(original.item);
        CheckHeap();
        // 11.
        int32_t originalCount = g_baseOutline.count;
        if (originalCount > 0 && !g_runState.outOfMemory) {
            frame = new (std::nothrow) MergeLevelFrame;
            bool made = frame != nullptr && MakeList(frame->lists[0], originalCount, original.key) &&
                        MakeList(frame->lists[1], originalCount, version1.key) &&
                        MakeList(frame->lists[2], originalCount, version2.key);
            int32_t filled = made ? merge.CollectChildNodes(frame->lists[0], frame->lists[1],
                                                            frame->lists[2])
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
    // 12.
    g_version1Outline.FreeItemArrays();
    g_version2Outline.FreeItemArrays();
    g_baseOutline.FreeItemArrays();
    // 13.
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
            // 15-16. The level is done; its pending flag goes to the level above.
            MergeLevelFrame* finished = top;
            pending = finished->pending;
            top = finished->below;
            ReleaseFrame(finished);
            if (top == nullptr) break;
        } else {
            // 14.1-14.3
            int32_t i = top->next++;
            CWideString childLabel;
            ItemHandle o = top->lists[0].entries[i].item;
            if (g_progressBar.ReportsLevel(top->level)) {
                childLabel = g_progressBar.SectionLabel(g_baseOutline.Outline(), o, top->label,
                                                        top->level);
                g_progressBar.StepLevel(top->level, i, top->count, childLabel.Text());
            }
            CheckHeap();
            MergeLevelFrame* child =
                EnterLevel(*this, top->lists[0].entries[i], top->lists[1].entries[i],
                           top->lists[2].entries[i], top->level, top->anchor, childLabel,
                           &pending);
            if (child != nullptr) {
                child->below = top;
                top = child;
                continue;
            }
        }
        // 14.4 The child at top->next - 1 answered pending: settle it at a unit of this
        //      level's child position, or pass it upward.
        CheckHeap();
        if (pending != 1) continue;
        int32_t i = top->next - 1;
        ItemHandle o = top->lists[0].entries[i].item;
        ItemHandle p = top->lists[1].entries[i].item;
        ItemHandle q = top->lists[2].entries[i].item;
        if (IsUnitItem(g_baseOutline.Outline(), o) || IsUnitItem(g_version1Outline.Outline(), p) ||
            IsUnitItem(g_version2Outline.Outline(), q)) {
            ConflictItem originalSide = {g_baseOutline.Outline(), o};
            ConflictSide version1Side = {g_version1Outline.Outline(), p, kChangeCopy};
            ConflictSide version2Side = {g_version2Outline.Outline(), q, kChangeCopy};
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
    int32_t n = 0;
    for (int32_t i = 0; i < base.count; ++i) {
        WCHAR s1 = base.StatusFor(1)[i], s2 = base.StatusFor(2)[i];
        if (s1 == kStatusConflict || s1 == kStatusIgnored || s2 == kStatusConflict ||
            s2 == kStatusIgnored) {
            continue;
        }
        // The original's entry is 0 for an item the merge deleted: the level below loads
        // nothing on the original side.
        original.entries[n] = {CheckedDup(base.keys[i]), base.items[i]};
        MergeNodeList* lists[] = {&version1, &version2};
        COutline* versions[] = {&g_version1Outline, &g_version2Outline};
        for (int side = 0; side < 2; ++side) {
            int32_t match = base.MatchFor(side + 1)[i];
            MergeNode& node = lists[side]->entries[n];
            if (match != kNoMatch) {
                node = {CheckedDup(versions[side]->keys[match]), versions[side]->items[match]};
            } else {
                node = {MakeKey(lists[side]->keyPrefix, 1), 0};
            }
        }
        bool copied = original.entries[n].key != nullptr && version1.entries[n].key != nullptr &&
                      version2.entries[n].key != nullptr;
        ++n;
        // The lists release every key they hold, so a refusal only needs to be told.
        if (!copied) return -1;
    }
    return n;
}
