// merge/content_comparison.cpp: comparing items, subtrees and contents for the merge.
#include "merge/content_comparison.h"

#include "compare/content_records.h"
#include "include/norvex63.h"
#include "outline/item_type_table.h"
#include "outline/outline_texts.h"
#include "outline/outline_walk.h"
#include "support/checked_memory.h"
#include "support/checked_stack.h"
#include "support/run_state.h"

namespace {

// The two items themselves, without their children: an absent item equals only an absent
// one; then type and text, then attributes and named properties where the run loads them,
// the first difference answered.
int32_t CompareItems(OutlineHandle outlineA, ItemHandle a, OutlineHandle outlineB, ItemHandle b) {
    if (a == 0) return b == 0 ? 0 : -1;
    if (b == 0) return -1;
    int32_t result = CompareItemHeads(outlineA, a, outlineB, b);
    if (result != 0) return result;
    uint32_t options = g_runState.options;
    if ((options & DIF_OPT_ATTRIBUTES) != 0) {
        result = CompareItemAttributes(outlineA, a, outlineB, b);
        if (result != 0) return result;
    }
    if ((options & DIF_OPT_PROPERTIES) != 0) {
        result = CompareItemProperties(outlineA, a, outlineB, b);
    }
    return result;
}

// The next pair of children to compare at one level of the walk.
struct ChildPair {
    ItemHandle a;
    ItemHandle b;
};

// A runtime string's characters compared with another's, both copied and released.
int32_t CompareRuntimeStrings(StringHandle first, StringHandle second) {
    WCHAR* firstText = CopyRuntimeString(first);
    WCHAR* secondText = CopyRuntimeString(second);
    if (first != 0) FreeString(first);
    if (second != 0) FreeString(second);
    // Without the copies the values cannot be told equal: they count as different, and the run
    // is told, since a merge decided on that is not the merge asked for.
    if (firstText == nullptr || secondText == nullptr) NoteOutOfMemory();
    int32_t result =
        firstText != nullptr && secondText != nullptr ? lstrcmpW(firstText, secondText) : 1;
    FreeIfAny(firstText);
    FreeIfAny(secondText);
    return result;
}

}  // namespace

int32_t CompareSubtrees(OutlineHandle outlineA, ItemHandle a, OutlineHandle outlineB, ItemHandle b,
                        WCHAR mode) {
    // The two items first; their subtrees only when they are equal and the mode asks for them.
    int32_t result = CompareItems(outlineA, a, outlineB, b);
    if (result != 0 || mode == kCompareItemsOnly) return result;
    // Their children, depth first in the outline's order, on a stack of the pairs being
    // compared: the top pair is the current child on each side at the deepest level entered.
    CheckedStack<ChildPair> pending;
    if (!pending.Push({FirstChild(outlineA, a), FirstChild(outlineB, b)})) {
        NoteOutOfMemory();
        return 1;
    }
    while (!pending.Empty()) {
        ChildPair current = pending.Top();
        if (current.a == 0) {
            // This level's children on side A are done: B must be done too.
            pending.Pop();
            if (current.b != 0) return 1;
            if (pending.Empty()) return 0;
            ChildPair& parent = pending.Top();
            parent.a = NextSibling(outlineA, parent.a);
            parent.b = parent.b != 0 ? NextSibling(outlineB, parent.b) : 0;
            continue;
        }
        result = CompareItems(outlineA, current.a, outlineB, current.b);
        if (result != 0) return result;
        if (!pending.Push({FirstChild(outlineA, current.a), FirstChild(outlineB, current.b)})) {
            NoteOutOfMemory();
            return 1;
        }
    }
    return 0;
}

int32_t CompareItemHeads(OutlineHandle outlineA, ItemHandle a, OutlineHandle outlineB,
                         ItemHandle b) {
    int32_t typeA = GetItemType(outlineA, a);
    int32_t typeB = GetItemType(outlineB, b);
    if (typeA != typeB) {
        return static_cast<int32_t>(static_cast<uint32_t>(typeA) - static_cast<uint32_t>(typeB));
    }
    // Both stored texts are compared where the runtime keeps them, then released: nothing is
    // copied out. A text the runtime could not hand out cannot be told equal, and the run is
    // told, as for any shortage.
    StoredText textA(outlineA, a);
    StoredText textB(outlineB, b);
    if (textA.Characters() == nullptr || textB.Characters() == nullptr) {
        NoteOutOfMemory();
        return 1;
    }
    return lstrcmpW(textA.Characters(), textB.Characters());
}

