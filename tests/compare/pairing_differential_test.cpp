// tests/compare/pairing_differential_test.cpp
//
// The hashed, one-pass pairing against the step by step one: generated sections, paired by
// both under the comparison's and the merge's rules, must come out with the same status
// letters and partners item for item. Small sections with few texts and types make equal
// texts, repeats and tied scores common; large ones reach the second position formula and the
// pairing threshold. The step by step one takes its pairs with TakeBest, so a wrong tie-break,
// a cell left unmarked or a score read after marking shows here as a difference.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "compare/score_matrix.h"
#include "tests/compare/run_side.h"
#include "tests/helpers/test_support.h"

namespace {

// Statements (9) and source lines (14) pair by similarity, applications (1) never do.
const int32_t kTypes[] = {9, 14, 1, 9};
const char16_t* const kTexts[] = {u"a", u"b", u"c", u"", u"a b", u"d"};

// One line per item of both sides: the side, the item, its status letter and its partner.
std::string Describe(const RunSide& first, const RunSide& second) {
    std::string text;
    for (const RunSide* side : {&first, &second}) {
        for (size_t k = 0; k < side->Status().size(); ++k) {
            text += (side == &first ? "first " : "second ") + std::to_string(k) + " " +
                    static_cast<char>(side->Status()[k]) + " " + std::to_string(side->Match()[k]) +
                    "\n";
        }
    }
    return text;
}

// Answers "" when the fast run's sides equal the reference run's, else the first item that
// differs.
std::string DifferenceBetween(const RunSide& fastFirst, const RunSide& fastSecond,
                              const RunSide& referenceFirst, const RunSide& referenceSecond) {
    for (const RunSide* side : {&fastFirst, &fastSecond}) {
        size_t item = side->Status().find(kStatusUnresolved);
        if (item != std::u16string::npos) {
            return std::string(side == &fastFirst ? "first" : "second") + " side, item " +
                   std::to_string(item) + ": left unresolved";
        }
    }
    return FirstDifference(Describe(referenceFirst, referenceSecond),
                           Describe(fastFirst, fastSecond));
}

// Pairs the two sections with both engines under rules; answers DifferenceBetween.
std::string CompareEngines(const SectionShape& firstShape, const SectionShape& secondShape,
                           const PairingRules& rules) {
    RunSide fastFirst(firstShape), fastSecond(secondShape);
    RunSide referenceFirst(firstShape), referenceSecond(secondShape);
    MatchItems(fastFirst.side, fastSecond.side, rules);
    MatchItemsReference(referenceFirst.side, referenceSecond.side, rules);
    return DifferenceBetween(fastFirst, fastSecond, referenceFirst, referenceSecond);
}

// A small section: 0 to 12 items of few types and texts, a few of them ignored.
SectionShape SmallSection(std::mt19937& random, int textChoices) {
    SectionShape shape;
    int count = static_cast<int>(random() % 13);
    for (int k = 0; k < count; ++k) {
        shape.types.push_back(kTypes[random() % 4]);
        shape.texts.push_back(kTexts[random() % static_cast<uint32_t>(textChoices)]);
        shape.status.push_back(random() % 8 == 0 ? kStatusIgnored : kStatusUnresolved);
    }
    return shape;
}

// A larger section: count items, mostly statements with distinct numbered texts (which the
// unique-text phase pairs), some repeated or shared texts, ignored items at ignoredShare.
SectionShape LargeSection(std::mt19937& random, int count, double ignoredShare, int distinct) {
    SectionShape shape;
    std::uniform_real_distribution<double> share(0.0, 1.0);
    for (int k = 0; k < count; ++k) {
        bool ignored = share(random) < ignoredShare;
        shape.types.push_back(ignored ? 402 : kTypes[random() % 4]);
        int word = static_cast<int>(random() % static_cast<uint32_t>(distinct));
        std::string text = "line " + std::to_string(word);
        shape.texts.push_back(std::u16string(text.begin(), text.end()));
        shape.status.push_back(ignored ? kStatusIgnored : kStatusUnresolved);
    }
    return shape;
}

// Checks both rule sets on the pair; answers false (having reported) on the first difference.
bool ExpectEnginesAgree(const SectionShape& first, const SectionShape& second, uint32_t seed) {
    for (const PairingRules* rules : {&kComparisonRules, &kMergeRules}) {
        std::string difference = CompareEngines(first, second, *rules);
        if (!difference.empty()) {
            ADD_FAILURE() << "seed " << seed << ", "
                          << (rules == &kComparisonRules ? "comparison" : "merge")
                          << " rules: " << difference;
            return false;
        }
    }
    return true;
}

#if defined(__SANITIZE_ADDRESS__)
constexpr uint32_t kSmallSections = 10000;
constexpr uint32_t kLargeSections = 4;
#else
constexpr uint32_t kSmallSections = 100000;
constexpr uint32_t kLargeSections = 40;
#endif

// NORVEX_PAIRING_SECTIONS=n checks n small sections instead, for a longer run by hand.
uint32_t SmallSectionCount() {
    const char* asked = std::getenv("NORVEX_PAIRING_SECTIONS");
    return asked != nullptr ? static_cast<uint32_t>(std::strtoul(asked, nullptr, 10))
                            : kSmallSections;
}

}  // namespace

