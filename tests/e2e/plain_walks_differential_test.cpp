// tests/e2e/plain_walks_differential_test.cpp
//
// The move records' rank table and the order merge's tables and child index against the plain
// walks of their rules: each build and merge of generated sections runs both ways and must
// write the same bytes with the same status and counts. The sections, of a few to a few
// thousand items, shuffle, move runs, delete, add and edit items, with skipped, ignored and
// undeletable items between them; then the examples. The golden scenarios run both ways in
// their own runner.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "include/norvex63.h"
#include "support/run_state.h"
#include "tests/merge/merge_test_support.h"

namespace {

constexpr uint32_t kContents = DIF_OPT_ATTRIBUTES | DIF_OPT_PROPERTIES | DIF_OPT_DTDATA;

struct GeneratedItem {
    std::string type;  // "9", "9 [skip]", "9 [nodelete]" or the ignored "176"
    std::string text;
    int children;  // statements below it
};

std::string WriteOutline(const std::vector<GeneratedItem>& items) {
    std::string text = "OUTLINE 1\n10 \"Main\"\n";
    for (const GeneratedItem& item : items) {
        text += "  " + item.type + " \"" + item.text + "\"\n";
        for (int child = 0; child < item.children; ++child) {
            text += "    9 \"" + item.text + " / " + std::to_string(child) + "\"\n";
        }
    }
    return text;
}

std::vector<GeneratedItem> OriginalSection(std::mt19937& random, size_t count) {
    static const char* const kTypes[] = {"9 [skip]", "9 [nodelete]", "176"};
    std::vector<GeneratedItem> items;
    for (size_t k = 0; k < count; ++k) {
        unsigned roll = random() % 20;
        // Few distinct texts in small sections, so that repeats pair by position.
        std::string text = "line " + std::to_string(count < 30 ? random() % 6 : k);
        items.push_back({roll < 3 ? kTypes[roll] : "9", text, roll == 3 ? 2 : 0});
    }
    return items;
}

// A version of the original section: a few runs moved elsewhere, or the whole section
// shuffled, with some items deleted, added and edited.
std::vector<GeneratedItem> EditedVersion(std::vector<GeneratedItem> items, std::mt19937& random,
                                         int version) {
    auto draw = [&](size_t below) { return below == 0 ? 0 : random() % below; };
    if (random() % 4 == 0) {
        std::shuffle(items.begin(), items.end(), random);
    } else {
        for (int move = static_cast<int>(random() % 5); move > 0 && items.size() > 2; --move) {
            size_t from = draw(items.size());
            size_t length = 1 + draw(std::min<size_t>(4, items.size() - from));
            std::vector<GeneratedItem> run(items.begin() + static_cast<long>(from),
                                           items.begin() + static_cast<long>(from + length));
            items.erase(items.begin() + static_cast<long>(from),
                        items.begin() + static_cast<long>(from + length));
            size_t to = draw(items.size() + 1);
            items.insert(items.begin() + static_cast<long>(to), run.begin(), run.end());
        }
    }
    for (int edit = static_cast<int>(random() % 4); edit > 0 && !items.empty(); --edit) {
        size_t place = draw(items.size());
        switch (random() % 3) {
        case 0: items.erase(items.begin() + static_cast<long>(place)); break;
        case 1:
            items.insert(items.begin() + static_cast<long>(place),
                         {"9", "added " + std::to_string(version) + "." + std::to_string(edit),
                          static_cast<int>(random() % 2)});
            break;
        default: items[place].text += " (version " + std::to_string(version) + ")"; break;
        }
    }
    return items;
}

// The status and compare file of a build of first.outline against second.outline in folder.
std::string Build(const ScratchFolder& folder, uint32_t options) {
    WorkingDirectory inFolder(folder.Path());
    std::remove(folder.File("built.cmp").c_str());
    uint16_t status =
        DIF_Build(u"first.outline", u"second.outline", u"built.cmp", nullptr, 0, options);
    return std::to_string(status) + "\n" + Narrow(Utf16Text(ReadFileBytes("built.cmp")));
}

// The status, counts and saved result of a merge.
std::string Merge(const ScratchFolder& folder, const std::string& base, const std::string& version1,
                  const std::string& version2, uint32_t options = 0) {
    MergeRun run = MergeInFolder(folder, base, version1, version2, options);
    return std::to_string(run.status) + " " + std::to_string(run.conflicts) + " " +
           std::to_string(run.warnings) + "\n" + run.merged;
}

// "" when the call writes the same with the rules' plain walks as with the tables (whose
// result goes to fast), else the first line that differs.
template <typename Call>
std::string DifferenceOfWalks(const Call& call, std::string* fast) {
    UsePlainWalksForTesting(true);
    std::string plain = call();
    UsePlainWalksForTesting(false);
    *fast = call();
    return FirstDifference(plain, *fast);
}

}  // namespace

TEST(PlainWalks, TablesAndIndexesBuildAndMergeAsTheRulesWalk) {
    FixedTimeZone utc("UTC");
    MessageBoxRecorder boxes;  // sections past 999 items warn
    ScratchFolder folder;
    std::mt19937 random(23);
    int buildsWithMoves = 0, mergesWithMoves = 0, mergesWithWarnings = 0;
    const size_t sizes[] = {3, 8, 20, 60, 400, 3000};
    for (int round = 0; round < 120; ++round) {
        size_t count = sizes[round % 6] + random() % 3;
        std::vector<GeneratedItem> original = OriginalSection(random, count);
        std::string base = WriteOutline(original);
        std::string version1 = WriteOutline(EditedVersion(original, random, 1));
        std::string version2 = WriteOutline(EditedVersion(original, random, 2));
        SCOPED_TRACE("round " + std::to_string(round) + ", " + std::to_string(count) + " items");

        WriteFileBytes(folder.File("first.outline"), version1);
        WriteFileBytes(folder.File("second.outline"), base);
        const uint32_t options = round / 6 % 2 == 0 ? DIF_OPT_FDFM : DIF_OPT_RDFC;
        std::string built, merged;
        ASSERT_EQ(DifferenceOfWalks([&] { return Build(folder, options); }, &built), "");
        buildsWithMoves += built.find(",M,M,") != std::string::npos;
        ASSERT_EQ(
            DifferenceOfWalks([&] { return Merge(folder, base, version1, version2); }, &merged),
            "");
        const std::string saved = merged.substr(merged.find('\n') + 1);
        ASSERT_FALSE(saved.empty());
        mergesWithMoves += saved != base;
        mergesWithWarnings += merged.find("(W004)") != std::string::npos;
    }
    // The rounds reach what the tables must follow: moves, and refused deletions.
    EXPECT_GT(buildsWithMoves, 60);
    EXPECT_GT(mergesWithMoves, 60);
    EXPECT_GT(mergesWithWarnings, 5);

    // The examples, with their contents.
    std::string examples[3], merged;
    const char* names[] = {"base.outline", "version1.outline", "version2.outline"};
    for (int k = 0; k < 3; ++k)
        examples[k] = ReadFileBytes(TestDataPath("../../examples/") + names[k]);
    EXPECT_EQ(DifferenceOfWalks(
                  [&] { return Merge(folder, examples[0], examples[1], examples[2], kContents); },
                  &merged),
              "");
    EXPECT_EQ(merged.compare(0, 2, "0 "), 0) << merged;
}
