// outline/item_type_table.h
//
// What the engines know about each item type: how many leading children an item of the type
// always has, whether it is a unit, whether it may be copied between outlines, and whether
// unmatched items of the type are paired by similarity.
#pragma once

#include <cstdint>

// Type codes 0 to 532 have entries; every other code, negative ones included (the -1 of an
// ignored item), answers 0 and false.
constexpr uint32_t kItemTypeCount = 533;

class ItemTypeTable {
public:
    // Fills every entry in code order; built once when the library loads, read-only after.
    ItemTypeTable();
    ItemTypeTable(const ItemTypeTable&) = delete;
    ItemTypeTable& operator=(const ItemTypeTable&) = delete;

    // Leading child positions that exist together with an item of the type (0 to 25); the
    // apply replaces the text of a child added there instead of inserting one.
    int32_t FixedChildren(int32_t type) const;
    // A unit: the merge anchors conflicts at the nearest enclosing unit, and the deepest
    // progress level names only units.
    bool IsUnit(int32_t type) const;
    // May be copied into a merged outline; for the others the merge writes a comment instead.
    bool IsCopyable(int32_t type) const;
    // Unmatched items of the type are paired by the similarity score after exact matching.
    bool MatchBySimilarity(int32_t type) const;

private:
    struct Entry {
        int32_t fixedChildren;
        uint8_t isUnit;
        uint8_t isCopyable;
        uint8_t matchBySimilarity;
    };
    // The bound test is unsigned, so one comparison rejects negative codes too.
    static bool InTable(int32_t type) { return static_cast<uint32_t>(type) < kItemTypeCount; }

    Entry entries_[kItemTypeCount];
};

extern const ItemTypeTable g_itemTypeTable;
