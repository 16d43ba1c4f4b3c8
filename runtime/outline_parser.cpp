// runtime/outline_parser.cpp
//
// One pass over the buffer. For each line: find its end, check its bytes, then read it by
// its first non-blank character (blank line, comment, item line, content line). The open items
// from the root down to the last item read are kept in a stack indexed by depth; an item at
// depth d is linked under stack[d - 1], and content lines belong to the top of the stack.
#include "runtime/outline_parser.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

#if defined(__SSE2__)
#include <emmintrin.h>
#define OUTLINE_READER_SSE2 1
#endif

#include "runtime/outline_writer.h"

namespace brimrt {

namespace {

const char kHeader[] = "OUTLINE 1";
constexpr size_t kHeaderLength = sizeof(kHeader) - 1;

// Longest piece of the file quoted in a message, so that a runaway line gives a short one.
constexpr size_t kQuotedBytes = 40;

// Duplicate keys are found by scanning the item's entries while they are few; past this
// many, sets take over so that an item with thousands of entries still loads in linear time.
constexpr size_t kLinearKeyScan = 16;

const char kFlagChoices[] = "a flag (skip, nodelete or readonly)";
const char kLiteralEscapes[] = "an escape letter (\\, \", n, r, t or u)";

bool IsDigit(unsigned char byte) { return byte >= '0' && byte <= '9'; }

int HexValue(unsigned char byte) {
    if (byte >= '0' && byte <= '9') return byte - '0';
    if (byte >= 'A' && byte <= 'F') return byte - 'A' + 10;
    if (byte >= 'a' && byte <= 'f') return byte - 'a' + 10;
    return -1;
}

// Whether the eight bytes at bytes are all plain characters of a text: 0x20 to 0x7F, but
// neither '"' nor '\\'. A byte below 0x20 borrows in the subtraction and one from 0x80 has its
// top bit; a byte equal to the one looked for is zero after the exclusive or.
bool IsPlainWord(const unsigned char* bytes) {
    constexpr uint64_t kOnes = 0x0101010101010101ull, kTops = 0x8080808080808080ull;
    uint64_t word;
    std::memcpy(&word, bytes, 8);
    uint64_t quotes = word ^ (kOnes * '"'), backslashes = word ^ (kOnes * '\\');
    uint64_t zeroes = ((quotes - kOnes) & ~quotes) | ((backslashes - kOnes) & ~backslashes);
    return ((word | (word - kOnes * 0x20) | zeroes) & kTops) == 0;
}

// The first byte from `from` that is not a plain character (0x20 to 0x7F), or `to`. Every line
// ends in one (its LF), and most lines hold no other, so this finds a line's end and clears its
// bytes in one pass. Sixteen bytes at a time where the processor has the instructions: as signed
// bytes, those from 0x80 are negative, so one comparison with 0x20 finds both kinds.
const unsigned char* SkipPlainBytes(const unsigned char* from, const unsigned char* to) {
#if OUTLINE_READER_SSE2
    const __m128i blank = _mm_set1_epi8(0x20);
    while (to - from >= 16) {
        __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
        int stops = _mm_movemask_epi8(_mm_cmplt_epi8(bytes, blank));
        if (stops != 0) return from + __builtin_ctz(static_cast<unsigned>(stops));
        from += 16;
    }
#endif
    while (to - from >= 8) {
        uint64_t word;
        std::memcpy(&word, from, 8);
        if (((word | (word - 0x2020202020202020ull)) & 0x8080808080808080ull) != 0) break;
        from += 8;
    }
    while (from < to && *from >= 0x20 && *from < 0x80) ++from;
    return from;
}

// The first byte from `from` that is not a blank, or `to`.
const unsigned char* SkipBlanks(const unsigned char* from, const unsigned char* to) {
#if OUTLINE_READER_SSE2
    const __m128i blank = _mm_set1_epi8(' ');
    while (to - from >= 16) {
        __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
        int others = _mm_movemask_epi8(_mm_cmpeq_epi8(bytes, blank)) ^ 0xFFFF;
        if (others != 0) return from + __builtin_ctz(static_cast<unsigned>(others));
        from += 16;
    }
#endif
    static const char kEightBlanks[8] = {' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
    while (to - from >= 8 && std::memcmp(from, kEightBlanks, 8) == 0) from += 8;
    while (from < to && *from == ' ') ++from;
    return from;
}

// Units a reader's room for a text holds beyond one a byte of the rest of its line, so that
// WidenPlainRun may store sixteen units at once.
constexpr size_t kWideningSlack = 16;

// Widens the run of plain characters of a text at *from (0x20 to 0x7F, but neither '"' nor
// '\\') into units at *out and moves both past it; the run ends before `to`, the end of its
// line. Sixteen at a time where the processor has the instructions and the buffer holds
// sixteen more bytes (bufferEnd): the byte at a line's end is a CR or LF, which stops a run, so
// bytes past it are never taken. The sixteen units are stored whole before the run's end is
// known, which room of one unit a byte of the line plus kWideningSlack allows.
void WidenPlainRun(const unsigned char** from, const unsigned char* to,
                   const unsigned char* bufferEnd, WCHAR** out) {
    const unsigned char* position = *from;
    WCHAR* units = *out;
#if OUTLINE_READER_SSE2
    const __m128i zero = _mm_setzero_si128(), blank = _mm_set1_epi8(0x20);
    const __m128i quote = _mm_set1_epi8('"'), backslash = _mm_set1_epi8('\\');
    while (bufferEnd - position >= 16 && (to < bufferEnd || to - position >= 16)) {
        __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(position));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(units), _mm_unpacklo_epi8(bytes, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(units + 8), _mm_unpackhi_epi8(bytes, zero));
        __m128i stopping = _mm_or_si128(
            _mm_cmplt_epi8(bytes, blank),
            _mm_or_si128(_mm_cmpeq_epi8(bytes, quote), _mm_cmpeq_epi8(bytes, backslash)));
        int stops = _mm_movemask_epi8(stopping);
        if (stops != 0) {
            size_t run = static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(stops)));
            *from = position + run;
            *out = units + run;
            return;
        }
        position += 16;
        units += 16;
    }
#endif
    const unsigned char* run = position;
    while (to - position >= 8 && IsPlainWord(position)) position += 8;
    while (position < to && *position >= 0x20 && *position < 0x80 && *position != '"' &&
           *position != '\\') {
        ++position;
    }
    for (; run < position; ++run) *units++ = static_cast<WCHAR>(*run);
    *from = position;
    *out = units;
}

