// compare/item_matching.h
//
// Pairs the items of two loaded sections: every unresolved item ends up paired with an item of
// the same type on the other side, unchanged ('=') or changed ('C'), or marked as only in the
// first ('A') or only in the second ('D') outline. Items whose text is unique among the
// unresolved items of their type on both sides pair first; types that one side lacks are
// settled next; every other type is settled greedily on a score matrix that rewards equal
// texts first and closeness to the pairs already made second. The merge pairs each version
// with the original through the same functions.
#pragma once

#include <cstdint>

#include "compare/pair_scores.h"
#include "compare/pairing_side.h"
// Callers measure the pairing against the reference engine through this header too.
#include "compare/reference_pairing.h"
#include "outline/outline_object.h"
#include "platform/platform.h"

// The section of outline, with its own status and match arrays.
PairingSide SideOf(COutline& outline);
// The original's section with the status and match arrays of its pairing with version (1, 2).
PairingSide SideOf(CBaseOutline& original, int version);

// Answers 0 when no unresolved item of type exists, 1 when exactly one has text (index then
// names it), 2 when several have it or none of the existing ones has it. Unresolved means '.'
// in status (the side's own status array when status is none).
int FindUnresolved(const PairingSide& side, const WCHAR* text, int32_t type, int32_t* index,
                   const WCHAR* status = nullptr);
// The candidates become the unresolved items of type, in index order.
void CollectCandidates(PairingSide& side, int32_t type);
// Each item's running position among the items that are neither 'A', 'D' nor 'X' (-1 for those).
void AssignPositions(PairingSide& side);
// Every item gets status and no partner.
void SetAllStatus(PairingSide& side, WCHAR status);

// Settles every unresolved item of type on both sides (the candidates must be collected):
// pairs by score where the type matches by similarity, and leaves the rest without partner.
// When the matrix cannot be allocated (its warning box has been shown) no pair is made by
// score: the items become additions and deletions, which still describe the change truly.
// Takes the pairs in one pass over the cells sorted by score; where its own scratch memory
// is refused it falls back to PairByScoreReference, so the pairs never depend on it.
void PairByScore(PairingSide& first, PairingSide& second, int32_t type,
                 const PairingRules& rules = kComparisonRules);
// The three phases over two loaded sections; afterwards no item is '.'. Finds equal texts
// through a hash of (type, text); where that table is refused it pairs as
// MatchItemsReference does, with the same result.
void MatchItems(PairingSide& first, PairingSide& second,
                const PairingRules& rules = kComparisonRules);
