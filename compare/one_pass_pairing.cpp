// compare/one_pass_pairing.cpp: the rounds of a type's pairing in one pass over sorted cells.
//
// A cell's displacement sum splits into a part that depends on the row's position only (the
// second side's counted items), one that depends on the column's only (the first side's), and
// the items that stand in for a candidate's own position, which depend on both. The first two
// come from sorted partner positions in two binary searches each, so no cell scans a side.
#include "compare/one_pass_pairing.h"

#include <algorithm>

#include "compare/item_matching.h"
#include "compare/matrix_free_pairing.h"
#include "compare/pair_scores.h"
#include "compare/pairing_outcome.h"
#include "compare/reference_pairing.h"
#include "compare/score_matrix.h"
#include "compare/scratch_layout.h"
#include "outline/item_type_table.h"
#include "outline/outline_object.h"
#include "support/checked_memory.h"

namespace {

// The counted items of one side as the other side's candidates see them: the positions of
// their partners (on the candidates' side), sorted, with prefix sums, and how many of them
// stand in for the candidate's own position instead (the ignored items, and any item whose
// partner has no position). With these, one side's part of a position score costs two
// binary searches instead of a scan of the side.
struct PartnerPositions {
    int32_t* sorted;  // room for the side's count
    int64_t* prefix;  // room for the side's count + 1
    int32_t count;
    int64_t ownCount;
};

void CollectPartnerPositions(const PairingSide& side, const PairingSide& other,
                             PartnerPositions& partners) {
    partners.count = 0;
    partners.ownCount = 0;
    for (int32_t k = 0; k < side.count; ++k) {
        if (!CountsForPosition(side.status[k])) continue;
        int32_t partner = side.match[k];
        int32_t partnerPosition = partner == kNoMatch ? -1 : other.positions[partner];
        if (partnerPosition == -1) {
            ++partners.ownCount;
        } else {
            partners.sorted[partners.count++] = partnerPosition;
        }
    }
    std::sort(partners.sorted, partners.sorted + partners.count);
    partners.prefix[0] = 0;
    for (int32_t k = 0; k < partners.count; ++k) {
        partners.prefix[k + 1] = partners.prefix[k] + partners.sorted[k];
    }
}

// The sum of ItemDisplacement over the partnered items for a candidate at position at. A
// partner below at adds at - partner; one above adds partner - 1 - at (it moves down by one as
// the candidate leaves the order); one at at adds 1, or 0 at position 0, which has nothing
// below it.
int64_t PartnerDisplacement(const PartnerPositions& partners, int32_t at) {
    const int32_t* begin = partners.sorted;
    const int32_t* end = begin + partners.count;
    int64_t below = std::lower_bound(begin, end, at) - begin;
    int64_t notAbove = std::upper_bound(begin, end, at) - begin;
    int64_t sum = at * below - partners.prefix[below];
    sum += (partners.prefix[partners.count] - partners.prefix[notAbove]) -
           (partners.count - notAbove) * (static_cast<int64_t>(at) + 1);
    if (at > 0) sum += notAbove - below;
    return sum;
}

}  // namespace

