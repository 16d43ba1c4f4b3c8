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

#include "outline/outline_object.h"
#include "platform/platform.h"

// Status letters of the pairing (beside '.' and 'I' of loading).
constexpr WCHAR kStatusEqual = u'=';
constexpr WCHAR kStatusChanged = u'C';
constexpr WCHAR kStatusOnlyFirst = u'A';
constexpr WCHAR kStatusOnlySecond = u'D';
constexpr WCHAR kStatusUnderOnlyFirst = u'X';
constexpr WCHAR kStatusConflict = u'#';

// An equal text must beat any position score, so a pair with equal texts always wins over a
// closer pair with different texts.
constexpr int32_t kEqualTextScore = 480000000;
// Base of the position score of sections with 2 x count x count up to this bound; the sum of
// displacements of any two sections of at most 999 items each stays far below it.
constexpr int64_t kPositionScoreBase = 140000000;
// Scale of the position score of larger sections.
constexpr int64_t kLargeSectionScale = 280000;
// A best score of at most this pairs nothing: its candidates become 'A' and 'D'.
constexpr int32_t kPairingThreshold = 10000;

// One side of a pairing: the loaded section's arrays, with the status and match arrays of the
// pairing at hand (the original of a merge has one set per version). Plain arrays, so that
// tests and a faster engine can drive the pairing without outlines.
struct PairingSide {
    int32_t count;
    WCHAR* status;
    int32_t* match;
    const int32_t* types;
    WCHAR* const* texts;
    int32_t* candidates;     // room for count entries
    int32_t candidateCount;
    int32_t* positions;      // room for count entries
};

// What a pairing calls items left without partner, and how it reads the threshold. The
// comparison pairs a first outline with a second: the first's lone items were added ('A'),
// the second's deleted ('D'). The merge pairs the original with a version: the original's lone
// items were deleted in that version ('D'), the version's added ('A'); it compares the best
// score with the threshold as an unsigned number.
struct PairingRules {
    WCHAR firstUnpaired;
    WCHAR secondUnpaired;
    bool unsignedThreshold;
};
constexpr PairingRules kComparisonRules = {u'A', u'D', false};
constexpr PairingRules kMergeRules = {u'D', u'A', true};

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

// Scores of first-side item i against second-side item j.
int32_t TextScore(const PairingSide& first, const PairingSide& second, int32_t i, int32_t j);
// Higher the closer the candidates stand to where the items paired so far put them. Reads
// the positions of AssignPositions.
int32_t PositionScore(const PairingSide& first, const PairingSide& second, int32_t i,
                      int32_t j);
// Text and position score, with the lowest bit replaced by the texts-equal flag.
int32_t ItemScore(const PairingSide& first, const PairingSide& second, int32_t i, int32_t j);

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

// The pairing step by step as the rules state it: one scan of the other side per item in the
// unique-text phases, a full score per cell, and a full TakeBest search per round. Slow
// (quadratic and worse), kept as the measure that MatchItems and PairByScore must equal
// item for item.
void PairByScoreReference(PairingSide& first, PairingSide& second, int32_t type,
                          const PairingRules& rules = kComparisonRules);
void MatchItemsReference(PairingSide& first, PairingSide& second,
                         const PairingRules& rules = kComparisonRules);