TEST(PairingEngines, AgreeOnSmallSectionsFullOfRepeatsAndTies) {
    const uint32_t count = SmallSectionCount();
    for (uint32_t seed = 1; seed <= count; ++seed) {
        std::mt19937 random(seed);
        // Two, four or six texts: from nearly all equal to mostly changed.
        int textChoices = 2 + 2 * static_cast<int>(seed % 3);
        SectionShape first = SmallSection(random, textChoices);
        SectionShape second = SmallSection(random, textChoices);
        if (seed % 5 == 0) second = first;  // identical sections, repeats paired by place
        if (!ExpectEnginesAgree(first, second, seed)) return;
    }
}

TEST(PairingEngines, AgreeOnSectionsOfHundredsWithBigScoreMatrices) {
    for (uint32_t seed = 1; seed <= kLargeSections * 10; ++seed) {
        std::mt19937 random(seed);
        int count = 30 + static_cast<int>(random() % 150);
        // Few distinct texts leave most items to the score matrix.
        int distinct = seed % 2 == 0 ? 8 : count;
        SectionShape first = LargeSection(random, count, 0.1, distinct);
        SectionShape second = first;
        // Edit, move and drop some items of the second side.
        for (int k = 0; k < count / 4; ++k) {
            size_t at = random() % second.texts.size();
            second.texts[at] += u" edited";
            std::swap(second.texts[at], second.texts[random() % second.texts.size()]);
        }
        second.types.resize(second.types.size() - random() % 10);
        second.texts.resize(second.types.size());
        second.status.resize(second.types.size());
        if (!ExpectEnginesAgree(first, second, seed)) return;
    }
}

TEST(PairingEngines, AgreeOnHugeSectionsUpToThePairingThreshold) {
    // Sections of thousands of items, nearly all ignored: the second position formula, and
    // candidates far apart among ignored items score at or below the threshold (the case of a
    // lone candidate at each end is spelled out below).
    for (uint32_t seed = 1; seed <= kLargeSections; ++seed) {
        std::mt19937 random(seed);
        int count = 8400 + static_cast<int>(random() % 1000);
        SectionShape first = LargeSection(random, count, 0.995, 12);
        SectionShape second = LargeSection(random, count, 0.995, 12);
        if (!ExpectEnginesAgree(first, second, seed)) return;
    }
}

TEST(PairingEngines, AgreeWithoutIgnoredItemsOnSectionsPastTheFirstFormula) {
    // Thousands of items and none ignored: the pairs are found without a score matrix, under
    // the second formula, whose rounding makes whole runs of sums tie. Most items pair by
    // their unique texts, some of them moved far, so that the candidates' sums differ; the
    // edited ones share a few texts, so that equal texts compete across several groups.
    for (uint32_t seed = 1; seed <= (kLargeSections + 9) / 10; ++seed) {
        std::mt19937 random(seed);
        int count = 8400 + static_cast<int>(random() % 1000);
        SectionShape first;
        for (int k = 0; k < count; ++k) {
            std::string text = "line " + std::to_string(k);
            first.types.push_back(kTypes[random() % 4]);
            first.texts.push_back(std::u16string(text.begin(), text.end()));
            first.status.push_back(kStatusUnresolved);
        }
        SectionShape second = first;
        for (int k = 0; k < 300; ++k) {
            size_t from = random() % second.texts.size(), to = random() % second.texts.size();
            std::swap(second.texts[from], second.texts[to]);
            std::swap(second.types[from], second.types[to]);
        }
        for (int k = 0; k < 30; ++k) {
            SectionShape& side = k % 2 == 0 ? first : second;
            // Near the middle a candidate's sum hardly changes from one place to the next,
            // so that neighbours tie after the rounding.
            size_t at = seed % 2 == 0 ? side.texts.size() / 2 - 100 + random() % 200
                                      : random() % side.texts.size();
            side.types[at] = 9;
            side.texts[at] = kTexts[random() % 3];
        }
        if (!ExpectEnginesAgree(first, second, seed)) return;
    }
}

