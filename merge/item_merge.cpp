// merge/item_merge.cpp: the item merge rule and the merging of attributes.
//
// Each original item takes its fate from its two statuses:
//
//   version 1 \ version 2 |  =               C                       D
//   ----------------------+---------------------------------------------------------------
//            =            |  nothing         take version 2's text   delete if version 1
//                         |                                          left the subtree alone
//            C            |  take version 1  take it if both made    conflict
//                         |  's text         the same change
//            D            |  delete if v. 2  conflict                delete
//                         |  left it alone
//
// and every other pair (one side ignored) is a conflict. Contents are merged before the item.
#include "merge/three_way_merge.h"

#include "compare/item_matching.h"
#include "include/norvex63.h"
#include "support/run_state.h"
#include "merge/content_comparison.h"
#include "outline/outline_texts.h"
#include "support/checked_memory.h"
#include "support/text_lines.h"

namespace {

// Attribute ids whose change means the item's contents are inherited from elsewhere.
bool IsInheritanceAttribute(uint32_t id) { return id == 429 || id == 430 || id == 431; }

bool IsPairedStatus(WCHAR status) { return status == kStatusEqual || status == kStatusChanged; }

// A version item is inherited when its attributes are loaded and 431 or 430 holds a nonzero
// number; an absent item is not.
bool IsInherited(const COutline& version, int32_t match) {
    if (match == kNoMatch || version.attributes == nullptr) return false;
    return (version.attributes[match].flags & (kAttribute431Set | kAttribute430Set)) != 0;
}

// The display name of an attribute's id, followed by its value.
CWideString AttributeLabel(const AttributeSet& set, int32_t index) {
    CWideString label;
    StringHandle name = 0;
    GetItemTypeName(static_cast<int32_t>(set.ids[index]), &name);
    WCHAR* nameText = CopyRuntimeString(name);
    if (name != 0) FreeString(name);
    if (nameText != nullptr) {
        label = nameText;
        CheckedFree(nameText);
    } else {
        g_runState.outOfMemory = true;  // the conflict would be marked without its name
    }
    label += set.values[index];
    return label;
}

// Gives item every value that set holds. A value that the version no longer has stays: the
// runtime cannot take a DTDATA value away.
void ApplyDTData(OutlineHandle outline, ItemHandle item, const DTDataSet* set) {
    if (set == nullptr) return;
    for (int32_t k = 0; k < set->count; ++k) {
        if (set->present[k] != -1) SetItemDTData(outline, item, set->present[k], set->values[k]);
    }
}

template <typename Set>
const Set* SetOf(const Set* sets, int32_t index) {
    return sets != nullptr && index != kNoMatch ? &sets[index] : nullptr;
}

const WCHAR* TextOf(const COutline& side, int32_t index) {
    return index != kNoMatch ? side.texts[index] : WIDE("");
}

}  // namespace

