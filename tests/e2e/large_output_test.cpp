// tests/e2e/large_output_test.cpp
//
// Outputs past the sizes that 16-bit numbers and short lines hold, through real files: a
// compare file of more than 65,535 records, a text of ten megabytes, a merge of more than
// 65,535 conflicts. Nothing of them may be lost while the call answers success.
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

std::string Described(const std::string& path) {
    OutlineNode root;
    EXPECT_TRUE(ReadOutlineFile(path, &root)) << path;
    return DescribeOutline(root, 0);
}

// Builds first against second, then applies the compare file to second: the result must be
// the first outline again. Answers the compare file's path.
std::string BuildAndApply(const ScratchFolder& scratch, const OutlineNode& first,
                          const OutlineNode& second) {
    WriteOutlineFile(scratch.File("first.outline"), first);
    WriteOutlineFile(scratch.File("second.outline"), second);
    EXPECT_EQ(DIF_Build(scratch.WideFile("first.outline").c_str(),
                        scratch.WideFile("second.outline").c_str(),
                        scratch.WideFile("changes.cmp").c_str(), nullptr, 0, DIF_OPT_FDFM),
              0);
    EXPECT_EQ(DIF_Apply(scratch.WideFile("second.outline").c_str(),
                        scratch.WideFile("changes.cmp").c_str(),
                        scratch.WideFile("applied.outline").c_str(), nullptr, 0),
              0);
    EXPECT_EQ(FirstDifference(Described(scratch.File("first.outline")),
                              Described(scratch.File("applied.outline"))),
              "");
    return scratch.File("changes.cmp");
}

}  // namespace

TEST(LargeOutputs, ApplyCarriesEveryRecordAndTheViewerSaysItHoldsPart) {
    ScratchFolder scratch;
    // 300 sections of 250 changed items: 75,000 records.
    std::string comparePath =
        BuildAndApply(scratch, Sections(300, 250, u" changed"), Sections(300, 250, u""));
    uint16_t count = 0;
    EXPECT_EQ(DIF_CompareLoad(Wide(comparePath).c_str(), &count), DIF_LOAD_PARTIAL);
    EXPECT_EQ(count, 65535);
    EXPECT_EQ(DIF_CompareCount(u" ", u" "), 65535);
    DIF_CompareUnload();
}

TEST(LargeOutputs, ATextOfTenMegabytesIsOneRecord) {
    ScratchFolder scratch;
    OutlineNode first = Sections(1, 2, u"");
    OutlineNode second = first;
    first.children[0].children[1].text = std::u16string(10 << 20, u'y') + u",1,A,T,001,001,5,0,x";
    second.children[0].children[1].text = std::u16string(10 << 20, u'y');
    std::string comparePath = BuildAndApply(scratch, first, second);
    uint16_t count = 0;
    EXPECT_EQ(DIF_CompareLoad(Wide(comparePath).c_str(), &count), 1);
    EXPECT_EQ(count, 1);
    DIF_CompareUnload();
}

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
