// tests/e2e/build_golden_test.cpp
//
// Whole builds through real files: each scenario folder under tests/data/build holds two
// outlines, the option word, the expected status and the expected compare file, byte for
// byte, with a one-line why.txt. A boxes.txt lists the message boxes that each run must show,
// one "title | text" a line; without it no box may be shown. A records.txt holds the number of
// records the build counts (what DIF_BuildGetSection answers), which also counts records that
// the file of a viewer leaves out. Where the folder holds an
// applied.outline, the compare file is then applied to the second outline and must give that
// outline byte for byte (most often the first outline itself). The outlines are copied into a
// scratch folder with fixed modification times and compared under a fixed time zone, so the
// header's dates never vary.
#include <utime.h>

#include <gtest/gtest.h>

#include <string>

#include "include/norvex63.h"
#include "tests/helpers/test_support.h"

namespace {

constexpr time_t kFixedFileTime = 1700000000;  // Tue Nov 14 22:13:20 2023 UTC

void CopyWithFixedTime(const std::string& scenario, const std::string& name,
                       const std::string& target) {
    WriteFileBytes(target, ReadFileBytes(TestDataPath("build/" + scenario + "/" + name)));
    struct utimbuf times = {kFixedFileTime, kFixedFileTime};
    utime(target.c_str(), &times);
}

class BuildGolden : public ::testing::TestWithParam<std::string> {};

}  // namespace

TEST_P(BuildGolden, WritesTheExpectedCompareFile) {
    const std::string scenario = GetParam();
    const std::string why = ScenarioText("build", scenario, "why.txt");
    FixedTimeZone utc("UTC");
    ScratchFolder scratch;
    CopyWithFixedTime(scenario, "first.outline", scratch.File("first.outline"));
    CopyWithFixedTime(scenario, "second.outline", scratch.File("second.outline"));
    uint32_t options = static_cast<uint32_t>(
        std::stoul(ScenarioText("build", scenario, "options.txt"), nullptr, 0));
    std::string statusText = ScenarioText("build", scenario, "status.txt");
    int expectedStatus = statusText.empty() ? 0 : std::stoi(statusText, nullptr, 0);

    MessageBoxRecorder boxes;
    // Relative names, so that the header holds the same names wherever the scratch folder is.
    WorkingDirectory inScratch(scratch.Path());
    std::string expectedBoxes = ScenarioText("build", scenario, "boxes.txt");
    for (int run = 0; run < 2; ++run) {  // state left by one build must not change the next
        boxes.Clear();
        uint16_t status =
            DIF_Build(u"first.outline", u"second.outline", u"result.cmp", nullptr, 0, options);
        EXPECT_EQ(status, expectedStatus) << scenario << ": " << why;
        std::string difference = CompareWithGolden("build", scenario, "expected.cmp",
                                                   ReadFileBytes(scratch.File("result.cmp")), true);
        EXPECT_EQ(difference, "") << scenario << " (run " << run << "): " << why;
        std::string shownBoxes;
        for (const MessageBoxRecorder::Box& box : boxes.Boxes()) {
            shownBoxes += (shownBoxes.empty() ? "" : "\n") + box.title + " | " + box.text;
        }
        EXPECT_EQ(shownBoxes, expectedBoxes) << scenario << " (run " << run << ")";
        std::string expectedRecords = ScenarioText("build", scenario, "records.txt");
        uint32_t records = 0;
        DIF_BuildGetSection(nullptr, 0, &records, nullptr);
        if (!expectedRecords.empty()) {
            EXPECT_EQ(records, std::stoul(expectedRecords)) << scenario << ": " << why;
        }
    }
    const std::string appliedPath = TestDataPath("build/" + scenario + "/applied.outline");
    if (!FileExists(appliedPath)) return;
    EXPECT_EQ(DIF_Apply(u"second.outline", u"result.cmp", u"applied.outline", nullptr, 0), 0)
        << scenario << ": " << why;
    EXPECT_EQ(ReadFileBytes(scratch.File("applied.outline")), ReadFileBytes(appliedPath))
        << scenario << ": the applied outline differs; " << why;
}

INSTANTIATE_TEST_SUITE_P(Scenarios, BuildGolden, ::testing::ValuesIn(ListScenarios("build")),
                         [](const ::testing::TestParamInfo<std::string>& scenario) {
                             std::string name = scenario.param;
                             for (char& letter : name) {
                                 if (!isalnum(static_cast<unsigned char>(letter))) letter = '_';
                             }
                             return name;
                         });
