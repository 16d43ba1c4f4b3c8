// tests/runtime/outline_edits_test.cpp
//
// Edits through the operations, then a save compared byte for byte with a reviewed golden in
// tests/data/runtime/edits/<scenario>/. Every scenario starts from edits/input.outline:
//   1 "Application main"
//     4 "Procedure Open"      @429, %Author, $39; children 188, 176 [skip], 22 [nodelete,readonly]
//     4 "Procedure Close"     child 5 "Function Helper"
#include <gtest/gtest.h>

#include "tests/runtime/runtime_test_support.h"

namespace {

class OutlineEdits : public ::testing::Test {
protected:
    void SetUp() override {
        outline.handle = OpenOutline(Wide(TestDataPath("runtime/edits/input.outline")).c_str());
        ASSERT_NE(outline.handle, 0u) << LastOpenError();
        root = GetRootItem(outline);
        open = NthChild(outline, root, 0);
        close = NthChild(outline, root, 1);
        comment = NthChild(outline, open, 0);
        protectedItem = NthChild(outline, open, 2);
        helper = NthChild(outline, close, 0);
        ASSERT_NE(helper, 0u);
    }

    // Saves twice (a second save must not differ) and compares with the scenario's golden.
    void ExpectSaved(const std::string& scenario) {
        std::string saved = SaveBytes(folder, "saved.outline", outline);
        EXPECT_EQ(SaveBytes(folder, "saved-again.outline", outline), saved);
        ExpectGolden("runtime/edits/" + scenario + "/expected.outline", saved);
    }