std::string QuoteBytes(const unsigned char* from, const unsigned char* to) {
    size_t length = static_cast<size_t>(to - from);
    size_t cut = std::min(length, kQuotedBytes);
    // Cut on a character boundary so that the message stays valid UTF-8.
    while (cut > 0 && cut < length && (from[cut] & 0xC0) == 0x80) --cut;
    std::string text(reinterpret_cast<const char*>(from), cut);
    if (cut < length) text += "...";
    return text;
}

std::string FormatCodePoint(uint32_t codePoint) {
    char buffer[16];
    const char hex[] = "0123456789ABCDEF";
    buffer[0] = 'U';
    buffer[1] = '+';
    for (int k = 0; k < 4; ++k) buffer[2 + k] = hex[(codePoint >> (12 - 4 * k)) & 0xF];
    return std::string(buffer, 6);
}

}  // namespace

class OutlineParser {
public:
    OutlineParser(OutlineStore* outline, ParseFailure* fault) : store(outline), failure(fault) {}

    // Reads the lines of the next bytes of the file, from after those taken before: all of
    // them when last is set, else those that end in these bytes; *taken says how many bytes
    // that is (the rest begin a line that must come again, with the bytes after it).
    bool ParseLines(const unsigned char* from, const unsigned char* to, bool last, size_t* taken);

private:
    bool CheckLineBytes(const unsigned char* from);
    bool ReadHeader();
    bool ReadLine();
    bool ReadItemLine(size_t blanks, const unsigned char* at);
    bool ReadContentLine(size_t blanks, const unsigned char* at);
    bool ReadFlags(const unsigned char** at, uint8_t* flags);
    bool ReadLiteral(const unsigned char** at, size_t* length);
    bool ReadNumber(const unsigned char** at, const char* what, int64_t low, int64_t high,
                    int64_t* value);
    // The expected byte or the line's end, checked where the caller stands (the most common
    // checks of a line, kept inline); a fault is told out of line.
    bool Expect(const unsigned char** at, char wanted) {
        if (*at < lineEnd && **at == static_cast<unsigned char>(wanted)) {
            ++*at;
            return true;
        }
        return FailExpecting(*at, wanted);
    }
    bool ExpectLineEnd(const unsigned char* at) { return at == lineEnd || FailAtLineEnd(at); }
    bool FailExpecting(const unsigned char* at, char wanted);
    bool FailAtLineEnd(const unsigned char* at);
    bool IsNewKey(ContentKind kind, uint32_t number, const WCHAR* name, size_t nameLength);
    void KeepContents();

