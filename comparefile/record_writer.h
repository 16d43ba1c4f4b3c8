// comparefile/record_writer.h
//
// Writes a compare file: its header, then one record line per difference, through the open
// stream and the mode word of a CompareList. The file is UTF-16LE with CR LF line ends; nothing
// in a key or text is escaped, so a text's own commas, CRs and LFs go out as they are and the
// record's line count tells a reader how many physical lines the record spans.
//
// Header: U+FEFF, then one marker line per kind bit of the mode word ("RDFC" for 0x1, "RDFA"
// for 0x2, "FDFM" for 0x4, in that order), then "name,size,time" for the first name, the second
// name and the empty name (",0,"). Readers skip exactly four lines unread, so a build sets
// exactly one kind bit.
// Record: "lineCount,change,subject,key1,key2,value1,value2,text" and CR LF.
#pragma once

#include <cstdint>

#include "comparefile/compare_list.h"
#include "platform/platform.h"

// Writes the byte order mark, the marker lines and the file lines of firstName, secondName and
// the empty name. Size and time come from ReadFileInfo: a name that names no readable file
// gives size 0 and an empty time. An absent name leaves its line out. Does nothing when list
// has no open file.
void WriteCompareHeader(CompareList& list, const WCHAR* firstName, const WCHAR* secondName);

// Writes one record. In view mode an X record is not written and a record other than a move
// is written with an empty text. Keys and text should be present (the empty text where there
// is nothing); an absent one is written as the empty text. Does nothing when no file is open.
void WriteCompareRecord(CompareList& list, WCHAR changeLetter, WCHAR subjectLetter,
                        const WCHAR* firstKey, const WCHAR* secondKey, int32_t firstValue,
                        int32_t secondValue, const WCHAR* text);

// As WriteCompareRecord with the text textA, a comma and textB, or textA alone when textB is
// absent: the two keys of a move, the name and value of a property. Allocates nothing.
void WriteCompareRecordJoined(CompareList& list, WCHAR changeLetter, WCHAR subjectLetter,
                              const WCHAR* firstKey, const WCHAR* secondKey, int32_t firstValue,
                              int32_t secondValue, const WCHAR* textA, const WCHAR* textB);