void PairByScoreInOnePass(PairingSide& first, PairingSide& second, int32_t type,
                          const PairingRules& rules, const TextGroupsOf& groups) {
    // One row per first-side candidate, one column per second-side candidate.
    int32_t rows = first.candidateCount;
    int32_t columns = second.candidateCount;
    uint64_t cells = static_cast<uint64_t>(rows) * static_cast<uint64_t>(columns);
    // Only types that match by similarity pair by score; the others go straight to the
    // leftovers, as does a type that one side lacks.
    if (cells != 0 && g_itemTypeTable.MatchBySimilarity(type)) {
        int64_t *rowSums = nullptr, *columnSums = nullptr;
        int64_t *firstPrefix = nullptr, *secondPrefix = nullptr;
        int32_t *firstSorted = nullptr, *secondSorted = nullptr;
        ScratchLayout sumLayout;
        sumLayout.Reserve(&rowSums, static_cast<uint64_t>(rows));
        sumLayout.Reserve(&columnSums, static_cast<uint64_t>(columns));
        sumLayout.Reserve(&firstPrefix, static_cast<uint64_t>(first.count) + 1);
        sumLayout.Reserve(&secondPrefix, static_cast<uint64_t>(second.count) + 1);
        sumLayout.Reserve(&firstSorted, static_cast<uint64_t>(first.count) + 1);
        sumLayout.Reserve(&secondSorted, static_cast<uint64_t>(second.count) + 1);
        void* sumBlock = sumLayout.Allocate();
        if (sumBlock == nullptr) {
            PairByScoreReference(first, second, type, rules);
            return;
        }
        // Every score is computed before any pair of this type is made, so that the
        // positions all cells are measured from are those of the pairs made before.
        AssignPositions(first);
        AssignPositions(second);
        PartnerPositions firstPartners = {firstSorted, firstPrefix, 0, 0};
        PartnerPositions secondPartners = {secondSorted, secondPrefix, 0, 0};
        CollectPartnerPositions(first, second, firstPartners);
        CollectPartnerPositions(second, first, secondPartners);
        int64_t mostRow = 0, mostColumn = 0;
        for (int32_t row = 0; row < rows; ++row) {
            rowSums[row] =
                PartnerDisplacement(secondPartners, first.positions[first.candidates[row]]);
            mostRow = std::max(mostRow, rowSums[row]);
        }
        for (int32_t column = 0; column < columns; ++column) {
            columnSums[column] =
                PartnerDisplacement(firstPartners, second.positions[second.candidates[column]]);
            mostColumn = std::max(mostColumn, columnSums[column]);
        }
        int64_t limit = DisplacementLimit(first, second);
        // Without items standing in for the candidates' own positions, and with no negative
        // score (the cell of the two largest sums has the lowest position), the rounds can be
        // found without the matrix.
        if (groups.first != nullptr && firstPartners.ownCount == 0 &&
            secondPartners.ownCount == 0 && OrderedPosition(limit, mostRow + mostColumn) >= 0 &&
            PairWithoutMatrix(first, second, rules, groups, rowSums, columnSums, limit,
                              mostRow + mostColumn)) {
            CheckedFree(sumBlock);
            SettleLeftovers(first, second, rules);
            return;
        }
        void* block = nullptr;
        uint64_t* keys = nullptr;
        char* sortScratch = nullptr;
        bool *rowTaken = nullptr, *columnTaken = nullptr;
        if (cells <= UINT32_MAX) {
            ScratchLayout layout;
            layout.Reserve(&keys, cells);
            layout.Reserve(&sortScratch, CellSortScratchBytes(static_cast<uint32_t>(cells)));
            layout.Reserve(&rowTaken, static_cast<uint64_t>(rows));
            layout.Reserve(&columnTaken, static_cast<uint64_t>(columns));
            block = layout.Allocate();
        }
        if (block == nullptr) {
            // The step by step pairing needs a quarter of this memory and pairs alike.
            CheckedFree(sumBlock);
            PairByScoreReference(first, second, type, rules);
            return;
        }
        std::fill(rowTaken, rowTaken + rows, false);
        std::fill(columnTaken, columnTaken + columns, false);
        // Every cell's score, as ItemScore gives it, keyed in row-major order.
        bool anyNegative = false;
        uint32_t index = 0;
        for (int32_t row = 0; row < rows; ++row) {
            int32_t i = first.candidates[row];
            int32_t firstPosition = first.positions[i];
            for (int32_t column = 0; column < columns; ++column, ++index) {
                int32_t j = second.candidates[column];
                int32_t secondPosition = second.positions[j];
                int32_t position = 0;
                if (limit != 0) {
                    int64_t sum = rowSums[row] + columnSums[column];
                    if (firstPartners.ownCount != 0) {
                        sum += firstPartners.ownCount *
                               ItemDisplacement(firstPosition, secondPosition);
                    }
                    if (secondPartners.ownCount != 0) {
                        sum += secondPartners.ownCount *
                               ItemDisplacement(secondPosition, firstPosition);
                    }
                    position = ScaleDisplacement(limit, sum);
                }
                bool equal = TextsEqual(first, second, i, j, groups);
                int32_t score = WithTextsEqualFlag((equal ? kEqualTextScore : 0) + position, equal);
                anyNegative = anyNegative || score < 0;
                keys[index] = CellKey(score, index);
            }
        }
        if (anyNegative) {
            // A used cell could then outscore an unused one, or none beat TakeBest's start
            // value, and the rounds no longer pair distinct candidates in score order: only
            // the rounds themselves give their result.
            CheckedFree(block);
            CheckedFree(sumBlock);
            PairByScoreReference(first, second, type, rules);
            return;
        }
        // The rounds of TakeBest, in one pass. A round answers, among the cells whose row
        // and column no earlier round took, the highest score, the first in row-major order
        // on a tie: the first such cell in the order of the sorted keys. The pass visits
        // the keys in that order and takes a cell whose row and column are both free; every
        // cell before it had a taken row or column when visited, and taken stays taken, so
        // it is the first free cell of the whole order: the cell of the same round. (Taken
        // cells can never win a round: no score is negative, as checked above, and used
        // ones are below kUsedCellOffset.) A cell at or below the threshold takes its row
        // and column too, as a round does; from there on every cell is as low, so the rest
        // of the rounds only mark their candidates unpaired, as settling the leftovers does.
        SortCellKeys(keys, static_cast<uint32_t>(cells), sortScratch);
        int32_t rounds = rows < columns ? rows : columns;
        int32_t taken = 0;
        for (uint64_t k = 0; k < cells && taken < rounds; ++k) {
            uint32_t cell = CellKeyIndex(keys[k]);
            int32_t row = static_cast<int32_t>(cell / static_cast<uint32_t>(columns));
            int32_t column = static_cast<int32_t>(cell % static_cast<uint32_t>(columns));
            if (rowTaken[row] || columnTaken[column]) continue;
            rowTaken[row] = true;
            columnTaken[column] = true;
            ++taken;
            int32_t score = CellKeyScore(keys[k]);
            int32_t i = first.candidates[row];
            int32_t j = second.candidates[column];
            if (IsAtOrBelowThreshold(rules, score)) {
                MarkUnpaired(first, i, rules.firstUnpaired);
                MarkUnpaired(second, j, rules.secondUnpaired);
            } else {
                Pair(first, second, i, j,
                     (score & kTextsEqualBit) != 0 ? kStatusEqual : kStatusChanged);
            }
        }
        CheckedFree(block);
        CheckedFree(sumBlock);
    }
    SettleLeftovers(first, second, rules);
}
