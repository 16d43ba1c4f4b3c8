// comparefile/record_reader.cpp: reading compare file records into a list.
#include "comparefile/record_reader.h"

#include <cstring>

#include "comparefile/record_writer.h"
#include "support/checked_memory.h"
#include "support/item_key.h"

namespace {

// The header's lines: one kind marker and three file lines in a file written with one kind bit.
constexpr int kHeaderLines = 4;

// A text longer than this many characters would pass what a block size of 32 bits can hold.
constexpr uint32_t kMaxTextLength = 0x3FFFFFFF;

// The first room for a line: most records are short.
constexpr uint32_t kFirstLineRoom = 512;
// Any character but the terminator, put in a piece's last slot before it is read.
constexpr WCHAR kNotTerminator = u'#';

// Room for length characters and a terminator, doubled from capacity so that a long line or
// text costs a few copies, not one per piece; false when the heap refused or the length passes
// kMaxTextLength (block and capacity are then as they were).
bool EnsureRoom(WCHAR*& block, uint32_t& capacity, uint32_t length) {
    if (length < capacity) return true;
    if (length > kMaxTextLength) return false;
    uint32_t room = capacity < kFirstLineRoom ? kFirstLineRoom : capacity;
    while (room <= length) room = room > kMaxTextLength / 2 ? kMaxTextLength + 1 : room * 2;
    void* grown = CheckedRealloc(block, room * static_cast<uint32_t>(sizeof(WCHAR)));
    if (grown == nullptr) return false;
    block = static_cast<WCHAR*>(grown);
    capacity = room;
    return true;
}

}  // namespace

CompareLineReader::~CompareLineReader() {
    if (buffer_ != nullptr) CheckedFree(buffer_);
}

const WCHAR* CompareLineReader::ReadCompareLine(bool* refused) {
    if (refused != nullptr) *refused = false;
    if (stream_ == nullptr) return nullptr;
    uint32_t length = 0;
    bool readAny = false;
    // Without even the first room the line is still read to its end, and answered empty.
    bool dropping = !EnsureRoom(buffer_, capacity_, kFirstLineRoom - 1);
    if (dropping && refused != nullptr) *refused = true;
    WCHAR discard[kFirstLineRoom];
    for (;;) {
        // Each piece goes after what was read so far, or, once the heap has refused, into a
        // scratch buffer only to find the line's end.
        WCHAR* into = dropping ? discard : buffer_ + length;
        uint32_t room = dropping ? kFirstLineRoom : capacity_ - length;
        // The last slot tells a full piece from a short one whatever the line holds: fgetws
        // writes its terminator there only when it filled the room without finding an LF.
        into[room - 1] = kNotTerminator;
        if (fgetws(into, static_cast<int>(room), stream_) == nullptr) break;
        readAny = true;
        bool full = into[room - 1] == 0;
        // A NUL inside the line hides the rest of its piece from everything that reads the
        // line; what matters here is only where the physical line ends.
        uint32_t piece = full ? room - 1 : static_cast<uint32_t>(lstrlenW(into));
        bool ended = !full || into[room - 2] == u'\n';
        if (!dropping) length += piece;
        if (ended) break;
        if (!dropping && !EnsureRoom(buffer_, capacity_, length + kFirstLineRoom - 1)) {
            dropping = true;
            if (refused != nullptr) *refused = true;
        }
    }
    if (!readAny) return nullptr;
    if (buffer_ == nullptr) return WIDE("");
    buffer_[length] = 0;
    return buffer_;
}

namespace {

// Appends a continuation line to the record's text (a record without one takes the line as its
// text), the text's room growing by doubling. False when the heap refused, after its warning,
// or the text would grow past kMaxTextLength; the record's text is then as it was.
bool AppendToText(CompareRecord& record, uint32_t& textLength, uint32_t& textCapacity,
                  const WCHAR* line) {
    uint32_t lineLength = static_cast<uint32_t>(lstrlenW(line));
    if (lineLength > kMaxTextLength - textLength) return false;
    uint32_t length = textLength + lineLength;
    if (!EnsureRoom(record.text, textCapacity, length)) return false;
    std::memcpy(record.text + textLength, line, (lineLength + 1) * sizeof(WCHAR));
    textLength = length;
    return true;
}

}  // namespace

RecordNumber ReadCompareRecords(CompareList& list) {
    FILE* stream = list.Stream();
    if (stream == nullptr) return 0;
    bool viewMode = (list.ModeWord() & kViewModeBit) != 0;
    CompareLineReader reader(stream);
    // The header is skipped unread, whatever its lines hold.
    for (int k = 0; k < kHeaderLines; ++k) {
        if (reader.ReadCompareLine() == nullptr) return 0;
    }
    RecordNumber appended = 0;
    bool refused = false;
    for (const WCHAR* line = reader.ReadCompareLine(&refused); line != nullptr;
         line = reader.ReadCompareLine(&refused)) {
        bool lineRefused = refused;
        CompareRecord record = ParseCompareRecord(line, viewMode, &refused);
        refused = refused || lineRefused;
        // A record with LFs in its text goes on over further lines. A refused record still
        // takes them, so that they are not read as records of their own; a file that ends
        // here ends the record.
        uint32_t textLength =
            record.text != nullptr ? static_cast<uint32_t>(lstrlenW(record.text)) : 0;
        uint32_t textCapacity = record.text != nullptr ? textLength + 1 : 0;
        for (int32_t k = 1; k < record.lineCount; ++k) {
            bool continuationRefused = false;
            line = reader.ReadCompareLine(&continuationRefused);
            if (line == nullptr) break;
            if (refused) continue;
            refused = continuationRefused || !AppendToText(record, textLength, textCapacity, line);
        }
        if (refused) {
            ReleaseCompareRecord(record);
            list.MarkIncomplete();
            continue;
        }
        // Only the record's own line end goes; CRs and LFs inside the text stay.
        if (textLength >= 2 && record.text[textLength - 2] == u'\r' &&
            record.text[textLength - 1] == u'\n') {
            record.text[textLength - 2] = 0;
        }
        // The viewer never sees records of what lies inside an item found only in the first
        // outline.
        if (viewMode && record.changeLetter == kChangeAddedWithin) {
            ReleaseCompareRecord(record);
            continue;
        }
        // A viewer copies keys into buffers of its own, sized by what one short line could
        // hold: a longer key is not handed out, and the list says that it lacks a record.
        if (viewMode && (lstrlenW(record.firstKey) > kMaxViewerKeyLength ||
                         lstrlenW(record.secondKey) > kMaxViewerKeyLength)) {
            ReleaseCompareRecord(record);
            list.MarkIncomplete();
            continue;
        }
        // Records past the list's limit, or past what its arrays could grow to, are dropped:
        // reading stops at the first that the list cannot hold.
        if (!list.AppendCompareRecord(record)) {
            list.MarkIncomplete();
            break;
        }
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

// A key's own ordinal, 0 for a key shorter than two groups (the top item's key has no parent
// and so no ordinal of its own).
int32_t OrdinalOf(const WCHAR* key) {
    return lstrlenW(key) < 2 * kKeyGroupLength ? 0 : KeyOrdinal(key);
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
    record.lineCount = _wtoi(line);
    // A comma at the very end of the line is followed by no letter.
    if (fields[2] == nullptr || fields[2][0] == 0) return record;
    record.changeLetter = fields[2][0];
    if (fields[3] == nullptr || fields[3][0] == 0) return record;
    record.subjectLetter = fields[3][0];
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
            copied =
                CopyField(fields[8], &record.firstKey) && CopyField(fields[9], &record.secondKey);
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
