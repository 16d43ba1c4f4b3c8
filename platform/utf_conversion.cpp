// platform/utf_conversion.cpp: UTF-16 and UTF-8 conversions at the system boundary.
#include "platform/utf_conversion.h"

#include <cerrno>
#include <cstdlib>

namespace {

bool IsHighSurrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }
bool IsEscapedByte(char32_t unit) { return unit >= kFirstEscapedByte && unit <= kLastEscapedByte; }
// A lone surrogate that stands for no byte of a name: no file on the system has it.
bool IsUnmappedSurrogate(char32_t unit) {
    return (IsHighSurrogate(unit) || IsLowSurrogate(unit)) && !IsEscapedByte(unit);
}

// Reads one code point of a UTF-16 text and moves *cursor past it; a lone surrogate is
// answered as itself so that the caller decides what it means.
char32_t ReadCodePoint(const WCHAR** cursor) {
    char32_t unit = **cursor;
    ++*cursor;
    if (IsHighSurrogate(unit) && IsLowSurrogate(**cursor)) {
        char32_t low = **cursor;
        ++*cursor;
        return 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
    }
    return unit;
}

int Utf8Length(char32_t codePoint) {
    if (codePoint < 0x80 || IsEscapedByte(codePoint)) return 1;
    if (codePoint < 0x800) return 2;
    if (codePoint < 0x10000) return 3;
    return 4;
}

char* WriteUtf8(char32_t codePoint, char* out) {
    if (IsEscapedByte(codePoint)) {
        *out++ = static_cast<char>(codePoint - 0xDC00);
        return out;
    }
    switch (Utf8Length(codePoint)) {
    case 1:
        *out++ = static_cast<char>(codePoint);
        break;
    case 2:
        *out++ = static_cast<char>(0xC0 | (codePoint >> 6));
        *out++ = static_cast<char>(0x80 | (codePoint & 0x3F));
        break;
    case 3:
        *out++ = static_cast<char>(0xE0 | (codePoint >> 12));
        *out++ = static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (codePoint & 0x3F));
        break;
    default:
        *out++ = static_cast<char>(0xF0 | (codePoint >> 18));
        *out++ = static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        *out++ = static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (codePoint & 0x3F));
        break;
    }
    return out;
}

}  // namespace

Utf8Text::~Utf8Text() { std::free(bytes_); }

int Utf8Text::Assign(const WCHAR* text, bool replaceLoneSurrogates) {
    std::free(bytes_);
    bytes_ = nullptr;
    if (text == nullptr) return EINVAL;
    // 1. Measure, refusing a lone surrogate that carries no byte unless it is to be replaced.
    size_t size = 1;
    for (const WCHAR* cursor = text; *cursor != 0;) {
        char32_t codePoint = ReadCodePoint(&cursor);
        if (IsUnmappedSurrogate(codePoint)) {
            if (!replaceLoneSurrogates) return EINVAL;
            codePoint = kReplacementCharacter;
        }
        size += Utf8Length(codePoint);
    }
    // 2. Convert.
    char* bytes = static_cast<char*>(std::malloc(size));
    if (bytes == nullptr) return ENOMEM;
    char* out = bytes;
    for (const WCHAR* cursor = text; *cursor != 0;) {
        char32_t codePoint = ReadCodePoint(&cursor);
        if (IsUnmappedSurrogate(codePoint)) {
            codePoint = kReplacementCharacter;
        }
        out = WriteUtf8(codePoint, out);
    }
    *out = 0;
    bytes_ = bytes;
    return 0;
}

char32_t DecodeUtf8(const char** cursor) {
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(*cursor);
    unsigned char lead = bytes[0];
    ++*cursor;
    if (lead < 0x80) return lead;
    int continuationCount;
    char32_t codePoint;
    char32_t smallest;
    if (lead >= 0xC2 && lead <= 0xDF) {
        continuationCount = 1;
        codePoint = lead & 0x1F;
        smallest = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        continuationCount = 2;
        codePoint = lead & 0x0F;
        smallest = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        continuationCount = 3;
        codePoint = lead & 0x07;
        smallest = 0x10000;
    } else {
        return kReplacementCharacter;
    }
    // A continuation byte is never 0, so a cut sequence stops at the terminator.
    for (int k = 1; k <= continuationCount; ++k) {
        if ((bytes[k] & 0xC0) != 0x80) return kReplacementCharacter;
        codePoint = (codePoint << 6) | (bytes[k] & 0x3F);
    }
    if (codePoint < smallest || codePoint > 0x10FFFF ||
        (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
        return kReplacementCharacter;
    }
    *cursor += continuationCount;
    return codePoint;
}

int EncodeUtf16(char32_t codePoint, WCHAR* units) {
    if (codePoint < 0x10000) {
        units[0] = static_cast<WCHAR>(codePoint);
        return 1;
    }
    codePoint -= 0x10000;
    units[0] = static_cast<WCHAR>(0xD800 + (codePoint >> 10));
    units[1] = static_cast<WCHAR>(0xDC00 + (codePoint & 0x3FF));
    return 2;
}

size_t ConvertUtf8ToWide(const char* text, WCHAR* buffer, size_t count) {
    size_t needed = 0;
    bool full = false;
    for (const char* cursor = text; *cursor != 0;) {
        const char* start = cursor;
        char32_t codePoint = DecodeUtf8(&cursor);
        // U+FFFD from one byte is a byte that starts no valid sequence (the character itself
        // takes three).
        if (codePoint == kReplacementCharacter && cursor == start + 1) {
            codePoint = 0xDC00 + static_cast<unsigned char>(*start);
        }
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
