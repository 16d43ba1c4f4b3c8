// tests/outline/item_type_table_test.cpp
//
// The item type table decides pairings, unit anchors and fixed children everywhere: one
// wrong entry changes compare files and merges. The counts per column catch a lost or extra
// range; the spot checks catch a range that slipped.
#include "outline/item_type_table.h"

#include <gtest/gtest.h>

TEST(ItemTypeTable, EachColumnHoldsItsCodes) {
    int units = 0, notCopyable = 0, notBySimilarity = 0, withFixedChildren = 0;
    long fixedTotal = 0;
    for (int32_t type = 0; type < static_cast<int32_t>(kItemTypeCount); ++type) {
        units += g_itemTypeTable.IsUnit(type);
        notCopyable += !g_itemTypeTable.IsCopyable(type);
        notBySimilarity += !g_itemTypeTable.MatchBySimilarity(type);
        withFixedChildren += g_itemTypeTable.FixedChildren(type) != 0;
        fixedTotal += g_itemTypeTable.FixedChildren(type);
    }
    EXPECT_EQ(units, 95);
    EXPECT_EQ(notCopyable, 7);
    EXPECT_EQ(notBySimilarity, 33);
    EXPECT_EQ(withFixedChildren, 141);
    EXPECT_EQ(fixedTotal, 695);  // the sum of count times codes over the fixed-children rows

    const std::pair<int32_t, int32_t> fixed[] = {
        {4, 1},    {8, 1},    {13, 2},   {62, 3},   {3, 4},    {36, 5},   {231, 6},
        {66, 7},   {391, 8},  {1, 9},    {291, 10}, {124, 11}, {102, 12}, {121, 15},
        {215, 16}, {228, 19}, {377, 20}, {303, 25}, {9, 0},    {526, 1}};
    for (const auto& [type, count] : fixed) {
        EXPECT_EQ(g_itemTypeTable.FixedChildren(type), count) << "type " << type;
    }
    EXPECT_TRUE(g_itemTypeTable.IsUnit(514));
    EXPECT_FALSE(g_itemTypeTable.IsUnit(9));
    EXPECT_FALSE(g_itemTypeTable.IsCopyable(229));
    EXPECT_FALSE(g_itemTypeTable.IsCopyable(235));
    EXPECT_TRUE(g_itemTypeTable.IsCopyable(236));
    EXPECT_FALSE(g_itemTypeTable.MatchBySimilarity(287));  // not a unit, yet not by similarity
}

TEST(ItemTypeTable, CodesOutsideTheTableAnswerZeroAndFalse) {
    // 532 is the last entry (a default one); the comment type 188 and code 0 are defaults.
    for (int32_t type : {0, 188, 532}) {
        EXPECT_EQ(g_itemTypeTable.FixedChildren(type), 0) << type;
        EXPECT_FALSE(g_itemTypeTable.IsUnit(type)) << type;
        EXPECT_TRUE(g_itemTypeTable.IsCopyable(type)) << type;
        EXPECT_TRUE(g_itemTypeTable.MatchBySimilarity(type)) << type;
    }
    for (int32_t type : {533, -1, -2147483647 - 1, 2147483647}) {
        EXPECT_EQ(g_itemTypeTable.FixedChildren(type), 0) << type;
        EXPECT_FALSE(g_itemTypeTable.IsUnit(type)) << type;
        EXPECT_FALSE(g_itemTypeTable.IsCopyable(type)) << type;
        EXPECT_FALSE(g_itemTypeTable.MatchBySimilarity(type)) << type;
    }
}
