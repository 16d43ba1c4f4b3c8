// compare/pairing_side.h
//
// One side of a pairing as plain arrays, the status letters a pairing leaves in them, and the
// rules that name the items it leaves without partner. Every pairing engine works on these
// alone, so that tests can drive a pairing without outlines.
#pragma once

#include <cstdint>

#include "platform/platform.h"

// Status letters of the pairing (beside '.' and 'I' of loading).
constexpr WCHAR kStatusEqual = u'=';
constexpr WCHAR kStatusChanged = u'C';
constexpr WCHAR kStatusOnlyFirst = u'A';
constexpr WCHAR kStatusOnlySecond = u'D';
constexpr WCHAR kStatusUnderOnlyFirst = u'X';
constexpr WCHAR kStatusConflict = u'#';

// One side of a pairing: the loaded section's arrays, with the status and match arrays of the
// pairing at hand (the original of a merge has one set per version). Plain arrays, so that
// tests and a faster engine can drive the pairing without outlines.
struct PairingSide {
    int32_t count;
    WCHAR* status;
    int32_t* match;
    const int32_t* types;
    WCHAR* const* texts;
    int32_t* candidates;  // room for count entries
    int32_t candidateCount;
    int32_t* positions;  // room for count entries
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
constexpr PairingRules kComparisonRules = {kStatusOnlyFirst, kStatusOnlySecond, false};
constexpr PairingRules kMergeRules = {kStatusOnlySecond, kStatusOnlyFirst, true};
