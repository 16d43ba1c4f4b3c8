// tests/apply/apply_bad_input_test.cpp
//
// An apply given a compare file of another outline or a cut one still ends with a saved,
// readable outline and never crashes. (Records that do not fit the outline are the apply
// golden records-that-do-not-fit, a viewer's compare file the build golden view-mode-applied,
// delete records of contents, which are never applied, the apply golden delete-of-contents.)
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "include/norvex63.h"
#include "tests/helpers/outline_tree.h"
#include "tests/helpers/test_support.h"

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
    // Build goldens that together hold every record kind: changes, deletes, adds with their
    // subtrees and X records, moves, and every kind of content.
    ScratchFolder scratch;
    MessageBoxRecorder boxes;
    for (const std::string scenario :
         {"contents", "contents-below-added", "move-with-insert-delete"}) {
        const std::string folder = "build/" + scenario + "/";
        const std::string whole = ReadFileBytes(TestDataPath(folder + "expected.cmp"));
        const std::u16string outline = Wide(TestDataPath(folder + "second.outline"));
        for (size_t length = 0; length < whole.size(); length += 3) {
            WriteFileBytes(scratch.File("cut.cmp"), whole.substr(0, length));
            std::remove(scratch.File("out.outline").c_str());
            const std::string where = scenario + " cut at " + std::to_string(length);
            ASSERT_EQ(DIF_Apply(outline.c_str(), scratch.WideFile("cut.cmp").c_str(),
                                scratch.WideFile("out.outline").c_str(), nullptr, 0),
                      0)
                << where;
            OutlineNode result;
            ASSERT_TRUE(ReadOutlineFile(scratch.File("out.outline"), &result)) << where;
        }
    }
}
