// comparefile/record_reader.h
//
// Reads a compare file's records into a CompareList. The reader trusts nothing in the file: it
// skips the four header lines unread, splits lines at LF only, and takes each record's line
// count as the number of physical lines to gather, stopping at the end of the file.
//
// Every physical line is read whole, whatever its length: the writer never splits a long text,
// so a record line of a megabyte is one record, and nothing inside its text (commas, a run of
// fields that looks like a record) can start a record of its own.
#pragma once

#include <cstdint>
#include <cstdio>

#include "comparefile/compare_list.h"
#include "comparefile/compare_record.h"
#include "platform/platform.h"

// One physical line of a compare file at a time, whole, in a buffer of the checked heap that
// grows with the longest line read and is released with the reader.
class CompareLineReader {
public:
    explicit CompareLineReader(FILE* stream) : stream_(stream) {}
    ~CompareLineReader();
    CompareLineReader(const CompareLineReader&) = delete;
    CompareLineReader& operator=(const CompareLineReader&) = delete;

    // The next physical line, its CR LF included, valid until the next call; none at the end
    // of the file. When the heap refuses the room for a long line, the rest of that line is
    // still read and dropped, so the next call starts on the next line; the answer is then the
    // part that fitted and *refused (if given) becomes true.
    const WCHAR* ReadCompareLine(bool* refused = nullptr);

private:
    FILE* stream_;
    WCHAR* buffer_ = nullptr;
    uint32_t capacity_ = 0;  // characters, terminator included
};

// Reads the records of list's open file by list's mode word (view mode: bit 0x1) and appends
// every kept record to list in file order; answers how many it appended. View mode drops X
// records and reads a move record's keys from its text.
// - A record whose strings the checked heap refuses is dropped whole, its continuation lines
//   with it, and reading goes on with the next record; the heap's warning has been shown.
// - When the list cannot hold another record (its record limit reached, or its arrays cannot
//   grow) that record and all that follow are dropped: reading stops there.
// - A file that ends inside a record keeps the record as far as it was read.
// Whenever a record of the file is left out for want of room, or in view mode for a key longer
// than kMaxViewerKeyLength, the list is marked incomplete.
// Answers 0 and reads nothing when list has no open file.
RecordNumber ReadCompareRecords(CompareList& list);

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
