// comparefile/compare_list.h
//
// The compare file of a build and the records of one loaded compare file. A build writes
// through the stream and mode word of the process-wide list without touching its records; the
// viewer's exports and the apply read records into a list, one set of parallel arrays.
#pragma once

#include <cstdint>
#include <cstdio>

#include "comparefile/compare_record.h"
#include "outline/outline_runtime.h"
#include "platform/platform.h"
#include "platform/replacement_file.h"

// A record's place in file order, and a place in one side's sorted order.
typedef uint32_t RecordNumber;

// View mode, the mode word bit of the "RDFC" kind, is a file for a viewer: written without X
// records and without texts except on move records, read without X records and with a move's
// keys taken from its text.
constexpr uint32_t kViewModeBit = 0x1;
// The mode words the readers open a file with: the viewer's, and the apply's, which needs
// every record and every text as written.
constexpr uint32_t kViewerModeWord = kViewModeBit;
constexpr uint32_t kApplyModeWord = 0x2;

// The longest key a viewer's list holds: what one line of at most 511 characters, CR LF
// included, can carry. Viewers size the buffers they copy keys into by it (512 characters hold
// any such key and its terminator); a record with a longer key is left out of their list.
constexpr int kMaxViewerKeyLength = 509;

// Every per-record array grows by this many entries at once, all of them together.
constexpr RecordNumber kCompareGrowthStep = 255;
// The viewer's counts, positions and record numbers are 16-bit, so its list holds at most
// this many records. 65,535 is 257 growth steps exactly, so the capacity never passes it.
constexpr RecordNumber kMaxViewerRecords = 65535;
// A list whose positions no caller sees (the apply's) holds as many records as the 32-bit
// block sizes of the checked heap allow for its widest array (pointers of 8 bytes), rounded
// down to whole growth steps.
constexpr RecordNumber kMaxPrivateRecords =
    (0xFFFFFFFFu / 8) / kCompareGrowthStep * kCompareGrowthStep;

class CompareList {
public:
    // A list that holds at most recordLimit records (kMaxViewerRecords or kMaxPrivateRecords).
    explicit CompareList(RecordNumber recordLimit = kMaxViewerRecords)
        : recordLimit_(recordLimit) {}
    ~CompareList();
    CompareList(const CompareList&) = delete;
    CompareList& operator=(const CompareList&) = delete;

    // Stores modeWord, then opens path with mode ("wb" to write, "rb" to read). Answers true
    // when the file is open. Writing goes to a temporary file of its own beside path (beside
    // the file it names, when path is a symbolic link), which replaces that file only when
    // CloseCompareFile completes it: a build that fails half way never leaves a partial compare
    // file where a complete one is expected and never harms the old one, and two builds to one
    // path leave one of their files whole. A path in a missing or read-only folder, or naming
    // a folder, fails here.
    // A file still open is thrown away first, as DiscardCompareFile does.
    bool OpenCompareFile(const WCHAR* path, const WCHAR* mode, uint32_t modeWord);
    // Closes the stream if one is open and forgets it. A written file is flushed and moved over
    // its path, keeping the mode of the file it replaces; answers false when that failed (the
    // old file at the path is then as it was and the temporary is removed), true otherwise,
    // also when nothing was open.
    bool CloseCompareFile();
    // Closes a file being written without letting it replace its path: the temporary is
    // removed and an old file at the path stays as it was. A file being read is just closed.
    void DiscardCompareFile();

    FILE* Stream() const { return stream_; }
    uint32_t ModeWord() const { return modeWord_; }

    // Stores record as record number Count(): both orders map that position to it, both item
    // handles are 0. The list takes over the record's strings in every case and leaves record
    // holding none. Answers false, after releasing the strings, when the record cannot be held:
    // the list already holds its record limit, or its arrays could not grow (the checked
    // heap's warning has been shown; the records held so far stay as they were).
    bool AppendCompareRecord(CompareRecord& record);
    // Releases every record string and every array: count and capacity become 0, and the list
    // is whole again. The stream, the mode word and the last probe stay as they are.
    void ClearCompareList();
    // Notes that a record of the file was left out (past the limit, or refused by the heap),
    // so that whoever loaded the list can tell a part from the whole.
    void MarkIncomplete() { incomplete_ = true; }
    // True when every record read since the last clearing is held.
    bool IsComplete() const { return !incomplete_; }

