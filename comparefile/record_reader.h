// comparefile/record_reader.h
//
// Reads a compare file's records into a CompareList. The reader trusts nothing in the file: it
// skips the four header lines unread, splits lines at LF only, and takes each record's line
// count as the number of physical lines to gather, stopping at the end of the file.
//
// Lines are read in pieces of at most kCompareLineSize - 1 characters, CR LF included. A piece
// that does not end with LF (the writer never splits a long text) counts as a line of its own:
// as a record line it is parsed as a record, as a header or continuation line it is one of the
// lines taken. The file stays readable to its end; only the one long record comes out in parts.
#pragma once

#include <cstdint>
#include <cstdio>

#include "comparefile/compare_list.h"
#include "comparefile/compare_record.h"
#include "platform/platform.h"

// Characters in the buffer of one physical line: at most 511 characters and the terminator.
constexpr int kCompareLineSize = 512;

// Reads the records of list's open file by list's mode word (view mode: bit 0x1) and appends
// every kept record to list in file order; answers how many it appended. View mode drops X
// records and reads a move record's keys from its text.
// - A record whose strings the checked heap refuses is dropped whole, its continuation lines
//   with it, and reading goes on with the next record; the heap's warning has been shown.
// - When the list cannot hold another record (kMaxCompareRecords reached, or its arrays cannot
//   grow) that record and all that follow are dropped: reading stops there.
// - A file that ends inside a record keeps the record as far as it was read.
// Answers 0 and reads nothing when list has no open file.
uint16_t ReadCompareRecords(CompareList& list);

// The fields of one physical line: the line count at its start, the letters after the first
// and second commas, keys 1 and 2 after the third and fourth, the values after the fifth and
// sixth, and a copy of everything after the seventh comma (line end included) as the text. A
// missing comma ends the parse and the fields after it keep their defaults ('.', blank, none,
// 0). In view mode a move record (subject M) instead takes its keys from the two keys of its
// text, keeps no text, and negates value 1 when the ordinal of key 1 as written is greater
// than that of key 2. The caller releases the record (ReleaseCompareRecord).
// When the heap refuses a string, *refused (if given) becomes true and the record holds no
// strings but keeps its line count, so that the caller can skip the rest of the record.
CompareRecord ParseCompareRecord(const WCHAR* line, bool viewMode, bool* refused = nullptr);

// A new copy of the characters from start up to the next comma; without a comma up to the next
// CR; without either to the end. Absent for an absent start, and when the heap refuses (after
// its warning). Released with CheckedFree.
WCHAR* CopyCompareField(const WCHAR* start);

// Reads the next physical line of stream into buffer (kCompareLineSize characters): at most 511
// characters, its CR LF included. Answers buffer, or none at the end of the file.
WCHAR* ReadCompareLine(FILE* stream, WCHAR* buffer);
