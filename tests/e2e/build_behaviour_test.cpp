// tests/e2e/build_behaviour_test.cpp
//
// Builds whose interest is not one golden file: the messages a window receives, an abort from
// inside it, the item limit of each compare file kind, and shapes that break naive code (deep
// chains, huge texts, empty sections).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "include/norvex63.h"
#include "outline/outline_runtime.h"
#include "tests/helpers/test_support.h"

namespace {

constexpr uint16_t kProgressMessage = 0x8123;

struct Report {
    int percent;
    std::string text;
    bool operator==(const Report& other) const {
        return percent == other.percent && text == other.text;
    }
};
std::ostream& operator<<(std::ostream& out, const Report& report) {
    return out << "(" << report.percent << ", " << report.text << ")";
}

std::vector<Report> g_reports;
std::string g_abortOnText;

LRESULT CALLBACK RecordProgress(HWND, UINT, WPARAM percent, LPARAM) {
    DIF_CHAR text[161];
    DIF_BuildGetSection(text, 161, nullptr, nullptr);
    g_reports.push_back({static_cast<int>(percent), Narrow(text)});
    if (!g_abortOnText.empty() && Narrow(text) == g_abortOnText) DIF_BuildAbort();
    return 0;
}

// The records of a compare file (after its four header lines), one UTF-8 string per line.
std::vector<std::string> RecordLines(const std::string& path) {
    std::string bytes = ReadFileBytes(path);
    std::u16string wide;
    for (size_t k = 0; k + 1 < bytes.size(); k += 2) {
        wide.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[k]) |
                                             (static_cast<unsigned char>(bytes[k + 1]) << 8)));
    }
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t k = 0; k < wide.size(); ++k) {
        if (wide[k] == u'\n') {
            size_t end = k > start && wide[k - 1] == u'\r' ? k - 1 : k;
            lines.push_back(Narrow(wide.substr(start, end - start)));
            start = k + 1;
        }
    }
    if (lines.size() < 4) return {};
    return std::vector<std::string>(lines.begin() + 4, lines.end());
}

class BuildBehaviour : public ::testing::Test {
protected:
    void SetUp() override {
        g_reports.clear();
        g_abortOnText.clear();
        window_ = CreateCallbackWindow(RecordProgress);
    }
    void TearDown() override { DestroyCallbackWindow(window_); }

    uint16_t Build(const std::string& first, const std::string& second, uint32_t options) {
        WriteFileBytes(scratch_.File("first.outline"), first);
        WriteFileBytes(scratch_.File("second.outline"), second);
        return DIF_Build(
            scratch_.WideFile("first.outline").c_str(), scratch_.WideFile("second.outline").c_str(),
            scratch_.WideFile("result.cmp").c_str(), window_, kProgressMessage, options);
    }
    std::vector<std::string> Records() { return RecordLines(scratch_.File("result.cmp")); }

    ScratchFolder scratch_;
    MessageBoxRecorder boxes_;
    HWND window_ = nullptr;
};

// Levels 2 to 4 report: the root's grandchildren at level 2, their children at 3 and 4, where
// only units (type 4) are named.
const std::string kNestedOutline =
    "OUTLINE 1\n"
    "1 \"R\"\n"
    "  4 \"P1\"\n"
    "    9 \"x\"\n"
    "    9 \"y\"\n"
    "      9 \"w\"\n"
    "        9 \"v1\"\n"
    "        4 \"v2\"\n"
    "  4 \"P2\"\n"
    "    9 \"z\"\n";

std::string FlatOutline(int children, const std::string& lastText) {
    std::string text = "OUTLINE 1\n1 \"root\"\n";
    for (int k = 1; k < children; ++k) text += "  9 \"line " + std::to_string(k) + "\"\n";
    return text + "  9 \"" + lastText + "\"\n";
}

}  // namespace

TEST_F(BuildBehaviour, TheWindowSeesEveryStepOfTheNestedLevels) {
    ASSERT_EQ(Build(kNestedOutline, kNestedOutline, DIF_OPT_FDFM), 0);
    const std::vector<Report> expected = {
        {0, "Loading..."},
        {0, "Processing..."},
        {0, "Statement x"},
        {50, "Statement y"},
        {50, "Statement y:Statement w"},
        // v1 is no unit: at the last level its label is its parent's, and nothing new is sent.
        {75, "Statement y:Statement w:Procedure v2"},
        {0, "Statement z"},
        {100, "Done."},
    };
    EXPECT_EQ(g_reports, expected);
    EXPECT_TRUE(Records().empty());
}

TEST_F(BuildBehaviour, AnAbortFromTheWindowStopsBeforeTheNextSection) {
    std::string second = kNestedOutline;
    second.replace(second.find("\"z\""), 3, "\"z2\"");
    second.replace(second.find("\"v2\""), 4, "\"v3\"");
    g_abortOnText = "Statement y";
    EXPECT_EQ(Build(kNestedOutline, second, DIF_OPT_FDFM), DIF_ST_ABORTED);
    const std::vector<Report> expected = {{0, "Loading..."},   {0, "Processing..."},
                                          {0, "Statement x"},  {50, "Statement y"},
                                          {50, "Aborting..."}, {100, "Aborted."}};
    EXPECT_EQ(g_reports, expected);
    // Neither y's subtree (v2 changed) nor P2 (z changed) was compared.
    EXPECT_TRUE(Records().empty());
}

