// platform/utf_conversion.h
//
// UTF-16 to UTF-8 and back, for the places where a text meets the operating system: paths at
// a system call, the current directory, the default message box line, narrow %S arguments.
// Internal to the platform layer.
#pragma once

#include "platform/platform.h"

// The replacement character that stands for bytes or code units that encode nothing.
constexpr char32_t kReplacementCharacter = 0xFFFD;

// A UTF-8 copy of a UTF-16 text, in memory from malloc that the holder releases.
class Utf8Text {
public:
    Utf8Text() = default;
    ~Utf8Text();
    Utf8Text(const Utf8Text&) = delete;
    Utf8Text& operator=(const Utf8Text&) = delete;

    // Converts text and answers 0, or an error number: EINVAL for a null text or a lone
    // surrogate (a path that no file can have), ENOMEM when no memory is left. With
    // replaceLoneSurrogates a lone surrogate becomes U+FFFD instead, for texts shown to a person.
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

// Converts a UTF-8 text into buffer of count units (terminator included, count >= 1).
// Answers the number of units the whole text needs without its terminator; when that is
// count or more, buffer holds as much as fits and is terminated.
size_t ConvertUtf8ToWide(const char* text, WCHAR* buffer, size_t count);
