// tests/comparefile/viewer_exports_test.cpp
//
// The viewer's exports as a viewer calls them: compare files built by DIF_Build or written by
// hand, loaded, sorted, searched, read and resolved against the real outlines.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "include/norvex63.h"
#include "outline/outline_runtime.h"
#include "tests/comparefile/compare_file_fixture.h"
#include "tests/helpers/test_support.h"

namespace {

// What DIF_CompareGet answers at one position, as "change subject key1 key2 value".
std::string RecordAt(uint16_t side, int32_t position) {
    DIF_CHAR firstKey[64] = u"unset", secondKey[64] = u"unset";
    DIF_CHAR change[2] = u"?", subject[2] = u"?";
    int32_t value = -99;
    DIF_CompareGet(side, position, firstKey, secondKey, change, subject, &value);
    return Narrow(change) + " " + Narrow(subject) + " " + Narrow(firstKey) + " " +
           Narrow(secondKey) + " " + std::to_string(value);
}

// Every record of one side's order, in that order.
std::vector<std::string> SideOrder(uint16_t side, uint16_t count) {
    std::vector<std::string> records;
    for (uint16_t position = 0; position < count; ++position) {
        records.push_back(RecordAt(side, position));
    }
    return records;
}

std::string ItemText(OutlineHandle outline, ItemHandle item) {
    StringHandle text = 0;
    GetItemText(outline, item, 0, &text);
    std::string narrow = Narrow(GetStringText(text, nullptr));
    FreeString(text);
    return narrow;
}

class ViewerExports : public ::testing::Test {
protected:
    void TearDown() override { DIF_CompareUnload(); }

    // Writes the records after a plain header and loads the file; answers the count.
    uint16_t LoadRecords(const std::u16string& records) {
        WriteCompareText(scratch_.File("hand.cmp"), PlainHeader() + records);
        uint16_t count = 0xFFFF;
        EXPECT_EQ(DIF_CompareLoad(scratch_.WideFile("hand.cmp").c_str(), &count), 1);
        return count;
    }

    ScratchFolder scratch_;
};

}  // namespace

TEST_F(ViewerExports, BrowseABuiltComparisonAndResolveItsItemsOnBothSides) {
    WriteFileBytes(scratch_.File("first.outline"),
                   ReadFileBytes(TestDataPath("build/changes-additions-deletions/first.outline")));
    WriteFileBytes(scratch_.File("second.outline"),
                   ReadFileBytes(TestDataPath("build/changes-additions-deletions/second.outline")));
    std::u16string firstPath = scratch_.WideFile("first.outline");
    std::u16string secondPath = scratch_.WideFile("second.outline");
    std::u16string comparePath = scratch_.WideFile("result.cmp");
    ASSERT_EQ(DIF_Build(firstPath.c_str(), secondPath.c_str(), comparePath.c_str(), nullptr, 0,
                        DIF_OPT_FDFM),
              0);

    // A viewer reads without the X record of the added subtree: five of the six records.
    uint16_t count = 0;
    ASSERT_EQ(DIF_CompareLoad(comparePath.c_str(), &count), 1);
    ASSERT_EQ(count, 5);
    EXPECT_EQ(DIF_CompareCount(u" ", u" "), 5);
    EXPECT_EQ(DIF_CompareCount(u"C", u" "), 3);
    EXPECT_EQ(DIF_CompareCount(u"C", u"T"), 3);
    EXPECT_EQ(DIF_CompareCount(u"X", u" "), 0);
    EXPECT_EQ(DIF_CompareCount(u" ", u"A"), 0);
    EXPECT_EQ(RecordAt(1, 1), "D T 001003 001003 20");  // file order before sorting
    // The list is the viewer's own: the file may go once it is loaded.
    std::remove(scratch_.File("result.cmp").c_str());

    DIF_CompareSort();
    const std::vector<std::string> sorted = {"C T 001001001 001001001 14", "C T 001002 001002 4",
                                             "C T 001002001 001002001 14",
                                             "A T 001002002 001002002 18", "D T 001003 001003 20"};
    EXPECT_EQ(SideOrder(1, count), sorted);
    EXPECT_EQ(SideOrder(2, count), sorted);
    EXPECT_EQ(DIF_CompareSearch(1, u"001002"), 1);
    EXPECT_EQ(DIF_CompareSearch(2, u"001003"), 4);
    EXPECT_EQ(DIF_CompareSearch(1, u"001004"), -1);
    EXPECT_EQ(DIF_ComparePartialSearch(2, u"001002001500"), 2);
    EXPECT_EQ(DIF_GetMatchingIndex(1, 3), 3);

    // Item handles: each side's keys resolved in that side's outline.
    OutlineHandle first = OpenOutline(firstPath.c_str());
    OutlineHandle second = OpenOutline(secondPath.c_str());
    ASSERT_NE(first, 0u);
    ASSERT_NE(second, 0u);
    EXPECT_EQ(DIF_CompareSethItems(first, GetRootItem(first), 0), 1);
    EXPECT_EQ(DIF_CompareSethItems(second, GetRootItem(second), 1), 1);
    DIF_HANDLE firstItem = 7, secondItem = 7;
    DIF_CompareGethItem(1, 3, &firstItem, &secondItem);  // the added "Helper"
    EXPECT_EQ(ItemText(first, firstItem), "Helper");
    EXPECT_EQ(secondItem, 0u) << "the second outline has no item at 001002002";
    DIF_CompareGethItem(2, 4, &firstItem, &secondItem);  // the deleted "stock.dat"
    EXPECT_EQ(firstItem, 0u);
    EXPECT_EQ(ItemText(second, secondItem), "stock.dat");
    DIF_CompareGethItem(1, 1, &firstItem, &secondItem);  // the renamed procedure
    EXPECT_EQ(ItemText(first, firstItem), "CountStock");
    EXPECT_EQ(ItemText(second, secondItem), "CloseStock");
    DIF_CompareGethItem(1, 1, nullptr, nullptr);  // null outputs are skipped
    // An outline closed before it is resolved resolves to nothing; the other still does.
    ItemHandle firstRoot = GetRootItem(first);
    CloseOutline(first);
    EXPECT_EQ(DIF_CompareSethItems(first, firstRoot, 0), 1);
    DIF_CompareGethItem(1, 1, &firstItem, &secondItem);
    EXPECT_EQ(firstItem, 0u);
    EXPECT_EQ(ItemText(second, secondItem), "CloseStock");
    CloseOutline(second);

    // A build between viewer calls writes through the list's file but keeps its records.
    ASSERT_EQ(DIF_Build(firstPath.c_str(), firstPath.c_str(), scratch_.WideFile("same.cmp").c_str(),
                        nullptr, 0, DIF_OPT_FDFM),
              0);
    EXPECT_EQ(SideOrder(1, count), sorted);

    // A load that fails (the file gone) leaves the list empty, not holding the last file.
    EXPECT_EQ(DIF_CompareLoad(comparePath.c_str(), &count), 0);
    EXPECT_EQ(DIF_CompareCount(u" ", u" "), 0);
    EXPECT_EQ(RecordAt(1, 0), ". " + std::string(" ") + "   0");
}

