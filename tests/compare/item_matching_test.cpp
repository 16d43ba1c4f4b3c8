// tests/compare/item_matching_test.cpp
//
// The pairing on plain arrays: each expected section is written as its status letters and
// partner indexes, so that a wrong pair shows as one wrong letter or number.
#include "compare/item_matching.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/helpers/test_support.h"

namespace {

// One side of a pairing, built from (type, text) entries; every entry starts unresolved
// unless a status string says otherwise.
class TestSide {
public:
    TestSide(std::vector<std::pair<int32_t, std::string>> entries, std::string statuses = "")
        : count_(static_cast<int32_t>(entries.size())) {
        for (size_t k = 0; k < entries.size(); ++k) {
            types_.push_back(entries[k].first);
            textStore_.push_back(Wide(entries[k].second));
            status_.push_back(k < statuses.size() ? statuses[k] : u'.');
            match_.push_back(kNoMatch);
        }
        for (std::u16string& text : textStore_) texts_.push_back(text.data());
        candidates_.resize(entries.size() + 1);
        positions_.resize(entries.size() + 1);
        side = {count_,
                status_.data(),
                match_.data(),
                types_.data(),
                texts_.data(),
                candidates_.data(),
                0,
                positions_.data()};
    }
    std::string Statuses() const { return std::string(status_.begin(), status_.end()); }
    std::vector<int32_t> Matches() const { return match_; }

    PairingSide side;

private:
    int32_t count_;
    std::vector<int32_t> types_;
    std::vector<std::u16string> textStore_;
    std::vector<WCHAR*> texts_;
    std::vector<char16_t> status_;
    std::vector<int32_t> match_;
    std::vector<int32_t> candidates_, positions_;
};

// Source lines (type 14) pair by similarity; applications (type 1) never do.
constexpr int32_t kLine = 14;
constexpr int32_t kApplication = 1;

void ExpectPairing(TestSide& first, TestSide& second, const std::string& firstStatuses,
                   const std::vector<int32_t>& firstMatches, const std::string& secondStatuses,
                   const std::vector<int32_t>& secondMatches) {
    MatchItems(first.side, second.side);
    EXPECT_EQ(first.Statuses(), firstStatuses);
    EXPECT_EQ(first.Matches(), firstMatches);
    EXPECT_EQ(second.Statuses(), secondStatuses);
    EXPECT_EQ(second.Matches(), secondMatches);
}

}  // namespace

TEST(FindUnresolved, TellsNoneOneOrSeveralOfAType) {
    TestSide side({{kLine, "a"}, {kLine, "b"}, {kLine, "b"}, {4, "a"}}, "...=");
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
    TestSide first(items), second(items);
    ExpectPairing(first, second, "======", {0, 1, 2, 3, 4, 5}, "======", {0, 1, 2, 3, 4, 5});
}

TEST(MatchItems, TypesOnOneSideOnlyBecomeAdditionsAndDeletions) {
    TestSide first({{4, "p"}, {kLine, "same"}}), second({{kLine, "same"}, {5, "f"}});
    ExpectPairing(first, second, "A=", {-1, 0}, "=D", {1, -1});
}

TEST(MatchItems, LeftoversPairByScoreOnlyWhereTheTypeAllowsIt) {
    // One against one with different texts: a change.
    TestSide first({{kLine, "old"}}), second({{kLine, "new"}});
    ExpectPairing(first, second, "C", {0}, "C", {0});

    // Three against two: the scores tie, so the lowest candidates pair and the third is added.
    TestSide three({{kLine, "p"}, {kLine, "q"}, {kLine, "r"}}), two({{kLine, "s"}, {kLine, "t"}});
    ExpectPairing(three, two, "CCA", {0, 1, -1}, "CC", {0, 1});

    // The same for a type that never pairs by similarity: all additions and deletions.
    TestSide threeApps({{kApplication, "p"}, {kApplication, "q"}, {kApplication, "r"}});
    TestSide twoApps({{kApplication, "s"}, {kApplication, "t"}});
    ExpectPairing(threeApps, twoApps, "AAA", {-1, -1, -1}, "DD", {-1, -1});
}

TEST(MatchItems, ATextRepeatedOnOneSidePairsEqualOnceAndChangedOnce) {
    // "dup" is unique on the second side but twice on the first: not paired by the unique
    // phase. By score the first copy takes it (ties go to the lowest row); the second copy
    // takes the other second-side item as a change.
    TestSide first({{kLine, "dup"}, {kLine, "dup"}}), second({{kLine, "x"}, {kLine, "dup"}});
    ExpectPairing(first, second, "=C", {1, 0}, "C=", {1, 0});

    // With nothing left for the second copy, it is an addition.
    TestSide twice({{kLine, "dup"}, {kLine, "dup"}}), once({{kLine, "dup"}});
    ExpectPairing(twice, once, "=A", {0, -1}, "=", {0});
}

TEST(MatchItems, PositionsOfThePairsMadeDecideBetweenEqualTexts) {
    // k1 and k2 pair first. For m1 (position 2) against n1 (position 1) the displacements sum
    // to 4, against n2 (position 3) to 7: the smaller sum scores higher, so m1 pairs n1.
    TestSide first({{kLine, "k1"}, {kLine, "k2"}, {kLine, "m1"}});
    TestSide second({{kLine, "k1"}, {kLine, "n1"}, {kLine, "k2"}, {kLine, "n2"}});
    ExpectPairing(first, second, "==C", {0, 2, 1}, "=C=D", {0, 2, 1, -1});

    // An ignored item counts its own place: it shifts nothing, but it is never paired.
    TestSide withIgnored({{kLine, "a"}, {-1, ""}, {kLine, "b"}}, ".I.");
    TestSide plain({{kLine, "a"}, {kLine, "c"}});
    ExpectPairing(withIgnored, plain, "=IC", {0, -1, 1}, "=C", {0, 2});
}

TEST(PositionScore, FallsAsTheDisplacementGrowsInBothFormulas) {
    // Small sections: (140000000 - sum) * 2. With nothing paired the sum is 0.
    TestSide first({{kLine, "a"}}), second({{kLine, "b"}});
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
    TestSide large(items, statuses), other(items, statuses);
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
