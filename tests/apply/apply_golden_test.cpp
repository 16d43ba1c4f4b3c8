// tests/apply/apply_golden_test.cpp
//
// Whole applies through real files: each folder under tests/data/apply holds an outline, a
// compare file written by hand, the outline expected byte for byte, the progress reports and
// the warning boxes expected, and a one-line why.txt.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "include/norvex63.h"
#include "support/run_state.h"
#include "tests/helpers/test_support.h"

namespace {

constexpr UINT kProgressMessage = 0x401;
std::vector<std::pair<int, std::string>> g_reports;

LRESULT CALLBACK RecordProgress(HWND, UINT message, WPARAM percent, LPARAM) {
    if (message == kProgressMessage) {
        g_reports.emplace_back(static_cast<int>(percent), Narrow(g_runState.lastText));
    }
    return 0;
}

std::string ReportLines() {
    std::string lines;
    for (const auto& report : g_reports) {
        lines += std::to_string(report.first) + " " + report.second + "\n";
    }
    return lines;
}

// One line per box: its title, a bar, its text. Boxes without OK only, or with an owner,
// say so.
std::string BoxLines(const MessageBoxRecorder& boxes) {
    std::string lines;
    for (const auto& box : boxes.Boxes()) {
        lines += box.title + "|" + box.text;
        if (box.type != MB_OK || box.hadOwner) lines += " (not a plain OK box)";
        lines += "\n";
    }
    return lines;
}

class ApplyGolden : public ::testing::TestWithParam<std::string> {};

}  // namespace

TEST_P(ApplyGolden, SavesTheExpectedOutline) {
    const std::string scenario = GetParam();
    const std::string why = ScenarioText("apply", scenario, "why.txt");
    ScratchFolder scratch;
    for (const char* name : {"outline.outline", "changes.cmp"}) {
        WriteFileBytes(scratch.File(name),
                       ReadFileBytes(TestDataPath("apply/" + scenario + "/" + name)));
    }
    HWND window = CreateCallbackWindow(RecordProgress);
    MessageBoxRecorder boxes;
    WorkingDirectory inScratch(scratch.Path());
    for (int run = 0; run < 2; ++run) {  // what one apply leaves must not change the next
        g_reports.clear();
        boxes.Clear();
        g_runState.lastPercent = kNoPercentSent;
        uint16_t status = DIF_Apply(u"outline.outline", u"changes.cmp", u"result.outline", window,
                                    kProgressMessage);
        EXPECT_EQ(status, 0) << scenario << ": " << why;
        EXPECT_EQ(CompareWithGolden("apply", scenario, "expected.outline",
                                    ReadFileBytes(scratch.File("result.outline"))),
                  "")
            << scenario << " (run " << run << "): " << why;
        EXPECT_EQ(CompareWithGolden("apply", scenario, "progress.txt", ReportLines()), "")
            << scenario << " (run " << run << ")";
        EXPECT_EQ(CompareWithGolden("apply", scenario, "boxes.txt", BoxLines(boxes)), "")
            << scenario << " (run " << run << ")";
    }
    DestroyCallbackWindow(window);
}

INSTANTIATE_TEST_SUITE_P(Scenarios, ApplyGolden, ::testing::ValuesIn(ListScenarios("apply")),
                         [](const ::testing::TestParamInfo<std::string>& scenario) {
                             std::string name = scenario.param;
                             for (char& letter : name) {
                                 if (!isalnum(static_cast<unsigned char>(letter))) letter = '_';
                             }
                             return name;
                         });
