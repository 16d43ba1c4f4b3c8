// comparefile/record_writer.cpp: the compare file's header and record lines.
#include "comparefile/record_writer.h"

#include "comparefile/file_info.h"
#include "include/norvex63.h"
#include "support/text_lines.h"

namespace {

// "name,size,time" and CR LF. The size goes out as the signed 32-bit value of %ld, as the
// Windows runtime prints it, so a size past 2 GB reads negative in every copy of the format.
void WriteFileLine(FILE* stream, const WCHAR* name) {
    uint32_t size = 0;
    WCHAR dateText[kFileDateSize] = {};
    ReadFileInfo(name, &size, dateText);
    fwprintf(stream, WIDE("%s,%ld,%s\r\n"), name, static_cast<int32_t>(size), dateText);
}

}  // namespace

void WriteCompareHeader(CompareList& list, const WCHAR* firstName, const WCHAR* secondName) {
    FILE* stream = list.Stream();
    if (stream == nullptr) return;
    // The byte order mark stands directly before the first marker's text.
    fputwc(static_cast<WCHAR>(0xFEFF), stream);
    // One marker line per kind bit; a build sets exactly one.
    uint32_t modeWord = list.ModeWord();
    if ((modeWord & DIF_OPT_RDFC) != 0) fputws(WIDE("RDFC\r\n"), stream);
    if ((modeWord & DIF_OPT_RDFA) != 0) fputws(WIDE("RDFA\r\n"), stream);
    if ((modeWord & DIF_OPT_FDFM) != 0) fputws(WIDE("FDFM\r\n"), stream);
    // The file lines; the empty name's line always ends the header.
    if (firstName != nullptr) WriteFileLine(stream, firstName);
    if (secondName != nullptr) WriteFileLine(stream, secondName);
    WriteFileLine(stream, WIDE(""));
}

namespace {

// One record line gathered in a buffer and written with a few calls instead of one formatted
// write per record: the fields are plain texts, letters and decimal numbers, so their bytes are
// those that "%d,%c,%c,%s,%s,%d,%d,%s" gives them. The buffer is written out whenever it
// fills, so a key or text of any length goes through it.
class RecordLine {
public:
    explicit RecordLine(FILE* stream) : stream_(stream) {}
    ~RecordLine() { Flush(); }
    RecordLine(const RecordLine&) = delete;
    RecordLine& operator=(const RecordLine&) = delete;

    void Text(const WCHAR* text) {
        for (; *text != 0; ++text) Unit(*text);
    }
    void Unit(WCHAR unit) {
        if (used_ == kUnits || unit == 0) Flush();
        // A 0 unit (a letter of 0) would end the buffer's text: it goes out alone.
        if (unit == 0) {
            fputwc(unit, stream_);
            return;
        }
        units_[used_++] = unit;
    }
    // value as %d writes it: a minus sign for a negative value, then its digits.
    void Number(int32_t value) {
        WCHAR digits[11];
        int count = 0;
        int64_t magnitude = value < 0 ? -static_cast<int64_t>(value) : value;
        do {
            digits[count++] = static_cast<WCHAR>(u'0' + magnitude % 10);
            magnitude /= 10;
        } while (magnitude != 0);
        if (value < 0) Unit(u'-');
        while (count > 0) Unit(digits[--count]);
    }

private:
    void Flush() {
        if (used_ == 0) return;
        units_[used_] = 0;
        fputws(units_, stream_);
        used_ = 0;
    }

    static constexpr int kUnits = 1024;
    FILE* stream_;
    WCHAR units_[kUnits + 1];
    int used_ = 0;
};

// The one writer of record lines. A second text is written after a comma; its LFs count in
// the line count as if the two were one text.
void WriteRecordLine(CompareList& list, WCHAR changeLetter, WCHAR subjectLetter,
                     const WCHAR* firstKey, const WCHAR* secondKey, int32_t firstValue,
                     int32_t secondValue, const WCHAR* textA, const WCHAR* textB) {
    FILE* stream = list.Stream();
    if (stream == nullptr) return;
    // A viewer never sees X records, and needs no texts but the keys of a move.
    if ((list.ModeWord() & kViewModeBit) != 0) {
        if (changeLetter == kChangeAddedWithin) return;
        if (changeLetter != kChangeMoved) {
            textA = WIDE("");
            textB = nullptr;
        }
    }
    const WCHAR* empty = WIDE("");
    if (firstKey == nullptr) firstKey = empty;
    if (secondKey == nullptr) secondKey = empty;
    if (textA == nullptr) textA = empty;
    // A reader gathers this many physical lines into the record.
    int32_t lineCount = CountLines(textA);
    if (textB != nullptr) lineCount += CountLines(textB) - 1;
    // Nothing in the text is escaped.
    RecordLine line(stream);
    line.Number(lineCount);
    line.Unit(u',');
    line.Unit(changeLetter);
    line.Unit(u',');
    line.Unit(subjectLetter);
    line.Unit(u',');
    line.Text(firstKey);
    line.Unit(u',');
    line.Text(secondKey);
    line.Unit(u',');
    line.Number(firstValue);
    line.Unit(u',');
    line.Number(secondValue);
    line.Unit(u',');
    line.Text(textA);
    if (textB != nullptr) {
        line.Unit(u',');
        line.Text(textB);
    }
    line.Unit(u'\r');
    line.Unit(u'\n');
}

}  // namespace

void WriteCompareRecord(CompareList& list, WCHAR changeLetter, WCHAR subjectLetter,
                        const WCHAR* firstKey, const WCHAR* secondKey, int32_t firstValue,
                        int32_t secondValue, const WCHAR* text) {
    WriteRecordLine(list, changeLetter, subjectLetter, firstKey, secondKey, firstValue, secondValue,
                    text, nullptr);
}

void WriteCompareRecordJoined(CompareList& list, WCHAR changeLetter, WCHAR subjectLetter,
                              const WCHAR* firstKey, const WCHAR* secondKey, int32_t firstValue,
                              int32_t secondValue, const WCHAR* textA, const WCHAR* textB) {
    WriteRecordLine(list, changeLetter, subjectLetter, firstKey, secondKey, firstValue, secondValue,
                    textA, textB);
}
