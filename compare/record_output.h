// compare/record_output.h
//
// The comparison's way into the compare file: every record goes out through here, so that each
// is counted for the caller's progress handler and a record that lost its key to a refused
// allocation stops the build instead of leaving a gap in the file.
#pragma once

#include <cstdint>

#include "platform/platform.h"

// Writes one record to the build's compare file and counts it. A key or text of none (its
// allocation was refused) writes nothing and marks the run out of memory.
void EmitRecord(WCHAR changeLetter, WCHAR subjectLetter, const WCHAR* firstKey,
                const WCHAR* secondKey, int32_t firstValue, int32_t secondValue,
                const WCHAR* text);
// The same with the text written as textA, a comma and textB (textB none: textA alone).
void EmitRecordJoined(WCHAR changeLetter, WCHAR subjectLetter, const WCHAR* firstKey,
                      const WCHAR* secondKey, int32_t firstValue, int32_t secondValue,
                      const WCHAR* textA, const WCHAR* textB);
