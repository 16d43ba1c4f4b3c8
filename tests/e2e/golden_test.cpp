// tests/e2e/golden_test.cpp
//
// Whole builds, applies and merges through real files: one scenario folder each under
// tests/data/build, tests/data/apply and tests/data/merge, with a one-line why.txt. The inputs
// are copied into a scratch folder with fixed modification times and named relatively under a
// fixed time zone, so that headers and labels never vary. Each scenario runs twice, since state
// left by one call must not change the next; before the second run an abort is asked outside
// any call, which a build or merge must forget, and a merge gets no count pointers. A build or
// merge runs a third time with the plain walks of its rules in place of its tables and indexes,
// which must write the same.
//
// Besides its inputs (first/second.outline; outline.outline and changes.cmp; base, version1
// and version2.outline; an input the folder lacks is missing for the call too) a folder may
// hold:
//   options.txt   the option word (0 when absent)     status.txt  the status (0 when absent)
//   expected.cmp  the compare file of a build          expected.outline  an apply's or merge's
//   boxes.txt     the message boxes, one "title | text" a line; without it none may be shown
//   progress.txt  the window's messages, one "percent text" a line
//   abort.txt     the progress text on which the window asks for an abort
//   counts.txt    a merge's conflicts and warnings ("0 0" when absent), which must number the
//                 result's comments 1 to n
//   records.txt   the records a build counts, the ones a viewer's file leaves out included
//   applied.outline  what the build's compare file applied to second.outline must give
//   object.txt    makes the call one on outlines the caller holds open (DIF_BuildObject, named
//                 "a" and "b"; DIF_MergeObjects, version 1 labelled "one", version 2 not), over
//                 the children of the root's child of that number; afterwards each outline
//                 must still save, the first as the call left it (a merge's result, a build's
//                 input) and the others as read
// An apply or merge with a status other than 0 (but for a merge's abort) must leave no output.
#include <utime.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "include/norvex63.h"
#include "outline/outline_runtime.h"
#include "support/run_state.h"
#include "tests/helpers/test_support.h"
#include "tests/merge/merge_test_support.h"

namespace {

constexpr time_t kFixedFileTime = 1700000000;  // Tue Nov 14 22:13:20 2023 UTC
constexpr UINT kProgressMessage = 0x401;

std::string g_progress;
std::string g_abortOnText;

LRESULT CALLBACK RecordProgress(HWND, UINT message, WPARAM percent, LPARAM) {
    if (message != kProgressMessage) return 0;
    DIF_CHAR text[kLastTextSize];
    DIF_BuildGetSection(text, kLastTextSize, nullptr, nullptr);
    g_progress += std::to_string(percent) + " " + Narrow(text) + "\n";
    if (!g_abortOnText.empty() && Narrow(text) == g_abortOnText) DIF_BuildAbort();
    return 0;
}

// One scenario of an area: its inputs in a scratch folder that is the working directory, and
// the checks every area shares.
class Scenario {
public:
    Scenario(const std::string& area, const std::string& name,
             std::initializer_list<const char*> inputs)
        : area_(area), name_(name), inputs_(inputs), inScratch_(scratch_.Path()) {
        for (const char* input : inputs) {
            if (!Has(input)) continue;
            std::string target = scratch_.File(input);
            WriteFileBytes(target, ReadFileBytes(TestDataPath(area + "/" + name + "/" + input)));
            struct utimbuf times = {kFixedFileTime, kFixedFileTime};
            utime(target.c_str(), &times);
        }
        why_ = name + ": " + Text("why.txt");
        options = Number("options.txt");
        status = static_cast<uint16_t>(Number("status.txt"));
        g_abortOnText = Text("abort.txt");
        watched_ = Has("progress.txt") || !g_abortOnText.empty();
        window = watched_ ? CreateCallbackWindow(RecordProgress) : nullptr;
    }
    ~Scenario() {
        UsePlainWalksForTesting(false);
        if (window != nullptr) DestroyCallbackWindow(window);
    }