int32_t CThreeWayMerge::MergeItems(ItemHandle anchor) {
    CBaseOutline& original = g_baseOutline;
    COutline& version1 = g_version1Outline;
    COutline& version2 = g_version2Outline;
    OutlineHandle outline = original.Outline();
    uint32_t options = g_runState.options;
    int32_t pending = 0;
    for (int32_t i = 0; i < original.count; ++i) {
        WCHAR s1 = original.StatusFor(1)[i], s2 = original.StatusFor(2)[i];
        int32_t m1 = original.MatchFor(1)[i], m2 = original.MatchFor(2)[i];
        // 1.
        if (s1 == kStatusIgnored && s2 == kStatusIgnored) continue;
        ItemHandle o = original.items[i];
        ItemHandle p = m1 != kNoMatch ? version1.items[m1] : 0;
        ItemHandle q = m2 != kNoMatch ? version2.items[m2] : 0;
        // 2.
        bool unit = IsUnitItem(outline, o);
        bool bothPaired = IsPairedStatus(s1) && IsPairedStatus(s2);
        // 3. Attributes.
        if ((options & DIF_OPT_ATTRIBUTES) != 0 && bothPaired && m1 != kNoMatch &&
            m2 != kNoMatch) {
            int32_t inherited = 0;
            if (MergeAttributes(outline, o, SetOf(original.attributes, i),
                                SetOf(version1.attributes, m1), SetOf(version2.attributes, m2),
                                &inherited) == 1) {
                pending |= SettleConflict(i, s1, s2, inherited ? kKindInherited : kKindAttribute,
                                          false, anchor, unit);
                continue;
            }
        }
        // 4. Named properties: one version's change is taken whole.
        if ((options & DIF_OPT_PROPERTIES) != 0 && bothPaired) {
            const PropertySet* own = SetOf(original.properties, i);
            const PropertySet* set1 = SetOf(version1.properties, m1);
            const PropertySet* set2 = SetOf(version2.properties, m2);
            int32_t changed1 = ComparePropertySets(own, set1);
            int32_t changed2 = ComparePropertySets(own, set2);
            if (changed1 != 0 || changed2 != 0) {
                if (changed1 != 0 && changed2 != 0 && ComparePropertySets(set1, set2) != 0) {
                    pending |= SettleConflict(i, s1, s2, kKindProperty, false, anchor, unit);
                    continue;
                }
                ApplyNamedProperties(outline, o, changed1 == 0 ? set2 : set1);
            }
        }
        // 5. DTDATA, like named properties: one version's change is taken, different changes
        //    of both are a conflict. (The change is carried over so that an edit one person
        //    made to a value is never dropped without a word.)
        if ((options & DIF_OPT_DTDATA) != 0 && bothPaired) {
            const DTDataSet* own = SetOf(original.dtdata, i);
            const DTDataSet* set1 = SetOf(version1.dtdata, m1);
            const DTDataSet* set2 = SetOf(version2.dtdata, m2);
            int32_t changed1 = CompareDTDataSets(own, set1);
            int32_t changed2 = CompareDTDataSets(own, set2);
            if (changed1 != 0 && changed2 != 0 && CompareDTDataSets(set1, set2) != 0) {
                pending |= SettleConflict(i, s1, s2, kKindDTData, false, anchor, unit);
                continue;
            }
            if (changed1 != 0 || changed2 != 0) ApplyDTData(outline, o, changed1 != 0 ? set1 : set2);
        }
        // 6. The item itself.
        bool conflict = false;
        bool remove = false;
        if (s1 == kStatusEqual && s2 == kStatusEqual) {
            // nothing
        } else if (s1 == kStatusEqual && s2 == kStatusChanged) {
            ApplyChange(outline, o, version2.Outline(), q, kChangeText, TextOf(version2, m2));
        } else if (s1 == kStatusChanged && s2 == kStatusEqual) {
            ApplyChange(outline, o, version1.Outline(), p, kChangeText, TextOf(version1, m1));
        } else if (s1 == kStatusChanged && s2 == kStatusChanged) {
            if (CompareSubtrees(version1.Outline(), p, version2.Outline(), q,
                                kCompareItemsOnly) == 0) {
                ApplyChange(outline, o, version1.Outline(), p, kChangeText, TextOf(version1, m1));
            } else {
                conflict = true;
            }
        } else if (s1 == kStatusEqual && s2 == kStatusDeleted) {
            // Version 2 deleted what version 1 kept: only when version 1 left the whole
            // subtree as it was.
            if (CompareSubtrees(outline, o, version1.Outline(), p, kCompareForDeletion) != 0) {
                conflict = true;
            } else if (original.types[i] != kKeptWhenDeletedType) {
                remove = true;
            }
        } else if (s1 == kStatusDeleted && s2 == kStatusEqual) {
            if (CompareSubtrees(outline, o, version2.Outline(), q, kCompareForDeletion) != 0) {
                conflict = true;
            } else if (original.types[i] != kKeptWhenDeletedType) {
                remove = true;
            }
        } else if (s1 == kStatusDeleted && s2 == kStatusDeleted) {
            remove = true;
        } else {
            conflict = true;
        }
        if (remove) {
            // A deletion takes nothing from a version. Nothing below a deleted item is merged,
            // even when the runtime refused to delete.
            ApplyChange(outline, o, 0, 0, kChangeDelete, original.texts[i]);
            original.items[i] = 0;
        }
        if (conflict) pending |= SettleConflict(i, s1, s2, kKindText, true, anchor, unit);
    }
    return pending;
}

