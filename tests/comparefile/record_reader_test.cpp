// tests/comparefile/record_reader_test.cpp
//
// Reading compare files that a build did not write the usual way: short or damaged files,
// headers with a marker too many or too few, lines and keys of any length, and the move
// records that a viewer and the apply read differently, as files under
// tests/data/comparefile/read.
#include "comparefile/record_reader.h"

#include <gtest/gtest.h>

#include "comparefile/compare_list.h"
#include "tests/comparefile/compare_file_fixture.h"
#include "tests/helpers/test_support.h"

// Each folder of tests/data/comparefile/read: input.cmp read with the mode word of mode.txt (1
// a viewer, 2 the apply), against expected.txt: the count and whether the list is whole, then
// each record as DescribeRecord gives it.
TEST(CompareReader, EveryFileOfTheReadFoldersGivesItsRecords) {
    const std::string area = "comparefile/read";
    for (const std::string& name : ListScenarios(area)) {
        CompareList list;
        RecordNumber answered = LoadCompareFile(
            list, TestDataPath(area + "/" + name + "/input.cmp"),
            static_cast<uint32_t>(std::stoul(ScenarioText(area, name, "mode.txt"))));
        std::string held =
            std::to_string(answered) + " records" + (list.IsComplete() ? "" : ", not whole") + "\n";
        for (uint16_t n = 0; n < list.Count(); ++n) held += DescribeRecord(list, n) + "\n";
        EXPECT_EQ(CompareWithGolden(area, name, "expected.txt", held), "")
            << name << ": " << ScenarioText(area, name, "why.txt");
    }
    // A file that cannot be opened reads nothing.
    CompareList list;
    ScratchFolder scratch;
    EXPECT_FALSE(list.OpenCompareFile(Wide(scratch.File("missing.cmp")).c_str(), u"rb", 2));
    EXPECT_EQ(ReadCompareRecords(list), 0u);
}
