// tests/compare/item_matching_test.cpp
//
// The pairing on plain arrays: each expected section is written as its status letters and
// partner indexes, so that a wrong pair shows as one wrong letter or number.
#include "compare/item_matching.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/compare/run_side.h"
#include "tests/helpers/test_support.h"

namespace {

// A section from (type, text) entries; every entry starts unresolved unless a status string
// says otherwise.
SectionShape Shape(std::vector<std::pair<int32_t, std::string>> entries,
                   std::string statuses = "") {
    SectionShape shape;
    for (size_t k = 0; k < entries.size(); ++k) {
        shape.types.push_back(entries[k].first);
        shape.texts.push_back(Wide(entries[k].second));
        shape.status.push_back(k < statuses.size() ? statuses[k] : kStatusUnresolved);
    }
    return shape;
}

// Source lines (type 14) pair by similarity; applications (type 1) never do.
constexpr int32_t kLine = 14;
constexpr int32_t kApplication = 1;

void ExpectPairing(RunSide& first, RunSide& second, const std::string& firstStatuses,
                   const std::vector<int32_t>& firstMatches, const std::string& secondStatuses,
                   const std::vector<int32_t>& secondMatches) {
    MatchItems(first.side, second.side);
    EXPECT_EQ(Narrow(first.Status()), firstStatuses);
    EXPECT_EQ(first.Match(), firstMatches);
    EXPECT_EQ(Narrow(second.Status()), secondStatuses);
    EXPECT_EQ(second.Match(), secondMatches);
}

}  // namespace

TEST(FindUnresolved, TellsNoneOneOrSeveralOfAType) {
    RunSide side(Shape({{kLine, "a"}, {kLine, "b"}, {kLine, "b"}, {4, "a"}}, "...="));
    int32_t index = -1;
    EXPECT_EQ(FindUnresolved(side.side, u"a", kLine, &index), 1);
    EXPECT_EQ(index, 0);
    EXPECT_EQ(FindUnresolved(side.side, u"b", kLine, &index), 2);  // two have it
    EXPECT_EQ(FindUnresolved(side.side, u"z", kLine, &index), 2);  // the type exists
    EXPECT_EQ(FindUnresolved(side.side, u"a", 4, &index), 0);      // only a paired one
    // Another pairing's status array decides what is unresolved.
    const WCHAR otherStatus[] = {u'=', u'.', u'=', u'.'};
    EXPECT_EQ(FindUnresolved(side.side, u"b", kLine, &index, otherStatus), 1);
    EXPECT_EQ(index, 1);
    EXPECT_EQ(FindUnresolved(side.side, u"a", 4, &index, otherStatus), 1);
}

TEST(MatchItems, IdenticalSectionsPairEveryItemAndRepeatsByPlace) {
    // The repeated texts pair in the score phase, each copy with the copy at its own place.
    std::vector<std::pair<int32_t, std::string>> items = {
        {kLine, "x"}, {kLine, "dup"}, {4, "p"}, {kLine, "dup"}, {kLine, "y"}, {kLine, "dup"}};
    RunSide first(Shape(items)), second(Shape(items));
    ExpectPairing(first, second, "======", {0, 1, 2, 3, 4, 5}, "======", {0, 1, 2, 3, 4, 5});
}

TEST(MatchItems, TypesOnOneSideOnlyBecomeAdditionsAndDeletions) {
    RunSide first(Shape({{4, "p"}, {kLine, "same"}})), second(Shape({{kLine, "same"}, {5, "f"}}));
    ExpectPairing(first, second, "A=", {-1, 0}, "=D", {1, -1});
}

TEST(MatchItems, LeftoversPairByScoreOnlyWhereTheTypeAllowsIt) {
    // One against one with different texts: a change.
    RunSide first(Shape({{kLine, "old"}})), second(Shape({{kLine, "new"}}));
    ExpectPairing(first, second, "C", {0}, "C", {0});

    // Three against two: the scores tie, so the lowest candidates pair and the third is added.
    RunSide three(Shape({{kLine, "p"}, {kLine, "q"}, {kLine, "r"}})),
        two(Shape({{kLine, "s"}, {kLine, "t"}}));
    ExpectPairing(three, two, "CCA", {0, 1, -1}, "CC", {0, 1});

    // The same for a type that never pairs by similarity: all additions and deletions.
    RunSide threeApps(Shape({{kApplication, "p"}, {kApplication, "q"}, {kApplication, "r"}}));
    RunSide twoApps(Shape({{kApplication, "s"}, {kApplication, "t"}}));
    ExpectPairing(threeApps, twoApps, "AAA", {-1, -1, -1}, "DD", {-1, -1});
}

