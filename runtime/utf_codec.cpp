// runtime/utf_codec.cpp: the outline runtime's conversions, each a thin use of the platform core.
#include "runtime/utf_codec.h"

namespace brimrt {

size_t DecodeUtf8(const unsigned char* bytes, const unsigned char* end, uint32_t* codePoint) {
    char32_t decoded = 0;
    size_t length = DecodeUtf8Character(bytes, end, &decoded);
    if (length != 0) *codePoint = decoded;
    return length;
}

void AppendUtf8(std::string* bytes, uint32_t codePoint) {
    char encoded[4];
    int length = EncodeUtf8(codePoint, LoneSurrogate::kKeep, encoded);
    bytes->append(encoded, static_cast<size_t>(length));
}

WideText WidenUtf8(const std::string& bytes) {
    return Utf16FromUtf8(bytes.data(), bytes.size(), StrayByte::kReplace);
}

}  // namespace brimrt