TEST_F(ViewerExports, RecordsOfOneKeySortByKindAndSearchesFindTheFirstOfThem) {
    // Three records share both keys: side 2 runs C, D, A and side 1 C, A, D; five C records of
    // one key run by subject T, A, M, P, D.
    uint16_t count = LoadRecords(
        u"1,A,T,001002,001002,9,-1,added\r\n"
        u"1,D,T,001002,001002,9,-1,deleted\r\n"
        u"1,C,T,001002,001002,9,0,changed\r\n"
        u"1,C,D,001004,001004,3,-1,7\r\n"
        u"1,C,P,001004,001004,0,-1,name,value\r\n"
        u"1,C,M,001004,001004,1,1,001004,001004\r\n"
        u"1,C,A,001004,001004,2,-1,red\r\n"
        u"1,C,T,001004,001004,9,0,text\r\n");
    ASSERT_EQ(count, 8);
    // Unsorted, both orders are the file order.
    for (uint16_t position = 0; position < count; ++position) {
        EXPECT_EQ(DIF_GetMatchingIndex(1, position), position);
        EXPECT_EQ(DIF_GetMatchingIndex(2, position), position);
    }
    DIF_CompareSort();
    EXPECT_EQ(SideOrder(2, 3),
              (std::vector<std::string>{"C T 001002 001002 9", "D T 001002 001002 9",
                                        "A T 001002 001002 9"}));
    EXPECT_EQ(SideOrder(1, 3),
              (std::vector<std::string>{"C T 001002 001002 9", "A T 001002 001002 9",
                                        "D T 001002 001002 9"}));
    std::vector<std::string> subjects;
    for (int32_t position = 3; position < 8; ++position) {
        subjects.push_back(RecordAt(1, position).substr(0, 3));
    }
    EXPECT_EQ(subjects, (std::vector<std::string>{"C T", "C A", "C M", "C P", "C D"}));
    // The matching index maps each record between the two orders, both ways.
    EXPECT_EQ(DIF_GetMatchingIndex(1, 1), 2);  // A: second on side 1, third on side 2
    EXPECT_EQ(DIF_GetMatchingIndex(1, 2), 1);
    EXPECT_EQ(DIF_GetMatchingIndex(2, 1), 2);
    EXPECT_EQ(DIF_GetMatchingIndex(3, 1), 2);  // any side but 1 maps from side 2
    EXPECT_EQ(DIF_GetMatchingIndex(1, 8), -1);
    // Both searches answer the first of the records that share a key.
    EXPECT_EQ(DIF_CompareSearch(1, u"001004"), 3);
    EXPECT_EQ(DIF_ComparePartialSearch(2, u"001004"), 3);
    EXPECT_EQ(DIF_CompareSearch(2, u"001002"), 0);
    // A side that is neither 1 nor 2: the searches answer -1, the reads use side 1's order.
    EXPECT_EQ(DIF_CompareSearch(0, u"001002"), -1);
    EXPECT_EQ(DIF_ComparePartialSearch(3, u"001002"), -1);
    EXPECT_EQ(RecordAt(7, 1), RecordAt(1, 1));
    EXPECT_EQ(RecordAt(0, 2), "D T 001002 001002 9");
}