TEST(PairingEngines, AgreeWhereAShortSectionFacesAVeryLongMostlyIgnoredOne) {
    // Two statements against 20,000 items, nearly all ignored: the sum passes the first
    // formula's base, so scores go negative, and the rounds take cells in their own way.
    for (uint32_t seed = 1; seed <= 6; ++seed) {
        std::mt19937 random(seed);
        SectionShape first{{9, 9, 14}, {u"a", u"b", u"c"}, u"..."};
        SectionShape second = LargeSection(random, 20000, 0.9995, 4);
        if (seed % 2 == 0) std::swap(first, second);
        if (!ExpectEnginesAgree(first, second, seed)) return;
    }
}

TEST(PairingEngines, ALoneCandidateFarAmongIgnoredItemsIsNotPaired) {
    // One statement at each end of 9,000 ignored items: the only cell scores below the
    // threshold, so that the threshold cannot go untested by chance.
    SectionShape first, second;
    for (int k = 0; k < 9000; ++k) {
        for (SectionShape* shape : {&first, &second}) {
            shape->types.push_back(402);
            shape->texts.push_back(u"x");
            shape->status.push_back(kStatusIgnored);
        }
    }
    first.types.front() = second.types.back() = 9;
    first.status.front() = second.status.back() = kStatusUnresolved;
    first.texts.front() = u"old";
    second.texts.back() = u"new";
    RunSide fastFirst(first), fastSecond(second);
    MatchItems(fastFirst.side, fastSecond.side);
    EXPECT_EQ(fastFirst.Status()[0], kStatusOnlyFirst);
    EXPECT_EQ(fastSecond.Status()[8999], kStatusOnlySecond);
    EXPECT_EQ(CompareEngines(first, second, kComparisonRules), "");
    EXPECT_EQ(CompareEngines(first, second, kMergeRules), "");
}

TEST(PairingEngines, TheComparisonSeesAPlantedDifference) {
    SectionShape first{{9, 9, 9}, {u"a", u"b", u"b"}, u"..."};
    SectionShape second{{9, 9}, {u"b", u"c"}, u".."};
    RunSide fastFirst(first), fastSecond(second), referenceFirst(first), referenceSecond(second);
    MatchItems(fastFirst.side, fastSecond.side);
    MatchItemsReference(referenceFirst.side, referenceSecond.side);
    EXPECT_EQ(DifferenceBetween(fastFirst, fastSecond, referenceFirst, referenceSecond), "");
    // One partner moved on the second side alone must be reported.
    std::swap(fastSecond.side.match[0], fastSecond.side.match[1]);
    EXPECT_NE(DifferenceBetween(fastFirst, fastSecond, referenceFirst, referenceSecond), "");
}

TEST(SortCellKeys, LargeCountsComeOutAsAComparisonSortWouldHaveThem) {
    // Past the radix threshold: many ties, scores differing only in the high or the low
    // digit, and one score for all (whose passes are skipped).
    std::mt19937 random(7);
    const int32_t lowScores[] = {5, 6, 70000, 280000000, 480000001, 760000001};
    for (int shape = 0; shape < 3; ++shape) {
        std::vector<uint64_t> keys;
        for (uint32_t index = 0; index < 200000; ++index) {
            int32_t score = shape == 0   ? lowScores[random() % 6]
                            : shape == 1 ? static_cast<int32_t>(random() % 1000000000)
                                         : 280000000;
            keys.push_back(CellKey(score, index));
        }
        std::vector<uint64_t> expected = keys;
        std::sort(expected.begin(), expected.end());
        std::vector<char> scratch(CellSortScratchBytes(static_cast<uint32_t>(keys.size())) + 8);
        void* aligned = scratch.data() + (8 - reinterpret_cast<uintptr_t>(scratch.data()) % 8) % 8;
        SortCellKeys(keys.data(), static_cast<uint32_t>(keys.size()), aligned);
        EXPECT_EQ(keys, expected) << "shape " << shape;
    }
    // A key gives back its score and index, negative scores included.
    EXPECT_EQ(CellKeyIndex(CellKey(-3, 41)), 41u);
    EXPECT_EQ(CellKeyScore(CellKey(-3, 41)), -3);
    EXPECT_LT(CellKey(9, 5), CellKey(8, 0));  // higher scores first
    EXPECT_LT(CellKey(9, 4), CellKey(9, 5));  // then row-major order
}
