// compare/pairing_outcome.cpp: writing pairs and lone items into both sides.
#include "compare/pairing_outcome.h"

#include "compare/pair_scores.h"
#include "outline/outline_object.h"

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

void SettleLeftovers(PairingSide& first, PairingSide& second, const PairingRules& rules) {
    for (int32_t row = 0; row < first.candidateCount; ++row) {
        int32_t i = first.candidates[row];
        if (first.status[i] == kStatusUnresolved) MarkUnpaired(first, i, rules.firstUnpaired);
    }
    for (int32_t column = 0; column < second.candidateCount; ++column) {
        int32_t j = second.candidates[column];
        if (second.status[j] == kStatusUnresolved) {
            MarkUnpaired(second, j, rules.secondUnpaired);
        }
    }
}

bool IsAtOrBelowThreshold(const PairingRules& rules, int32_t score) {
    return rules.unsignedThreshold ? static_cast<uint32_t>(score) <= kPairingThreshold
                                   : score <= kPairingThreshold;
}
