// compare/matrix_free_pairing.h
//
// The fast engine: the greedy rounds of one type's pairing without a score matrix, for section
// pairs where no item stands in for a candidate's own position. A cell's score is then its
// texts-equal bonus plus the position of rowSum + columnSum, so the best free cell follows
// from the smallest free sums, which a tree over each side's candidates answers in
// logarithmic steps. Pairs exactly as the rounds of PairByScoreReference would.
#pragma once

#include <cstdint>

#include "compare/pairing_side.h"
#include "compare/text_groups.h"

// The position part of a cell's score as the greedy order sees it: ScaleDisplacement of the
// cell's sum with the lowest bit cleared, where the texts-equal flag goes; 0 when limit is 0.
// It never rises as the sum grows.
int32_t OrderedPosition(int64_t limit, int64_t sum);

// Pairs the collected candidates of one type by the greedy rounds, given each row's and each
// column's part of the displacement sums, the section pair's DisplacementLimit and the
// largest sum of any cell. Requires groups (the text groups of both sides), no item standing
// in for a candidate's own position, and OrderedPosition(limit, mostSum) >= 0, so that no
// score is negative. Leaves the candidates that no round pairs unresolved, for
// SettleLeftovers. Answers false, having paired nothing, when its scratch memory is refused.
bool PairWithoutMatrix(PairingSide& first, PairingSide& second, const PairingRules& rules,
                       const TextGroupsOf& groups, const int64_t* rowSums,
                       const int64_t* columnSums, int64_t limit, int64_t mostSum);
