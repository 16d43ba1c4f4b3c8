// merge/content_comparison.h
//
// The merge's comparisons of items and their contents: whether two versions changed the same
// thing in the same way, and whether two added items are the same. They read the runtime
// directly, for items of any outline, or the contents that the outline objects loaded. Texts
// compare exactly, code unit by code unit.
#pragma once

#include <cstdint>

#include "outline/outline_object.h"
#include "outline/outline_runtime.h"
#include "platform/platform.h"

// What CompareSubtrees compares: kCompareItemsOnly the two items alone; the other modes, for
// a deletion and for two additions, the items and their whole subtrees.
constexpr WCHAR kCompareItemsOnly = u'C';
constexpr WCHAR kCompareForDeletion = u'D';
constexpr WCHAR kCompareAdditions = u'A';
// The type passed to IsUnitItem to have it read the item's type from the runtime.
constexpr int32_t kReadItemType = -2;

// 0 when item a of outline A and item b of outline B are equal: type, stored text, and
// attributes and named properties where the run's options load them; with their subtrees
// unless mode is kCompareItemsOnly, child by child, skipped children passed over. Otherwise
// nonzero: the first difference found (a type difference, a text comparison, -1 when only one
// item exists or B's subtree ends first, 1 when B has more children). Walks without recursing;
// when memory runs out it answers 1 (different, so nothing is deleted on a doubt) and marks
// the run out of memory.
int32_t CompareSubtrees(OutlineHandle outlineA, ItemHandle a, OutlineHandle outlineB, ItemHandle b,
                        WCHAR mode);
// The type difference when the types differ, else the comparison of the two stored texts.
int32_t CompareItemHeads(OutlineHandle outlineA, ItemHandle a, OutlineHandle outlineB,
                         ItemHandle b);
// 0 when both items hold the same customizer attributes in the same order with equal values.
int32_t CompareItemAttributes(OutlineHandle outlineA, ItemHandle a, OutlineHandle outlineB,
                              ItemHandle b);
// 0 when both items hold the same named properties, in any order; else 1.
int32_t CompareItemProperties(OutlineHandle outlineA, ItemHandle a, OutlineHandle outlineB,
                              ItemHandle b);

// The named properties of item, read from the runtime into a new set released with
// FreePropertySet; none when memory ran out (its warning box has been shown).
PropertySet* ReadNamedProperties(OutlineHandle outline, ItemHandle item);
void FreePropertySet(PropertySet* set);

// 0 when the two sets hold the same names with equal values, in any order; an absent set
// equals only an absent one.
int32_t ComparePropertySets(const PropertySet* a, const PropertySet* b);
// Where a's property k stands in b (by name: at k first, else the first with the name), or -1;
// *differs is 1 when the values differ, 0 when they are equal or none was found.
int32_t FindPropertyMatch(const PropertySet& a, const PropertySet& b, int32_t k, int32_t* differs);
// The same over attribute ids.
int32_t FindAttributeMatch(const AttributeSet& a, const AttributeSet& b, int32_t k,
                           int32_t* differs);
// 0 when the two DTDATA sets hold the same values at every index (their present markers are
// not compared); an absent set equals only an absent one.
int32_t CompareDTDataSets(const DTDataSet* a, const DTDataSet* b);
// Sets every property of set (may be none) on item.
void ApplyNamedProperties(OutlineHandle outline, ItemHandle item, const PropertySet* set);
// Whether item is a unit; its type is read from the runtime when type is kReadItemType.
// False for item 0.
bool IsUnitItem(OutlineHandle outline, ItemHandle item, int32_t type = kReadItemType);
