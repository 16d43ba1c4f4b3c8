// tests/runtime/outline_size_test.cpp
//
// Shapes that break code which recurses or rescans: a chain 10,000 levels deep and a section
// of 1,000,000 items, each loaded, walked, copied, deleted, saved and closed.
#include <gtest/gtest.h>

#include "tests/runtime/runtime_test_support.h"

namespace {

TEST(OutlineSize, TenThousandLevelChainLoadsSavesCopiesAndCloses) {
    const int depth = 10000;
    std::string text = "OUTLINE 1\n";
    for (int level = 0; level < depth; ++level) text += std::string(2 * level, ' ') + "4 \"\"\n";
    ScratchFolder folder;
    OpenedOutline outline(OpenBytes(folder, "chain.outline", text));
    ASSERT_NE(outline.handle, 0u) << LastOpenError();
    ItemHandle item = GetRootItem(outline);
    int levels = 1;
    for (ItemHandle below = GetFirstChild(outline, item); below != 0;
         below = GetFirstChild(outline, below)) {
        item = below;
        ++levels;
    }
    EXPECT_EQ(levels, depth);
    // The deepest item, copied under itself, and the top's child with the whole chain below.
    ItemHandle deepest = item;
    ItemHandle top = GetRootItem(outline);
    ASSERT_NE(CopyItem(outline, GetFirstChild(outline, top), outline, deepest, 0, 1, 1), 0u);
    EXPECT_EQ(GetParentItem(outline, GetFirstChild(outline, deepest)), deepest);
    ASSERT_EQ(DeleteItem(outline, GetFirstChild(outline, deepest)), 1);
    EXPECT_EQ(SaveBytes(folder, "saved.outline", outline) == text, true);
}

TEST(OutlineSize, MillionItemSectionLoadsSavesCopiesAndCloses) {
    const int count = 1000000;
    std::string text = "OUTLINE 1\n1 \"root\"\n";
    std::string line = "  4 \"item\"\n";
    text.reserve(text.size() + count * line.size());
    for (int k = 0; k < count; ++k) text += line;
    ScratchFolder folder;
    OpenedOutline outline(OpenBytes(folder, "wide.outline", text));
    ASSERT_NE(outline.handle, 0u) << LastOpenError();
    ItemHandle root = GetRootItem(outline);
    int children = 0;
    ItemHandle last = 0;
    for (ItemHandle child = GetFirstChild(outline, root); child != 0;
         child = GetNextSibling(outline, child)) {
        last = child;
        ++children;
    }
    EXPECT_EQ(children, count);
    // The whole section copied under its own last item, then taken away again.
    ItemHandle copy = CopyItem(outline, root, outline, root, last, 1, 1);
    ASSERT_NE(copy, 0u);
    EXPECT_EQ(GetNextSibling(outline, last), copy);
    ItemHandle lastCopied = 0;
    for (ItemHandle child = GetFirstChild(outline, copy); child != 0;
         child = GetNextSibling(outline, child))
        lastCopied = child;
    EXPECT_EQ(GetItemType(outline, lastCopied), 4);
    ASSERT_EQ(DeleteItem(outline, copy), 1);
    EXPECT_EQ(GetItemType(outline, lastCopied), 0);
    EXPECT_TRUE(SaveBytes(folder, "saved.outline", outline) == text);
}

}  // namespace
