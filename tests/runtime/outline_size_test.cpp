// tests/runtime/outline_size_test.cpp
//
// Shapes that break code which recurses or rescans: a chain 10,000 levels deep and a section
// of 1,000,000 items, each loaded, walked, copied, deleted, saved and closed.
#include <gtest/gtest.h>

#include "tests/runtime/runtime_test_support.h"

namespace {

// Each shape is walked to its far end (down the chain, along the section); then the chain
// below the top item is copied under its deepest item, and the whole section after its last
// item; the copy's far end is an item like the others until the copy is deleted, and the save
// gives back the file.
TEST(OutlineSize, ADeepChainAndAWideSectionLoadCopyDeleteAndSave) {
    std::string chain = "OUTLINE 1\n", section = "OUTLINE 1\n1 \"root\"\n";
    for (int level = 0; level < 10000; ++level) chain += std::string(2 * level, ' ') + "4 \"\"\n";
    for (int k = 0; k < 1000000; ++k) section += "  4 \"item\"\n";
    for (bool deep : {true, false}) {
        SCOPED_TRACE(deep ? "chain" : "section");
        const std::string& text = deep ? chain : section;
        ScratchFolder folder;
        OpenedOutline outline(OpenBytes(folder, "shape.outline", text));
        ASSERT_NE(outline.handle, 0u) << LastOpenError();
        auto farEnd = [&](ItemHandle item, int* count) {
            *count = 0;
            for (ItemHandle next = item; next != 0; ++*count) {
                item = next;
                next = deep ? GetFirstChild(outline, item) : GetNextSibling(outline, item);
            }
            return item;
        };
        int count = 0;
        ItemHandle root = GetRootItem(outline), top = GetFirstChild(outline, root);
        ItemHandle end = farEnd(top, &count);
        EXPECT_EQ(count, deep ? 9999 : 1000000);
        ItemHandle copy = deep ? CopyItem(outline, top, outline, end, 0, 1, 1)
                               : CopyItem(outline, root, outline, root, end, 1, 1);
        ASSERT_NE(copy, 0u);
        EXPECT_EQ(deep ? GetFirstChild(outline, end) : GetNextSibling(outline, end), copy);
        ItemHandle copiedEnd = farEnd(deep ? copy : GetFirstChild(outline, copy), &count);
        EXPECT_EQ(count, deep ? 9999 : 1000000);
        EXPECT_EQ(GetItemType(outline, copiedEnd), 4);
        ASSERT_EQ(DeleteItem(outline, copy), 1);
        EXPECT_EQ(GetItemType(outline, copiedEnd), 0);
        EXPECT_TRUE(SaveBytes(folder, "saved.outline", outline) == text);
    }
}

}  // namespace