    // Sorts both orders, the side-2 order first, so that each side's records run by that side's
    // key; records of one key run by kind (side 2: C, M, D, A, X; side 1: C, M, A, X, D, with
    // the subjects T, A, M, P, D within one change letter), then by the other side's key and
    // kind, then by record number. Nothing happens on an empty list.
    void SortCompareList();
    // The first position of side 1's order (by key 1) or side 2's (by key 2) that holds key;
    // -1 when none does, or for another side. A partial search that finds no equal key answers
    // instead the position of the last key that sorts before key: 0 when every key sorts after
    // it (and on an empty list), Count() - 1 when every key sorts before it. The list must be
    // sorted.
    int32_t SearchCompareList(uint16_t side, const WCHAR* key, bool partial);
    // Resolves, for every record, key 2 (side nonzero) or key 1 (side 0) into the item it names
    // below start, the item that the key group "001" stands for; 0 for a key that leads nowhere.
    void SetCompareItemHandles(OutlineHandle outline, ItemHandle start, int32_t side);
    // The position on the other side that holds the record at position of side 1's order (side
    // 1) or side 2's (any other side); -1 for a position at or past Count().
    int32_t MatchingPosition(uint16_t side, RecordNumber position) const;

    // Read access by record number n (file order), for n below Count(). A number at or past
    // Count() answers what an absent record would hold: letters '.' and blank, no keys or text,
    // values and item handles 0, and order entry 0.
    RecordNumber Count() const { return count_; }
    RecordNumber Capacity() const { return capacity_; }
    RecordNumber RecordLimit() const { return recordLimit_; }
    WCHAR ChangeLetter(RecordNumber n) const {
        return n < count_ ? changeLetters_[n] : kChangeNone;
    }
    WCHAR SubjectLetter(RecordNumber n) const {
        return n < count_ ? subjectLetters_[n] : kSubjectNone;
    }
    const WCHAR* FirstKey(RecordNumber n) const { return n < count_ ? firstKeys_[n] : nullptr; }
    const WCHAR* SecondKey(RecordNumber n) const { return n < count_ ? secondKeys_[n] : nullptr; }
    int32_t FirstValue(RecordNumber n) const { return n < count_ ? firstValues_[n] : 0; }
    int32_t SecondValue(RecordNumber n) const { return n < count_ ? secondValues_[n] : 0; }
    const WCHAR* Text(RecordNumber n) const { return n < count_ ? texts_[n] : nullptr; }
    // The record number at a position of side 1's or side 2's order.
    RecordNumber FirstOrder(RecordNumber position) const {
        return position < count_ ? firstOrder_[position] : 0;
    }
    RecordNumber SecondOrder(RecordNumber position) const {
        return position < count_ ? secondOrder_[position] : 0;
    }
    // The outline item that key 1 or key 2 of record n names; 0 while not resolved.
    uint32_t FirstItem(RecordNumber n) const { return n < count_ ? firstItems_[n] : 0; }
    uint32_t SecondItem(RecordNumber n) const { return n < count_ ? secondItems_[n] : 0; }

private:
    // The order of side 2 for side 2, of side 1 for any other side.
    const RecordNumber* OrderOf(uint16_t side) const {
        return side == 2 ? secondOrder_ : firstOrder_;
    }
    // Gives every per-record array kCompareGrowthStep more entries, keeping their contents;
    // false, with the arrays as they were, when the limit is reached or the heap refuses.
    bool GrowRecordArrays();

    FILE* stream_ = nullptr;
    uint32_t modeWord_ = 0;
    // While writing: the temporary that will replace the file at the path; its stream is stream_.
    ReplacementFile* replacement_ = nullptr;

    // The records: count_ entries in use of capacity_ in every array below.
    RecordNumber recordLimit_;
    RecordNumber count_ = 0;
    RecordNumber capacity_ = 0;
    bool incomplete_ = false;
    WCHAR* changeLetters_ = nullptr;
    WCHAR* subjectLetters_ = nullptr;
    WCHAR** firstKeys_ = nullptr;   // each owned, or none
    WCHAR** secondKeys_ = nullptr;  // each owned, or none
    int32_t* firstValues_ = nullptr;
    int32_t* secondValues_ = nullptr;
    RecordNumber* firstOrder_ = nullptr;   // position on side 1 -> record number
    RecordNumber* secondOrder_ = nullptr;  // position on side 2 -> record number
    uint32_t* firstItems_ = nullptr;       // outline item handles, as the runtime gives them
    uint32_t* secondItems_ = nullptr;
    WCHAR** texts_ = nullptr;  // each owned, or none
    // The position that the last binary search compared; kept across clearing.
    RecordNumber lastProbe_ = 0;
};

// The list of the viewer's exports, limited to kMaxViewerRecords; a build writes its compare
// file through it.
extern CompareList g_compareList;
