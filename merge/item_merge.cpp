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
#include "merge/content_comparison.h"
#include "outline/outline_texts.h"
#include "support/checked_memory.h"
#include "support/run_state.h"
#include "support/text_lines.h"

namespace {

// A status letter of the pairing is passed on as a change code where a conflict is marked: a
// deleted item then shows as deleted, a changed one as copied; any other letter (equal, ignored)
// is copied outside a unit and leaves no "near here" marker inside one.
static_assert(kStatusDeleted == kChangeDelete, "a deletion marks as deleted");
static_assert(kStatusChanged == kChangeText, "a change marks as a copy");

// The attribute ids of inheritable contents, whose change the merge does not take value by value.
bool IsInheritanceAttribute(uint32_t id) {
    return id == kInheritableContentsAttribute || id == kInheritanceMarkAttribute ||
           id == kOtherInheritanceMarkAttribute;
}

bool IsPairedStatus(WCHAR status) { return status == kStatusEqual || status == kStatusChanged; }

// A version item is inherited when its attributes are loaded and one of the inheritance marks
// holds a nonzero number; an absent item is not.
bool IsInherited(const COutline& version, int32_t match) {
    if (match == kNoMatch || version.attributes == nullptr) return false;
    return (version.attributes[match].flags & kInheritanceMarkFlags) != 0;
}

// The display name of an attribute's id, followed by its value.
CWideString AttributeLabel(const AttributeSet& set, int32_t index) {
    CWideString label;
    StringHandle name = 0;
    GetItemTypeName(static_cast<int32_t>(set.ids[index]), &name);
    OwnedText nameText(CopyRuntimeString(name));
    if (name != 0) FreeString(name);
    if (nameText.Get() != nullptr) {
        label = nameText.Get();
    } else {
        NoteOutOfMemory();  // the conflict would be marked without its name
    }
    label += set.values[index];
    return label;
}

// Gives item the attribute at index of set, with its value.
void TakeAttribute(OutlineHandle outline, ItemHandle item, const AttributeSet& set, int32_t index) {
    SetItemAttribute(outline, item, set.ids[index], set.values[index],
                     CountLines(set.values[index]));
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

ItemHandle ItemOf(const COutline& side, int32_t index) {
    return index != kNoMatch ? side.items[index] : 0;
}

// What one kind of contents (named properties, DTDATA) of a paired item becomes: one version's
// change is taken whole, and different changes of both versions are a conflict.
template <typename Set>
struct ContentsChoice {
    bool conflict;
    bool changed;      // at least one version changed them
    const Set* taken;  // version 1's when it changed them (both alike, or it alone), else 2's
};

template <typename Set>
ContentsChoice<Set> ChooseContents(const Set* original, const Set* version1, const Set* version2,
                                   int32_t (*compare)(const Set*, const Set*)) {
    bool version1Changed = compare(original, version1) != 0;
    bool version2Changed = compare(original, version2) != 0;
    bool conflict = version1Changed && version2Changed && compare(version1, version2) != 0;
    return {conflict, version1Changed || version2Changed, version1Changed ? version1 : version2};
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
        WCHAR version1Status = original.StatusFor(kVersion1)[i];
        WCHAR version2Status = original.StatusFor(kVersion2)[i];
        int32_t version1Match = original.MatchFor(kVersion1)[i];
        int32_t version2Match = original.MatchFor(kVersion2)[i];
        // An item that both versions ignore is left as it is.
        if (version1Status == kStatusIgnored && version2Status == kStatusIgnored) continue;
        ItemHandle originalItem = original.items[i];
        ItemHandle version1Item = ItemOf(version1, version1Match);
        ItemHandle version2Item = ItemOf(version2, version2Match);
        // A conflict on a unit is settled at the unit itself (see MarkConflict).
        bool isUnit = IsUnitItem(outline, originalItem);
        bool bothPaired = IsPairedStatus(version1Status) && IsPairedStatus(version2Status);
        // Contents come before the item, attributes first: a conflict in them settles the
        // item, and nothing else of it is merged.
        if ((options & DIF_OPT_ATTRIBUTES) != 0 && bothPaired && version1Match != kNoMatch &&
            version2Match != kNoMatch) {
            int32_t inherited = 0;
            if (MergeAttributes(outline, originalItem, SetOf(original.attributes, i),
                                SetOf(version1.attributes, version1Match),
                                SetOf(version2.attributes, version2Match), &inherited) == 1) {
                pending |= SettleConflict(i, version1Status, version2Status,
                                          inherited ? kKindInherited : kKindAttribute, false,
                                          anchor, isUnit);
                continue;
            }
        }
        // Named properties: one version's change is taken whole.
        if ((options & DIF_OPT_PROPERTIES) != 0 && bothPaired) {
            ContentsChoice<PropertySet> properties = ChooseContents(
                SetOf(original.properties, i), SetOf(version1.properties, version1Match),
                SetOf(version2.properties, version2Match), ComparePropertySets);
            if (properties.conflict) {
                pending |= SettleConflict(i, version1Status, version2Status, kKindProperty, false,
                                          anchor, isUnit);
                continue;
            }
            if (properties.changed) ApplyNamedProperties(outline, originalItem, properties.taken);
        }
        // DTDATA, like named properties. The change is carried over so that an edit one person
        // made to a value is never dropped without a word.
        if ((options & DIF_OPT_DTDATA) != 0 && bothPaired) {
            ContentsChoice<DTDataSet> dtdata =
                ChooseContents(SetOf(original.dtdata, i), SetOf(version1.dtdata, version1Match),
                               SetOf(version2.dtdata, version2Match), CompareDTDataSets);
            if (dtdata.conflict) {
                pending |= SettleConflict(i, version1Status, version2Status, kKindDTData, false,
                                          anchor, isUnit);
                continue;
            }
            if (dtdata.changed) ApplyDTData(outline, originalItem, dtdata.taken);
        }
        // The item itself, by the table above.
        bool conflict = false;
        bool remove = false;
        // One version deleted the item and the other kept it: the deletion is taken only when
        // the keeping version left the whole subtree as it was. An item of the kept type stays.
        auto weighDeletion = [&](OutlineHandle keepingOutline, ItemHandle keptItem) {
            if (CompareSubtrees(outline, originalItem, keepingOutline, keptItem,
                                kCompareForDeletion) != 0) {
                conflict = true;
            } else if (original.types[i] != kKeptWhenDeletedType) {
                remove = true;
            }
        };
        if (version1Status == kStatusEqual && version2Status == kStatusEqual) {
            // Neither version changed the item.
        } else if (version1Status == kStatusEqual && version2Status == kStatusChanged) {
            ApplyChange(outline, originalItem, version2.Outline(), version2Item, kChangeText,
                        TextOf(version2, version2Match));
        } else if (version1Status == kStatusChanged && version2Status == kStatusEqual) {
            ApplyChange(outline, originalItem, version1.Outline(), version1Item, kChangeText,
                        TextOf(version1, version1Match));
        } else if (version1Status == kStatusChanged && version2Status == kStatusChanged) {
            // The same change in both is taken once, as version 1's.
            if (CompareSubtrees(version1.Outline(), version1Item, version2.Outline(), version2Item,
                                kCompareItemsOnly) == 0) {
                ApplyChange(outline, originalItem, version1.Outline(), version1Item, kChangeText,
                            TextOf(version1, version1Match));
            } else {
                conflict = true;
            }
        } else if (version1Status == kStatusEqual && version2Status == kStatusDeleted) {
            weighDeletion(version1.Outline(), version1Item);
        } else if (version1Status == kStatusDeleted && version2Status == kStatusEqual) {
            weighDeletion(version2.Outline(), version2Item);
        } else if (version1Status == kStatusDeleted && version2Status == kStatusDeleted) {
            remove = true;
        } else {
            conflict = true;
        }
        if (remove) {
            // A deletion takes nothing from a version. Nothing below a deleted item is merged,
            // even when the runtime refused to delete.
            ApplyChange(outline, originalItem, 0, 0, kChangeDelete, original.texts[i]);
            original.items[i] = 0;
        }
        if (conflict) {
            pending |=
                SettleConflict(i, version1Status, version2Status, kKindText, true, anchor, isUnit);
        }
    }
    return pending;
}

int32_t CThreeWayMerge::SettleConflict(int32_t i, WCHAR version1Code, WCHAR version2Code,
                                       WCHAR kind, bool fromTable, ItemHandle anchor, bool isUnit) {
    CBaseOutline& original = g_baseOutline;
    COutline& version1 = g_version1Outline;
    COutline& version2 = g_version2Outline;
    int32_t version1Match = original.MatchFor(kVersion1)[i];
    int32_t version2Match = original.MatchFor(kVersion2)[i];
    // A conflict of the item itself is one of its text, unless a version's item is inherited:
    // that item is not copied, its text goes into a comment instead. Version 2 is looked at
    // last, so either inherited side makes the kind inherited.
    if (fromTable) {
        kind = kKindText;
        if (IsInherited(version1, version1Match)) {
            version1Code = kChangeComment;
            kind = kKindInherited;
        }
        if (IsInherited(version2, version2Match)) {
            version2Code = kChangeComment;
            kind = kKindInherited;
        }
    }
    ConflictItem originalSide = {original.Outline(), original.items[i]};
    ConflictSide version1Side = {version1.Outline(), ItemOf(version1, version1Match), version1Code};
    ConflictSide version2Side = {version2.Outline(), ItemOf(version2, version2Match), version2Code};
    int32_t nearHere = MarkConflict(originalSide, version1Side, version2Side, anchor, isUnit, kind);
    // Settled on every side: not descended into, not moved, not an addition's place.
    original.StatusFor(kVersion1)[i] = kStatusConflict;
    original.StatusFor(kVersion2)[i] = kStatusConflict;
    if (version1Match != kNoMatch) version1.status[version1Match] = kStatusConflict;
    if (version2Match != kNoMatch) version2.status[version2Match] = kStatusConflict;
    return nearHere == 1 ? 1 : 0;
}

int32_t CThreeWayMerge::MergeAttributes(OutlineHandle outline, ItemHandle item,
                                        const AttributeSet* original, const AttributeSet* version1,
                                        const AttributeSet* version2, int32_t* inherited) {
    static const AttributeSet kNone = {0, nullptr, nullptr, 0};
    const AttributeSet& originalSet = original != nullptr ? *original : kNone;
    const AttributeSet& version1Set = version1 != nullptr ? *version1 : kNone;
    const AttributeSet& version2Set = version2 != nullptr ? *version2 : kNone;
    if (inherited != nullptr) *inherited = 0;
    // An attribute added or removed by a version cannot be merged attribute by attribute.
    if (originalSet.count != version1Set.count || originalSet.count != version2Set.count) {
        return 1;
    }
    // Each original attribute in its order: an attribute that a version lacks makes the sets
    // unmergeable, but the rest are still merged; a change to an inheritable-contents attribute
    // stops at once.
    int32_t unmergeable = 0;
    for (int32_t k = 0; k < originalSet.count; ++k) {
        int32_t version1Differs = 0, version2Differs = 0;
        int32_t version1Index = FindAttributeMatch(originalSet, version1Set, k, &version1Differs);
        int32_t version2Index = FindAttributeMatch(originalSet, version2Set, k, &version2Differs);
        if (version1Index == -1 || version2Index == -1) {
            unmergeable = 1;
            continue;
        }
        if (version1Differs == 0 && version2Differs == 0) continue;
        if (inherited != nullptr && IsInheritanceAttribute(originalSet.ids[k])) {
            *inherited = 1;
            return 1;
        }
        if (version2Differs == 0) {
            TakeAttribute(outline, item, version1Set, version1Index);
        } else if (version1Differs == 0) {
            TakeAttribute(outline, item, version2Set, version2Index);
        } else {
            int32_t versionsDiffer = 0;
            int32_t sharedIndex =
                FindAttributeMatch(version1Set, version2Set, version1Index, &versionsDiffer);
            if (sharedIndex != -1 && versionsDiffer == 0) {
                // Both versions made the same change.
                TakeAttribute(outline, item, version2Set, version2Index);
            } else {
                MarkAttributeConflict(outline, item,
                                      AttributeLabel(version1Set, version1Index).Text(),
                                      AttributeLabel(version2Set, version2Index).Text());
            }
        }
    }
    return unmergeable;
}
