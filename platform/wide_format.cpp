// platform/wide_format.cpp
//
// The UTF-16 printf engine, and vswprintf_s and wsprintfW over a bounded buffer. Each
// conversion is parsed into a Conversion, which a first pass only checks and a second pass
// then fills from the arguments and writes.
#include "platform/wide_format.h"

#include <climits>

#include "platform/utf_conversion.h"

namespace {

enum class Length { kDefault, kChar, kShort, kLong32, kLong64, kSize, kIntMax, kPtrDiff, kWide };

struct Conversion {
    bool leftAlign = false;
    bool forceSign = false;
    bool blankSign = false;
    bool zeroPad = false;
    bool alternate = false;
    bool widthFromArgument = false;
    bool precisionFromArgument = false;
    int width = 0;
    int precision = -1;  // -1: none given
    Length length = Length::kDefault;
    WCHAR type = 0;
};

bool IsDigit(WCHAR character) { return character >= u'0' && character <= u'9'; }

// Reads decimal digits at *cursor; false when the number does not fit an int.
bool ReadNumber(const WCHAR** cursor, int* number) {
    long long value = 0;
    while (IsDigit(**cursor)) {
        value = value * 10 + (**cursor - u'0');
        if (value > INT_MAX) return false;
        ++*cursor;
    }
    *number = static_cast<int>(value);
    return true;
}

// Which length modifiers each conversion accepts.
bool IsLengthAllowed(WCHAR type, Length length) {
    switch (type) {
    case u's':
    case u'S':
    case u'c':
    case u'C':
        return length == Length::kDefault || length == Length::kShort ||
               length == Length::kLong32 || length == Length::kWide;
    case u'%': return true;
    default: return length != Length::kWide;
    }
}

// Parses the conversion that follows a '%' at *cursor and moves *cursor past it.
// Answers false for an unknown conversion, an unfinished one or a number that overflows.
bool ParseConversion(const WCHAR** cursor, Conversion* conversion) {
    const WCHAR* at = *cursor;
    // 1. Flags, in any order and repeated.
    for (;; ++at) {
        if (*at == u'-')
            conversion->leftAlign = true;
        else if (*at == u'+')
            conversion->forceSign = true;
        else if (*at == u' ')
            conversion->blankSign = true;
        else if (*at == u'0')
            conversion->zeroPad = true;
        else if (*at == u'#')
            conversion->alternate = true;
        else
            break;
    }
    // 2. Width.
    if (*at == u'*') {
        conversion->widthFromArgument = true;
        ++at;
    } else if (!ReadNumber(&at, &conversion->width)) {
        return false;
    }
    // 3. Precision: a '.' alone means precision 0.
    if (*at == u'.') {
        ++at;
        if (*at == u'*') {
            conversion->precisionFromArgument = true;
            ++at;
        } else {
            conversion->precision = 0;
            if (!ReadNumber(&at, &conversion->precision)) return false;
        }
    }
    // 4. Length modifier.
    if (at[0] == u'h' && at[1] == u'h') {
        conversion->length = Length::kChar;
        at += 2;
    } else if (at[0] == u'h') {
        conversion->length = Length::kShort;
        ++at;
    } else if (at[0] == u'l' && at[1] == u'l') {
        conversion->length = Length::kLong64;
        at += 2;
    } else if (at[0] == u'l') {
        conversion->length = Length::kLong32;
        ++at;
    } else if (at[0] == u'I' && at[1] == u'6' && at[2] == u'4') {
        conversion->length = Length::kLong64;
        at += 3;
    } else if (at[0] == u'I' && at[1] == u'3' && at[2] == u'2') {
        conversion->length = Length::kLong32;
        at += 3;
    } else if (at[0] == u'I' || at[0] == u'z') {
        conversion->length = Length::kSize;
        ++at;
    } else if (at[0] == u'j') {
        conversion->length = Length::kIntMax;
        ++at;
    } else if (at[0] == u't') {
        conversion->length = Length::kPtrDiff;
        ++at;
    } else if (at[0] == u'w') {
        conversion->length = Length::kWide;
        ++at;
    }
    // 5. The conversion itself.
    switch (*at) {
    case u's':
    case u'S':
    case u'c':
    case u'C':
    case u'd':
    case u'i':
    case u'u':
    case u'x':
    case u'X':
    case u'o':
    case u'%': break;
    default: return false;  // also the terminator: the format ends inside the conversion
    }
    conversion->type = *at;
    if (!IsLengthAllowed(conversion->type, conversion->length)) return false;
    *cursor = at + 1;
    return true;
}

bool IsValidFormat(const WCHAR* format) {
    for (const WCHAR* at = format; *at != 0;) {
        if (*at++ != u'%') continue;
        Conversion conversion;
        if (!ParseConversion(&at, &conversion)) return false;
    }
    return true;
}

// Writes to the sink and remembers a refusal, so that the steps of one conversion can be
// written without a check after each.
class Writer {
public:
    explicit Writer(WideSink& sink) : sink_(sink) {}