TEST(MatchItems, ATextRepeatedOnOneSidePairsEqualOnceAndChangedOnce) {
    // "dup" is unique on the second side but twice on the first: not paired by the unique
    // phase. By score the first copy takes it (ties go to the lowest row); the second copy
    // takes the other second-side item as a change.
    RunSide first(Shape({{kLine, "dup"}, {kLine, "dup"}})),
        second(Shape({{kLine, "x"}, {kLine, "dup"}}));
    ExpectPairing(first, second, "=C", {1, 0}, "C=", {1, 0});

    // With nothing left for the second copy, it is an addition.
    RunSide twice(Shape({{kLine, "dup"}, {kLine, "dup"}})), once(Shape({{kLine, "dup"}}));
    ExpectPairing(twice, once, "=A", {0, -1}, "=", {0});
}

TEST(MatchItems, PositionsOfThePairsMadeDecideBetweenEqualTexts) {
    // k1 and k2 pair first. For m1 (position 2) against n1 (position 1) the displacements sum
    // to 4, against n2 (position 3) to 7: the smaller sum scores higher, so m1 pairs n1.
    RunSide first(Shape({{kLine, "k1"}, {kLine, "k2"}, {kLine, "m1"}}));
    RunSide second(Shape({{kLine, "k1"}, {kLine, "n1"}, {kLine, "k2"}, {kLine, "n2"}}));
    ExpectPairing(first, second, "==C", {0, 2, 1}, "=C=D", {0, 2, 1, -1});

    // An ignored item counts its own place: it shifts nothing, but it is never paired.
    RunSide withIgnored(Shape({{kLine, "a"}, {-1, ""}, {kLine, "b"}}, ".I."));
    RunSide plain(Shape({{kLine, "a"}, {kLine, "c"}}));
    ExpectPairing(withIgnored, plain, "=IC", {0, -1, 1}, "=C", {0, 2});
}

TEST(PositionScore, FallsAsTheDisplacementGrowsInBothFormulas) {
    // Small sections: (140000000 - sum) * 2. With nothing paired the sum is 0.
    RunSide first(Shape({{kLine, "a"}})), second(Shape({{kLine, "b"}}));
    AssignPositions(first.side);
    AssignPositions(second.side);
    EXPECT_EQ(PositionScore(first.side, second.side, 0, 0), 280000000);
    EXPECT_EQ(ItemScore(first.side, second.side, 0, 0), 280000000);  // texts differ: bit clear

    // Large sections (2 x 9000 x 9000 > 140000000): on the scale of 280000, never below 0,
    // and a candidate further from the pairs made never scores higher.
    std::vector<std::pair<int32_t, std::string>> items;
    for (int k = 0; k < 9000; ++k) items.push_back({kLine, "t" + std::to_string(k)});
    std::string statuses(9000, '=');
    statuses[0] = '.';
    statuses[8999] = '.';
    RunSide large(Shape(items, statuses)), other(Shape(items, statuses));
    for (int32_t k = 1; k < 8999; ++k) {
        large.side.match[k] = k;
        other.side.match[k] = k;
    }
    AssignPositions(large.side);
    AssignPositions(other.side);
    int32_t near = PositionScore(large.side, other.side, 0, 0);
    int32_t far = PositionScore(large.side, other.side, 0, 8999);
    EXPECT_GT(near, far);
    EXPECT_LE(near, 280000);
    EXPECT_GE(far, 0);
    // Equal texts ("t0" on both sides) add the text score and set the lowest bit.
    EXPECT_EQ(ItemScore(large.side, other.side, 0, 0), (kEqualTextScore + near) | 1);
}
