// compare/item_matching.cpp: pairing the items of two sections.
//
// Every loop runs in index order and every comparison is strict where the order of a tie
// decides the pair: two runs over the same sections, and any faster engine, must pair alike.
#include "compare/item_matching.h"

#include "compare/score_matrix.h"
#include "driver/run_state.h"
#include "outline/item_type_table.h"
#include "support/checked_memory.h"

PairingSide SideOf(COutline& outline) {
    return {outline.count, outline.status,     outline.match, outline.types,
            outline.texts, outline.candidates, 0,             outline.positions};
}

PairingSide SideOf(CBaseOutline& original, int version) {
    PairingSide side = SideOf(static_cast<COutline&>(original));
    side.status = original.StatusFor(version);
    side.match = original.MatchFor(version);
    return side;
}

int FindUnresolved(const PairingSide& side, const WCHAR* text, int32_t type, int32_t* index,
                   const WCHAR* status) {
    if (status == nullptr) status = side.status;
    // 1-2.
    int32_t ofType = 0;
    bool found = false;
    for (int32_t k = 0; k < side.count; ++k) {
        if (status[k] != kStatusUnresolved || side.types[k] != type) continue;
        ++ofType;
        if (lstrcmpW(text, side.texts[k]) == 0) {
            if (found) return 2;
            if (index != nullptr) *index = k;
            found = true;
        }
    }
    // 3.
    if (found) return 1;
    return ofType > 0 ? 2 : 0;
}

void CollectCandidates(PairingSide& side, int32_t type) {
    side.candidateCount = 0;
    for (int32_t k = 0; k < side.count; ++k) {
        if (side.status[k] == kStatusUnresolved && side.types[k] == type) {
            side.candidates[side.candidateCount++] = k;
        }
    }
}

void AssignPositions(PairingSide& side) {
    int32_t position = 0;
    for (int32_t k = 0; k < side.count; ++k) {
        WCHAR status = side.status[k];
        if (status == kStatusOnlyFirst || status == kStatusOnlySecond ||
            status == kStatusUnderOnlyFirst) {
            side.positions[k] = -1;
        } else {
            side.positions[k] = position++;
        }
    }
}

void SetAllStatus(PairingSide& side, WCHAR status) {
    for (int32_t k = 0; k < side.count; ++k) {
        side.status[k] = status;
        side.match[k] = kNoMatch;
    }
}

int32_t TextScore(const PairingSide& first, const PairingSide& second, int32_t i, int32_t j) {
    return lstrcmpW(first.texts[i], second.texts[j]) == 0 ? kEqualTextScore : 0;
}

namespace {

// Items that take part in the position score: the paired ones and the ignored ones.
bool CountsForPosition(WCHAR status) {
    return status != kStatusOnlySecond && status != kStatusOnlyFirst &&
           status != kStatusUnderOnlyFirst && status != kStatusUnresolved;
}

// The displacement that the pairs of one side imply for a candidate at candidatePosition on
// the other side: each counted item's partner position (or ownPosition, the candidate's own
// position on this side, when the item has no positioned partner), one less when it stands at
// or after the candidate, as if the candidate were taken out of the order.
int64_t SideDisplacement(const PairingSide& side, const PairingSide& other, int32_t candidate,
                         int32_t ownPosition, int32_t candidatePosition) {
    int64_t sum = 0;
    for (int32_t k = 0; k < side.count; ++k) {
        if (k == candidate || !CountsForPosition(side.status[k])) continue;
        int32_t partner = side.match[k];
        int32_t q = partner == kNoMatch ? -1 : other.positions[partner];
        if (q == -1) q = ownPosition;
        if (q >= candidatePosition && q > 0) --q;
        sum += q >= candidatePosition ? q - candidatePosition : candidatePosition - q;
    }
    return sum;
}

}  // namespace