    std::string Text(const char* file) const { return ScenarioText(area_, name_, file); }
    uint32_t Number(const char* file) const {
        std::string text = Text(file);
        return text.empty() ? 0 : static_cast<uint32_t>(std::stoul(text, nullptr, 0));
    }
    const std::string& Why() const { return why_; }
    std::string Output(const char* name) const { return ReadFileBytes(scratch_.File(name)); }
    std::string Golden(const char* file) const {
        return ReadFileBytes(TestDataPath(area_ + "/" + name_ + "/" + file));
    }
    bool Has(const char* file) const {
        return FileExists(TestDataPath(area_ + "/" + name_ + "/" + file));
    }

    // Before each run: the abort asked outside a call (run 1, where the call must forget it),
    // the plain walks chosen for run 2, and the progress so far cleared.
    void StartRun(int run, bool abortBefore) {
        if (run == 1 && abortBefore) DIF_BuildAbort();
        UsePlainWalksForTesting(run == 2);
        g_progress.clear();
        g_runState.lastPercent = kNoPercentSent;
        boxes_.Clear();
    }
    // After each run: the status, the output against its golden file (none: no output at all),
    // the boxes and progress.
    void CheckRun(int run, uint16_t answered, const char* output, const char* golden,
                  bool utf16 = false) {
        EXPECT_EQ(answered, status) << Why();
        if (golden != nullptr) {
            EXPECT_EQ(CompareWithGolden(area_, name_, golden, Output(output), utf16), "")
                << "run " << run << ", " << Why();
        } else {
            EXPECT_FALSE(FileExists(output)) << "run " << run << ", " << Why();
        }
        EXPECT_EQ(boxes_.Lines(), Text("boxes.txt")) << "run " << run << ", " << Why();
        if (watched_) {
            EXPECT_EQ(CompareWithGolden(area_, name_, "progress.txt", g_progress), "")
                << "run " << run << ", " << Why();
        }
    }

    // For an object call: each input opened, with the item whose children the call covers.
    std::vector<std::pair<OutlineHandle, ItemHandle>> OpenObjects() const {
        std::vector<std::pair<OutlineHandle, ItemHandle>> held;
        for (const char* input : inputs_) {
            OutlineHandle outline = OpenOutline(Wide(input).c_str());
            ItemHandle item = GetFirstChild(outline, GetRootItem(outline));
            for (uint32_t k = 1; k < Number("object.txt"); ++k)
                item = GetNextSibling(outline, item);
            held.emplace_back(outline, item);
        }
        return held;
    }
    // After an object call: the outlines are still the caller's, open and saving.
    void CloseObjects(const std::vector<std::pair<OutlineHandle, ItemHandle>>& held,
                      const char* firstSavesAs) {
        for (size_t k = 0; k < held.size(); ++k) {
            EXPECT_NE(SaveOutline(held[k].first, u"again.outline"), 0) << Why();
            EXPECT_EQ(Output("again.outline"), Golden(k == 0 ? firstSavesAs : inputs_[k]))
                << inputs_[k] << " saved again; " << Why();
            CloseOutline(held[k].first);
        }
    }

    uint32_t options = 0;
    uint16_t status = 0;
    HWND window = nullptr;

private:
    std::string area_, name_, why_;
    std::vector<const char*> inputs_;
    ScratchFolder scratch_;
    WorkingDirectory inScratch_;
    MessageBoxRecorder boxes_;
    bool watched_ = false;
};

class BuildGolden : public ::testing::TestWithParam<std::string> {};
class ApplyGolden : public ::testing::TestWithParam<std::string> {};
class MergeGolden : public ::testing::TestWithParam<std::string> {};

}  // namespace

