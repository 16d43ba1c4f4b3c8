// tests/merge/merge_exports_test.cpp
//
// The merge exports seen from a caller: items of outlines it holds open, and where relative
// paths lead. Failed saves are the fault table's (tests/e2e/fault_test.cpp); failed opens,
// aborts and the counts' numbering the merge goldens'.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "include/norvex63.h"
#include "outline/outline_runtime.h"
#include "tests/merge/merge_test_support.h"

namespace {

const std::string kHeader = "OUTLINE 1\n10 \"Main\"\n";
const std::string kBase = kHeader + "  4 \"Proc\"\n    9 \"a\"\n    9 \"b\"\n  9 \"outside\"\n";
const std::string kVersion1 =
    kHeader + "  4 \"Proc\"\n    9 \"a\"\n    9 \"b one\"\n  9 \"outside one\"\n";
const std::string kVersion2 =
    kHeader + "  4 \"Proc\"\n    9 \"a\"\n    9 \"b two\"\n  9 \"outside\"\n";

std::string LastProgressText() {
    DIF_CHAR text[161];
    DIF_BuildGetSection(text, 161, nullptr, nullptr);
    return Narrow(text);
}

OutlineHandle OpenFile(const ScratchFolder& folder, const std::string& name,
                       const std::string& bytes) {
    WriteFileBytes(folder.File(name), bytes);
    return OpenOutline(folder.WideFile(name).c_str());
}

// A progress window that only listens.
LRESULT CALLBACK IgnoreProgress(HWND, UINT, WPARAM, LPARAM) { return 0; }

}  // namespace

TEST(MergeObjects, MergesTheChildrenOfTheGivenItemsAndLeavesTheOutlinesOpen) {
    // The start item is a unit, yet the conflict among its children is marked where it arises:
    // the start item is never the unit anchor. The items beside it are not merged, and an
    // absent name gives an empty label.
    const std::string expected =
        kHeader +
        "  4 \"Proc\"\n    9 \"a\"\n"
        "    9 \"b ! #### DIFF: Conflict 1 (C001) - Incompatible changes to item text - Copied "
        "from partially merged original ####\"\n"
        "    9 \"b one ! #### DIFF: Conflict 1 (C001) - Incompatible changes to item text - "
        "Copied from version 1 [one] ####\"\n"
        "    9 \"b two ! #### DIFF: Conflict 1 (C001) - Incompatible changes to item text - "
        "Copied from version 2  ####\"\n"
        "  9 \"outside\"\n";
    ScratchFolder folder;
    MessageBoxRecorder boxes;
    HWND window = CreateCallbackWindow(IgnoreProgress);
    for (int run = 0; run < 2; ++run) {
        OutlineHandle original = OpenFile(folder, "base.outline", kBase);
        OutlineHandle version1 = OpenFile(folder, "version1.outline", kVersion1);
        OutlineHandle version2 = OpenFile(folder, "version2.outline", kVersion2);
        ASSERT_TRUE(original != 0 && version1 != 0 && version2 != 0);
        ItemHandle item = GetFirstChild(original, GetRootItem(original));
        ItemHandle item1 = GetFirstChild(version1, GetRootItem(version1));
        ItemHandle item2 = GetFirstChild(version2, GetRootItem(version2));
        uint16_t conflicts = 99, warnings = 99;
        EXPECT_EQ(DIF_MergeObjects(original, item, version1, item1, u"one", version2, item2,
                                   nullptr, folder.WideFile("merged.outline").c_str(), window,
                                   0x8123, 0, &conflicts, &warnings),
                  0);
        EXPECT_EQ(conflicts, 1);
        EXPECT_EQ(warnings, 0);
        EXPECT_EQ(ReadFileBytes(folder.File("merged.outline")), expected) << "run " << run;
        // Still open: the caller's outline holds the merged result and saves it again alike,
        // and the versions carry no marker, since the conflict is outside any unit.
        ASSERT_NE(SaveOutline(original, folder.WideFile("again.outline").c_str()), 0);
        EXPECT_EQ(ReadFileBytes(folder.File("again.outline")), expected);
        ASSERT_NE(SaveOutline(version1, folder.WideFile("again1.outline").c_str()), 0);
        EXPECT_EQ(ReadFileBytes(folder.File("again1.outline")), kVersion1);
        EXPECT_EQ(LastProgressText(), "Done.");
        CloseOutline(original);
        CloseOutline(version1);
        CloseOutline(version2);
    }
    DestroyCallbackWindow(window);
    EXPECT_EQ(boxes.Lines(), "");
}

TEST(Merge, ARelativeOutputPathIsTakenFromTheCallersDirectory) {
    ScratchFolder folder;
    std::filesystem::create_directories(folder.File("in"));
    std::filesystem::create_directories(folder.File("out"));
    WriteFileBytes(folder.File("in/base.outline"), kBase);
    WriteFileBytes(folder.File("in/version1.outline"), kBase);
    WriteFileBytes(folder.File("in/version2.outline"), kVersion2);
    WorkingDirectory inOut(folder.File("out"));
    uint16_t status = DIF_Merge(folder.WideFile("in/base.outline").c_str(),
                                folder.WideFile("in/version1.outline").c_str(),
                                folder.WideFile("in/version2.outline").c_str(), u"merged.outline",
                                nullptr, 0, 0, nullptr, nullptr);
    EXPECT_EQ(status, 0);
    // Opening the inputs changed into their folder; the output still lands where the call began.
    EXPECT_EQ(ReadFileBytes(folder.File("out/merged.outline")), kVersion2);
    EXPECT_FALSE(FileExists(folder.File("in/merged.outline")));
    EXPECT_EQ(CurrentDirectory(), folder.File("out"));
}
