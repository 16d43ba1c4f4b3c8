// compare/score_matrix.cpp: taking the best pair from a score matrix.
#include "compare/score_matrix.h"

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
    // 1-2. Strictly greater: on a tie the first cell in row-major order stays the best.
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
    // 3. The column first, then the row.
    for (int row = 0; row < rows; ++row) {
        int32_t& cell = matrix[static_cast<size_t>(row) * columns + best.column];
        cell = MarkUsed(cell);
    }
    for (int column = 0; column < columns; ++column) {
        int32_t& cell = matrix[static_cast<size_t>(best.row) * columns + column];
        cell = MarkUsed(cell);
    }
    // 4.
    best.textsEqual = (best.score & 1) != 0;
    return best;
}