    bool ok() const { return ok_; }

    void Write(const WCHAR* units, size_t count) {
        if (ok_ && count > 0) ok_ = sink_.Put(units, count);
    }

    // Chunks keep a huge width from needing memory, and a full sink stops it at once.
    void Repeat(WCHAR unit, size_t count) {
        WCHAR chunk[64];
        for (WCHAR& slot : chunk) slot = unit;
        while (ok_ && count > 0) {
            size_t part = count < 64 ? count : 64;
            Write(chunk, part);
            count -= part;
        }
    }

private:
    WideSink& sink_;
    bool ok_ = true;
};

size_t PaddingFor(const Conversion& conversion, size_t length) {
    size_t width = static_cast<size_t>(conversion.width);
    return width > length ? width - length : 0;
}

// Texts and characters: blanks on the side opposite the alignment, or zeros on the left.
void WritePadded(Writer& writer, const Conversion& conversion, const WCHAR* units, size_t length) {
    size_t padding = PaddingFor(conversion, length);
    if (!conversion.leftAlign) writer.Repeat(conversion.zeroPad ? u'0' : u' ', padding);
    writer.Write(units, length);
    if (conversion.leftAlign) writer.Repeat(u' ', padding);
}

const WCHAR kNullText[] = u"(null)";
const char kNarrowNullText[] = "(null)";

void WriteWideText(Writer& writer, const Conversion& conversion, const WCHAR* text) {
    if (text == nullptr) text = kNullText;
    // Never reads past the precision: the text need not be terminated within it.
    size_t length = 0;
    size_t limit = conversion.precision >= 0 ? static_cast<size_t>(conversion.precision)
                                             : static_cast<size_t>(-1);
    while (length < limit && text[length] != 0) ++length;
    WritePadded(writer, conversion, text, length);
}

// Counts, or with writer writes, the UTF-16 units of a narrow text up to limit units; a
// character whose units would cross the limit is left out whole.
size_t ConvertNarrowText(const char* text, size_t limit, Writer* writer) {
    size_t length = 0;
    for (const char* cursor = text; *cursor != 0;) {
        WCHAR units[2];
        int unitCount = EncodeUtf16(DecodeUtf8(&cursor), units);
        if (length + unitCount > limit) break;
        if (writer != nullptr) writer->Write(units, unitCount);
        length += unitCount;
    }
    return length;
}

void WriteNarrowText(Writer& writer, const Conversion& conversion, const char* text) {
    if (text == nullptr) text = kNarrowNullText;
    size_t limit = conversion.precision >= 0 ? static_cast<size_t>(conversion.precision)
                                             : static_cast<size_t>(-1);
    size_t length = ConvertNarrowText(text, limit, nullptr);
    size_t padding = PaddingFor(conversion, length);
    if (!conversion.leftAlign) writer.Repeat(conversion.zeroPad ? u'0' : u' ', padding);
    ConvertNarrowText(text, limit, &writer);
    if (conversion.leftAlign) writer.Repeat(u' ', padding);
}

// Integers: [sign or 0x prefix][zeros up to precision or width][digits].
void WriteInteger(Writer& writer, const Conversion& conversion, uint64_t magnitude, bool negative) {
    unsigned base = 10;
    const char* digitSet = "0123456789abcdef";
    if (conversion.type == u'x') base = 16;
    if (conversion.type == u'X') {
        base = 16;
        digitSet = "0123456789ABCDEF";
    }
    if (conversion.type == u'o') base = 8;

    WCHAR digits[24];  // 22 octal digits hold 64 bits
    size_t digitCount = 0;
    for (uint64_t rest = magnitude; rest != 0; rest /= base) {
        digits[sizeof digits / sizeof digits[0] - 1 - digitCount++] =
            static_cast<WCHAR>(digitSet[rest % base]);
    }
    // A zero prints one digit, unless precision 0 asks for none.
    if (magnitude == 0 && conversion.precision != 0) {
        digits[sizeof digits / sizeof digits[0] - 1 - digitCount++] = u'0';
    }
    const WCHAR* firstDigit = digits + sizeof digits / sizeof digits[0] - digitCount;

    size_t zeros = 0;
    if (conversion.precision > 0 && static_cast<size_t>(conversion.precision) > digitCount) {
        zeros = static_cast<size_t>(conversion.precision) - digitCount;
    }
    // '#' with o makes the first digit a 0, without adding one when it already is.
    if (conversion.type == u'o' && conversion.alternate && zeros == 0 &&
        (digitCount == 0 || firstDigit[0] != u'0')) {
        zeros = 1;
    }

    WCHAR prefix[2];
    size_t prefixLength = 0;
    bool isSigned = conversion.type == u'd' || conversion.type == u'i';
    if (isSigned && negative)
        prefix[prefixLength++] = u'-';
    else if (isSigned && conversion.forceSign)
        prefix[prefixLength++] = u'+';
    else if (isSigned && conversion.blankSign)
        prefix[prefixLength++] = u' ';
    if (base == 16 && conversion.alternate && magnitude != 0) {
        prefix[prefixLength++] = u'0';
        prefix[prefixLength++] = conversion.type;
    }

    size_t length = prefixLength + zeros + digitCount;
    size_t padding = PaddingFor(conversion, length);
    // The 0 flag gives way to '-' and to a precision.
    bool padWithZeros = conversion.zeroPad && !conversion.leftAlign && conversion.precision < 0;
    if (!conversion.leftAlign && !padWithZeros) writer.Repeat(u' ', padding);
    writer.Write(prefix, prefixLength);
    if (padWithZeros) writer.Repeat(u'0', padding);
    writer.Repeat(u'0', zeros);
    writer.Write(firstDigit, digitCount);
    if (conversion.leftAlign) writer.Repeat(u' ', padding);
}

int64_t ReadSigned(va_list* arguments, Length length) {
    switch (length) {
    case Length::kChar: return static_cast<signed char>(va_arg(*arguments, int));
    case Length::kShort: return static_cast<short>(va_arg(*arguments, int));
    case Length::kLong64: return va_arg(*arguments, long long);
    case Length::kSize: return static_cast<int64_t>(va_arg(*arguments, size_t));
    case Length::kIntMax: return va_arg(*arguments, intmax_t);
    case Length::kPtrDiff: return va_arg(*arguments, ptrdiff_t);
    default: return static_cast<int32_t>(va_arg(*arguments, int));
    }
}

uint64_t ReadUnsigned(va_list* arguments, Length length) {
    switch (length) {
    case Length::kChar: return static_cast<unsigned char>(va_arg(*arguments, unsigned));
    case Length::kShort: return static_cast<unsigned short>(va_arg(*arguments, unsigned));
    case Length::kLong64: return va_arg(*arguments, unsigned long long);
    case Length::kSize: return va_arg(*arguments, size_t);
    case Length::kIntMax: return static_cast<uint64_t>(va_arg(*arguments, uintmax_t));
    case Length::kPtrDiff: return static_cast<uint64_t>(va_arg(*arguments, ptrdiff_t));
    default: return static_cast<uint32_t>(va_arg(*arguments, unsigned));
    }
}

void WriteConversion(Writer& writer, Conversion conversion, va_list* arguments) {
    // A * width or precision comes first among the arguments; a negative width means '-'
    // and a negative precision means none.
    if (conversion.widthFromArgument) {
        int width = va_arg(*arguments, int);
        if (width < 0) {
            conversion.leftAlign = true;
            width = width == INT_MIN ? INT_MAX : -width;
        }
        conversion.width = width;
    }
    if (conversion.precisionFromArgument) {
        int precision = va_arg(*arguments, int);
        conversion.precision = precision < 0 ? -1 : precision;
    }
    bool narrowByLength = conversion.length == Length::kShort;
    bool wideByLength = conversion.length == Length::kLong32 || conversion.length == Length::kWide;
    switch (conversion.type) {
    case u'%': {
        const WCHAR percent = u'%';
        writer.Write(&percent, 1);
        break;
    }
    case u's':
    case u'S': {
        bool wide = wideByLength || (!narrowByLength && conversion.type == u's');
        if (wide)
            WriteWideText(writer, conversion, va_arg(*arguments, const WCHAR*));
        else
            WriteNarrowText(writer, conversion, va_arg(*arguments, const char*));
        break;
    }
    case u'c':
    case u'C': {
        bool wide = wideByLength || (!narrowByLength && conversion.type == u'c');
        int value = va_arg(*arguments, int);
        WCHAR character;
        if (wide) {
            character = static_cast<WCHAR>(value);
        } else {
            const char narrow[2] = {static_cast<char>(value), 0};
            const char* cursor = narrow;
            character = narrow[0] == 0 ? 0 : static_cast<WCHAR>(DecodeUtf8(&cursor));
        }
        WritePadded(writer, conversion, &character, 1);
        break;
    }
    case u'd':
    case u'i': {
        int64_t value = ReadSigned(arguments, conversion.length);
        uint64_t magnitude =
            value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
        WriteInteger(writer, conversion, magnitude, value < 0);
        break;
    }
    default:
        WriteInteger(writer, conversion, ReadUnsigned(arguments, conversion.length), false);
        break;
    }
}

// Takes at most capacity units, then refuses; vswprintf_s and wsprintfW keep room for the
// terminator outside the capacity.
class BufferSink : public WideSink {
public:
    BufferSink(WCHAR* buffer, size_t capacity) : buffer_(buffer), capacity_(capacity) {}