    ScratchFolder folder;
    OpenedOutline outline;
    ItemHandle root = 0, open = 0, close = 0, comment = 0, protectedItem = 0, helper = 0;
};

TEST_F(OutlineEdits, InsertPlacesItemsFirstOrAfterAndRefusesAForeignPlace) {
    ItemHandle first = InsertItem(outline, root, 0, 188);
    ASSERT_NE(first, 0u);
    EXPECT_EQ(GetItemType(outline, first), 188);
    EXPECT_EQ(ItemText(outline, first), u"");
    EXPECT_EQ(GetParentItem(outline, first), root);
    EXPECT_EQ(GetNextSibling(outline, first), open);
    SetItemText(outline, first, u"added first", 1);
    SetItemText(outline, InsertItem(outline, root, open, 4), u"Procedure Middle", 1);
    SetItemText(outline, InsertItem(outline, close, helper, 5), u"after the last child", 1);
    SetItemText(outline, InsertItem(outline, helper, 0, 6), u"under a leaf", 1);
    // `after` must be a child of parent.
    EXPECT_EQ(InsertItem(outline, root, helper, 4), 0u);
    EXPECT_EQ(InsertItem(outline, root, root, 4), 0u);
    EXPECT_EQ(InsertItem(outline, 0, 0, 4), 0u);
    ExpectSaved("insert");
}

TEST_F(OutlineEdits, DeleteTakesTheSubtreeAndRefusesProtectedItems) {
    EXPECT_EQ(DeleteItem(outline, root), 0);
    EXPECT_EQ(DeleteItem(outline, protectedItem), 0);
    // A nodelete item below protects its ancestors too.
    EXPECT_EQ(DeleteItem(outline, open), 0);
    EXPECT_EQ(DeleteItem(outline, close), 1);
    EXPECT_EQ(GetItemType(outline, helper), 0);
    EXPECT_EQ(GetParentItem(outline, helper), 0u);
    EXPECT_EQ(DeleteItem(outline, close), 0);
    EXPECT_EQ(DeleteItem(outline, comment), 1);
    EXPECT_EQ(GetFirstChild(outline, open), NthChild(outline, open, 0));
    EXPECT_EQ(GetNextSibling(outline, open), 0u);
    ExpectSaved("delete");
}

TEST_F(OutlineEdits, CopyAcrossOutlinesTakesSubtreeContentsAndFlags) {
    OutlineHandle second = OpenOutline(Wide(TestDataPath("runtime/edits/input.outline")).c_str());
    ASSERT_NE(second, 0u);
    ItemHandle secondOpen = NthChild(second, GetRootItem(second), 0);
    ItemHandle copy = CopyItem(second, secondOpen, outline, close, helper, 1, 1);
    ASSERT_NE(copy, 0u);
    EXPECT_EQ(GetItemType(second, copy), 0);  // the copy belongs to the target only
    EXPECT_NE(IsItemSkipped(outline, NthChild(outline, copy, 1)), 0);
    EXPECT_EQ(DeleteItem(outline, NthChild(outline, copy, 2)), 0);  // nodelete came along
    ItemHandle bare = CopyItem(second, secondOpen, outline, root, 0, 0, 0);
    EXPECT_EQ(GetFirstChild(outline, bare), 0u);
    EXPECT_EQ(GetItemDTData(outline, bare, 39, nullptr), 0);
    // after must be a child of the target parent.
    EXPECT_EQ(CopyItem(second, secondOpen, outline, root, helper, 1, 1), 0u);
    CloseOutline(second);
    // The copies own their texts and contents: closing the source takes nothing from them.
    StringHandle author = 0;
    ASSERT_NE(GetNamedProperty(outline, copy, u"Author", &author), 0);
    EXPECT_EQ(TakeString(author), u"kim, 2024");
    ExpectSaved("copy_across");
}

TEST_F(OutlineEdits, CopyIntoItsOwnSubtreeOrNextToItselfCopiesTheSubtreeAsItWas) {
    ItemHandle inside = CopyItem(outline, open, outline, open, comment, 1, 1);
    ASSERT_NE(inside, 0u);
    EXPECT_EQ(NthChild(outline, open, 1), inside);
    EXPECT_NE(CopyItem(outline, close, outline, root, close, 1, 1), 0u);
    // The whole tree, copied under its own root as the first child.
    ItemHandle whole = CopyItem(outline, root, outline, root, 0, 1, 1);
    ASSERT_NE(whole, 0u);
    EXPECT_EQ(GetFirstChild(outline, root), whole);
    // Copied before it was attached: its first child is the copy of Open, not of itself.
    EXPECT_EQ(GetItemType(outline, GetFirstChild(outline, whole)), 4);
    ExpectSaved("copy_into_itself");
}

TEST_F(OutlineEdits, SettersReplaceInPlaceOrAppendAndReadOnlyRefusesText) {
    EXPECT_EQ(SetItemAttribute(outline, open, 429, u"one\ntwo", 2), 1);
    EXPECT_EQ(SetNamedProperty(outline, open, u"Author", u"lee", 4), 1);
    EXPECT_EQ(SetNamedProperty(outline, open, u"Reviewer", u"ann, bob", 4),
              1);  // the size cuts the value
    EXPECT_EQ(SetItemDTData(outline, open, 39, -7), 1);
    EXPECT_EQ(SetItemDTData(outline, open, -1, 2147483647), 1);
    EXPECT_EQ(SetItemAttribute(outline, open, 7, u"new", 1), 1);
    EXPECT_EQ(SetItemAttribute(outline, close, 0, u"", 1), 1);
    EXPECT_EQ(SetItemText(outline, protectedItem, u"changed", 1), 0);
    EXPECT_EQ(ItemText(outline, protectedItem), u"protected");
    // A longer text after a shorter one, and a shorter one over a longer one.
    EXPECT_EQ(SetItemText(outline, helper, u"x", 1), 1);
    EXPECT_EQ(SetItemText(outline, helper, u"a much longer text than the one before", 1), 1);
    EXPECT_EQ(SetItemText(outline, helper, u"tab\tquote\"lone\xD800", 1), 1);
    EXPECT_EQ(SetItemText(outline, root, nullptr, 1), 1);

    StringHandle value = 0;
    ASSERT_NE(GetItemAttribute(outline, open, 429, 0, &value), 0);
    EXPECT_EQ(TakeString(value), u"one\ntwo");
    EXPECT_EQ(GetItemAttribute(outline, open, 430, 0, &value), 0);
    EXPECT_EQ(value, 0u);
    EXPECT_EQ(GetNamedProperty(outline, open, u"Missing", &value), 0);
    int32_t number = 5;
    EXPECT_EQ(GetItemDTData(outline, open, 40, &number), 0);
    EXPECT_EQ(number, 0);
    ASSERT_NE(GetItemDTData(outline, open, -1, &number), 0);
    EXPECT_EQ(number, 2147483647);
    // The command's list of DTDATA indexes keeps their order (39 from the file, -1 set after
    // it) and answers how many there are even when given less room.
    int32_t indexes[2] = {0, 0};
    EXPECT_EQ(ListItemDTData(outline, open, indexes, 2), 2);
    EXPECT_EQ(indexes[0], 39);
    EXPECT_EQ(indexes[1], -1);
    EXPECT_EQ(ListItemDTData(outline, open, indexes, 1), 2);
    EXPECT_EQ(ListItemDTData(outline, close, indexes, 2), 0);  // contents, but no DTDATA

    // Lists answer in the stored order, are emptied by each fill, and refuse the other kind.
    ListHandle attributes = CreateList(OUTLINE_LIST_ATTRIBUTES);
    ListHandle names = CreateList(OUTLINE_LIST_STRINGS);
    EXPECT_EQ(ListItemAttributes(outline, open, attributes), 2);
    ListElement element = 0;
    uint32_t id = 0;
    ASSERT_NE(GetListElement(attributes, &element, 1), 0);
    ASSERT_NE(GetAttributeId(element, &id), 0);
    EXPECT_EQ(id, 7u);
    EXPECT_EQ(GetListElement(attributes, &element, 2), 0);
    EXPECT_EQ(GetListElement(attributes, &element, -1), 0);
    EXPECT_EQ(ListNamedProperties(outline, open, attributes), 0);
    EXPECT_EQ(ListItemAttributes(outline, open, names), 0);
    EXPECT_EQ(ListItemAttributes(outline, close, attributes), 1);
    ASSERT_NE(GetListElement(attributes, &element, 0), 0);
    GetAttributeId(element, &id);
    EXPECT_EQ(id, 0u);
    EXPECT_EQ(ListNamedProperties(outline, open, names), 2);
    StringHandle name = 0;
    ASSERT_NE(GetListString(names, &name, 1), 0);
    DestroyList(names);
    EXPECT_EQ(TakeString(name), u"Reviewer");  // a string outlives its list
    EXPECT_EQ(ListItemAttributes(outline, helper, attributes), 0);
    EXPECT_EQ(GetListElement(attributes, &element, 0), 0);
    DestroyList(attributes);
    ExpectSaved("setters");
}

}  // namespace
