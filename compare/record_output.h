// compare/record_output.h
//
// The comparison's way into the compare file: every record goes out through here, so that each
// is counted for the caller's progress handler and a record that lost its key to a refused
// allocation stops the build instead of leaving a gap in the file.
#pragma once

#include <cstdint>

#include "platform/platform.h"

// The ordinal of the key made up on the second side for what stands under, or in, an item
// only in the first outline: the second section's key and "001", as no partner names it.
constexpr int32_t kPartnerlessOrdinal = 1;

// Writes one record to the build's compare file and counts it. A key or text of none (its
// allocation was refused) writes nothing and marks the run out of memory.
void EmitRecord(WCHAR changeLetter, WCHAR subjectLetter, const WCHAR* firstKey,
                const WCHAR* secondKey, int32_t firstValue, int32_t secondValue, const WCHAR* text);
// The same with the text written as textA, a comma and textB. A textB of none counts as a
// refused allocation too: nothing is written and the run is marked out of memory.
void EmitRecordJoined(WCHAR changeLetter, WCHAR subjectLetter, const WCHAR* firstKey,
                      const WCHAR* secondKey, int32_t firstValue, int32_t secondValue,
                      const WCHAR* textA, const WCHAR* textB);