TEST_P(BuildGolden, WritesTheExpectedCompareFile) {
    Scenario scenario("build", GetParam(), {"first.outline", "second.outline"});
    for (int run = 0; run < 3; ++run) {
        scenario.StartRun(run, true);
        uint16_t status = 0;
        if (scenario.Has("object.txt")) {
            auto held = scenario.OpenObjects();
            status = DIF_BuildObject(u"a", held[0].first, held[0].second, u"b", held[1].first,
                                     held[1].second, u"result.cmp", scenario.window,
                                     kProgressMessage, scenario.options);
            scenario.CloseObjects(held, "first.outline");
        } else {
            status = DIF_Build(u"first.outline", u"second.outline", u"result.cmp", scenario.window,
                               kProgressMessage, scenario.options);
        }
        scenario.CheckRun(run, status, "result.cmp", "expected.cmp", true);
        if (scenario.Has("records.txt")) {
            uint32_t records = 0;
            DIF_BuildGetSection(nullptr, 0, &records, nullptr);
            EXPECT_EQ(records, scenario.Number("records.txt")) << scenario.Why();
        }
    }
    if (!scenario.Has("applied.outline")) return;
    EXPECT_EQ(DIF_Apply(u"second.outline", u"result.cmp", u"applied.outline", nullptr, 0), 0)
        << scenario.Why();
    EXPECT_EQ(scenario.Output("applied.outline"), scenario.Golden("applied.outline"))
        << "the applied outline differs; " << scenario.Why();
}

TEST_P(ApplyGolden, SavesTheExpectedOutline) {
    Scenario scenario("apply", GetParam(), {"outline.outline", "changes.cmp"});
    for (int run = 0; run < 2; ++run) {
        scenario.StartRun(run, false);
        uint16_t status = DIF_Apply(u"outline.outline", u"changes.cmp", u"result.outline",
                                    scenario.window, kProgressMessage);
        scenario.CheckRun(run, status, "result.outline",
                          scenario.status == 0 ? "expected.outline" : nullptr);
        std::remove("result.outline");
    }
}

TEST_P(MergeGolden, SavesTheExpectedMergedOutline) {
    Scenario scenario("merge", GetParam(),
                      {"base.outline", "version1.outline", "version2.outline"});
    std::string expectedCounts = scenario.Text("counts.txt");
    for (int run = 0; run < 3; ++run) {
        scenario.StartRun(run, true);
        uint16_t conflicts = 99, warnings = 99, status = 0;
        uint16_t* conflictsOut = run == 0 ? &conflicts : nullptr;
        uint16_t* warningsOut = run == 0 ? &warnings : nullptr;
        if (scenario.Has("object.txt")) {
            auto held = scenario.OpenObjects();
            status = DIF_MergeObjects(held[0].first, held[0].second, held[1].first, held[1].second,
                                      u"one", held[2].first, held[2].second, nullptr,
                                      u"merged.outline", scenario.window, kProgressMessage,
                                      scenario.options, conflictsOut, warningsOut);
            scenario.CloseObjects(held, "expected.outline");
        } else {
            status = DIF_Merge(u"base.outline", u"version1.outline", u"version2.outline",
                               u"merged.outline", scenario.window, kProgressMessage,
                               scenario.options, conflictsOut, warningsOut);
        }
        // An abort from the window still saves what was merged; any other failure saves nothing.
        bool saved = (scenario.status & ~DIF_ST_ABORTED) == 0;
        scenario.CheckRun(run, status, "merged.outline", saved ? "expected.outline" : nullptr);
        if (run == 0) {
            EXPECT_EQ(std::to_string(conflicts) + " " + std::to_string(warnings),
                      expectedCounts.empty() ? "0 0" : expectedCounts)
                << scenario.Why();
            // The counts are the numbered comments of what was saved, 1 to n with none missing.
            if (scenario.status == 0) {
                EXPECT_EQ(
                    CheckCommentNumbers(scenario.Output("merged.outline"), conflicts, warnings), "")
                    << scenario.Why();
            }
        }
        std::remove("merged.outline");
    }
}

const auto kTestName = [](const ::testing::TestParamInfo<std::string>& scenario) {
    return TestNameOf(scenario.param);
};
INSTANTIATE_TEST_SUITE_P(Scenarios, BuildGolden, ::testing::ValuesIn(ListScenarios("build")),
                         kTestName);
INSTANTIATE_TEST_SUITE_P(Scenarios, ApplyGolden, ::testing::ValuesIn(ListScenarios("apply")),
                         kTestName);
INSTANTIATE_TEST_SUITE_P(Scenarios, MergeGolden, ::testing::ValuesIn(ListScenarios("merge")),
                         kTestName);
