// tests/comparefile/compare_list_test.cpp
//
// The list's limits of growth and size. What the writer writes the reader gives back is held
// by the compare file goldens, the read folders and the apply round trip.
#include <gtest/gtest.h>

#include "comparefile/compare_list.h"
#include "comparefile/record_writer.h"
#include "include/norvex63.h"
#include "tests/comparefile/compare_file_fixture.h"
#include "tests/helpers/test_support.h"

TEST(CompareList, ArraysGrowBy255AndHoldAtMost65535Records) {
    ScratchFolder scratch;
    std::string path = scratch.File("many.cmp");
    CompareList list;
    auto writeMany = [&](int32_t count) {
        CompareList writer;
        ASSERT_TRUE(writer.OpenCompareFile(Wide(path).c_str(), u"wb", DIF_OPT_RDFA));
        WriteCompareHeader(writer, u"cmpnt", u"cmpnt");
        for (int32_t k = 0; k < count; ++k) {
            WriteCompareRecord(writer, u'C', u'T', u"001", u"001", k, 0, u"");
        }
        ASSERT_TRUE(writer.CloseCompareFile());
    };

    const std::pair<int32_t, uint16_t> growth[] = {{0, 0}, {1, 255}, {255, 255}, {256, 510}};
    for (const auto& step : growth) {
        writeMany(step.first);
        EXPECT_EQ(LoadCompareFile(list, path, 2), step.first);
        EXPECT_EQ(list.Capacity(), step.second) << step.first << " records";
        EXPECT_EQ(list.FirstValue(static_cast<uint16_t>(step.first - 1)),
                  step.first == 0 ? 0 : step.first - 1);
    }

    // Past the limit, records are dropped and reading stops; the count does not wrap.
    EXPECT_TRUE(list.IsComplete());
    writeMany(65600);
    EXPECT_EQ(LoadCompareFile(list, path, 2), 65535u);
    EXPECT_FALSE(list.IsComplete());
    EXPECT_EQ(list.Count(), 65535u);
    EXPECT_EQ(list.Capacity(), 65535u);
    EXPECT_EQ(list.FirstValue(65534), 65534);
    EXPECT_EQ(list.FirstOrder(65534), 65534u);

    // Clearing releases everything and leaves the list ready for the next file.
    list.ClearCompareList();
    EXPECT_TRUE(list.IsComplete());
    EXPECT_EQ(list.Count(), 0u);
    EXPECT_EQ(list.Capacity(), 0u);
    EXPECT_EQ(list.FirstKey(0), nullptr);
    EXPECT_EQ(list.ChangeLetter(0), u'.');
    writeMany(3);
    EXPECT_EQ(LoadCompareFile(list, path, 2), 3u);
}
