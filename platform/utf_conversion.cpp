// platform/utf_conversion.cpp: the conversions at the system boundary, on the core of the header.
#include "platform/utf_conversion.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

// A lone surrogate that stands for no byte of a name: no file on the system has it.
bool IsUnmappedSurrogate(char32_t codePoint) {
    return (IsHighSurrogate(codePoint) || IsLowSurrogate(codePoint)) &&
           !(codePoint >= kFirstEscapedByte && codePoint <= kLastEscapedByte);
}

}  // namespace

Utf8Text::~Utf8Text() { std::free(bytes_); }

int Utf8Text::Assign(const WCHAR* text, bool replaceLoneSurrogates) {
    std::free(bytes_);
    bytes_ = nullptr;
    if (text == nullptr) return EINVAL;
    const WCHAR* end = text;
    while (*end != 0) ++end;
    // Measured first, so that the one allocation fits; a lone surrogate that carries no byte
    // is refused here unless it is to be replaced.
    size_t size = 1;
    char scratch[4];
    for (const WCHAR* cursor = text; cursor < end;) {
        char32_t codePoint = 0;
        cursor += DecodeUtf16Character(cursor, end, &codePoint);
        if (!replaceLoneSurrogates && IsUnmappedSurrogate(codePoint)) return EINVAL;
        size += static_cast<size_t>(EncodeUtf8(codePoint, LoneSurrogate::kEscapedByte, scratch));
    }
    char* bytes = static_cast<char*>(std::malloc(size));
    if (bytes == nullptr) return ENOMEM;
    char* out = bytes;
    for (const WCHAR* cursor = text; cursor < end;) {
        char32_t codePoint = 0;
        cursor += DecodeUtf16Character(cursor, end, &codePoint);
        out += EncodeUtf8(codePoint, LoneSurrogate::kEscapedByte, out);
    }
    *out = 0;
    bytes_ = bytes;
    return 0;
}

char32_t DecodeUtf8(const char** cursor) {
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(*cursor);
    // A character takes four bytes at most, and a continuation byte is never 0: the bytes up
    // to the terminator, or four, are all that a character here may take, so decoding never
    // reads past the terminator.
    size_t available = 1;
    while (available < 4 && bytes[available - 1] != 0) ++available;
    char32_t codePoint = 0;
    size_t length = DecodeUtf8Character(bytes, bytes + available, &codePoint);
    if (length == 0) {
        ++*cursor;
        return kReplacementCharacter;
    }
    *cursor += length;
    return codePoint;
}

size_t ConvertUtf8ToWide(const char* text, WCHAR* buffer, size_t count) {
    const unsigned char* at = reinterpret_cast<const unsigned char*>(text);
    const unsigned char* end = at + std::strlen(text);
    size_t needed = 0;
    bool full = false;
    while (at < end) {
        char32_t codePoint = 0;
        size_t length = DecodeUtf8Character(at, end, &codePoint);
        if (length == 0) {
            codePoint = StandInForStrayByte(*at, StrayByte::kEscape);
            length = 1;
        }
        at += length;
        WCHAR units[2];
        int unitCount = EncodeUtf16(codePoint, units);
        // A pair that does not fit whole is left out whole, so no lone surrogate is made.
        if (!full && needed + unitCount < count) {
            for (int k = 0; k < unitCount; ++k) buffer[needed + k] = units[k];
        } else if (!full) {
            buffer[needed] = 0;
            full = true;
        }
        needed += unitCount;
    }
    if (!full) buffer[needed] = 0;
    return needed;
}
