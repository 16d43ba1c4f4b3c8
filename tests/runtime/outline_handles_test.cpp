// tests/runtime/outline_handles_test.cpp
//
// The one handle counter, once spent: new handles are refused, old ones keep working. Zero,
// stale, foreign and wrong-kind handles, and handles never repeating, are the model test's.
#include <gtest/gtest.h>

#include "runtime/handle_counter.h"
#include "tests/runtime/runtime_test_support.h"

namespace {

const char kSmall[] =
    "OUTLINE 1\n1 \"root\"\n  4 \"child\"\n    @1 \"v\"\n    %\"p\" \"v\"\n    $39 1\n    5 "
    "\"leaf\"\n";

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
    EXPECT_EQ(GetItemType(outline, last), 1);
    EXPECT_EQ(GetFirstChild(outline, root), last);
    EXPECT_EQ(SetItemText(outline, last, u"still editable", 1), 1);
    EXPECT_NE(SaveOutline(outline, folder.WideFile("saved.outline").c_str()), 0);
    DestroyList(list);
    // Handles below the last ones the tables hold, as only a counter moved back gives: a
    // string goes in below the live last one, and a handle released there is taken again.
    brimrt::MoveHandleCounterForTesting(resume);
    StringHandle lower = 0, next = 0, again = 0;
    EXPECT_NE(GetItemText(outline, last, 0, &lower), 0);
    EXPECT_NE(GetItemText(outline, root, 0, &next), 0);
    EXPECT_LT(next, text);
    FreeString(lower);
    brimrt::MoveHandleCounterForTesting(lower);
    EXPECT_NE(GetItemText(outline, last, 0, &again), 0);
    EXPECT_EQ(again, lower);
    EXPECT_EQ(TakeString(next), u"root");
    EXPECT_EQ(TakeString(again), u"still editable");
    EXPECT_EQ(TakeString(text), u"root");
}

}  // namespace