int32_t CThreeWayMerge::SettleConflict(int32_t i, WCHAR code1, WCHAR code2, WCHAR kind,
                                       bool fromTable, ItemHandle anchor, bool unit) {
    CBaseOutline& original = g_baseOutline;
    COutline& version1 = g_version1Outline;
    COutline& version2 = g_version2Outline;
    int32_t m1 = original.MatchFor(1)[i], m2 = original.MatchFor(2)[i];
    // 1. An inherited version item is not copied: its text goes into a comment instead.
    if (fromTable) {
        kind = kKindText;
        if (IsInherited(version1, m1)) {
            code1 = kChangeComment;
            kind = kKindInherited;
        }
        if (IsInherited(version2, m2)) {
            code2 = kChangeComment;
            kind = kKindInherited;
        }
    }
    // 2.
    ItemHandle p = m1 != kNoMatch ? version1.items[m1] : 0;
    ItemHandle q = m2 != kNoMatch ? version2.items[m2] : 0;
    ConflictItem originalSide = {original.Outline(), original.items[i]};
    ConflictSide version1Side = {version1.Outline(), p, code1};
    ConflictSide version2Side = {version2.Outline(), q, code2};
    int32_t nearHere = MarkConflict(originalSide, version1Side, version2Side, anchor, unit, kind);
    // 3. Settled: not descended into, not moved, not an addition's place.
    original.StatusFor(1)[i] = kStatusConflict;
    original.StatusFor(2)[i] = kStatusConflict;
    if (m1 != kNoMatch) version1.status[m1] = kStatusConflict;
    if (m2 != kNoMatch) version2.status[m2] = kStatusConflict;
    return nearHere == 1 ? 1 : 0;
}

int32_t CThreeWayMerge::MergeAttributes(OutlineHandle outline, ItemHandle item,
                                        const AttributeSet* original,
                                        const AttributeSet* version1,
                                        const AttributeSet* version2, int32_t* inherited) {
    static const AttributeSet kNone = {0, nullptr, nullptr, 0};
    const AttributeSet& own = original != nullptr ? *original : kNone;
    const AttributeSet& set1 = version1 != nullptr ? *version1 : kNone;
    const AttributeSet& set2 = version2 != nullptr ? *version2 : kNone;
    // 1-2.
    if (inherited != nullptr) *inherited = 0;
    if (own.count != set1.count || own.count != set2.count) return 1;
    // 3.
    int32_t unmergeable = 0;
    for (int32_t a = 0; a < own.count; ++a) {
        int32_t differs1 = 0, differs2 = 0;
        int32_t j1 = FindAttributeMatch(own, set1, a, &differs1);
        int32_t j2 = FindAttributeMatch(own, set2, a, &differs2);
        if (j1 == -1 || j2 == -1) {
            unmergeable = 1;
            continue;
        }
        if (differs1 == 0 && differs2 == 0) continue;
        if (inherited != nullptr && IsInheritanceAttribute(own.ids[a])) {
            *inherited = 1;
            return 1;
        }
        if (differs2 == 0) {
            SetItemAttribute(outline, item, set1.ids[j1], set1.values[j1],
                             CountLines(set1.values[j1]));
        } else if (differs1 == 0) {
            SetItemAttribute(outline, item, set2.ids[j2], set2.values[j2],
                             CountLines(set2.values[j2]));
        } else {
            int32_t differs12 = 0;
            int32_t j12 = FindAttributeMatch(set1, set2, j1, &differs12);
            if (j12 != -1 && differs12 == 0) {
                // Both versions made the same change.
                SetItemAttribute(outline, item, set2.ids[j2], set2.values[j2],
                                 CountLines(set2.values[j2]));
            } else {
                MarkAttributeConflict(outline, item, AttributeLabel(set1, j1).Text(),
                                      AttributeLabel(set2, j2).Text());
            }
        }
    }
    // 4.
    return unmergeable;
}
