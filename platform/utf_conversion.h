// platform/utf_conversion.h
//
// The one conversion between UTF-8 and UTF-16: where a text meets the operating system (paths
// at a system call, the current directory, the default message box line, narrow %S
// arguments), in the runtime's outline files, and in the command's arguments, names and output.
// The layer is the lowest one, so the runtime and the command build on its core.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/platform.h"

// The replacement character that stands for bytes or code units that encode nothing.
constexpr char32_t kReplacementCharacter = 0xFFFD;

// A file name on this system may hold any bytes, UTF-8 or not. A byte of a name that is not
// part of valid UTF-8 travels in a UTF-16 text as the lone surrogate U+DC00 + byte (U+DC80 to
// U+DCFF), as Python's surrogateescape carries it: no valid text holds a lone surrogate, so the
// name turns back into the same bytes at the system call.
constexpr char32_t kEscapedByteBase = 0xDC00;
constexpr char32_t kFirstEscapedByte = 0xDC80;
constexpr char32_t kLastEscapedByte = 0xDCFF;

// ---- The core, shared by the layer, the runtime and the command ----------------------------
//
// Its definitions are inline, at the end of this header: on Windows this layer's .cpp files
// are not built (the real system serves the library), yet the runtime and the command use the
// core there too.

inline bool IsHighSurrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
inline bool IsLowSurrogate(char32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// Decodes one well-formed UTF-8 character at bytes (bytes < end). Answers its length, 1 to 4,
// with its code point in *codePoint; answers 0 for a malformed sequence: a stray continuation
// byte, a byte above F4 or C0/C1, an overlong form, an encoded surrogate, a value above
// U+10FFFF, or a sequence cut by end. Every conversion steps past a malformed lead byte alone.
size_t DecodeUtf8Character(const unsigned char* bytes, const unsigned char* end,
                           char32_t* codePoint);
// Reads one code point of UTF-16 at units (units < end): a surrogate pair joined, any other
// unit, a lone surrogate included, as itself. Answers the number of units read, 1 or 2.
size_t DecodeUtf16Character(const WCHAR* units, const WCHAR* end, char32_t* codePoint);
// Writes the UTF-16 form of codePoint (at most U+10FFFF) into units (room for 2) and answers
// 1 or 2.
int EncodeUtf16(char32_t codePoint, WCHAR* units);

// What a conversion makes of what the other encoding cannot hold. This is where the
// conversions differ, by what the text is for; everything else they do alike.
//
// A byte that starts no valid UTF-8 sequence, read into UTF-16:
enum class StrayByte {
    kReplace,  // U+FFFD: a text for a person (an argument, a message)
    kEscape,   // U+DC00 + byte: a file name, whose bytes must come back unchanged
};
// A lone surrogate, written as UTF-8:
enum class LoneSurrogate {
    kKeep,         // its own three-byte form, for a caller that escapes lone surrogates first
    kReplace,      // U+FFFD: a text shown to a person
    kEscapedByte,  // U+DC80..U+DCFF the byte it carries, any other U+FFFD: a name, which so
                   // reads (and reaches the system) with its own bytes
};

// What the stray byte lead stands for in UTF-16 under rule.
char32_t StandInForStrayByte(unsigned char lead, StrayByte rule);
// Writes codePoint as UTF-8 into bytes (room for 4), a lone surrogate under rule, and answers
// the number of bytes written, 1 to 4.
int EncodeUtf8(char32_t codePoint, LoneSurrogate rule, char* bytes);

// A whole text from UTF-8 (length bytes, zeros included) to UTF-16, stray bytes under rule.
std::basic_string<WCHAR> Utf16FromUtf8(const char* bytes, size_t length, StrayByte rule);
// A whole text from UTF-16 (length units, zeros included) to UTF-8, lone surrogates under
// rule.
std::string Utf8FromUtf16(const WCHAR* units, size_t length, LoneSurrogate rule);

// ---- The layer's own conversions at the system boundary -------------------------------------

// A UTF-8 copy of a UTF-16 text, in memory from malloc that the holder releases.
class Utf8Text {
public:
    Utf8Text() = default;
    ~Utf8Text();
    Utf8Text(const Utf8Text&) = delete;
    Utf8Text& operator=(const Utf8Text&) = delete;

    // Converts text and answers 0, or an error number: EINVAL for a null text or a lone
    // surrogate that carries no byte of a name (a path that no file can have), ENOMEM when no
    // memory is left. A lone U+DC80..U+DCFF becomes the byte it carries. With
    // replaceLoneSurrogates any other lone surrogate becomes U+FFFD instead, for texts shown to
    // a person, who then sees a name's own bytes.
    int Assign(const WCHAR* text, bool replaceLoneSurrogates = false);
    // The converted text; empty before a successful Assign.
    const char* Get() const { return bytes_ != nullptr ? bytes_ : ""; }

private:
    char* bytes_ = nullptr;
};

// Decodes the UTF-8 character at *cursor and moves *cursor past it. A byte that starts no
// valid sequence (a stray continuation, an overlong form, a surrogate, a cut sequence) becomes
// U+FFFD and is consumed alone, so decoding never reads past the terminator.
char32_t DecodeUtf8(const char** cursor);

// Converts a name from the system (UTF-8, or any bytes) into buffer of count units (terminator
// included, count >= 1): each byte that is not part of valid UTF-8 becomes U+DC00 + byte, so
// that Utf8Text gives the same bytes back. Answers the number of units the whole text needs
// without its terminator; when that is count or more, buffer holds as much as fits and is
// terminated.
size_t ConvertUtf8ToWide(const char* text, WCHAR* buffer, size_t count);

// ---- Definitions of the core ----------------------------------------------------------------

inline size_t DecodeUtf8Character(const unsigned char* bytes, const unsigned char* end,
                                  char32_t* codePoint) {
    unsigned char lead = bytes[0];
    if (lead < 0x80) {
        *codePoint = lead;
        return 1;
    }
    // The lead byte fixes the length and the smallest value that this length may carry, which
    // rules out overlong forms; the second byte's range also rules out surrogates (ED A0..BF)
    // and values above U+10FFFF (F4 90..BF), as the UTF-8 definition does.
    size_t length;
    char32_t value;
    unsigned char secondLow = 0x80, secondHigh = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0F;
        if (lead == 0xE0) secondLow = 0xA0;
        if (lead == 0xED) secondHigh = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07;
        if (lead == 0xF0) secondLow = 0x90;
        if (lead == 0xF4) secondHigh = 0x8F;
    } else {
        return 0;
    }
    if (static_cast<size_t>(end - bytes) < length) return 0;
    if (bytes[1] < secondLow || bytes[1] > secondHigh) return 0;
    value = (value << 6) | (bytes[1] & 0x3F);
    for (size_t k = 2; k < length; ++k) {
        if ((bytes[k] & 0xC0) != 0x80) return 0;
        value = (value << 6) | (bytes[k] & 0x3F);
    }
    *codePoint = value;
    return length;
}

