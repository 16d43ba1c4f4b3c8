// tests/runtime/outline_handles_test.cpp
//
// Handles that must be refused rather than followed: 0, stale (closed outline, deleted item,
// freed string, destroyed list), foreign (another outline's item) and of the wrong kind; and
// the one counter, which never repeats a handle and fails cleanly once spent.
#include <gtest/gtest.h>

#include <set>

#include "runtime/handle_counter.h"
#include "tests/runtime/runtime_test_support.h"

namespace {

const char kSmall[] =
    "OUTLINE 1\n1 \"root\"\n  4 \"child\"\n    @1 \"v\"\n    %\"p\" \"v\"\n    $39 1\n    5 "
    "\"leaf\"\n";

// Asks every item operation about (outline, item) and answers how many did not refuse.
int CountAnswers(OutlineHandle outline, ItemHandle item) {
    int answers = 0;
    StringHandle string = 0;
    int32_t number = 0;
    ListHandle attributes = CreateList(OUTLINE_LIST_ATTRIBUTES);
    ListHandle names = CreateList(OUTLINE_LIST_STRINGS);
    answers += GetFirstChild(outline, item) != 0;
    answers += GetNextSibling(outline, item) != 0;
    answers += GetParentItem(outline, item) != 0;
    answers += GetItemType(outline, item) != 0;
    answers += GetItemText(outline, item, 0, &string) != 0;
    FreeString(string);
    answers += GetItemAttribute(outline, item, 1, 0, &string) != 0;
    FreeString(string);
    answers += GetNamedProperty(outline, item, u"p", &string) != 0;
    FreeString(string);
    answers += GetItemDTData(outline, item, 39, &number) != 0;
    answers += ListItemDTData(outline, item, nullptr, 0) != 0;
    answers += ListItemAttributes(outline, item, attributes) != 0;
    answers += ListNamedProperties(outline, item, names) != 0;
    answers += InsertItem(outline, item, 0, 4) != 0;
    answers += SetItemText(outline, item, u"x", 1) != 0;
    answers += SetItemAttribute(outline, item, 2, u"x", 1) != 0;
    answers += SetNamedProperty(outline, item, u"q", u"x", 2) != 0;
    answers += SetItemDTData(outline, item, 40, 1) != 0;
    answers += CopyItem(outline, item, outline, item, 0, 1, 1) != 0;
    answers += DeleteItem(outline, item) != 0;
    DestroyList(attributes);
    DestroyList(names);
    return answers;
}

TEST(RuntimeHandles, ZeroStaleForeignAndWrongKindHandlesAreRefused) {
    ScratchFolder folder;
    OpenedOutline first(OpenBytes(folder, "first.outline", kSmall));
    OpenedOutline second(OpenBytes(folder, "second.outline", kSmall));
    ASSERT_NE(first.handle, 0u);
    ItemHandle child = GetFirstChild(first, GetRootItem(first));
    ItemHandle leaf = GetFirstChild(first, child);
    // Foreign: the same place in a file loaded alike is still another outline's item.
    EXPECT_EQ(CountAnswers(second, child), 0);
    EXPECT_EQ(CountAnswers(first, 0), 0);
    EXPECT_EQ(CountAnswers(0, child), 0);
    // Wrong kind: outline, string and list handles are no items, and items no outlines.
    StringHandle string = 0;
    GetItemTypeName(4, &string);
    ListHandle list = CreateList(OUTLINE_LIST_ATTRIBUTES);
    EXPECT_EQ(CountAnswers(first, first), 0);
    EXPECT_EQ(CountAnswers(first, string), 0);
    EXPECT_EQ(CountAnswers(first, list), 0);
    EXPECT_EQ(CountAnswers(child, child), 0);
    EXPECT_EQ(GetRootItem(child), 0u);
    EXPECT_EQ(GetStringText(list, nullptr), nullptr);
    EXPECT_EQ(ListItemAttributes(first, child, string), 0);
    EXPECT_EQ(SaveOutline(child, folder.WideFile("never.outline").c_str()), 0);
    EXPECT_EQ(CreateList(4), 0u);
    // Stale: a freed string, a destroyed list.
    FreeString(string);
    int32_t length = 7;
    EXPECT_EQ(GetStringText(string, &length), nullptr);
    EXPECT_EQ(length, 0);
    DestroyList(list);
    ListElement element = 0;
    EXPECT_EQ(GetListElement(list, &element, 0), 0);
    // Stale: a deleted item and everything below it, while its sibling stays.
    ItemHandle sibling = InsertItem(first, GetRootItem(first), child, 7);
    ASSERT_EQ(DeleteItem(first, child), 1);
    EXPECT_EQ(CountAnswers(first, child), 0);
    EXPECT_EQ(CountAnswers(first, leaf), 0);
    EXPECT_EQ(GetItemType(first, sibling), 7);
    EXPECT_EQ(GetFirstChild(first, GetRootItem(first)), sibling);
    // Stale: every handle of a closed outline. Closing twice is harmless.
    ItemHandle root = GetRootItem(first);
    CloseOutline(first);
    CloseOutline(first);
    EXPECT_EQ(GetRootItem(first), 0u);
    EXPECT_EQ(CountAnswers(first, root), 0);
    EXPECT_EQ(CountAnswers(first, sibling), 0);
    EXPECT_EQ(SaveOutline(first, folder.WideFile("closed.outline").c_str()), 0);
    first.handle = 0;
    // The other outline still answers everything but a next sibling, which its child lacks.
    EXPECT_EQ(CountAnswers(second, GetFirstChild(second, GetRootItem(second))), 17);
}

TEST(RuntimeHandles, EveryHandleIsNewAndNeverZero) {
    ScratchFolder folder;
    std::set<uint32_t> seen;
    auto remember = [&](uint32_t handle) {
        EXPECT_NE(handle, 0u);
        EXPECT_TRUE(seen.insert(handle).second) << "handle " << handle << " came twice";
    };
    for (int round = 0; round < 3; ++round) {
        OutlineHandle outline = OpenBytes(folder, "small.outline", kSmall);
        remember(outline);
        ItemHandle root = GetRootItem(outline);
        remember(root);
        remember(GetFirstChild(outline, root));
        remember(GetFirstChild(outline, GetFirstChild(outline, root)));
        ItemHandle inserted = InsertItem(outline, root, 0, 1);
        remember(inserted);
        remember(CopyItem(outline, root, outline, root, 0, 1, 1));
        StringHandle string = 0;
        GetItemText(outline, root, 0, &string);
        remember(string);
        FreeString(string);
        ListHandle list = CreateList(OUTLINE_LIST_STRINGS);
        remember(list);
        DestroyList(list);
        DeleteItem(outline, inserted);
        CloseOutline(outline);
    }
}

TEST(RuntimeHandles, ASpentCounterRefusesNewHandlesButKeepsOldOnesWorking) {
    ScratchFolder folder;
    OpenedOutline outline(OpenBytes(folder, "small.outline", kSmall));
    ItemHandle root = GetRootItem(outline);
    uint32_t resume = brimrt::PeekNextHandle();
    // Three handles left: the small outline needs four (itself and three items).
    brimrt::MoveHandleCounterForTesting(0xFFFFFFFDu);
    EXPECT_EQ(OpenBytes(folder, "small.outline", kSmall), 0u);
    EXPECT_EQ(LastOpenError(),
              folder.File("small.outline") + ": no handles are left in this process");
    ItemHandle last = InsertItem(outline, root, 0, 1);
    EXPECT_EQ(last, 0xFFFFFFFDu);
    EXPECT_EQ(CopyItem(outline, root, outline, root, 0, 1, 1), 0u);  // needs four
    ListHandle list = CreateList(OUTLINE_LIST_ATTRIBUTES);
    StringHandle text = 0;
    EXPECT_NE(GetItemText(outline, root, 0, &text), 0);
    EXPECT_EQ(text, 0xFFFFFFFFu);
    EXPECT_EQ(CreateList(OUTLINE_LIST_STRINGS), 0u);
    EXPECT_EQ(InsertItem(outline, root, 0, 1), 0u);
    StringHandle name = 0;
    EXPECT_EQ(GetItemTypeName(1, &name), 0);
    EXPECT_EQ(name, 0u);
    // What exists still works, including the item made last.
    EXPECT_EQ(TakeString(text), u"root");
    EXPECT_EQ(GetItemType(outline, last), 1);
    EXPECT_EQ(GetFirstChild(outline, root), last);
    EXPECT_EQ(SetItemText(outline, last, u"still editable", 1), 1);
    EXPECT_NE(SaveOutline(outline, folder.WideFile("saved.outline").c_str()), 0);
    DestroyList(list);
    brimrt::MoveHandleCounterForTesting(resume);
}

}  // namespace
