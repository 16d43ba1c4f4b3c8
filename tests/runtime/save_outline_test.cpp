// tests/runtime/save_outline_test.cpp
//
// A save over the file the outline was opened from. Saves that cannot finish (no folder, a
// folder at the path, a name too long for its temporary, a closed folder, a full disk) are the
// fault table's (tests/e2e/fault_test.cpp), through every export that saves an outline.
#include <gtest/gtest.h>

#include "tests/runtime/runtime_test_support.h"

namespace {

const char kOutline[] = "OUTLINE 1\n1 \"root\"\n  4 \"child\"\n";

TEST(SaveOutline, ASaveReplacesTheFileItWasOpenedFrom) {
    ScratchFolder folder;
    OpenedOutline outline(OpenBytes(folder, "source.outline", kOutline));
    ASSERT_NE(outline.handle, 0u);
    ItemHandle child = GetFirstChild(outline, GetRootItem(outline));
    SetItemText(outline, child, u"changed", 1);
    ASSERT_NE(SaveOutline(outline, folder.WideFile("source.outline").c_str()), 0);
    EXPECT_EQ(ReadFileBytes(folder.File("source.outline")),
              "OUTLINE 1\n1 \"root\"\n  4 \"changed\"\n");
    EXPECT_EQ(FolderEntries(folder.Path()), std::vector<std::string>{"source.outline"});
    // The outline stays open and usable after its file was replaced.
    EXPECT_EQ(ItemText(outline, child), u"changed");
}

}  // namespace
