// comparefile/compare_record.h
//
// One change record of a compare file as it travels between the file and a CompareList: the
// eight fields of a record line, with the strings on the checked heap.
#pragma once

#include <cstdint>

#include "platform/platform.h"

// The letters of a record. The change letter says what happened, the subject letter to what.
constexpr WCHAR kChangeChanged = u'C';      // in both outlines, different
constexpr WCHAR kChangeDeleted = u'D';      // only in the second outline
constexpr WCHAR kChangeAdded = u'A';        // only in the first outline
constexpr WCHAR kChangeAddedWithin = u'X';  // only in the first, inside something only there
constexpr WCHAR kChangeMoved = u'M';        // a run of consecutive items that moved
constexpr WCHAR kSubjectText = u'T';
constexpr WCHAR kSubjectAttribute = u'A';
constexpr WCHAR kSubjectProperty = u'P';
constexpr WCHAR kSubjectDTData = u'D';
constexpr WCHAR kSubjectMove = u'M';
// What a record holds where its line says nothing: a line cut short before its letters.
constexpr WCHAR kChangeNone = u'.';
constexpr WCHAR kSubjectNone = u' ';

struct CompareRecord {
    int32_t lineCount;  // physical lines of the record: 1 plus the LF characters of text
    WCHAR changeLetter;
    WCHAR subjectLetter;
    WCHAR* firstKey;   // the item key on the first outline's side, or none
    WCHAR* secondKey;  // the item key on the second outline's side, or none
    int32_t firstValue;
    int32_t secondValue;  // -1 where the record kind has none
    WCHAR* text;          // may hold commas, CR and LF; or none
};

// A record of the defaults: no lines, letters '.' and blank, no strings, values 0.
CompareRecord EmptyCompareRecord();

// Releases the record's strings with CheckedFree and leaves it holding none.
void ReleaseCompareRecord(CompareRecord& record);
