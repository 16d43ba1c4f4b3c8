// compare/pair_scores.h
//
// The score of a candidate pair: a bonus for equal texts plus a position score that is higher
// the closer the two candidates stand to where the pairs made so far put them. Every pairing
// engine scores through these functions and constants, so that all of them rank cells alike.
#pragma once

#include <cstdint>

#include "compare/pairing_side.h"
#include "compare/score_matrix.h"

// An equal text must beat any position score, so a pair with equal texts always wins over a
// closer pair with different texts.
constexpr int32_t kEqualTextScore = 480000000;
// Base of the position score of sections with 2 x count x count up to this bound; the sum of
// displacements of any two sections of at most 999 items each stays far below it.
constexpr int64_t kPositionScoreBase = 140000000;
// Scale of the position score of larger sections.
constexpr int64_t kLargeSectionScale = 280000;
// A best score of at most this pairs nothing: its candidates become 'A' and 'D'.
constexpr int32_t kPairingThreshold = 10000;

// Scores of first-side item i against second-side item j.
int32_t TextScore(const PairingSide& first, const PairingSide& second, int32_t i, int32_t j);
// Higher the closer the candidates stand to where the items paired so far put them. Reads
// the positions of AssignPositions.
int32_t PositionScore(const PairingSide& first, const PairingSide& second, int32_t i, int32_t j);
// Text and position score, with the lowest bit replaced by the texts-equal flag.
int32_t ItemScore(const PairingSide& first, const PairingSide& second, int32_t i, int32_t j);

// ---- Parts of a score, for the engines that compute it without a scan per cell -------------

// score with its kTextsEqualBit set when textsEqual, cleared otherwise.
int32_t WithTextsEqualFlag(int32_t score, bool textsEqual);

// Items that take part in the position score: the paired ones and the ignored ones.
bool CountsForPosition(WCHAR status);

// What one counted item adds to the displacement sum of a candidate at candidatePosition when
// the item's partner (or the candidate's own position, standing in for a partner without one)
// is at partnerPosition: the distance between the two, with a partner at or after the
// candidate moved down by one, as if the candidate were taken out of the order (a partner at
// position 0 has nowhere to move).
int64_t ItemDisplacement(int32_t partnerPosition, int32_t candidatePosition);

// The limit of a section pair's displacement sums, 2 x first count x second count: it chooses
// between the two formulas of ScaleDisplacement. 0 when a side is empty, where every position
// score is 0. 64-bit, so no section is too large for it.
int64_t DisplacementLimit(const PairingSide& first, const PairingSide& second);

// Turns a displacement sum into a position score, alike for every engine. Sections of at most
// 999 items each always take the first formula. For larger ones the score falls from
// kLargeSectionScale towards 0 as the sum grows towards limit and stays 0 beyond: a smaller
// sum never scores lower, in either formula. The first formula goes negative only when the
// sum passes its base, which takes a section of tens of thousands of ignored items beside a
// short one. Requires limit > 0.
int32_t ScaleDisplacement(int64_t limit, int64_t sum);