    bool Put(const WCHAR* units, size_t count) override {
        size_t room = capacity_ - length_;
        size_t taken = count < room ? count : room;
        for (size_t k = 0; k < taken; ++k) buffer_[length_ + k] = units[k];
        length_ += taken;
        return taken == count;
    }

    size_t length() const { return length_; }

private:
    WCHAR* buffer_;
    size_t capacity_;
    size_t length_ = 0;
};

// wsprintfW's buffer holds 1,024 characters, the terminator included.
constexpr size_t kWsprintfBufferSize = 1024;

}  // namespace

FormatOutcome FormatWide(WideSink& sink, const WCHAR* format, va_list arguments) {
    if (format == nullptr || !IsValidFormat(format)) return FormatOutcome::kBadFormat;
    va_list remaining;
    va_copy(remaining, arguments);
    Writer writer(sink);
    const WCHAR* at = format;
    while (*at != 0 && writer.ok()) {
        const WCHAR* literal = at;
        while (*at != 0 && *at != u'%') ++at;
        writer.Write(literal, static_cast<size_t>(at - literal));
        if (*at == 0 || !writer.ok()) break;
        ++at;
        Conversion conversion;
        ParseConversion(&at, &conversion);  // cannot fail: the format was checked
        WriteConversion(writer, conversion, &remaining);
    }
    va_end(remaining);
    return writer.ok() ? FormatOutcome::kDone : FormatOutcome::kStopped;
}

int vswprintf_s(WCHAR* buffer, size_t count, const WCHAR* format, va_list arguments) {
    if (buffer == nullptr || count == 0) return -1;
    // The answer is an int, so a longer result counts as one that does not fit.
    size_t capacity = count - 1;
    if (capacity > static_cast<size_t>(INT_MAX)) capacity = INT_MAX;
    BufferSink sink(buffer, capacity);
    if (FormatWide(sink, format, arguments) != FormatOutcome::kDone) {
        buffer[0] = 0;
        return -1;
    }
    buffer[sink.length()] = 0;
    return static_cast<int>(sink.length());
}

int wsprintfW(LPWSTR buffer, LPCWSTR format, ...) {
    if (buffer == nullptr) return 0;
    BufferSink sink(buffer, kWsprintfBufferSize - 1);
    va_list arguments;
    va_start(arguments, format);
    FormatOutcome outcome = FormatWide(sink, format, arguments);
    va_end(arguments);
    if (outcome == FormatOutcome::kBadFormat) {
        buffer[0] = 0;
        return 0;
    }
    // A refusal here only means the output reached the limit: it is cut there.
    buffer[sink.length()] = 0;
    return static_cast<int>(sink.length());
}
