// merge/added_items.cpp: copying the versions' additions into the original.
//
// Each gap between two original items takes the additions that the versions show there. When
// both versions added different items at one gap, their order cannot be known: version 1's
// run goes first, then what version 2 added that version 1 does not also have, each run after
// a W001 warning of its version. Inherited additions are never copied; W002 says so once per
// level.
#include "merge/three_way_merge.h"

#include "compare/item_matching.h"
#include "include/norvex63.h"
#include "merge/content_comparison.h"
#include "resources/string_table.h"
#include "support/checked_memory.h"
#include "support/run_state.h"

namespace {

// An addition is inherited when attributes are loaded and one of the inheritance marks holds a
// nonzero number.
bool IsInheritedAddition(const COutline& version, int32_t index) {
    if ((g_runState.options & DIF_OPT_ATTRIBUTES) == 0 || version.attributes == nullptr) {
        return false;
    }
    return (version.attributes[index].flags & kInheritanceMarkFlags) != 0;
}

// The number of consecutive additions of version from position on.
int32_t AdditionRun(const COutline& version, int32_t position) {
    if (position < 0 || position >= version.count) return 0;
    int32_t length = 0;
    while (position + length < version.count &&
           (version.status[position + length] == kStatusAdded ||
            version.status[position + length] == kStatusUnderOnlyFirst)) {
        ++length;
    }
    return length;
}

// The original item paired with the nearest version item at or before position that has a
// partner whose original entry still holds an item; 0 when there is none.
ItemHandle SurvivingPartnerBefore(const COutline& version, int32_t position) {
    if (position >= version.count) position = version.count - 1;
    for (int32_t k = position; k >= 0; --k) {
        int32_t partner = version.match[k];
        if (partner != kNoMatch && g_baseOutline.items[partner] != 0) {
            return g_baseOutline.items[partner];
        }
    }
    return 0;
}

}  // namespace

void CThreeWayMerge::InsertAdditions(ItemHandle anchor) {
    CBaseOutline& original = g_baseOutline;
    // The gaps in the original's order: first the one before its first item, which takes what
    // both versions added at their start.
    int32_t inherited = InsertAdditionsAt(-1, 0, 0, anchor);
    // Then the gap after each original item, which takes what each version added right after
    // the item's partner there (none where the item has no partner).
    for (int32_t i = 0; i < original.count; ++i) {
        int32_t version1Match = original.MatchFor(kVersion1)[i];
        int32_t version2Match = original.MatchFor(kVersion2)[i];
        int32_t position1 = version1Match != kNoMatch ? version1Match + 1 : -1;
        int32_t position2 = version2Match != kNoMatch ? version2Match + 1 : -1;
        if (InsertAdditionsAt(i, position1, position2, anchor) == 1) inherited = 1;
    }
    // One W002 for the whole level, as the first item under the anchor.
    if (inherited == 1) {
        CountWarning();
        InsertWarning(original.Outline(), anchor, 0, CWideString(static_cast<UINT>(kStringW002)));
    }
}

int32_t CThreeWayMerge::InsertAdditionsAt(int32_t i, int32_t position1, int32_t position2,
                                          ItemHandle anchor) {
    CBaseOutline& original = g_baseOutline;
    COutline& version1 = g_version1Outline;
    COutline& version2 = g_version2Outline;
    OutlineHandle outline = original.Outline();
    // Nothing to do where neither version added, or where there is no original item to add
    // under.
    int32_t run1 = AdditionRun(version1, position1);
    int32_t run2 = AdditionRun(version2, position2);
    if ((run1 == 0 && run2 == 0) || anchor == 0) return 0;
    // The item after which the first copy goes (0: first under the anchor).
    ItemHandle point = 0;
    if (i != -1) {
        if (original.items[i] != 0) {
            point = original.items[i];
        } else {
            // The original item of this gap was deleted: the item that the versions show
            // before the additions, when they agree (or only one shows one), else the nearest
            // surviving earlier original item.
            ItemHandle shown1 = SurvivingPartnerBefore(version1, position1);
            ItemHandle shown2 = SurvivingPartnerBefore(version2, position2);
            if (shown1 == 0) {
                point = shown2;
            } else if (shown2 == 0 || shown2 == shown1) {
                point = shown1;
            }
            for (int32_t k = i - 1; point == 0 && k >= 0; --k) point = original.items[k];
        }
    }
    bool leftOut = false;
    // Copies one version's addition after point and makes the copy the new point.
    auto copyAfterPoint = [&](COutline& version, int32_t index) {
        if (IsInheritedAddition(version, index)) {
            leftOut = true;
            return;
        }
        point = CopyItem(version.Outline(), version.items[index], outline, anchor, point, 1, 1);
    };
    if (run2 == 0 || run1 == 0) {
        // Only one version added here: its run is copied in its order.
        COutline& version = run2 == 0 ? version1 : version2;
        int32_t start = run2 == 0 ? position1 : position2;
        int32_t run = run2 == 0 ? run1 : run2;
        for (int32_t k = 0; k < run; ++k) copyAfterPoint(version, start + k);
        return leftOut ? 1 : 0;
    }
    // Both versions added here: version 1's run first, in its order.
    ItemHandle beforeVersion1 = point;
    for (int32_t k = 0; k < run1; ++k) copyAfterPoint(version1, position1 + k);
    ItemHandle beforeVersion2 = point;
    // Then version 2's, in its order. An addition that both versions made is copied once, from
    // version 1: each version-1 addition can stand for one version-2 addition, the first
    // unclaimed equal one in version 1's order.
    bool* claimed = static_cast<bool*>(CheckedAlloc(static_cast<uint32_t>(run1) * sizeof(bool)));
    if (claimed == nullptr) {
        // Without the memory to tell shared additions apart the merge cannot finish truly.
        MarkOutOfMemory();
        return leftOut ? 1 : 0;
    }
    for (int32_t k = 0; k < run1; ++k) claimed[k] = false;
    bool contributed = false;
    for (int32_t k = 0; k < run2; ++k) {
        int32_t version2Index = position2 + k;
        bool shared = false;
        for (int32_t c = 0; c < run1 && !shared; ++c) {
            if (claimed[c]) continue;
            if (CompareSubtrees(version1.Outline(), version1.items[position1 + c],
                                version2.Outline(), version2.items[version2Index],
                                kCompareAdditions) == 0) {
                claimed[c] = true;
                shared = true;
            }
        }
        if (shared) continue;
        contributed = true;
        copyAfterPoint(version2, version2Index);
    }
    CheckedFree(claimed);
    if (contributed) {
        // One warning number for the pair of markers around the two runs; version 1's marker
        // stands before its run, version 2's before its own.
        CountWarning();
        CWideString warning1, warning2;
        CWideString format(static_cast<UINT>(kStringW001));
        warning1.Format(format.Text(), 1, version1.Label().Text());
        warning2.Format(format.Text(), 2, version2.Label().Text());
        InsertWarning(outline, anchor, beforeVersion1, warning1);
        InsertWarning(outline, anchor, beforeVersion2, warning2);
    }
    return leftOut ? 1 : 0;
}
