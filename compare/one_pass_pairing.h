// compare/one_pass_pairing.h
//
// Pairs one type's candidates by score as the rounds of PairByScoreReference would, in one
// pass over the cells sorted by score instead of a search per round, and without any cells
// where the matrix-free engine applies. Falls back to PairByScoreReference wherever its own
// scratch memory is refused or a negative score makes the single pass unsafe, so its pairs
// never depend on either.
#pragma once

#include <cstdint>

#include "compare/pairing_side.h"
#include "compare/text_groups.h"

// Settles every unresolved item of type on both sides (the candidates must be collected), as
// PairByScore says. groups are the text groups of both sides, or null groups, which compare
// the texts instead and leave the matrix-free engine out.
void PairByScoreInOnePass(PairingSide& first, PairingSide& second, int32_t type,
                          const PairingRules& rules, const TextGroupsOf& groups);