    size_t ColumnAt(const unsigned char* at) const;
    std::string Describe(const unsigned char* at) const;
    bool Fail(const unsigned char* at, const std::string& expected, const std::string& found);
    bool Fail(const unsigned char* at, const std::string& expected) {
        return Fail(at, expected, Describe(at));
    }

    OutlineStore* store;
    ParseFailure* failure;

    bool started = false;  // the byte order mark, if any, is behind
    size_t lineNumber = 0;
    const unsigned char* lineStart = nullptr;
    const unsigned char* lineEnd = nullptr;    // before its CR LF or LF
    const unsigned char* bufferEnd = nullptr;  // of the bytes the line is read from
    bool lineHasBreak = false;                 // false only for the last line

    std::vector<uint32_t> openItems;  // openItems[d]: the last item read at depth d
    WCHAR* literal = nullptr;  // where the last ReadLiteral wrote its text, in the store's room

    // The contents read so far of the last item read, which go to the store in one piece once
    // they are complete (KeepContents), instead of growing its list one entry at a time.
    std::vector<ContentEntry> pending;
    bool keySetsFilled = false;  // the sets below hold the keys of pending
    std::unordered_set<uint64_t> numberKeys;
    std::unordered_set<WideText> nameKeys;
};

bool OutlineParser::ParseLines(const unsigned char* from, const unsigned char* to, bool last,
                               size_t* taken) {
    const unsigned char* position = from;
    bufferEnd = to;
    if (!started) {
        // A byte order mark may stand before the first line only.
        if (to - from < 3 && !last) {
            *taken = 0;
            return true;
        }
        if (to - from >= 3 && from[0] == 0xEF && from[1] == 0xBB && from[2] == 0xBF) {
            position += 3;
        }
        started = true;
    }
    for (;;) {
        // Most lines are plain characters up to their CR LF or LF: then the first byte that is
        // not plain ends the line and nothing of it is left to check. Else the line's end is
        // looked for beyond that byte, and its bytes are checked from there.
        const unsigned char* unplain = SkipPlainBytes(position, to);
        const unsigned char* lineFeed = nullptr;
        bool plainLine = true;
        if (unplain < to && *unplain == '\n') {
            lineFeed = unplain;
        } else if (to - unplain >= 2 && unplain[0] == '\r' && unplain[1] == '\n') {
            lineFeed = unplain + 1;
        } else {
            lineFeed = static_cast<const unsigned char*>(
                std::memchr(unplain, '\n', static_cast<size_t>(to - unplain)));
            plainLine = false;
        }
        if (lineFeed == nullptr && !last) break;
        ++lineNumber;
        lineStart = position;
        lineHasBreak = lineFeed != nullptr;
        lineEnd = lineHasBreak ? lineFeed : to;
        if (lineHasBreak && lineEnd > lineStart && lineEnd[-1] == '\r') --lineEnd;
        if (!plainLine && !CheckLineBytes(unplain)) return false;
        if (lineNumber == 1 ? !ReadHeader() : !ReadLine()) return false;
        if (!lineHasBreak) {
            if (openItems.empty()) return Fail(lineEnd, "the root item");
            KeepContents();
            position = to;
            break;
        }
        position = lineFeed + 1;
    }
    *taken = static_cast<size_t>(position - from);
    return true;
}

