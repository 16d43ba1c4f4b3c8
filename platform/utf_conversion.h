// platform/utf_conversion.h
//
// UTF-16 to UTF-8 and back, for the places where a text meets the operating system: paths at
// a system call, the current directory, the default message box line, narrow %S arguments.
// Internal to the platform layer.
#pragma once

#include "platform/platform.h"

// The replacement character that stands for bytes or code units that encode nothing.
constexpr char32_t kReplacementCharacter = 0xFFFD;

// A file name on this system may hold any bytes, UTF-8 or not. A byte of a name that is not
// part of valid UTF-8 travels in a UTF-16 text as the lone surrogate U+DC00 + byte (U+DC80 to
// U+DCFF), as Python's surrogateescape carries it: no valid text holds a lone surrogate, so the
// name turns back into the same bytes at the system call.
constexpr char32_t kFirstEscapedByte = 0xDC80;
constexpr char32_t kLastEscapedByte = 0xDCFF;

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

// Writes the UTF-16 form of codePoint into units (room for 2) and answers 1 or 2.
int EncodeUtf16(char32_t codePoint, WCHAR* units);

// Converts a name from the system (UTF-8, or any bytes) into buffer of count units (terminator
// included, count >= 1): each byte that is not part of valid UTF-8 becomes U+DC00 + byte, so
// that Utf8Text gives the same bytes back. Answers the number of units the whole text needs
// without its terminator; when that is count or more, buffer holds as much as fits and is
// terminated.
size_t ConvertUtf8ToWide(const char* text, WCHAR* buffer, size_t count);
