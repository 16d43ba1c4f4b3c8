// tests/merge/order_merge_differential_test.cpp
//
// The order merge through its tables and child index against the counts and walks of its
// rules: each merge runs both ways and must save the same bytes with the same status and
// counts. Generated sections shuffle, move, delete, add and edit items, with skipped items
// between them and items the runtime refuses to delete, in sections of a few to a few thousand
// items; the golden scenarios and the examples are the real shapes.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "support/run_state.h"
#include "tests/merge/merge_test_support.h"

namespace {

struct GeneratedItem {
    std::string text;
    std::string flags;  // "" or " [skip]", " [nodelete]"
    int children;       // statements below it
};

std::string WriteOutline(const std::vector<GeneratedItem>& items) {
    std::string text = "OUTLINE 1\n10 \"Main\"\n";
    for (const GeneratedItem& item : items) {
        text += "  9" + item.flags + " \"" + item.text + "\"\n";
        for (int child = 0; child < item.children; ++child) {
            text += "    9 \"" + item.text + " / " + std::to_string(child) + "\"\n";
        }
    }
    return text;
}

// A version of the original section: a few runs moved elsewhere, or the whole section
// shuffled, with some items deleted, added and edited.
std::vector<GeneratedItem> EditedVersion(std::vector<GeneratedItem> items, std::mt19937& random,
                                         int version) {
    auto draw = [&](size_t below) { return below == 0 ? 0 : random() % below; };
    if (random() % 4 == 0) {
        std::shuffle(items.begin(), items.end(), random);
    } else {
        for (int move = static_cast<int>(random() % 4); move > 0 && items.size() > 2; --move) {
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
                         {"added " + std::to_string(version) + "." + std::to_string(edit), "",
                          static_cast<int>(random() % 2)});
            break;
        default: items[place].text += " (version " + std::to_string(version) + ")"; break;
        }
    }
    return items;
}

std::vector<GeneratedItem> OriginalSection(std::mt19937& random, size_t count) {
    std::vector<GeneratedItem> items;
    for (size_t k = 0; k < count; ++k) {
        unsigned roll = random() % 20;
        // Few distinct texts in small sections, so that repeats pair by position.
        std::string text = "line " + std::to_string(count < 30 ? random() % 6 : k);
        items.push_back({text,
                         roll == 0   ? " [skip]"
                         : roll == 1 ? " [nodelete]"
                                     : "",
                         roll == 2 ? 2 : 0});
    }
    return items;
}

struct BothWays {
    MergeRun plain;
    MergeRun fast;
};

BothWays MergeBothWays(const ScratchFolder& folder, const std::string& base,
                       const std::string& version1, const std::string& version2,
                       uint32_t options = 0) {
    BothWays runs;
    UsePlainWalksForTesting(true);
    runs.plain = MergeInFolder(folder, base, version1, version2, options);
    UsePlainWalksForTesting(false);
    runs.fast = MergeInFolder(folder, base, version1, version2, options);
    return runs;
}

// "" when both runs agree, else the first difference.
std::string DifferenceBetween(const MergeRun& plain, const MergeRun& fast) {
    if (plain.status != fast.status || plain.conflicts != fast.conflicts ||
        plain.warnings != fast.warnings) {
        return "status/conflicts/warnings " + std::to_string(plain.status) + "/" +
               std::to_string(plain.conflicts) + "/" + std::to_string(plain.warnings) +
               " by the rules' walk, " + std::to_string(fast.status) + "/" +
               std::to_string(fast.conflicts) + "/" + std::to_string(fast.warnings) + " fast";
    }
    if (plain.merged == fast.merged) return "";
    size_t at = 0;
    while (at < plain.merged.size() && at < fast.merged.size() &&
           plain.merged[at] == fast.merged[at]) {
        ++at;
    }
    size_t line = plain.merged.rfind('\n', at);
    line = line == std::string::npos ? 0 : line + 1;
    return "merged outlines differ at byte " + std::to_string(at) + ": \"" +
           plain.merged.substr(line, 60) + "\" by the rules' walk, \"" +
           fast.merged.substr(line, 60) + "\" fast";
}

}  // namespace

TEST(OrderMerge, TablesAndChildIndexMergeAsTheRulesWalk) {
    ScratchFolder folder;
    std::mt19937 random(23);
    int withMoves = 0, withWarnings = 0;
    const size_t sizes[] = {3, 8, 20, 60, 400, 3000};
    for (int round = 0; round < 120; ++round) {
        size_t count = sizes[round % 6] + random() % 3;
        std::vector<GeneratedItem> original = OriginalSection(random, count);
        std::string base = WriteOutline(original);
        std::string version1 = WriteOutline(EditedVersion(original, random, 1));
        std::string version2 = WriteOutline(EditedVersion(original, random, 2));
        BothWays runs = MergeBothWays(folder, base, version1, version2);
        ASSERT_EQ(DifferenceBetween(runs.plain, runs.fast), "")
            << "round " << round << ", " << count << " items";
        ASSERT_FALSE(runs.fast.merged.empty()) << "round " << round;
        withMoves += runs.fast.merged != base;
        withWarnings += runs.fast.merged.find("(W004)") != std::string::npos;
    }
    // The rounds reach what the index must follow: moves, and refused deletions.
    EXPECT_GT(withMoves, 60);
    EXPECT_GT(withWarnings, 5);

    // The real shapes: every golden scenario and the examples.
    for (const std::string& scenario : ListScenarios("merge")) {
        std::string files[3];
        const char* names[] = {"base.outline", "version1.outline", "version2.outline"};
        for (int k = 0; k < 3; ++k) {
            files[k] = ReadFileBytes(TestDataPath("merge/" + scenario + "/" + names[k]));
        }
        std::string optionsText = ScenarioText("merge", scenario, "options.txt");
        uint32_t options =
            optionsText.empty() ? 0 : static_cast<uint32_t>(std::stoul(optionsText, nullptr, 0));
        MessageBoxRecorder boxes;
        BothWays runs = MergeBothWays(folder, files[0], files[1], files[2], options);
        EXPECT_EQ(DifferenceBetween(runs.plain, runs.fast), "") << scenario;
    }
    std::string examples[3];
    const char* exampleNames[] = {"base.outline", "version1.outline", "version2.outline"};
    for (int k = 0; k < 3; ++k) {
        examples[k] = ReadFileBytes(TestDataPath("../../examples/" + std::string(exampleNames[k])));
        ASSERT_FALSE(examples[k].empty()) << exampleNames[k];
    }
    BothWays runs = MergeBothWays(folder, examples[0], examples[1], examples[2],
                                  DIF_OPT_ATTRIBUTES | DIF_OPT_PROPERTIES | DIF_OPT_DTDATA);
    EXPECT_EQ(DifferenceBetween(runs.plain, runs.fast), "") << "examples";

    // A planted difference of one byte is found.
    MergeRun changed = runs.fast;
    changed.merged[changed.merged.size() / 2] ^= 1;
    EXPECT_NE(DifferenceBetween(runs.fast, changed), "");
}