bool OutlineParser::CheckLineBytes(const unsigned char* from) {
    // The bytes before from are plain characters (0x20 to 0x7F).
    for (const unsigned char* at = from; at < lineEnd;) {
        at = SkipPlainBytes(at, lineEnd);
        if (at == lineEnd) break;
        unsigned char byte = *at;  // not a plain character
        if (byte == 0) return Fail(at, "text", "NUL byte");
        // lineEnd stops before a CR that ends the line, so this CR has no LF after it.
        if (byte == '\r') return Fail(at + 1, "LF after CR");
        uint32_t codePoint = 0;
        size_t length = DecodeUtf8(at, lineEnd, &codePoint);
        if (length == 0) {
            const char hex[] = "0123456789ABCDEF";
            std::string found = "byte 0x";
            found += hex[byte >> 4];
            found += hex[byte & 0xF];
            return Fail(at, "UTF-8 text", found);
        }
        at += length;
    }
    return true;
}

bool OutlineParser::ReadHeader() {
    const unsigned char* at = lineStart;
    for (size_t k = 0; k < kHeaderLength; ++k, ++at) {
        if (at == lineEnd || *at != static_cast<unsigned char>(kHeader[k])) {
            return Fail(at, std::string("'") + kHeader + "'");
        }
    }
    return ExpectLineEnd(at);
}

bool OutlineParser::ReadLine() {
    // The indentation, many blanks at a time: it is much of a deep outline.
    const unsigned char* at = SkipBlanks(lineStart, lineEnd);
    if (at == lineEnd || *at == ';') return true;  // a blank line or a comment
    if (*at == '\t') return Fail(at, "blanks for indentation", "tab");
    size_t blanks = static_cast<size_t>(at - lineStart);
    if (blanks % 2 != 0) {
        return Fail(lineStart, "indentation in steps of two blanks",
                    std::to_string(blanks) + " blanks");
    }
    if (*at == '@' || *at == '%' || *at == '$') return ReadContentLine(blanks, at);
    if (*at != '-' && !IsDigit(*at)) return Fail(at, "an item or a content line");
    return ReadItemLine(blanks, at);
}

bool OutlineParser::ReadItemLine(size_t blanks, const unsigned char* at) {
    // 1. The depth: the root first at depth 0, then at most one level below the last item.
    size_t depth = blanks / 2;
    if (openItems.empty() && depth != 0) {
        return Fail(lineStart, "the root item at indentation 0",
                    std::to_string(blanks) + " blanks");
    }
    if (!openItems.empty() && depth == 0)
        return Fail(lineStart, "a child of the root", "a second root item");
    if (depth > openItems.size()) {
        return Fail(lineStart,
                    "at most " + std::to_string(2 * openItems.size()) + " blanks of indentation",
                    std::to_string(blanks) + " blanks");
    }
    // 2. TYPE [" [" FLAG ("," FLAG)* "]"] " " LITERAL, and nothing after it.
    int64_t type = 0;
    if (!ReadNumber(&at, "a type code", INT32_MIN, INT32_MAX, &type)) return false;
    if (!Expect(&at, ' ')) return false;
    uint8_t flags = 0;
    if (at < lineEnd && *at == '[') {
        if (!ReadFlags(&at, &flags) || !Expect(&at, ' ')) return false;
    }
    size_t length = 0;
    if (!ReadLiteral(&at, &length) || !ExpectLineEnd(at)) return false;
    // 3. The item joins the tree as the last child of the open item one level up; the item
    //    before it has all its contents.
    KeepContents();
    uint32_t index = store->AppendItem(static_cast<int32_t>(type), flags);
    if (openItems.empty()) {
        store->MakeRoot(index);
    } else {
        openItems.resize(depth);
        store->LinkLast(index, openItems.back());
    }
    openItems.push_back(index);
    store->SetTextFromRoom(index, length);
    return true;
}

