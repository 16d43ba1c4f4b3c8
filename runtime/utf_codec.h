// runtime/utf_codec.h
//
// The conversions between the runtime's UTF-16 texts and the UTF-8 of outline files, on the
// platform layer's one core (platform/utf_conversion.h). Reading is strict (the outline format
// accepts only well-formed UTF-8); writing keeps every UTF-16 code unit, so a lone surrogate is
// left for the caller to escape.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/platform.h"
#include "platform/utf_conversion.h"

namespace brimrt {

typedef std::basic_string<WCHAR> WideText;

// Decodes one well-formed UTF-8 character at bytes (bytes < end). Answers its length, 1 to 4,
// with its code point in *codePoint; answers 0 for a malformed sequence: a stray continuation
// byte, a byte above F4 or C0/C1, an overlong form, an encoded surrogate, a value above
// U+10FFFF, or a sequence cut by end.
size_t DecodeUtf8(const unsigned char* bytes, const unsigned char* end, uint32_t* codePoint);

// Appends the code point as UTF-8. A surrogate value is written as its three-byte form, which
// the outline writer never asks for (it escapes lone surrogates instead).
void AppendUtf8(std::string* bytes, uint32_t codePoint);

// The UTF-8 of well-formed UTF-8 input as UTF-16, for texts that the runtime itself builds
// (messages). Malformed bytes become U+FFFD.
WideText WidenUtf8(const std::string& bytes);

using ::IsHighSurrogate;
using ::IsLowSurrogate;

}  // namespace brimrt
