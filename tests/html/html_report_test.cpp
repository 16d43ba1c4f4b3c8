// tests/html/html_report_test.cpp
//
// norvex diff --html and norvex merge --html on outlines too large to show whole: what did not
// change is folded into counts. The pages of the examples, of moved rows, of a merge's marks
// and of hostile texts, and a page that cannot be written, are the command scenarios report-*
// and page-not-written.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/cli/command_runner.h"

namespace {

size_t CountOf(const std::string& text, const std::string& piece) {
    size_t count = 0;
    for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) {
        ++count;
    }
    return count;
}

class HtmlReport : public ::testing::Test {
protected:
    std::string Page(const std::string& name) { return ReadFileBytes(folder_.File(name)); }
    ScratchFolder folder_;
};

}  // namespace

TEST_F(HtmlReport, LargeUnchangedPartsAreFoldedIntoCounts) {
    // A small pair is on the page whole, but for an unchanged procedure of 500 statements
    // (one row and a count) and the middle of an unchanged run of 800 (its ends kept).
    auto small = [](const std::string& changed) {
        std::string text = "OUTLINE 1\n1 \"App\"\n  4 \"Quiet\"\n";
        for (int k = 1; k <= 500; ++k) text += "    9 \"Quiet += " + std::to_string(k) + "\"\n";
        text += "  4 \"Busy\"\n";
        for (int k = 1; k <= 900; ++k) {
            text += "    9 \"Busy += " + std::to_string(k) + (k == 100 ? changed : "") + "\"\n";
        }
        return text;
    };
    WriteFileBytes(folder_.File("small-old.outline"), small(""));
    WriteFileBytes(folder_.File("small-new.outline"), small(" ! changed"));
    CommandResult result =
        RunNorvex(folder_.Path(), "diff small-old.outline small-new.outline --html small.html");
    ASSERT_EQ(result.status, 1) << result.err;
    std::string page = Page("small.html");
    EXPECT_NE(page.find(">500 unchanged items<"), std::string::npos);
    EXPECT_EQ(page.find("> Quiet += 1<"), std::string::npos);
    for (int k = 1; k <= 99; ++k) {
        EXPECT_NE(page.find("> Busy += " + std::to_string(k) + "<"), std::string::npos) << k;
    }
    EXPECT_NE(page.find(">794 unchanged items<"), std::string::npos);
    EXPECT_NE(page.find("> Busy += 103<"), std::string::npos);
    EXPECT_EQ(page.find("> Busy += 104<"), std::string::npos);
    EXPECT_NE(page.find("> Busy += 898<"), std::string::npos);

    // 60 procedures of 400 statements: past the size below which every item is on the page.
    // One statement of procedure 30 changes; procedure 31 has a run of 1,000 statements.
    auto outline = [](const std::string& changed) {
        std::string text = "OUTLINE 1\n1 \"App\"\n";
        for (int procedure = 1; procedure <= 60; ++procedure) {
            text += "  4 \"Proc" + std::to_string(procedure) + "\"\n";
            int statements = procedure == 31 ? 1000 : 400;
            for (int k = 1; k <= statements; ++k) {
                std::string line =
                    "Loc:Counter" + std::to_string(procedure) + " += " + std::to_string(k);
                if ((procedure == 30 || procedure == 31) && k == 200) line += changed;
                text += "    9 \"" + line + "\"\n";
            }
        }
        return text;
    };
    WriteFileBytes(folder_.File("big-old.outline"), outline(""));
    WriteFileBytes(folder_.File("big-new.outline"), outline(" ! changed"));
    result = RunNorvex(folder_.Path(), "diff big-old.outline big-new.outline --html big.html");
    ASSERT_EQ(result.status, 1) << result.err;
    page = Page("big.html");
    EXPECT_EQ(CountOf(page, " stop\""), 2u);
    EXPECT_NE(page.find("Loc:Counter30 += 200<ins> ! changed</ins>"), std::string::npos);
    // Past the size of a whole page, the changes stand in their context as in a diff: three
    // siblings either side, an unchanged procedure as one row with its count, the rest counted.
    EXPECT_EQ(CountOf(page, ">400 unchanged items below<"), 12u);
    EXPECT_EQ(CountOf(page, ">9223 unchanged items<"), 2u);  // 23 procedures of 401 items
    EXPECT_NE(page.find("> Loc:Counter30 += 199<"), std::string::npos);
    EXPECT_NE(page.find(">193 unchanged items<"), std::string::npos);  // 1 to 199, less 3 + 3
    EXPECT_EQ(page.find("> Loc:Counter30 += 100<"), std::string::npos);
    // In procedure 31 the run of 800 after the change is counted too, its ends shown.
    EXPECT_NE(page.find(">794 unchanged items<"), std::string::npos);
    EXPECT_NE(page.find("> Loc:Counter31 += 1000<"), std::string::npos);
    EXPECT_EQ(page.find("> Loc:Counter31 += 500<"), std::string::npos);
    EXPECT_LT(page.size(), 50u * 1000u);

    // The merge page folds the same way: a clean merge of the big outline is a small page.
    result = RunNorvex(
        folder_.Path(),
        "merge big-old.outline big-new.outline big-old.outline -o m.outline --html m.html");
    ASSERT_EQ(result.status, 0) << result.err;
    page = Page("m.html");
    EXPECT_NE(page.find("The merge is clean."), std::string::npos);
    EXPECT_EQ(CountOf(page, ">400 items below<"), 6u);
    EXPECT_EQ(CountOf(page, ">22254 items<"), 1u);
    EXPECT_LT(page.size(), 20u * 1000u);
}