int32_t CompareItemAttributes(OutlineHandle outlineA, ItemHandle a, OutlineHandle outlineB,
                              ItemHandle b) {
    // Attributes are compared as listed, position by position.
    ListHandle listA = CreateList(kAttributeListKind);
    ListHandle listB = CreateList(kAttributeListKind);
    int32_t countA = ListItemAttributes(outlineA, a, listA) & kRuntimeCountMask;
    int32_t countB = ListItemAttributes(outlineB, b, listB) & kRuntimeCountMask;
    int32_t result = 0;
    if (countA != countB) {
        result = 1;
    } else {
        // The first position whose id or value differs decides.
        for (int32_t k = 0; k < countA && result == 0; ++k) {
            ListElement elementA = 0, elementB = 0;
            uint32_t idA = 0, idB = 0;
            GetListElement(listA, &elementA, k);
            GetListElement(listB, &elementB, k);
            GetAttributeId(elementA, &idA);
            GetAttributeId(elementB, &idB);
            if (idA != idB) {
                result = 1;
                break;
            }
            StringHandle valueA = 0, valueB = 0;
            GetItemAttribute(outlineA, a, idA, 0, &valueA);
            GetItemAttribute(outlineB, b, idB, 0, &valueB);
            result = CompareRuntimeStrings(valueA, valueB);
        }
    }
    // Both lists go on every path.
    DestroyList(listA);
    DestroyList(listB);
    return result;
}

int32_t CompareItemProperties(OutlineHandle outlineA, ItemHandle a, OutlineHandle outlineB,
                              ItemHandle b) {
    PropertySet* setA = ReadNamedProperties(outlineA, a);
    PropertySet* setB = ReadNamedProperties(outlineB, b);
    // A set that could not be read cannot be told equal.
    int32_t result =
        setA != nullptr && setB != nullptr && ComparePropertySets(setA, setB) == 0 ? 0 : 1;
    FreePropertySet(setA);
    FreePropertySet(setB);
    return result;
}

PropertySet* ReadNamedProperties(OutlineHandle outline, ItemHandle item) {
    PropertySet* set = static_cast<PropertySet*>(CheckedAlloc(sizeof(PropertySet)));
    if (set == nullptr) {
        NoteOutOfMemory();
        return nullptr;
    }
    *set = {0, nullptr, nullptr};
    ListHandle list = CreateList(kStringListKind);
    int32_t count = ListNamedProperties(outline, item, list);
    bool complete = true;
    if (count > 0) {
        set->names =
            static_cast<WCHAR**>(CheckedAlloc(static_cast<uint32_t>(count) * sizeof(WCHAR*)));
        set->values =
            static_cast<WCHAR**>(CheckedAlloc(static_cast<uint32_t>(count) * sizeof(WCHAR*)));
        complete = set->names != nullptr && set->values != nullptr;
        // The set counts what it holds, so that a failure part way releases exactly that.
        for (int32_t k = 0; complete && k < count; ++k) {
            StringHandle name = 0, value = 0;
            GetListString(list, &name, k);
            set->names[k] = CopyRuntimeString(name);
            if (name != 0) FreeString(name);
            if (set->names[k] != nullptr) GetNamedProperty(outline, item, set->names[k], &value);
            set->values[k] = set->names[k] != nullptr ? CopyRuntimeString(value) : nullptr;
            if (value != 0) FreeString(value);
            set->count = k + 1;
            complete = set->names[k] != nullptr && set->values[k] != nullptr;
        }
    }
    DestroyList(list);
    if (!complete) {
        NoteOutOfMemory();
        FreePropertySet(set);
        return nullptr;
    }
    return set;
}

void FreePropertySet(PropertySet* set) {
    if (set == nullptr) return;
    for (int32_t k = 0; k < set->count; ++k) {
        FreeIfAny(set->names[k]);
        FreeIfAny(set->values[k]);
    }
    FreeIfAny(set->names);
    FreeIfAny(set->values);
    CheckedFree(set);
}

int32_t ComparePropertySets(const PropertySet* a, const PropertySet* b) {
    // An absent set equals only an absent one; sets of different sizes differ.
    if (a == nullptr) return b == nullptr ? 0 : 1;
    if (b == nullptr) return 1;
    if (a->count != b->count) return 1;
    // Matched by name, in any order.
    for (int32_t k = 0; k < a->count; ++k) {
        int32_t differs = 0;
        if (FindPropertyMatch(*a, *b, k, &differs) == -1 || differs == 1) return 1;
    }
    return 0;
}

int32_t FindPropertyMatch(const PropertySet& a, const PropertySet& b, int32_t k, int32_t* differs) {
    *differs = 0;
    return FindProperty(b, a, k, differs);
}

int32_t FindAttributeMatch(const AttributeSet& a, const AttributeSet& b, int32_t k,
                           int32_t* differs) {
    *differs = 0;
    return FindAttribute(b, a, k, differs);
}

int32_t CompareDTDataSets(const DTDataSet* a, const DTDataSet* b) {
    if (a == nullptr) return b == nullptr ? 0 : 1;
    if (b == nullptr) return 1;
    if (a->count != b->count) return 1;
    for (int32_t k = 0; k < a->count; ++k) {
        if (a->values[k] != b->values[k]) return 1;
    }
    return 0;
}

void ApplyNamedProperties(OutlineHandle outline, ItemHandle item, const PropertySet* set) {
    if (set == nullptr) return;
    for (int32_t k = 0; k < set->count; ++k) {
        SetNamedProperty(outline, item, set->names[k], set->values[k],
                         lstrlenW(set->values[k]) + 1);
    }
}

bool IsUnitItem(OutlineHandle outline, ItemHandle item, int32_t type) {
    if (item == 0) return false;
    if (type == kReadItemType) type = GetItemType(outline, item);
    return g_itemTypeTable.IsUnit(type);
}
