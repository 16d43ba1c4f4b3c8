// comparefile/record_reader.cpp: reading compare file records into a list.
#include "comparefile/record_reader.h"

#include <cstring>

#include "comparefile/record_writer.h"
#include "support/checked_memory.h"

namespace {

// The header's lines: one kind marker and three file lines in a file written with one kind bit.
constexpr int kHeaderLines = 4;

// A text longer than this many characters would pass what a block size of 32 bits can hold.
constexpr size_t kMaxTextLength = 0x3FFFFFFF;

// Appends a continuation line to the record's text (a record without one takes the line as its
// text). False when the heap refused, after its warning, or the text would grow past
// kMaxTextLength; the record's strings are then as they were.
bool AppendToText(CompareRecord& record, int32_t& textLength, const WCHAR* line) {
    size_t lineLength = static_cast<size_t>(lstrlenW(line));
    size_t length = static_cast<size_t>(textLength) + lineLength;
    if (length > kMaxTextLength) return false;
    void* grown = CheckedRealloc(record.text, static_cast<uint32_t>((length + 1) * sizeof(WCHAR)));
    if (grown == nullptr) return false;
    record.text = static_cast<WCHAR*>(grown);
    std::memcpy(record.text + textLength, line, (lineLength + 1) * sizeof(WCHAR));
    textLength = static_cast<int32_t>(length);
    return true;
}

}  // namespace

uint16_t ReadCompareRecords(CompareList& list) {
    FILE* stream = list.Stream();
    if (stream == nullptr) return 0;
    bool viewMode = (list.ModeWord() & kViewModeBit) != 0;
    WCHAR line[kCompareLineSize];
    // 1. The header is skipped unread, whatever its lines hold.
    for (int k = 0; k < kHeaderLines; ++k) {
        if (ReadCompareLine(stream, line) == nullptr) return 0;
    }
    uint16_t appended = 0;
    // 2. and 7.
    while (ReadCompareLine(stream, line) != nullptr) {
        // 3.
        bool refused = false;
        CompareRecord record = ParseCompareRecord(line, viewMode, &refused);
        // 4. A refused record still takes its continuation lines, so that they are not read
        // as records of their own; a file that ends here ends the record.
        int32_t textLength = record.text != nullptr ? lstrlenW(record.text) : 0;
        for (int32_t k = 1; k < record.lineCount; ++k) {
            if (ReadCompareLine(stream, line) == nullptr) break;
            if (refused) continue;
            refused = !AppendToText(record, textLength, line);
        }
        if (refused) {
            ReleaseCompareRecord(record);
            continue;
        }
        // 5. Only the record's own line end goes; CRs and LFs inside the text stay.
        if (textLength >= 2 && record.text[textLength - 2] == u'\r' &&
            record.text[textLength - 1] == u'\n') {
            record.text[textLength - 2] = 0;
        }
        // 6.
        if (viewMode && record.changeLetter == kChangeAddedWithin) {
            ReleaseCompareRecord(record);
            continue;
        }
        // Records past kMaxCompareRecords, or past what the arrays could grow to, are dropped:
        // reading stops at the first that the list cannot hold.
        if (!list.AppendCompareRecord(record)) break;
        ++appended;
    }
    return appended;
}

namespace {

// The start of the field after the next comma at or after from, or none.
const WCHAR* NextField(const WCHAR* from) {
    if (from == nullptr) return nullptr;
    for (; *from != 0; ++from) {
        if (*from == u',') return from + 1;
    }
    return nullptr;
}

// A key's own ordinal: the number of its last three characters, 0 for a key shorter than two
// groups (the top item's key has no parent and so no ordinal of its own).
int32_t OrdinalOf(const WCHAR* key) {
    int length = lstrlenW(key);
    if (length < 6) return 0;
    WCHAR lastThree[4] = {key[length - 3], key[length - 2], key[length - 1], 0};
    return _wtoi(lastThree);
}

// Copies field into *target; false when the field is there but the heap refused its copy.
bool CopyField(const WCHAR* field, WCHAR** target) {
    *target = CopyCompareField(field);
    return field == nullptr || *target != nullptr;
}

}  // namespace

CompareRecord ParseCompareRecord(const WCHAR* line, bool viewMode, bool* refused) {
    CompareRecord record = EmptyCompareRecord();
    if (refused != nullptr) *refused = false;
    if (line == nullptr) return record;
    // The starts of fields 2 to 9 (fields[2] follows the first comma); none from the first
    // missing comma on. Field 9 is the second key in a move's text.
    const WCHAR* fields[10] = {};
    fields[1] = line;
    for (int k = 2; k <= 9; ++k) fields[k] = NextField(fields[k - 1]);
    // 1.
    record.lineCount = _wtoi(line);
    // 2. A comma at the very end of the line is followed by no letter.
    if (fields[2] == nullptr || fields[2][0] == 0) return record;
    record.changeLetter = fields[2][0];
    if (fields[3] == nullptr || fields[3][0] == 0) return record;
    record.subjectLetter = fields[3][0];
    // 3. and 4.
    bool copied = CopyField(fields[4], &record.firstKey) && CopyField(fields[5], &record.secondKey);
    if (fields[6] != nullptr) record.firstValue = _wtoi(fields[6]);
    if (fields[7] != nullptr) record.secondValue = _wtoi(fields[7]);
    if (copied && fields[8] != nullptr) {
        if (viewMode && record.subjectLetter == kSubjectMove) {
            // The viewer shows the run where it stands in the two outlines; the sign of value
            // 1 tells the direction, from the positions that the apply would use.
            // Negated as the 32-bit word wraps, so that the lowest value stays itself.
            if (OrdinalOf(record.firstKey) > OrdinalOf(record.secondKey)) {
                record.firstValue =
                    static_cast<int32_t>(0u - static_cast<uint32_t>(record.firstValue));
            }
            CheckedFree(record.firstKey);
            record.firstKey = nullptr;
            if (record.secondKey != nullptr) CheckedFree(record.secondKey);
            record.secondKey = nullptr;
            copied = CopyField(fields[8], &record.firstKey) &&
                     CopyField(fields[9], &record.secondKey);
        } else {
            record.text = CheckedDup(fields[8]);
            copied = record.text != nullptr;
        }
    }
    if (!copied) {
        ReleaseCompareRecord(record);
        if (refused != nullptr) *refused = true;
    }
    return record;
}

WCHAR* CopyCompareField(const WCHAR* start) {
    if (start == nullptr) return nullptr;
    const WCHAR* end = nullptr;
    for (const WCHAR* at = start; *at != 0 && end == nullptr; ++at) {
        if (*at == u',') end = at;
    }
    for (const WCHAR* at = start; *at != 0 && end == nullptr; ++at) {
        if (*at == u'\r') end = at;
    }
    if (end == nullptr) end = start + lstrlenW(start);
    size_t length = static_cast<size_t>(end - start);
    uint32_t bytes = static_cast<uint32_t>((length + 1) * sizeof(WCHAR));
    WCHAR* copy = static_cast<WCHAR*>(CheckedAlloc(bytes));
    // Without the memory there is no field; the caller drops its record.
    if (copy == nullptr) return nullptr;
    std::memcpy(copy, start, length * sizeof(WCHAR));
    copy[length] = 0;
    return copy;
}

WCHAR* ReadCompareLine(FILE* stream, WCHAR* buffer) {
    if (stream == nullptr || buffer == nullptr) return nullptr;
    return fgetws(buffer, kCompareLineSize, stream);
}