bool OutlineParser::ReadContentLine(size_t blanks, const unsigned char* at) {
    // 1. A content line stands one level below the last item read: deeper is a jump, and
    //    shallower would belong to an item that already has children.
    size_t depth = blanks / 2;
    if (openItems.empty()) return Fail(at, "the root item", "a content line");
    if (depth == 0) return Fail(at, "an item line", "a content line without indentation");
    if (depth < openItems.size())
        return Fail(at, "an item line", "a content line after a child item");
    if (depth > openItems.size()) {
        return Fail(lineStart,
                    "at most " + std::to_string(2 * openItems.size()) + " blanks of indentation",
                    std::to_string(blanks) + " blanks");
    }
    // 2. The line by its marker; each key must be new on its item.
    char marker = static_cast<char>(*at++);
    const unsigned char* keyAt = at;
    ContentEntry entry;
    entry.dtValue = 0;
    entry.number = 0;
    if (marker == '@') {
        entry.kind = ContentKind::kAttribute;
        int64_t id = 0;
        if (!ReadNumber(&at, "an attribute id", 0, UINT32_MAX, &id)) return false;
        entry.number = static_cast<uint32_t>(id);
        if (!IsNewKey(entry.kind, entry.number, nullptr, 0)) {
            return Fail(keyAt, "an attribute id not already on this item", std::to_string(id));
        }
        size_t length = 0;
        if (!Expect(&at, ' ') || !ReadLiteral(&at, &length)) return false;
        entry.value = store->KeepRoom(length);
    } else if (marker == '%') {
        entry.kind = ContentKind::kProperty;
        size_t length = 0;
        if (!ReadLiteral(&at, &length)) return false;
        if (!IsNewKey(entry.kind, 0, literal, length)) {
            std::string quoted;
            AppendLiteral(&quoted, literal, length);
            return Fail(keyAt, "a property name not already on this item", quoted);
        }
        entry.name = store->KeepRoom(length);
        if (!Expect(&at, ' ') || !ReadLiteral(&at, &length)) return false;
        entry.value = store->KeepRoom(length);
    } else {
        entry.kind = ContentKind::kDTData;
        int64_t index = 0, value = 0;
        if (!ReadNumber(&at, "a DTDATA index", INT32_MIN, INT32_MAX, &index)) return false;
        entry.number = static_cast<uint32_t>(static_cast<int32_t>(index));
        if (!IsNewKey(entry.kind, entry.number, nullptr, 0)) {
            return Fail(keyAt, "a DTDATA index not already on this item", std::to_string(index));
        }
        if (!Expect(&at, ' ') || !ReadNumber(&at, "a DTDATA value", INT32_MIN, INT32_MAX, &value)) {
            return false;
        }
        entry.dtValue = static_cast<int32_t>(value);
    }
    if (!ExpectLineEnd(at)) return false;
    pending.push_back(entry);
    return true;
}