TEST_F(BuildBehaviour, AThousandItemSectionUnderEachKind) {
    std::string first = FlatOutline(1000, "last"), second = FlatOutline(1000, "last, changed");

    // RDFC: cut at 999 with W005, so the changed 1000th item is not seen.
    EXPECT_EQ(Build(first, second, DIF_OPT_RDFC), 0);
    EXPECT_TRUE(Records().empty());
    ASSERT_EQ(boxes_.Boxes().size(), 2u);  // one per side
    for (int side = 0; side < 2; ++side) {
        EXPECT_EQ(boxes_.Boxes()[side].title, "Corvane -  Information");
        EXPECT_EQ(boxes_.Boxes()[side].text,
                  "(W005) - This section (Application root) of the outline file [" +
                      scratch_.File(side == 0 ? "first.outline" : "second.outline") +
                      "] contains more than 999 items . Additional items in this section will "
                      "not be processed.");
    }

    // RDFA: the section fails, the build stops with both bits.
    boxes_.Clear();
    EXPECT_EQ(Build(first, second, DIF_OPT_RDFA), DIF_ST_SECTION_LIMIT | DIF_ST_ABORTED);
    EXPECT_EQ(g_reports.back(), (Report{100, "Aborted."}));
    EXPECT_TRUE(boxes_.Boxes().empty());

    // FDFM: no limit; the 1000th key has four digits.
    EXPECT_EQ(Build(first, second, DIF_OPT_FDFM), 0);
    EXPECT_EQ(Records(), (std::vector<std::string>{"1,C,T,0011000,0011000,9,999,last"}));
}

TEST_F(BuildBehaviour, OddShapesBuildWithoutTrouble) {
    // Roots without children, on one side and on both.
    const std::string bare = "OUTLINE 1\n1 \"root\"\n";
    EXPECT_EQ(Build(bare, bare, DIF_OPT_FDFM), 0);
    EXPECT_TRUE(Records().empty());
    EXPECT_EQ(Build(bare, FlatOutline(2, "b"), DIF_OPT_FDFM), 0);
    EXPECT_EQ(Records(), (std::vector<std::string>{"1,D,T,001001,001001,9,-1,line 1",
                                                   "1,D,T,001002,001002,9,-1,b"}));

    // A 5,000-level chain whose deepest text changed: one record with a 15,003-digit key.
    std::string chain = "OUTLINE 1\n1 \"root\"\n", changedChain;
    for (int depth = 1; depth <= 5000; ++depth) {
        chain += std::string(2 * depth, ' ') + "9 \"level\"\n";
    }
    changedChain = chain.substr(0, chain.rfind("\"level\"")) + "\"deepest\"\n";
    EXPECT_EQ(Build(chain, changedChain, DIF_OPT_FDFM), 0);
    std::vector<std::string> records = Records();
    ASSERT_EQ(records.size(), 1u);
    std::string key(3 * 5001, '0');
    for (size_t k = 2; k < key.size(); k += 3) key[k] = '1';
    EXPECT_EQ(records[0], "1,C,T," + key + "," + key + ",9,0,level");

    // A text of over 100,000 characters with commas and line breaks is written whole, its
    // line count counting every LF.
    std::string longText;
    int lineFeeds = 0;
    for (int k = 0; k < 25000; ++k) {
        longText += k % 7 == 0 ? "a,\\nb" : "abcde";
        lineFeeds += k % 7 == 0;
    }
    EXPECT_EQ(Build(FlatOutline(1, longText), FlatOutline(1, "short"), DIF_OPT_FDFM), 0);
    records = Records();
    std::string expectedStart = std::to_string(lineFeeds + 1) + ",C,T,001001,001001,9,0,a,";
    ASSERT_FALSE(records.empty());
    EXPECT_EQ(records[0].substr(0, expectedStart.size()), expectedStart);
    EXPECT_EQ(records.size(), static_cast<size_t>(lineFeeds + 1));  // its physical lines
}

TEST_F(BuildBehaviour, AnObjectBuildNamesBothSidesCmpntAndLeavesTheOutlinesOpen) {
    std::string second = kNestedOutline;
    second.replace(second.find("\"z\""), 3, "\"z2\"");
    WriteFileBytes(scratch_.File("a.outline"), kNestedOutline);
    WriteFileBytes(scratch_.File("b.outline"), second);
    OutlineHandle first = OpenOutline(scratch_.WideFile("a.outline").c_str());
    OutlineHandle other = OpenOutline(scratch_.WideFile("b.outline").c_str());
    ASSERT_NE(first, 0u);
    ASSERT_NE(other, 0u);
    // The second children of the roots: the build covers P2's children, keyed from "001".
    ItemHandle firstP2 = GetNextSibling(first, GetFirstChild(first, GetRootItem(first)));
    ItemHandle otherP2 = GetNextSibling(other, GetFirstChild(other, GetRootItem(other)));
    std::u16string path = scratch_.WideFile("object.cmp");
    EXPECT_EQ(DIF_BuildObject(u"a", first, firstP2, u"b", other, otherP2, path.c_str(), window_,
                              kProgressMessage, DIF_OPT_FDFM),
              0);
    std::string expected = "\xff\xfe";
    for (char letter : std::string("FDFM\r\ncmpnt,0,\r\ncmpnt,0,\r\n,0,\r\n"
                                   "1,C,T,001001,001001,9,0,z\r\n")) {
        expected += letter;
        expected += '\0';
    }
    EXPECT_EQ(ReadFileBytes(scratch_.File("object.cmp")), expected);
    EXPECT_EQ(GetItemType(first, firstP2), 4);  // still open
    CloseOutline(first);
    CloseOutline(other);
}
