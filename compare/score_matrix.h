// compare/score_matrix.h
//
// Picks pairs from the score matrix of one item type in one section: one row per first-side
// candidate, one column per second-side candidate, stored row-major. Kept apart from the
// outline objects so that tests, and any faster engine that must agree with this one, can
// drive it with plain arrays.
#pragma once

#include <cstdint>

// Each cell of a taken row or column becomes kUsedCellOffset - |its score|. Unused scores are
// never negative, so a used cell cannot win while an unused one remains.
constexpr int32_t kUsedCellOffset = -99999;
// Below every cell, used ones included, so that the first cell scanned always becomes the best
// when the matrix holds nothing better.
constexpr int32_t kNoBestScore = -9999900;
// The lowest bit of every score carries the texts-equal flag, so that one number per cell tells
// both how good the pair is and whether it pairs equal texts.
constexpr int32_t kTextsEqualBit = 1;

struct BestCell {
    int row;          // index into the first side's candidates
    int column;       // index into the second side's candidates
    int32_t score;    // the cell's score before it was marked used
    bool textsEqual;  // the score's kTextsEqualBit: set when the two texts are equal
};

// Answers the highest cell of the rows x columns matrix. On a tie it answers the first in
// row-major order (the lowest first-side candidate, then the lowest second-side one), so that
// every run pairs alike. Then it marks that cell's column used and then its row (the crossing
// cell is marked twice). Requires rows > 0 and columns > 0.
BestCell TakeBest(int32_t* matrix, int rows, int columns);

// ---- Cells in the order of the greedy pairing ----------------------------------------------
// Repeated TakeBest calls answer the cells of a matrix in the order of (score descending, row,
// column), skipping cells whose row or column an earlier answer took. A key holds a cell's
// place in that order: INT32_MAX - score in its upper half, the row-major index in its lower,
// so that ascending keys are that order. Sorting the keys once replaces the rounds of searches.

// Where a key's score half starts: the row-major index fills the 32 bits below it.
constexpr int kCellKeyScoreShift = 32;

constexpr uint64_t CellKey(int32_t score, uint32_t index) {
    return (static_cast<uint64_t>(static_cast<uint32_t>(INT32_MAX - static_cast<int64_t>(score)))
            << kCellKeyScoreShift) |
           index;
}
constexpr int32_t CellKeyScore(uint64_t key) {
    return static_cast<int32_t>(INT32_MAX - static_cast<int64_t>(key >> kCellKeyScoreShift));
}
constexpr uint32_t CellKeyIndex(uint64_t key) { return static_cast<uint32_t>(key); }

// Bytes of scratch that SortCellKeys needs for count keys (0 for small counts).
uint64_t CellSortScratchBytes(uint32_t count);
// Sorts count keys ascending. The keys must arrive in ascending index order, as a row-major
// fill makes them: large counts are sorted by their score halves only, stably, which leaves
// equal scores in index order. scratch holds CellSortScratchBytes (count) bytes.
void SortCellKeys(uint64_t* keys, uint32_t count, void* scratch);
