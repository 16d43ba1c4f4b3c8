// compare/reference_pairing.cpp: the pairing step by step, the measure of the fast engines.
//
// Every loop runs in index order and every comparison is strict where the order of a tie
// decides the pair: the fast engines reproduce exactly these orders.
#include "compare/reference_pairing.h"

#include "compare/item_matching.h"
#include "compare/pairing_outcome.h"
#include "compare/score_matrix.h"
#include "outline/item_type_table.h"
#include "outline/outline_object.h"
#include "support/checked_memory.h"
#include "support/run_state.h"

void PairByScoreReference(PairingSide& first, PairingSide& second, int32_t type,
                          const PairingRules& rules) {
    // One row per first-side candidate, one column per second-side candidate.
    int32_t rows = first.candidateCount;
    int32_t columns = second.candidateCount;
    uint64_t cells = static_cast<uint64_t>(rows) * static_cast<uint64_t>(columns);
    // Only types that match by similarity pair by score; the others go straight to the
    // leftovers, as does a type that one side lacks.
    if (cells != 0 && g_itemTypeTable.MatchBySimilarity(type)) {
        int32_t* matrix = cells * sizeof(int32_t) <= UINT32_MAX
                              ? static_cast<int32_t*>(
                                    CheckedAlloc(static_cast<uint32_t>(cells * sizeof(int32_t))))
                              : nullptr;
        if (matrix != nullptr) {
            // Every score is computed before any pair of this type is made, so that the
            // positions all cells are measured from are those of the pairs made before.
            AssignPositions(first);
            AssignPositions(second);
            for (int32_t row = 0; row < rows; ++row) {
                for (int32_t column = 0; column < columns; ++column) {
                    matrix[static_cast<size_t>(row) * columns + column] =
                        ItemScore(first, second, first.candidates[row], second.candidates[column]);
                }
            }
            // One round per candidate of the shorter side: each takes the best cell left
            // (TakeBest breaks ties in row-major order) and pairs it, or marks both
            // candidates unpaired when its score is too low.
            int32_t rounds = rows < columns ? rows : columns;
            for (int32_t round = 0; round < rounds; ++round) {
                BestCell best = TakeBest(matrix, rows, columns);
                int32_t i = first.candidates[best.row];
                int32_t j = second.candidates[best.column];
                if (IsAtOrBelowThreshold(rules, best.score)) {
                    MarkUnpaired(first, i, rules.firstUnpaired);
                    MarkUnpaired(second, j, rules.secondUnpaired);
                } else {
                    Pair(first, second, i, j, best.textsEqual ? kStatusEqual : kStatusChanged);
                }
            }
            CheckedFree(matrix);
        } else {
            // Without the matrix the similar items would come out as additions and deletions:
            // a comparison that looks complete and is not. The run is told, so that its
            // output is not handed over as good.
            NoteOutOfMemory();
        }
    }
    SettleLeftovers(first, second, rules);
}

void MatchItemsReference(PairingSide& first, PairingSide& second, const PairingRules& rules) {
    // Unique texts, in first-side index order: a text that stands once among the unresolved
    // items of its type on both sides pairs as equal; a type that the second side lacks makes
    // the item an addition at once.
    for (int32_t i = 0; i < first.count; ++i) {
        if (first.status[i] != kStatusUnresolved) continue;
        int32_t j = kNoMatch;
        int found = FindUnresolved(second, first.texts[i], first.types[i], &j);
        if (found == 0) {
            MarkUnpaired(first, i, rules.firstUnpaired);
        } else if (found == 1 &&
                   FindUnresolved(first, first.texts[i], first.types[i], nullptr) == 1) {
            Pair(first, second, i, j, kStatusEqual);
        }
    }
    // Types that the first side lacks: their second-side items can only be deletions.
    for (int32_t j = 0; j < second.count; ++j) {
        if (second.status[j] != kStatusUnresolved) continue;
        if (FindUnresolved(first, second.texts[j], second.types[j], nullptr) == 0) {
            MarkUnpaired(second, j, rules.secondUnpaired);
        }
    }
    // Every remaining type by score, in the order of its first unresolved first-side item.
    for (int32_t i = 0; i < first.count; ++i) {
        if (first.status[i] != kStatusUnresolved) continue;
        int32_t type = first.types[i];
        CollectCandidates(first, type);
        CollectCandidates(second, type);
        PairByScoreReference(first, second, type, rules);
    }
}