bool OutlineParser::IsNewKey(ContentKind kind, uint32_t number, const WCHAR* name,
                             size_t nameLength) {
    uint64_t numberKey = (static_cast<uint64_t>(kind) << 32) | number;
    if (pending.size() < kLinearKeyScan) {
        for (const ContentEntry& entry : pending) {
            if (entry.kind != kind) continue;
            if (kind == ContentKind::kProperty
                    ? entry.name.size() == nameLength &&
                          std::equal(entry.name.begin(), entry.name.end(), name)
                    : entry.number == number) {
                return false;
            }
        }
        return true;
    }
    if (!keySetsFilled) {
        numberKeys.clear();
        nameKeys.clear();
        for (const ContentEntry& entry : pending) {
            if (entry.kind == ContentKind::kProperty) {
                nameKeys.emplace(entry.name.data(), entry.name.size());
            } else {
                numberKeys.insert((static_cast<uint64_t>(entry.kind) << 32) | entry.number);
            }
        }
        keySetsFilled = true;
    }
    // The caller adds the entry after this answer, and the set learns it now.
    return kind == ContentKind::kProperty ? nameKeys.emplace(name, nameLength).second
                                          : numberKeys.insert(numberKey).second;
}

void OutlineParser::KeepContents() {
    if (pending.empty()) return;
    // Side by side in the outline's pool, after those of the items before.
    store->SetContents(openItems.back(), pending.data(), pending.size());
    pending.clear();
    keySetsFilled = false;
}

bool OutlineParser::ReadFlags(const unsigned char** at, uint8_t* flags) {
    const unsigned char* position = *at + 1;  // past '['
    for (;;) {
        const unsigned char* word = position;
        while (position < lineEnd && *position != ',' && *position != ']' && *position != ' ' &&
               *position != '"') {
            ++position;
        }
        if (position == word) return Fail(word, kFlagChoices);
        size_t length = static_cast<size_t>(position - word);
        uint8_t flag = 0;
        if (length == 4 && std::memcmp(word, "skip", 4) == 0) flag = kFlagSkip;
        if (length == 8 && std::memcmp(word, "nodelete", 8) == 0) flag = kFlagNoDelete;
        if (length == 8 && std::memcmp(word, "readonly", 8) == 0) flag = kFlagReadOnly;
        if (flag == 0) return Fail(word, kFlagChoices, "'" + QuoteBytes(word, position) + "'");
        if (*flags & flag)
            return Fail(word, "a flag not already given", "'" + QuoteBytes(word, position) + "'");
        *flags |= flag;
        if (position < lineEnd && *position == ',') {
            ++position;
            continue;
        }
        if (position < lineEnd && *position == ']') break;
        return Fail(position, "',' or ']'");
    }
    *at = position + 1;
    return true;
}

bool OutlineParser::ReadLiteral(const unsigned char** at, size_t* length) {
    if (!Expect(at, '"')) return false;
    // Each byte of the line gives at most one unit (a four-byte character gives two), so the
    // rest of the line bounds the text: it is decoded straight into room the store makes once.
    literal = store->TextRoom(static_cast<size_t>(lineEnd - *at) + kWideningSlack);
    WCHAR* out = literal;
    const unsigned char* position = *at;
    for (;;) {
        // A run of plain characters, the most of any text.
        WidenPlainRun(&position, lineEnd, bufferEnd, &out);
        if (position == lineEnd) return Fail(position, "'\"' closing the text");
        unsigned char byte = *position;
        if (byte == '"') break;
        if (byte == '\\') {
            ++position;
            unsigned char letter = position < lineEnd ? *position : 0;
            uint32_t unit = 0;
            switch (letter) {
            case '\\': unit = '\\'; break;
            case '"': unit = '"'; break;
            case 'n': unit = '\n'; break;
            case 'r': unit = '\r'; break;
            case 't': unit = '\t'; break;
            case 'u':
                for (int k = 0; k < 4; ++k) {
                    ++position;
                    int digit = position < lineEnd ? HexValue(*position) : -1;
                    if (digit < 0) return Fail(position, "4 hex digits after \\u");
                    unit = unit * 16 + static_cast<uint32_t>(digit);
                }
                break;
            default: return Fail(position, kLiteralEscapes);
            }
            *out++ = static_cast<WCHAR>(unit);
            ++position;
            continue;
        }
        if (byte < 0x80) {
            // A control character, which the checks of the line let through but NUL and CR.
            *out++ = static_cast<WCHAR>(byte);
            ++position;
            continue;
        }
        uint32_t codePoint = 0;
        position += DecodeUtf8(position, lineEnd, &codePoint);  // checked with the line's bytes
        out += EncodeUtf16(codePoint, out);
    }
    *length = static_cast<size_t>(out - literal);
    *at = position + 1;
    return true;
}

