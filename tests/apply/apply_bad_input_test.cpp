// tests/apply/apply_bad_input_test.cpp
//
// An apply given a compare file of another outline or a cut one still ends with a saved,
// readable outline and never crashes. (Records that do not fit the outline are the apply
// golden records-that-do-not-fit, a viewer's compare file the build golden view-mode-applied.)
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "include/norvex63.h"
#include "tests/helpers/outline_tree.h"
#include "tests/helpers/test_support.h"

namespace {

uint16_t Apply(const ScratchFolder& scratch, const std::string& outline, const std::string& compare,
               const std::string& output) {
    return DIF_Apply(scratch.WideFile(outline).c_str(), scratch.WideFile(compare).c_str(),
                     scratch.WideFile(output).c_str(), nullptr, 0);
}

// The outlines of a build that exercises every record kind: changes, deletes, adds with
// their subtrees, moves and contents.
const char kFirst[] =
    "OUTLINE 1\n174 \"top\"\n  9 \"c\"\n    @101 \"red\"\n    %\"Author\" \"kim\"\n"
    "  9 \"a\"\n    $39 5\n  9 \"b changed\"\n  12 \"added\"\n    9 \"inside\"\n"
    "      @101 \"x\"\n  9 \"d\"\n";
const char kSecond[] =
    "OUTLINE 1\n174 \"top\"\n  9 \"a\"\n    $39 7\n  9 \"b\"\n  9 \"gone\"\n  9 \"c\"\n"
    "    @101 \"blue\"\n    %\"Author\" \"kim\"\n    %\"Note\" \"n\"\n  9 \"d\"\n";
const uint32_t kAllContents =
    DIF_OPT_FDFM | DIF_OPT_ATTRIBUTES | DIF_OPT_PROPERTIES | DIF_OPT_DTDATA;

// Builds kFirst against kSecond into name with options.
void BuildCompareFile(const ScratchFolder& scratch, const std::string& name, uint32_t options) {
    WriteFileBytes(scratch.File("first.outline"), kFirst);
    WriteFileBytes(scratch.File("second.outline"), kSecond);
    ASSERT_EQ(DIF_Build(scratch.WideFile("first.outline").c_str(),
                        scratch.WideFile("second.outline").c_str(), scratch.WideFile(name).c_str(),
                        nullptr, 0, options),
              0);
}

}  // namespace

TEST(ApplyBadInput, CompareFilesOfOtherOutlinesNeverCrash) {
    ScratchFolder scratch;
    std::vector<std::string> outlines, compareFiles;
    const char* const kInputs[][3] = {{"apply", "/outline.outline", "/changes.cmp"},
                                      {"build", "/first.outline", "/expected.cmp"}};
    for (const auto& [area, outline, compare] : kInputs) {
        for (const std::string& scenario : ListScenarios(area)) {
            // A scenario whose inputs do not open (its status says so) has none to lend.
            const std::string status = ScenarioText(area, scenario, "status.txt");
            if (!status.empty() && (std::stoul(status, nullptr, 0) & 0x7) != 0) continue;
            outlines.push_back(TestDataPath(area + ("/" + scenario) + outline));
            compareFiles.push_back(TestDataPath(area + ("/" + scenario) + compare));
        }
    }
    MessageBoxRecorder boxes;
    for (const std::string& outline : outlines) {
        for (const std::string& compare : compareFiles) {
            std::remove(scratch.File("out.outline").c_str());
            uint16_t status = DIF_Apply(Wide(outline).c_str(), Wide(compare).c_str(),
                                        scratch.WideFile("out.outline").c_str(), nullptr, 0);
            OutlineNode result;
            EXPECT_EQ(status, 0) << compare << " on " << outline;
            EXPECT_TRUE(ReadOutlineFile(scratch.File("out.outline"), &result))
                << compare << " on " << outline;
        }
    }
}

TEST(ApplyBadInput, ACompareFileCutAnywhereStillGivesAReadableOutline) {
    ScratchFolder scratch;
    BuildCompareFile(scratch, "whole.cmp", kAllContents);
    const std::string whole = ReadFileBytes(scratch.File("whole.cmp"));
    MessageBoxRecorder boxes;
    ASSERT_EQ(Apply(scratch, "second.outline", "whole.cmp", "out.outline"), 0);
    // The first outline again, but for the property that only the second had: a delete record
    // of a content is never applied.
    std::string expected = kFirst;
    expected.insert(expected.find("  9 \"a\""), "    %\"Note\" \"n\"\n");
    EXPECT_EQ(ReadFileBytes(scratch.File("out.outline")), expected);
    for (size_t length = 0; length < whole.size(); length += 3) {
        WriteFileBytes(scratch.File("cut.cmp"), whole.substr(0, length));
        std::remove(scratch.File("out.outline").c_str());
        ASSERT_EQ(Apply(scratch, "second.outline", "cut.cmp", "out.outline"), 0)
            << "cut at " << length;
        OutlineNode result;
        ASSERT_TRUE(ReadOutlineFile(scratch.File("out.outline"), &result)) << "cut at " << length;
    }
}
