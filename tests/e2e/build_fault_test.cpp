// tests/e2e/build_fault_test.cpp
//
// A build whose memory runs out at any one request: it must not crash, must show the memory
// warning, and must leave either the complete compare file or none at all, never a shortened
// one reported as good; an older compare file at the path stays as it was when none is made.
// An outline that cannot be opened for want of memory is reported as not opened.
#include <gtest/gtest.h>

#include <string>

#include "include/norvex63.h"
#include "support/checked_memory.h"
#include "tests/helpers/test_support.h"

namespace {

const char kOldCompareFile[] = "an older compare file";

void CheckEveryRefusal(const std::string& scenario, uint32_t options) {
    SCOPED_TRACE(scenario);
    ScratchFolder scratch;
    for (const char* name : {"first.outline", "second.outline"}) {
        WriteFileBytes(scratch.File(name),
                       ReadFileBytes(TestDataPath("build/" + scenario + "/" + name)));
    }
    std::u16string first = scratch.WideFile("first.outline");
    std::u16string second = scratch.WideFile("second.outline");
    std::u16string compare = scratch.WideFile("result.cmp");
    MessageBoxRecorder boxes;

    FailCheckedAllocationAt(0);
    ASSERT_EQ(DIF_Build(first.c_str(), second.c_str(), compare.c_str(), nullptr, 0, options), 0);
    const std::string complete = ReadFileBytes(scratch.File("result.cmp"));
    // A request count far past the build's own would pass every request: stop there.
    FailCheckedAllocationAt(1000000);
    DIF_Build(first.c_str(), second.c_str(), compare.c_str(), nullptr, 0, options);
    const uint32_t requests = CheckedAllocationRequests();
    ASSERT_GT(requests, 20u);

    for (uint32_t failAt = 1; failAt <= requests; ++failAt) {
        SCOPED_TRACE("request " + std::to_string(failAt) + " of " + std::to_string(requests));
        WriteFileBytes(scratch.File("result.cmp"), kOldCompareFile);
        boxes.Clear();
        FailCheckedAllocationAt(failAt);
        uint16_t status =
            DIF_Build(first.c_str(), second.c_str(), compare.c_str(), nullptr, 0, options);
        FailCheckedAllocationAt(0);
        bool warned = false;
        for (const MessageBoxRecorder::Box& box : boxes.Boxes()) {
            warned =
                warned || (box.title + box.text).find("Insufficient memory") != std::string::npos;
        }
        EXPECT_TRUE(warned) << boxes.Titles();
        std::string written = ReadFileBytes(scratch.File("result.cmp"));
        if (status == 0) {
            EXPECT_EQ(written, complete) << "a build reported good wrote another file";
        } else if ((status & DIF_ST_COMPARE_FILE) != 0) {
            EXPECT_EQ(written, kOldCompareFile) << "a failed build replaced the old file";
        } else {
            // An outline that could not be opened: its bit says so, and the file holds the
            // header alone, as for any outline that does not open.
            EXPECT_TRUE(status == DIF_ST_FIRST_OUTLINE || status == DIF_ST_SECOND_OUTLINE)
                << status;
        }
    }
}

}  // namespace

TEST(BuildFaults, EveryRefusedRequestLeavesTheCompleteFileOrTheOldOne) {
    CheckEveryRefusal("changes-additions-deletions", DIF_OPT_FDFM);
    CheckEveryRefusal("moves", DIF_OPT_FDFM);
    CheckEveryRefusal("contents", 0x704);
}
