// merge/order_merge.cpp: carrying the versions' moves into the original.
//
// Each version's moves are its runs of kept items that are consecutive in both outlines but
// stand at another kept position in the version. Both versions' runs are combined into one
// plan by the original's kept positions; version 1's moves are entered first, so a move that
// both versions made is carried out once, as version 1's. Two different targets for one item
// are overlapping moves: conflict C002, and the order stays the original's.
//
// The rules count kept positions from the first item of the level and find a move's place by
// a walk from the first child, which makes a level of n items cost n^2. The level's kept
// positions and indexes are therefore counted once into tables, and the children under the
// parent are followed in a ChildIndex through every copy, deletion and warning the moves make;
// both answer what the counts and the walk answer. Where their memory is refused, the order
// merge counts and walks as the rules say.
#include "merge/three_way_merge.h"

#include "compare/item_matching.h"
#include "compare/scratch_layout.h"
#include "outline/child_index.h"
#include "outline/outline_walk.h"
#include "resources/string_table.h"
#include "support/checked_memory.h"
#include "support/run_state.h"

namespace {

// The entry after a version's last run.
constexpr MoveRun kEndOfRuns = {-1, -1, -1};

bool IsEndOfRuns(const MoveRun& run) { return run.length == kEndOfRuns.length; }

// The child of parent at position (from 1), skipped children passed over; 0 when position is
// below 1 or the children run out.
ItemHandle ChildAt(OutlineHandle outline, ItemHandle parent, int32_t position) {
    if (position < 1) return 0;
    return NthChild(outline, parent, position);
}

}  // namespace

bool IsKept(WCHAR status) {
    return status != kStatusDeleted && status != kStatusAdded && status != kStatusUnderOnlyFirst &&
           status != kStatusConflict && status != kStatusIgnored;
}

int32_t KeptPosition(const WCHAR* status, int32_t index) {
    if (index < 0 || index >= g_baseOutline.count) return -1;
    int32_t kept = 0;
    for (int32_t k = 0; k <= index; ++k) {
        if (IsKept(status[k])) ++kept;
    }
    return kept - 1;
}

int32_t KeptIndex(const WCHAR* status, int32_t position) {
    int32_t count = g_baseOutline.count;
    if (position < 0 || position >= count || count == 0) return -1;
    int32_t kept = -1;
    for (int32_t k = 0; k < count; ++k) {
        if (IsKept(status[k]) && ++kept == position) return k;
    }
    return -1;
}

void KeptTables::Fill(int version, const WCHAR* status) {
    int32_t* positionOf = positions[version - 1];
    int32_t* indexAt = indexes[version - 1];
    int32_t kept = 0;
    for (int32_t k = 0; k < count; ++k) {
        if (IsKept(status[k])) indexAt[kept++] = k;
        positionOf[k] = kept - 1;
    }
    keptCount[version - 1] = kept;
}

int32_t KeptTables::Position(int version, int32_t index) const {
    if (index < 0 || index >= count) return -1;
    return positions[version - 1][index];
}

int32_t KeptTables::Index(int version, int32_t position) const {
    if (position < 0 || position >= keptCount[version - 1]) return -1;
    return indexes[version - 1][position];
}

void CThreeWayMerge::MergeOrder(ItemHandle originalParent, ItemHandle version1Parent,
                                ItemHandle version2Parent, ItemHandle anchor) {
    // The kept positions and indexes of both versions, when there is memory for them.
    int32_t count = g_baseOutline.count;
    KeptTables tables = {};
    tables.count = count;
    void* block = nullptr;
    if (!UsesPlainWalks() && count > 0) {
        ScratchLayout layout;
        for (int side = 0; side < 2; ++side) {
            layout.Reserve(&tables.positions[side], static_cast<uint64_t>(count));
            layout.Reserve(&tables.indexes[side], static_cast<uint64_t>(count));
        }
        block = layout.Allocate();
    }
    const KeptTables* kept = nullptr;
    if (block != nullptr) {
        tables.Fill(kVersion1, g_baseOutline.StatusFor(kVersion1));
        tables.Fill(kVersion2, g_baseOutline.StatusFor(kVersion2));
        kept = &tables;
    }
    // Version 1's runs first, then version 2's, then the plan that combines them.
    MoveRun* version1Runs = MoveRuns(kVersion1, kept);
    MoveRun* version2Runs = MoveRuns(kVersion2, kept);
    bool overlap = false;
    MovePlanEntry* plan = nullptr;
    if (version1Runs != nullptr && version2Runs != nullptr) {
        plan = CombineMoves(version1Runs, version2Runs, g_baseOutline.count, &overlap);
    }
    // Without the memory for the plan nothing is moved: the order stays the original's, and
    // the run is told that the versions' moves were not carried over, so that the merge does
    // not save an outline that silently lost them.
    bool planned = plan != nullptr || overlap || g_baseOutline.count == 0;
    if (version1Runs == nullptr || version2Runs == nullptr || !planned) {
        NoteOutOfMemory();
    }
    if (overlap) {
        ConflictItem originalSide = {g_baseOutline.Outline(), originalParent};
        ConflictSide version1Side = {g_version1Outline.Outline(), version1Parent, kChangeOrder};
        ConflictSide version2Side = {g_version2Outline.Outline(), version2Parent, kChangeOrder};
        // An order conflict is marked on the parent whose children it orders, even inside a
        // unit: the parent stands in the result either way.
        MarkConflict(originalSide, version1Side, version2Side, anchor, true, kKindOrder);
    } else if (plan != nullptr) {
        ApplyMoves(plan, g_baseOutline.count, originalParent, kept);
    }
    FreeIfAny(block);
    FreeIfAny(version1Runs);
    FreeIfAny(version2Runs);
    FreeIfAny(plan);
}

