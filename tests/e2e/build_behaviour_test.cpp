// tests/e2e/build_behaviour_test.cpp
//
// Builds whose interest is not one golden file: shapes that break naive code (a deep chain, a
// huge text).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "include/norvex63.h"
#include "tests/helpers/test_support.h"

namespace {

// The records of a compare file (after its four header lines), one UTF-8 string per line.
std::vector<std::string> RecordLines(const std::string& path) {
    std::vector<std::string> lines = Utf16Lines(ReadFileBytes(path));
    if (lines.size() < 4) return {};
    return std::vector<std::string>(lines.begin() + 4, lines.end() - 1);
}

std::vector<std::string> Build(const ScratchFolder& scratch, const std::string& first,
                               const std::string& second) {
    WriteFileBytes(scratch.File("first.outline"), first);
    WriteFileBytes(scratch.File("second.outline"), second);
    EXPECT_EQ(DIF_Build(scratch.WideFile("first.outline").c_str(),
                        scratch.WideFile("second.outline").c_str(),
                        scratch.WideFile("result.cmp").c_str(), nullptr, 0, DIF_OPT_FDFM),
              0);
    return RecordLines(scratch.File("result.cmp"));
}

}  // namespace

TEST(BuildBehaviour, ADeepChainAndAHugeTextAreWrittenWhole) {
    ScratchFolder scratch;
    // A 5,000-level chain whose deepest text changed: one record with a 15,003-digit key.
    std::string chain = "OUTLINE 1\n1 \"root\"\n";
    for (int depth = 1; depth <= 5000; ++depth) {
        chain += std::string(2 * depth, ' ') + "9 \"level\"\n";
    }
    std::string changedChain = chain.substr(0, chain.rfind("\"level\"")) + "\"deepest\"\n";
    std::vector<std::string> records = Build(scratch, chain, changedChain);
    std::string key(3 * 5001, '0');
    for (size_t k = 2; k < key.size(); k += 3) key[k] = '1';
    EXPECT_EQ(records, std::vector<std::string>{"1,C,T," + key + "," + key + ",9,0,level"});

    // A text of over 100,000 characters with commas and line breaks is written whole, its
    // line count counting every LF.
    std::string longText;
    int lineFeeds = 0;
    for (int k = 0; k < 25000; ++k) {
        longText += k % 7 == 0 ? "a,\\nb" : "abcde";
        lineFeeds += k % 7 == 0;
    }
    records = Build(scratch, "OUTLINE 1\n1 \"root\"\n  9 \"" + longText + "\"\n",
                    "OUTLINE 1\n1 \"root\"\n  9 \"short\"\n");
    std::string expectedStart = std::to_string(lineFeeds + 1) + ",C,T,001001,001001,9,0,a,";
    ASSERT_FALSE(records.empty());
    EXPECT_EQ(records[0].substr(0, expectedStart.size()), expectedStart);
    EXPECT_EQ(records.size(), static_cast<size_t>(lineFeeds + 1));  // its physical lines
}
