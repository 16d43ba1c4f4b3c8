// tests/e2e/merge_golden_test.cpp
//
// Whole merges through real files: each scenario folder under tests/data/merge holds an
// original, two versions, the option word, the expected status and counts, and the expected
// merged outline, byte for byte, with a one-line why.txt. A boxes.txt lists the message boxes
// that each run must show, one "title | text" a line; without it no box may be shown.
#include <gtest/gtest.h>

#include <string>

#include "include/norvex63.h"
#include "tests/helpers/test_support.h"

namespace {

class MergeGolden : public ::testing::TestWithParam<std::string> {};

}  // namespace

TEST_P(MergeGolden, SavesTheExpectedMergedOutline) {
    const std::string scenario = GetParam();
    const std::string why = ScenarioText("merge", scenario, "why.txt");
    ScratchFolder scratch;
    for (const char* name : {"base.outline", "version1.outline", "version2.outline"}) {
        WriteFileBytes(scratch.File(name),
                       ReadFileBytes(TestDataPath("merge/" + scenario + "/" + name)));
    }
    std::string optionsText = ScenarioText("merge", scenario, "options.txt");
    uint32_t options =
        optionsText.empty() ? 0 : static_cast<uint32_t>(std::stoul(optionsText, nullptr, 0));
    std::string statusText = ScenarioText("merge", scenario, "status.txt");
    int expectedStatus = statusText.empty() ? 0 : std::stoi(statusText, nullptr, 0);
    std::string expectedCounts = ScenarioText("merge", scenario, "counts.txt");
    if (expectedCounts.empty()) expectedCounts = "0 0";

    std::string expectedBoxes = ScenarioText("merge", scenario, "boxes.txt");
    MessageBoxRecorder boxes;
    // Relative names: the versions' labels hold the same names wherever the folder is.
    WorkingDirectory inScratch(scratch.Path());
    for (int run = 0; run < 2; ++run) {  // state left by one merge must not change the next
        uint16_t conflicts = 99, warnings = 99;
        uint16_t status = DIF_Merge(u"base.outline", u"version1.outline", u"version2.outline",
                                    u"merged.outline", nullptr, 0, options, &conflicts, &warnings);
        EXPECT_EQ(status, expectedStatus) << scenario << ": " << why;
        EXPECT_EQ(std::to_string(conflicts) + " " + std::to_string(warnings), expectedCounts)
            << scenario << ": " << why;
        std::string shownBoxes;
        for (const MessageBoxRecorder::Box& box : boxes.Boxes()) {
            shownBoxes += (shownBoxes.empty() ? "" : "\n") + box.title + " | " + box.text;
        }
        EXPECT_EQ(shownBoxes, expectedBoxes) << scenario << " (run " << run << ")";
        boxes.Clear();
        if (expectedStatus != 0) {
            // A merge that did not end well leaves no output behind.
            EXPECT_FALSE(FileExists(scratch.File("merged.outline"))) << scenario << ": " << why;
        } else {
            EXPECT_EQ(CompareWithGolden("merge", scenario, "expected.outline",
                                        ReadFileBytes(scratch.File("merged.outline"))),
                      "")
                << scenario << " (run " << run << "): " << why;
        }
        std::remove(scratch.File("merged.outline").c_str());
    }
}

INSTANTIATE_TEST_SUITE_P(Scenarios, MergeGolden, ::testing::ValuesIn(ListScenarios("merge")),
                         [](const ::testing::TestParamInfo<std::string>& scenario) {
                             std::string name = scenario.param;
                             for (char& letter : name) {
                                 if (!isalnum(static_cast<unsigned char>(letter))) letter = '_';
                             }
                             return name;
                         });