bool OutlineParser::ReadNumber(const unsigned char** at, const char* what, int64_t low,
                               int64_t high, int64_t* value) {
    const unsigned char* start = *at;
    const unsigned char* position = start;
    bool negative = low < 0 && position < lineEnd && *position == '-';
    if (negative) ++position;
    if (position == lineEnd || !IsDigit(*position)) return Fail(position, what);
    // Past 2^33 the value is out of every range; stop growing it so that it cannot overflow.
    uint64_t magnitude = 0;
    while (position < lineEnd && IsDigit(*position)) {
        if (magnitude < (1ull << 33)) magnitude = magnitude * 10 + (*position - '0');
        ++position;
    }
    int64_t signedValue =
        negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
    if (signedValue < low || signedValue > high) {
        return Fail(
            start,
            std::string(what) + " from " + std::to_string(low) + " to " + std::to_string(high),
            QuoteBytes(start, position));
    }
    *value = signedValue;
    *at = position;
    return true;
}

bool OutlineParser::FailExpecting(const unsigned char* at, char wanted) {
    return Fail(at, std::string("'") + wanted + "'");
}

bool OutlineParser::FailAtLineEnd(const unsigned char* at) { return Fail(at, "end of line"); }

size_t OutlineParser::ColumnAt(const unsigned char* at) const {
    size_t column = 1;
    for (const unsigned char* position = lineStart; position < at; ++position) {
        if ((*position & 0xC0) != 0x80) ++column;
    }
    return column;
}

std::string OutlineParser::Describe(const unsigned char* at) const {
    if (at >= lineEnd) return lineHasBreak ? "end of line" : "end of file";
    uint32_t codePoint = 0;
    size_t length = DecodeUtf8(at, lineEnd, &codePoint);
    if (length == 0) return "an invalid byte";
    if (codePoint == ' ') return "blank";
    if (codePoint == '\t') return "tab";
    if (codePoint == '\r') return "CR";
    if (codePoint == 0xFEFF) return "a byte order mark";
    if (codePoint < 0x20 || (codePoint >= 0x7F && codePoint < 0xA0))
        return FormatCodePoint(codePoint);
    return "'" + std::string(reinterpret_cast<const char*>(at), length) + "'";
}

bool OutlineParser::Fail(const unsigned char* at, const std::string& expected,
                         const std::string& found) {
    failure->line = lineNumber;
    failure->column = ColumnAt(at);
    failure->message = "expected " + expected + ", found " + found;
    return false;
}

OutlineReader::OutlineReader(OutlineStore* store, ParseFailure* failure)
    : parser_(new OutlineParser(store, failure)) {}

OutlineReader::~OutlineReader() = default;

bool OutlineReader::Feed(const char* bytes, size_t size, bool last, size_t* taken) {
    const unsigned char* from = reinterpret_cast<const unsigned char*>(bytes);
    return parser_->ParseLines(from, from + size, last, taken);
}

bool MayBeginOutline(const char* bytes, size_t size) {
    static const char kMark[] = "\xEF\xBB\xBF";
    size_t at = 0;
    if (size > 0 && bytes[0] == kMark[0]) {
        for (; at < 3; ++at) {
            if (at == size) return true;
            if (bytes[at] != kMark[at]) return false;
        }
    }
    for (size_t k = 0; k < kHeaderLength; ++k, ++at) {
        if (at == size) return true;
        if (bytes[at] != kHeader[k]) return false;
    }
    if (at == size) return true;
    if (bytes[at] == '\n') return true;
    if (bytes[at] != '\r') return false;
    return at + 1 == size || bytes[at + 1] == '\n';
}

}  // namespace brimrt