TEST_F(ViewerExports, PartialSearchAnswersTheLastKeyBeforeTheOneSought) {
    uint16_t count = LoadRecords(
        u"1,C,T,001005,001005,9,0,e\r\n"
        u"1,C,T,001001,001001,9,0,a\r\n"
        u"1,C,T,001007,001007,9,0,g1\r\n"
        u"1,C,T,001003,001003,9,0,c\r\n"
        u"1,A,T,001007,001007,9,-1,g2\r\n"
        u"1,C,T,001008,001008,9,0,h\r\n"
        u"1,C,T,001006,001006,9,0,f\r\n"
        u"1,D,T,001007,001007,9,-1,g3\r\n");
    ASSERT_EQ(count, 8);
    DIF_CompareSort();
    // Sorted keys: 001001 001003 001005 001006 001007 001007 001007 001008.
    for (uint16_t side = 1; side <= 2; ++side) {
        SCOPED_TRACE(side);
        EXPECT_EQ(DIF_CompareSearch(side, u"001007"), 4);
        EXPECT_EQ(DIF_ComparePartialSearch(side, u"001007"), 4);
        EXPECT_EQ(DIF_CompareSearch(side, u"001004"), -1);
        EXPECT_EQ(DIF_ComparePartialSearch(side, u"001004"), 1);
        EXPECT_EQ(DIF_ComparePartialSearch(side, u"001000"), 0);
        EXPECT_EQ(DIF_ComparePartialSearch(side, u"001009"), 7);
        EXPECT_EQ(DIF_ComparePartialSearch(side, u"001005500"), 2);  // a child of 001005
        EXPECT_EQ(DIF_ComparePartialSearch(side, u"0"), 0);
        EXPECT_EQ(DIF_ComparePartialSearch(side, u""), 0);
    }
}

TEST_F(ViewerExports, EmptyListsAndPositionsOutsideTheListGiveTheEmptyResults) {
    // Before any load, after an unload, and with only a header the list answers as empty.
    for (int state = 0; state < 3; ++state) {
        SCOPED_TRACE(state);
        if (state == 1) {
            LoadRecords(u"1,C,T,001001,001001,9,0,a\r\n");
            DIF_CompareUnload();
        }
        if (state == 2) {
            EXPECT_EQ(LoadRecords(u""), 0);
        }
        DIF_CompareSort();
        EXPECT_EQ(DIF_CompareCount(u" ", u" "), 0);
        EXPECT_EQ(DIF_CompareSearch(1, u"001001"), -1);
        EXPECT_EQ(DIF_ComparePartialSearch(2, u"001001"), 0);
        EXPECT_EQ(RecordAt(1, 0), ".     0");
        EXPECT_EQ(DIF_GetMatchingIndex(1, 0), -1);
        DIF_HANDLE firstItem = 7, secondItem = 7;
        DIF_CompareGethItem(2, 0, &firstItem, &secondItem);
        EXPECT_EQ(firstItem, 0u);
        EXPECT_EQ(secondItem, 0u);
        EXPECT_EQ(DIF_CompareSethItems(0, 0, 1), 1);
    }

    uint16_t count = LoadRecords(u"1,C,T,001001,001001,9,4,a\r\n1,D,T,,001002,9,-1,b\r\n");
    ASSERT_EQ(count, 2);
    DIF_CompareSort();
    EXPECT_EQ(RecordAt(1, 2), ".     0");  // position count is past the list
    EXPECT_EQ(RecordAt(2, -1), ".     0");
    EXPECT_EQ(RecordAt(2, 70000), ".     0");
    EXPECT_EQ(RecordAt(2, 0), "C T 001001 001001 9");
    EXPECT_EQ(RecordAt(1, 0), "D T  001002 9");  // an empty key 1 sorts first
    DIF_CompareGet(1, 0, nullptr, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(DIF_CompareCount(nullptr, u" "), 0);
    EXPECT_EQ(DIF_CompareCount(u"D", nullptr), 0);
    EXPECT_EQ(DIF_CompareCount(u"", u""), 0);  // an empty filter matches no letter
    EXPECT_EQ(DIF_CompareLoad(nullptr, nullptr), 0);
    EXPECT_EQ(DIF_CompareLoad(scratch_.WideFile("").c_str(), nullptr), 0);  // a folder
    EXPECT_EQ(DIF_CompareCount(u" ", u" "), 0);
}
