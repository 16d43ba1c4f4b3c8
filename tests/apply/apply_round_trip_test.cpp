// tests/apply/apply_round_trip_test.cpp
//
// Build then apply must agree: for seeded random outlines A and versions B edited from them
// (RandomOutlinePair), applying the comparison of A with B to B gives A again.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "include/norvex63.h"
#include "tests/comparefile/compare_file_fixture.h"
#include "tests/helpers/outline_tree.h"
#include "tests/helpers/test_support.h"

namespace {

constexpr uint32_t kFirstSeed = 5100;
constexpr int kPairCount = 3000;
// Enough to see a pattern; more would only flood the log.
constexpr int kReportedFailures = 5;

}  // namespace

TEST(ApplyRoundTrip, ApplyingTheComparisonOfAWithBToBGivesA) {
    const uint32_t kContentOptions[] = {0, DIF_OPT_ATTRIBUTES, DIF_OPT_PROPERTIES, DIF_OPT_DTDATA,
                                        DIF_OPT_ATTRIBUTES | DIF_OPT_PROPERTIES | DIF_OPT_DTDATA};
    ScratchFolder scratch;
    const std::string first = scratch.File("a.outline"), second = scratch.File("b.outline");
    const std::string compare = scratch.File("ab.cmp"), output = scratch.File("out.outline");
    MessageBoxRecorder boxes;
    int failures = 0;
    for (int pair = 0; pair < kPairCount && failures < kReportedFailures; ++pair) {
        const uint32_t seed = kFirstSeed + pair;
        OutlineNode original, version;
        RandomOutlinePair(seed, &original, &version);
        // Both kinds without view mode carry every text and the X records.
        const uint32_t kind = pair % 2 == 0 ? DIF_OPT_FDFM : DIF_OPT_RDFA;
        const uint32_t options = kind | kContentOptions[pair / 2 % 5];

        // Fresh files each time: replacing a file, by rename or by truncation, makes some file
        // systems write it out at once, which would cost most of the test's time.
        for (const std::string& path : {first, second, compare, output}) std::remove(path.c_str());
        WriteOutlineFile(first, original);
        WriteOutlineFile(second, version);
        boxes.Clear();
        uint16_t built = DIF_Build(Wide(first).c_str(), Wide(second).c_str(), Wide(compare).c_str(),
                                   nullptr, 0, options);
        uint16_t applied = DIF_Apply(Wide(second).c_str(), Wide(compare).c_str(),
                                     Wide(output).c_str(), nullptr, 0);
        OutlineNode result;
        bool read = ReadOutlineFile(output, &result);
        std::string difference = read ? FirstDifference(DescribeOutline(original, options),
                                                        DescribeOutline(result, options))
                                      : "the output cannot be read";
        bool good = built == 0 && applied == 0 && difference.empty() && boxes.Boxes().empty();
        EXPECT_TRUE(good) << "seed " << seed << ", options 0x" << std::hex << options << std::dec
                          << ", build " << built << ", apply " << applied << ", boxes ["
                          << boxes.Lines() << "]: " << difference << "\nA:\n"
                          << OutlineFileText(original) << "B:\n"
                          << OutlineFileText(version) << "compare file:\n"
                          << Narrow(Utf16Text(ReadFileBytes(compare)));
        if (!good) ++failures;
    }
}