inline size_t DecodeUtf16Character(const WCHAR* units, const WCHAR* end, char32_t* codePoint) {
    char32_t unit = static_cast<uint16_t>(units[0]);
    if (IsHighSurrogate(unit) && end - units > 1) {
        char32_t low = static_cast<uint16_t>(units[1]);
        if (IsLowSurrogate(low)) {
            *codePoint = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
            return 2;
        }
    }
    *codePoint = unit;
    return 1;
}

inline int EncodeUtf16(char32_t codePoint, WCHAR* units) {
    if (codePoint < 0x10000) {
        units[0] = static_cast<WCHAR>(codePoint);
        return 1;
    }
    codePoint -= 0x10000;
    units[0] = static_cast<WCHAR>(0xD800 + (codePoint >> 10));
    units[1] = static_cast<WCHAR>(0xDC00 + (codePoint & 0x3FF));
    return 2;
}

inline char32_t StandInForStrayByte(unsigned char lead, StrayByte rule) {
    return rule == StrayByte::kEscape ? kEscapedByteBase + lead : kReplacementCharacter;
}

inline int EncodeUtf8(char32_t codePoint, LoneSurrogate rule, char* bytes) {
    if (IsHighSurrogate(codePoint) || IsLowSurrogate(codePoint)) {
        if (rule == LoneSurrogate::kEscapedByte && codePoint >= kFirstEscapedByte &&
            codePoint <= kLastEscapedByte) {
            bytes[0] = static_cast<char>(codePoint - kEscapedByteBase);
            return 1;
        }
        if (rule != LoneSurrogate::kKeep) codePoint = kReplacementCharacter;
    }
    if (codePoint < 0x80) {
        bytes[0] = static_cast<char>(codePoint);
        return 1;
    }
    if (codePoint < 0x800) {
        bytes[0] = static_cast<char>(0xC0 | (codePoint >> 6));
        bytes[1] = static_cast<char>(0x80 | (codePoint & 0x3F));
        return 2;
    }
    if (codePoint < 0x10000) {
        bytes[0] = static_cast<char>(0xE0 | (codePoint >> 12));
        bytes[1] = static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        bytes[2] = static_cast<char>(0x80 | (codePoint & 0x3F));
        return 3;
    }
    bytes[0] = static_cast<char>(0xF0 | (codePoint >> 18));
    bytes[1] = static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
    bytes[2] = static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    bytes[3] = static_cast<char>(0x80 | (codePoint & 0x3F));
    return 4;
}

inline std::basic_string<WCHAR> Utf16FromUtf8(const char* bytes, size_t length, StrayByte rule) {
    std::basic_string<WCHAR> text;
    const unsigned char* at = reinterpret_cast<const unsigned char*>(bytes);
    const unsigned char* end = at + length;
    while (at < end) {
        char32_t codePoint = 0;
        size_t used = DecodeUtf8Character(at, end, &codePoint);
        if (used == 0) {
            codePoint = StandInForStrayByte(*at, rule);
            used = 1;
        }
        WCHAR units[2];
        text.append(units, static_cast<size_t>(EncodeUtf16(codePoint, units)));
        at += used;
    }
    return text;
}

inline std::string Utf8FromUtf16(const WCHAR* units, size_t length, LoneSurrogate rule) {
    std::string text;
    const WCHAR* end = units + length;
    for (const WCHAR* at = units; at < end;) {
        char32_t codePoint = 0;
        at += DecodeUtf16Character(at, end, &codePoint);
        char bytes[4];
        text.append(bytes, static_cast<size_t>(EncodeUtf8(codePoint, rule, bytes)));
    }
    return text;
}
