// compare/pair_scores.cpp: the score of a candidate pair, cell by cell.
#include "compare/pair_scores.h"

#include "outline/outline_object.h"

int32_t TextScore(const PairingSide& first, const PairingSide& second, int32_t i, int32_t j) {
    return lstrcmpW(first.texts[i], second.texts[j]) == 0 ? kEqualTextScore : 0;
}

namespace {

// The displacement that the pairs of one side imply for a candidate at candidatePosition on
// the other side: each counted item's partner position (or ownPosition, the candidate's own
// position on this side, when the item has no positioned partner), seen from the candidate.
// The candidate itself, at index candidate of side, does not count.
int64_t SideDisplacement(const PairingSide& side, const PairingSide& other, int32_t candidate,
                         int32_t ownPosition, int32_t candidatePosition) {
    int64_t sum = 0;
    for (int32_t k = 0; k < side.count; ++k) {
        if (k == candidate || !CountsForPosition(side.status[k])) continue;
        int32_t partner = side.match[k];
        int32_t partnerPosition = partner == kNoMatch ? -1 : other.positions[partner];
        if (partnerPosition == -1) partnerPosition = ownPosition;
        sum += ItemDisplacement(partnerPosition, candidatePosition);
    }
    return sum;
}

}  // namespace

int32_t PositionScore(const PairingSide& first, const PairingSide& second, int32_t i, int32_t j) {
    int64_t limit = DisplacementLimit(first, second);
    if (limit == 0) return 0;
    // Each side's pairs are measured from the candidate on the other side, so the sum weighs
    // the two sides alike.
    int32_t firstPosition = first.positions[i];
    int32_t secondPosition = second.positions[j];
    int64_t sum = SideDisplacement(first, second, i, firstPosition, secondPosition) +
                  SideDisplacement(second, first, j, secondPosition, firstPosition);
    return ScaleDisplacement(limit, sum);
}

int32_t ItemScore(const PairingSide& first, const PairingSide& second, int32_t i, int32_t j) {
    int32_t text = TextScore(first, second, i, j);
    int32_t score = text + PositionScore(first, second, i, j);
    // The flag travels through the matrix to TakeBest inside the score itself.
    return WithTextsEqualFlag(score, text != 0);
}

int32_t WithTextsEqualFlag(int32_t score, bool textsEqual) {
    return textsEqual ? (score | kTextsEqualBit) : (score & ~kTextsEqualBit);
}

bool CountsForPosition(WCHAR status) {
    return status != kStatusOnlySecond && status != kStatusOnlyFirst &&
           status != kStatusUnderOnlyFirst && status != kStatusUnresolved;
}

int64_t ItemDisplacement(int32_t partnerPosition, int32_t candidatePosition) {
    if (partnerPosition >= candidatePosition && partnerPosition > 0) --partnerPosition;
    return partnerPosition >= candidatePosition ? partnerPosition - candidatePosition
                                                : candidatePosition - partnerPosition;
}

int64_t DisplacementLimit(const PairingSide& first, const PairingSide& second) {
    return 2 * static_cast<int64_t>(first.count) * second.count;
}

int32_t ScaleDisplacement(int64_t limit, int64_t sum) {
    if (limit <= kPositionScoreBase) return static_cast<int32_t>((kPositionScoreBase - sum) * 2);
    int64_t closeness = limit > sum ? limit - sum : 0;
    return static_cast<int32_t>(closeness * kLargeSectionScale / limit);
}
