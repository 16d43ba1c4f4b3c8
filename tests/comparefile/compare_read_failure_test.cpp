// tests/comparefile/compare_read_failure_test.cpp
//
// Reading with the N-th checked allocation refused, for every N the read reaches: the read
// must end without a crash or leak, show the one warning, hold either every record but the one
// being read or every record before the list stopped growing, and know that it is not whole.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "comparefile/compare_list.h"
#include "comparefile/record_reader.h"
#include "support/checked_memory.h"
#include "tests/comparefile/compare_file_fixture.h"
#include "tests/helpers/test_support.h"

namespace {

// Turns the seam off again whatever the test did.
struct SeamOff {
    ~SeamOff() { FailCheckedAllocationAt(0); }
};

std::vector<std::string> Held(const CompareList& list) {
    std::vector<std::string> held;
    for (uint16_t n = 0; n < list.Count(); ++n) held.push_back(DescribeRecord(list, n));
    return held;
}

// True when held is all of full but one record, or a beginning of full. A refused X record of
// a viewer's read loses nothing, since it is dropped anyway: held is then all of full.
bool LostOneOrStopped(const std::vector<std::string>& held, const std::vector<std::string>& full) {
    if (held.size() > full.size()) return false;
    size_t k = 0;
    while (k < held.size() && held[k] == full[k]) ++k;
    if (k == held.size()) return true;
    if (held.size() + 1 != full.size()) return false;
    for (; k < held.size(); ++k) {
        if (held[k] != full[k + 1]) return false;
    }
    return true;
}

// 260 records, past the first growth step: one-line texts, three-line texts whose
// continuation lines look like records, properties, moves and X records.
std::u16string FailureFile() {
    std::u16string text = PlainHeader();
    for (int k = 0; k < 260; ++k) {
        std::u16string number = Wide(std::to_string(k));
        switch (k % 5) {
        case 0: text += u"1,C,T,001" + number + u",001," + number + u",0,one\r\n"; break;
        case 1:
            text += u"3,A,T,001,002" + number + u"," + number + u",-1,a\n1,D,T,9,9,9,9,\nc\r\n";
            break;
        case 2: text += u"1,M,M,001009,001002,2," + number + u",001008,001002\r\n"; break;
        case 3: text += u"1,X,P,001,001001," + number + u",1,name,value\r\n"; break;
        default: text += u"1,D,D,001,001," + number + u",-1,\r\n"; break;
        }
    }
    return text;
}

}  // namespace

TEST(CompareReadFailure, EveryRefusedAllocationDropsOneRecordOrStopsTheRead) {
    SeamOff seamOff;
    ScratchFolder scratch;
    std::string path = scratch.File("failing.cmp");
    WriteCompareText(path, FailureFile());
    CompareList list;

    for (uint32_t modeWord : {1u, 2u}) {
        FailCheckedAllocationAt(0);
        LoadCompareFile(list, path, modeWord);
        uint32_t requests = CheckedAllocationRequests();
        std::vector<std::string> full = Held(list);
        ASSERT_EQ(full.size(), modeWord == 1 ? 208u : 260u);
        list.ClearCompareList();

        for (uint32_t failAt = 1; failAt <= requests + 1; ++failAt) {
            MessageBoxRecorder boxes;
            FailCheckedAllocationAt(failAt);
            uint16_t count = LoadCompareFile(list, path, modeWord);
            FailCheckedAllocationAt(0);
            std::string where = "mode " + std::to_string(modeWord) + ", allocation " +
                                std::to_string(failAt) + " of " + std::to_string(requests);
            std::vector<std::string> held = Held(list);
            EXPECT_EQ(count, held.size()) << where;
            if (failAt > requests) {
                // Past the last request nothing fails: the whole list, and no warning.
                EXPECT_EQ(held, full) << where;
                EXPECT_TRUE(boxes.Boxes().empty()) << where << "\n" << boxes.Lines();
                continue;
            }
            ASSERT_TRUE(LostOneOrStopped(held, full))
                << where << ": " << held.size() << " records held";
            // A list that lost a record says so, so that no reader takes it for the whole.
            if (held != full) {
                EXPECT_FALSE(list.IsComplete()) << where;
            }
            ASSERT_EQ(boxes.Boxes().size(), 1u) << where << "\n" << boxes.Lines();
            EXPECT_EQ(boxes.Boxes()[0].title,
                      "Warning: Insufficient memory (heap space) is available.");
            EXPECT_EQ(boxes.Boxes()[0].text, "Corvane -  Information");
            list.ClearCompareList();
        }
    }
}