MoveRun* CThreeWayMerge::MoveRuns(int version, const KeptTables* kept) {
    COutline& side = version == 1 ? g_version1Outline : g_version2Outline;
    const WCHAR* originalStatus = g_baseOutline.StatusFor(version);
    // Room for every item's run and the end mark.
    MoveRun* runs = static_cast<MoveRun*>(
        CheckedAlloc(static_cast<uint32_t>(side.count + 1) * sizeof(MoveRun)));
    if (runs == nullptr) return nullptr;
    int32_t recorded = 0;
    // The current run: the kept positions of its last item in the original and in the version,
    // and its length; none before the first kept item.
    int32_t basePosition = -1, versionPosition = -1, length = 0;
    // The version's kept items in its own order. An item that follows its predecessor in the
    // original too extends the run; any other ends it, and the ended run is recorded only when
    // it stands at another position in the version.
    for (int32_t j = 0; j < side.count; ++j) {
        if (!IsKept(side.status[j])) continue;
        int32_t previousVersion = versionPosition;
        versionPosition += 1;
        int32_t previousBase = basePosition;
        basePosition = kept != nullptr ? kept->Position(version, side.match[j])
                                       : KeptPosition(originalStatus, side.match[j]);
        if (length == 0 || basePosition == previousBase + 1) {
            length += 1;
        } else {
            if (previousBase != previousVersion) {
                runs[recorded++] = {previousBase - length + 1, previousVersion - length + 1,
                                    length};
            }
            length = 1;
        }
    }
    // The last run, by the same rule.
    if (length > 0 && basePosition != versionPosition) {
        runs[recorded++] = {basePosition - length + 1, versionPosition - length + 1, length};
    }
    runs[recorded] = kEndOfRuns;
    return runs;
}

MovePlanEntry* CThreeWayMerge::CombineMoves(const MoveRun* version1Runs,
                                            const MoveRun* version2Runs, int32_t count,
                                            bool* overlap) {
    *overlap = false;
    if (count == 0) return nullptr;
    MovePlanEntry* plan = static_cast<MovePlanEntry*>(
        CheckedAlloc(static_cast<uint32_t>(count) * sizeof(MovePlanEntry)));
    if (plan == nullptr) return nullptr;
    for (int32_t k = 0; k < count; ++k) plan[k] = {kNotMoved, kVersion1};
    // Version 1's moves are entered first and unconditionally, so a move that both versions
    // made is carried out as version 1's.
    for (const MoveRun* run = version1Runs; !IsEndOfRuns(*run); ++run) {
        for (int32_t k = 0; k < run->length; ++k) {
            int32_t entry = run->basePosition + k;
            if (entry >= 0 && entry < count) {
                plan[entry] = {run->versionPosition + k, kVersion1};
            }
        }
    }
    // Version 2's moves fill the entries version 1 left unmoved; another target for an entry
    // already moved is an overlap.
    for (const MoveRun* run = version2Runs; !IsEndOfRuns(*run); ++run) {
        for (int32_t k = 0; k < run->length; ++k) {
            int32_t entry = run->basePosition + k;
            if (entry < 0 || entry >= count) continue;
            int32_t target = run->versionPosition + k;
            if (plan[entry].target == kNotMoved) {
                plan[entry] = {target, kVersion2};
            } else if (plan[entry].target != target) {
                *overlap = true;
                break;  // the rest of this run is passed over; later runs still count
            }
        }
    }
    return plan;
}

void CThreeWayMerge::ApplyMoves(MovePlanEntry* plan, int32_t count, ItemHandle parent,
                                const KeptTables* kept) {
    CBaseOutline& original = g_baseOutline;
    OutlineHandle outline = original.Outline();
    // The parent's children, read at the first move and followed through the moves: each move
    // inserts a copy and deletes an item or, when the deletion is refused, inserts a warning.
    // Once the index cannot follow (a refused memory, a place it does not know), the walk from
    // the first child takes over.
    ChildIndex children;
    bool indexed = false, indexRead = false;
    // Entries in the original's kept order; each follows its chain of targets. Every visited
    // entry is cleared, so each chain ends and no item moves twice.
    for (int32_t i = 0; i < count; ++i) {
        int32_t current = i;
        int32_t target = plan[current].target;
        while (target != kNotMoved) {
            if (current != target) {
                // A move is a copy at the target followed by the deletion of the item; the
                // item is looked up by the kept positions of the version whose move it is.
                int version = plan[current].version;
                int32_t k = kept != nullptr ? kept->Index(version, current)
                                            : KeptIndex(original.StatusFor(version), current);
                ItemHandle moved = k != -1 ? original.items[k] : 0;
                if (!indexRead) {
                    indexed = kept != nullptr && children.Build(outline, parent, 2 * count);
                    indexRead = true;
                }
                ItemHandle destination = target < 1 ? 0
                                         : indexed  ? children.NthChild(target)
                                                    : ChildAt(outline, parent, target);
                ItemHandle copy = CopyItem(outline, moved, outline, parent, destination, 1, 1);
                if (indexed && copy != 0) indexed = children.NoteInserted(copy, destination);
                if (k != -1) original.items[k] = copy;
                if (DeleteItem(outline, moved) == 0) {
                    // The item the runtime refused to delete stays beside its copy.
                    ItemHandle warning = WarnAboutItem(outline, parent, moved, kStringW004,
                                                       k != -1 ? original.texts[k] : nullptr);
                    if (indexed && warning != 0) indexed = children.NoteInserted(warning, moved);
                } else if (indexed) {
                    children.NoteDeleted(moved);
                }
            }
            plan[current].target = kNotMoved;
            current = target;
            // A target outside the plan ends the chain.
            target = current >= 0 && current < count ? plan[current].target : kNotMoved;
        }
    }
}
