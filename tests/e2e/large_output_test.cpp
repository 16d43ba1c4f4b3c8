// tests/e2e/large_output_test.cpp
//
// A merge of more than 65,535 conflicts, past what a 16-bit count holds, through real files.
// (More records than the viewer holds are the command scenario viewer-limit; long texts and
// keys are the build behaviour test's and the compare reader's.)
#include <gtest/gtest.h>

#include <string>

#include "include/norvex63.h"
#include "tests/helpers/outline_tree.h"
#include "tests/helpers/test_support.h"

namespace {

// A top item over sections of items whose texts carry a mark: the same shape with two marks
// gives two outlines in which every item changed.
OutlineNode Sections(int sections, int items, const std::u16string& mark) {
    OutlineNode root;
    root.type = 174;
    root.text = u"top";
    for (int s = 0; s < sections; ++s) {
        OutlineNode section;
        section.text = u"section " + Wide(std::to_string(s));
        for (int k = 0; k < items; ++k) {
            OutlineNode item;
            item.text = u"item " + Wide(std::to_string(k)) + mark;
            section.children.push_back(item);
        }
        root.children.push_back(section);
    }
    return root;
}

}  // namespace

TEST(LargeOutputs, ConflictCountsPast65535StayAt65535) {
    ScratchFolder scratch;
    // 64 sections of 1,024 items, each changed differently in both versions: 65,536 conflicts,
    // which a count of 16 bits that wraps would report as none.
    WriteOutlineFile(scratch.File("original.outline"), Sections(64, 1024, u""));
    WriteOutlineFile(scratch.File("version1.outline"), Sections(64, 1024, u" one"));
    WriteOutlineFile(scratch.File("version2.outline"), Sections(64, 1024, u" two"));
    uint16_t conflicts = 0;
    uint16_t warnings = 0;
    EXPECT_EQ(
        DIF_Merge(scratch.WideFile("original.outline").c_str(),
                  scratch.WideFile("version1.outline").c_str(),
                  scratch.WideFile("version2.outline").c_str(),
                  scratch.WideFile("merged.outline").c_str(), nullptr, 0, 0, &conflicts, &warnings),
        0);
    EXPECT_EQ(conflicts, 65535);
    uint32_t running = 0;
    DIF_BuildGetSection(nullptr, 0, &running, nullptr);
    EXPECT_EQ(running, 65536u);
}
