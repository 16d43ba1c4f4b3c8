// tests/runtime/save_outline_test.cpp
//
// SaveOutline replaces a file only when the whole outline was written: a save that cannot
// finish answers 0, leaves the old file exactly as it was and leaves no temporary behind.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include "tests/runtime/runtime_test_support.h"

namespace {

const char kOutline[] = "OUTLINE 1\n1 \"root\"\n  4 \"child\"\n";

TEST(SaveOutline, FailedSaveLeavesTheOldFileIntactAndNoTemporary) {
    ScratchFolder folder;
    OpenedOutline outline(OpenBytes(folder, "source.outline", kOutline));
    ASSERT_NE(outline.handle, 0u);
    std::filesystem::create_directory(folder.File("folder.outline"));
    // A name so long that the temporary's name (the name and a suffix) is too long to exist.
    std::string longName = std::string(245, 'n') + ".outline";
    WriteFileBytes(folder.File(longName), "old bytes");
    std::vector<std::string> before = FolderEntries(folder.Path());

    EXPECT_EQ(SaveOutline(outline, folder.WideFile("missing/target.outline").c_str()), 0);
    EXPECT_EQ(SaveOutline(outline, folder.WideFile("folder.outline").c_str()), 0);
    EXPECT_TRUE(std::filesystem::is_directory(folder.File("folder.outline")));
    EXPECT_EQ(SaveOutline(outline, folder.WideFile(longName).c_str()), 0);
    EXPECT_EQ(ReadFileBytes(folder.File(longName)), "old bytes");
    EXPECT_EQ(SaveOutline(outline, u""), 0);
    EXPECT_EQ(SaveOutline(outline, nullptr), 0);
    EXPECT_EQ(FolderEntries(folder.Path()), before);

    if (geteuid() != 0) {  // permissions do not stop the superuser
        std::filesystem::create_directory(folder.File("locked"));
        WriteFileBytes(folder.File("locked/target.outline"), "old bytes");
        std::filesystem::permissions(folder.File("locked"), std::filesystem::perms::owner_read |
                                                                std::filesystem::perms::owner_exec);
        EXPECT_EQ(SaveOutline(outline, folder.WideFile("locked/target.outline").c_str()), 0);
        EXPECT_EQ(ReadFileBytes(folder.File("locked/target.outline")), "old bytes");
        EXPECT_EQ(FolderEntries(folder.File("locked")), std::vector<std::string>{"target.outline"});
    }
}

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
