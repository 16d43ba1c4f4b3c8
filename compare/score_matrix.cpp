// compare/score_matrix.cpp: taking the best pair from a score matrix.
#include "compare/score_matrix.h"

#include <algorithm>
#include <cstddef>

namespace {

int32_t MarkUsed(int32_t score) {
    // Used cells are negative, so marking one again pushes it further down; the result stays
    // far inside 32 bits for every score of a section.
    int32_t magnitude = score < 0 ? -score : score;
    return kUsedCellOffset - magnitude;
}

}  // namespace

BestCell TakeBest(int32_t* matrix, int rows, int columns) {
    // Find the highest cell. Strictly greater: on a tie the first cell in row-major order stays
    // the best, which is the tie-break every engine must reproduce.
    BestCell best = {0, 0, kNoBestScore, false};
    for (int row = 0; row < rows; ++row) {
        const int32_t* cells = matrix + static_cast<size_t>(row) * columns;
        for (int column = 0; column < columns; ++column) {
            if (cells[column] > best.score) {
                best.score = cells[column];
                best.row = row;
                best.column = column;
            }
        }
    }
    // Mark the best cell's column used first, then its row; the crossing cell is marked twice,
    // which only pushes it further down.
    for (int row = 0; row < rows; ++row) {
        int32_t& cell = matrix[static_cast<size_t>(row) * columns + best.column];
        cell = MarkUsed(cell);
    }
    for (int column = 0; column < columns; ++column) {
        int32_t& cell = matrix[static_cast<size_t>(best.row) * columns + column];
        cell = MarkUsed(cell);
    }
    // The flag comes from the score read before marking, not from the marked cell.
    best.textsEqual = (best.score & kTextsEqualBit) != 0;
    return best;
}

namespace {

// Below this many keys a comparison sort is quicker than clearing the radix counters.
constexpr uint32_t kRadixSortMinimum = 1u << 16;
// Each radix pass sorts by 16 bits of the score half: two passes cover its 32 bits.
constexpr int kRadixDigitBits = 16;
constexpr uint32_t kRadixBuckets = 1u << kRadixDigitBits;

// One stable counting pass by the 16 bits at shift, from source into target. Answers false,
// having moved nothing, when every key has the same digit there.
bool SortByDigit(const uint64_t* source, uint64_t* target, uint32_t count, int shift,
                 uint32_t* counters) {
    std::fill(counters, counters + kRadixBuckets, 0u);
    for (uint32_t k = 0; k < count; ++k) ++counters[(source[k] >> shift) & (kRadixBuckets - 1)];
    if (counters[(source[0] >> shift) & (kRadixBuckets - 1)] == count) return false;
    uint32_t start = 0;
    for (uint32_t digit = 0; digit < kRadixBuckets; ++digit) {
        uint32_t size = counters[digit];
        counters[digit] = start;
        start += size;
    }
    for (uint32_t k = 0; k < count; ++k) {
        target[counters[(source[k] >> shift) & (kRadixBuckets - 1)]++] = source[k];
    }
    return true;
}

}  // namespace

uint64_t CellSortScratchBytes(uint32_t count) {
    if (count < kRadixSortMinimum) return 0;
    return static_cast<uint64_t>(count) * sizeof(uint64_t) + kRadixBuckets * sizeof(uint32_t);
}

void SortCellKeys(uint64_t* keys, uint32_t count, void* scratch) {
    if (count < kRadixSortMinimum) {
        std::sort(keys, keys + count);
        return;
    }
    // The lower halves already ascend, so two stable passes over the score half (low digit
    // first) finish the order.
    uint64_t* spare = static_cast<uint64_t*>(scratch);
    uint32_t* counters = reinterpret_cast<uint32_t*>(spare + count);
    uint64_t* current = keys;
    uint64_t* other = spare;
    for (int shift = kCellKeyScoreShift; shift < 64; shift += kRadixDigitBits) {
        if (SortByDigit(current, other, count, shift, counters)) std::swap(current, other);
    }
    if (current != keys) std::copy(current, current + count, keys);
}
