// tests/e2e/merge_fault_test.cpp
//
// A merge whose memory runs out at any one request of the library's heap: no crash, the memory
// warning shown, and either the complete merged outline or none: an older file at the output
// path stays as it was whenever the merge says it did not save.
#include <gtest/gtest.h>

#include <string>

#include "include/norvex63.h"
#include "support/checked_memory.h"
#include "tests/helpers/test_support.h"

namespace {

const char kOldOutput[] = "an older merged outline\n";

void CheckEveryRefusal(const std::string& scenario, uint32_t options) {
    SCOPED_TRACE(scenario);
    ScratchFolder scratch;
    for (const char* name : {"base.outline", "version1.outline", "version2.outline"}) {
        WriteFileBytes(scratch.File(name),
                       ReadFileBytes(TestDataPath("merge/" + scenario + "/" + name)));
    }
    WorkingDirectory inScratch(scratch.Path());
    MessageBoxRecorder boxes;
    uint16_t conflicts = 0, warnings = 0;
    auto merge = [&]() {
        return DIF_Merge(u"base.outline", u"version1.outline", u"version2.outline",
                         u"merged.outline", nullptr, 0, options, &conflicts, &warnings);
    };
    FailCheckedAllocationAt(0);
    uint16_t cleanStatus = merge();
    ASSERT_EQ(cleanStatus & DIF_ST_MERGE_SAVE, 0);
    const std::string complete = ReadFileBytes(scratch.File("merged.outline"));
    const uint16_t cleanConflicts = conflicts, cleanWarnings = warnings;
    FailCheckedAllocationAt(1000000);
    merge();
    const uint32_t requests = CheckedAllocationRequests();
    ASSERT_GT(requests, 10u);

    for (uint32_t failAt = 1; failAt <= requests; ++failAt) {
        SCOPED_TRACE("request " + std::to_string(failAt) + " of " + std::to_string(requests));
        WriteFileBytes(scratch.File("merged.outline"), kOldOutput);
        boxes.Clear();
        FailCheckedAllocationAt(failAt);
        uint16_t status = merge();
        FailCheckedAllocationAt(0);
        bool warned = false;
        for (const MessageBoxRecorder::Box& box : boxes.Boxes()) {
            warned =
                warned || (box.title + box.text).find("Insufficient memory") != std::string::npos;
        }
        EXPECT_TRUE(warned) << boxes.Titles();
        std::string written = ReadFileBytes(scratch.File("merged.outline"));
        if ((status & DIF_ST_MERGE_SAVE) != 0 || (status & 0x13) != 0) {
            EXPECT_EQ(written, kOldOutput) << "a merge that did not save replaced the old file";
        } else {
            EXPECT_EQ(status, cleanStatus);
            EXPECT_EQ(written, complete) << "a merge reported as saved wrote another outline";
            EXPECT_EQ(conflicts, cleanConflicts);
            EXPECT_EQ(warnings, cleanWarnings);
        }
    }
}

}  // namespace

TEST(MergeFaults, EveryRefusedRequestLeavesTheCompleteMergeOrTheOldFile) {
    CheckEveryRefusal("text-conflict", 0);
    CheckEveryRefusal("move-and-edit", 0);
    CheckEveryRefusal("contents", 0x700);
    CheckEveryRefusal("additions-same-place", 0);
}
