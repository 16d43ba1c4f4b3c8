// compare/reference_pairing.h
//
// The pairing step by step: one scan of the other side per item in the unique-text phases, a
// full score per cell of a type's score matrix, and a full TakeBest search per round. Slow
// (quadratic and worse), kept as the measure that MatchItems and PairByScore must equal item
// for item, and as their fallback where their own scratch memory is refused.
#pragma once

#include <cstdint>

#include "compare/pairing_side.h"

// Settles every unresolved item of type on both sides (the candidates must be collected):
// scores every cell before any pair is made, then takes the best cell round by round. Where
// the matrix cannot be allocated no pair is made by score and the run is marked out of memory.
void PairByScoreReference(PairingSide& first, PairingSide& second, int32_t type,
                          const PairingRules& rules = kComparisonRules);
// The three phases of MatchItems over two loaded sections, each by plain scans; afterwards no
// item is '.'.
void MatchItemsReference(PairingSide& first, PairingSide& second,
                         const PairingRules& rules = kComparisonRules);
