// compare/pairing_outcome.h
//
// Writes what a pairing decided into the status and match arrays of both sides: a pair, an
// item without partner, the candidates a type's pairing left over. Every engine decides through
// the same threshold test and writes through here, so that engines can differ only in speed.
#pragma once

#include <cstdint>

#include "compare/pairing_side.h"

// First-side item i and second-side item j become partners, both with status.
void Pair(PairingSide& first, PairingSide& second, int32_t i, int32_t j, WCHAR status);
// Item k of side gets status and no partner.
void MarkUnpaired(PairingSide& side, int32_t k, WCHAR status);
// Whatever is left of the type is an addition or a deletion: every candidate still unresolved
// on either side gets the letter that rules give that side's lone items.
void SettleLeftovers(PairingSide& first, PairingSide& second, const PairingRules& rules);
// Whether a best score of score pairs nothing: at or below kPairingThreshold, read as an
// unsigned number where rules say so (a negative score then pairs).
bool IsAtOrBelowThreshold(const PairingRules& rules, int32_t score);
