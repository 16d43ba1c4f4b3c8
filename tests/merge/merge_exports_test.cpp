// tests/merge/merge_exports_test.cpp
//
// The merge export seen from a caller: where relative paths lead. Failed saves are the fault
// table's (tests/e2e/fault_test.cpp); failed opens, aborts, merges of open outlines and the
// counts' numbering the merge goldens'.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "include/norvex63.h"
#include "tests/merge/merge_test_support.h"

namespace {

const std::string kHeader = "OUTLINE 1\n10 \"Main\"\n";
const std::string kBase = kHeader + "  4 \"Proc\"\n    9 \"a\"\n    9 \"b\"\n  9 \"outside\"\n";
const std::string kVersion2 =
    kHeader + "  4 \"Proc\"\n    9 \"a\"\n    9 \"b two\"\n  9 \"outside\"\n";

}  // namespace

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