int32_t PositionScore(const PairingSide& first, const PairingSide& second, int32_t i,
                      int32_t j) {
    // 1. The arithmetic is 64-bit throughout, so no section is too large for it.
    int64_t limit = 2 * static_cast<int64_t>(first.count) * second.count;
    if (limit == 0) return 0;
    // 2-4.
    int32_t firstPosition = first.positions[i];
    int32_t secondPosition = second.positions[j];
    int64_t sum = SideDisplacement(first, second, i, firstPosition, secondPosition) +
                  SideDisplacement(second, first, j, secondPosition, firstPosition);
    // 5. Sections of at most 999 items each always take the first formula. For larger ones
    //    the score falls from kLargeSectionScale towards 0 as the sum grows towards limit and
    //    stays 0 beyond: a smaller sum never scores lower, in either formula.
    if (limit <= kPositionScoreBase) return static_cast<int32_t>((kPositionScoreBase - sum) * 2);
    int64_t closeness = limit > sum ? limit - sum : 0;
    return static_cast<int32_t>(closeness * kLargeSectionScale / limit);
}

int32_t ItemScore(const PairingSide& first, const PairingSide& second, int32_t i, int32_t j) {
    int32_t text = TextScore(first, second, i, j);
    int32_t score = text + PositionScore(first, second, i, j);
    // The lowest bit carries the texts-equal flag through the matrix to TakeBest.
    return text != 0 ? (score | 1) : (score & ~1);
}

namespace {

void Pair(PairingSide& first, PairingSide& second, int32_t i, int32_t j, WCHAR status) {
    first.status[i] = status;
    first.match[i] = j;
    second.status[j] = status;
    second.match[j] = i;
}

void MarkUnpaired(PairingSide& side, int32_t k, WCHAR status) {
    side.status[k] = status;
    side.match[k] = kNoMatch;
}

}  // namespace

void PairByScore(PairingSide& first, PairingSide& second, int32_t type,
                 const PairingRules& rules) {
    // 1.
    int32_t rows = first.candidateCount;
    int32_t columns = second.candidateCount;
    // 2.
    uint64_t cells = static_cast<uint64_t>(rows) * static_cast<uint64_t>(columns);
    if (cells != 0 && g_itemTypeTable.MatchBySimilarity(type)) {
        int32_t* matrix = cells * sizeof(int32_t) <= UINT32_MAX
                              ? static_cast<int32_t*>(CheckedAlloc(
                                    static_cast<uint32_t>(cells * sizeof(int32_t))))
                              : nullptr;
        if (matrix != nullptr) {
            // 2.1-2.2 Every score is computed before any pair of this type is made.
            AssignPositions(first);
            AssignPositions(second);
            for (int32_t a = 0; a < rows; ++a) {
                for (int32_t b = 0; b < columns; ++b) {
                    matrix[static_cast<size_t>(a) * columns + b] =
                        ItemScore(first, second, first.candidates[a], second.candidates[b]);
                }
            }
            // 2.3
            int32_t rounds = rows < columns ? rows : columns;
            for (int32_t round = 0; round < rounds; ++round) {
                BestCell best = TakeBest(matrix, rows, columns);
                int32_t i = first.candidates[best.row];
                int32_t j = second.candidates[best.column];
                bool belowThreshold =
                    rules.unsignedThreshold
                        ? static_cast<uint32_t>(best.score) <= kPairingThreshold
                        : best.score <= kPairingThreshold;
                if (belowThreshold) {
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
            g_runState.outOfMemory = true;
        }
    }
    // 3. Whatever is left of the type is an addition or a deletion.
    for (int32_t a = 0; a < rows; ++a) {
        int32_t i = first.candidates[a];
        if (first.status[i] == kStatusUnresolved) MarkUnpaired(first, i, rules.firstUnpaired);
    }
    for (int32_t b = 0; b < columns; ++b) {
        int32_t j = second.candidates[b];
        if (second.status[j] == kStatusUnresolved) {
            MarkUnpaired(second, j, rules.secondUnpaired);
        }
    }
}

void MatchItems(PairingSide& first, PairingSide& second, const PairingRules& rules) {
    // 1. Unique texts.
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
    // 2. Types that the first side lacks.
    for (int32_t j = 0; j < second.count; ++j) {
        if (second.status[j] != kStatusUnresolved) continue;
        if (FindUnresolved(first, second.texts[j], second.types[j], nullptr) == 0) {
            MarkUnpaired(second, j, rules.secondUnpaired);
        }
    }
    // 3. Every remaining type, in the order of its first unresolved first-side item.
    for (int32_t i = 0; i < first.count; ++i) {
        if (first.status[i] != kStatusUnresolved) continue;
        int32_t type = first.types[i];
        CollectCandidates(first, type);
        CollectCandidates(second, type);
        PairByScore(first, second, type, rules);
    }
}
