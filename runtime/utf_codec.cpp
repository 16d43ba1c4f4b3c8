// runtime/utf_codec.cpp: strict UTF-8 decoding and the encoders of the outline runtime.
#include "runtime/utf_codec.h"

namespace brimrt {

size_t DecodeUtf8(const unsigned char* bytes, const unsigned char* end, uint32_t* codePoint) {
    unsigned char lead = bytes[0];
    if (lead < 0x80) {
        *codePoint = lead;
        return 1;
    }
    // The lead byte fixes the length and the smallest value that this length may carry,
    // which rules out overlong forms; the second byte's range also rules out surrogates
    // (ED A0..BF) and values above U+10FFFF (F4 90..BF), as the UTF-8 definition does.
    size_t length;
    uint32_t value;
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

void AppendUtf16(WideText* text, uint32_t codePoint) {
    if (codePoint < 0x10000) {
        text->push_back(static_cast<WCHAR>(codePoint));
        return;
    }
    codePoint -= 0x10000;
    text->push_back(static_cast<WCHAR>(0xD800 + (codePoint >> 10)));
    text->push_back(static_cast<WCHAR>(0xDC00 + (codePoint & 0x3FF)));
}

void AppendUtf8(std::string* bytes, uint32_t codePoint) {
    if (codePoint < 0x80) {
        bytes->push_back(static_cast<char>(codePoint));
    } else if (codePoint < 0x800) {
        bytes->push_back(static_cast<char>(0xC0 | (codePoint >> 6)));
        bytes->push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else if (codePoint < 0x10000) {
        bytes->push_back(static_cast<char>(0xE0 | (codePoint >> 12)));
        bytes->push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
        bytes->push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else {
        bytes->push_back(static_cast<char>(0xF0 | (codePoint >> 18)));
        bytes->push_back(static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F)));
        bytes->push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
        bytes->push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    }
}

WideText WidenUtf8(const std::string& bytes) {
    WideText text;
    const unsigned char* position = reinterpret_cast<const unsigned char*>(bytes.data());
    const unsigned char* end = position + bytes.size();
    while (position < end) {
        uint32_t codePoint = 0;
        size_t length = DecodeUtf8(position, end, &codePoint);
        if (length == 0) {
            codePoint = 0xFFFD;
            length = 1;
        }
        AppendUtf16(&text, codePoint);
        position += length;
    }
    return text;
}

}  // namespace brimrt
