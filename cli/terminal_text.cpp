// cli/terminal_text.cpp: UTF-8 and UTF-16 for the command's arguments and output.
#include "cli/terminal_text.h"

#include <cstdint>

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t code) {
    if (code < 0x80) {
        out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (code >> 6)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (code >> 12)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (code >> 18)));
        out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

// A lone surrogate U+DC00 + byte carries a byte of a name that is not part of valid UTF-8.
constexpr char32_t kEscapedByteBase = 0xDC00;
constexpr char32_t kFirstEscapedByte = 0xDC80;
constexpr char32_t kLastEscapedByte = 0xDCFF;

// UTF-16 from UTF-8; a byte that starts no valid sequence becomes U+DC00 + byte with
// escapeBytes, else U+FFFD.
WideText DecodeText(const std::string& text, bool escapeBytes) {
    WideText wide;
    size_t k = 0;
    while (k < text.size()) {
        unsigned char lead = static_cast<unsigned char>(text[k]);
        // The continuation bytes that lead announces; 99 for a byte that starts no sequence.
        size_t extra = lead < 0x80 ? 0 : lead < 0xC2 ? 99 : lead < 0xE0 ? 1
                                      : lead < 0xF0 ? 2 : lead < 0xF5 ? 3 : 99;
        char32_t code = extra == 0 ? lead : extra == 99 ? 0 : lead & (0x3F >> extra);
        bool valid = extra != 99 && k + extra < text.size();
        for (size_t e = 1; valid && e <= extra; ++e) {
            unsigned char next = static_cast<unsigned char>(text[k + e]);
            if ((next & 0xC0) != 0x80) valid = false;
            code = (code << 6) | (next & 0x3F);
        }
        if (valid && ((extra == 2 && (code < 0x800 || (code >= 0xD800 && code < 0xE000))) ||
                      (extra == 3 && (code < 0x10000 || code > 0x10FFFF)))) {
            valid = false;
        }
        if (!valid) {
            char32_t stand = escapeBytes ? kEscapedByteBase + lead : kReplacement;
            wide.push_back(static_cast<WCHAR>(stand));
            ++k;
            continue;
        }
        k += extra + 1;
        if (code >= 0x10000) {
            code -= 0x10000;
            wide.push_back(static_cast<WCHAR>(0xD800 + (code >> 10)));
            wide.push_back(static_cast<WCHAR>(0xDC00 + (code & 0x3FF)));
        } else {
            wide.push_back(static_cast<WCHAR>(code));
        }
    }
    return wide;
}

// UTF-8 from UTF-16; a lone surrogate becomes U+FFFD, or with escapedBytes, when it is one of
// U+DC80..U+DCFF, the byte it carries.
std::string EncodeText(const WCHAR* text, size_t length, bool escapedBytes) {
    std::string out;
    for (size_t k = 0; k < length; ++k) {
        char32_t code = static_cast<uint16_t>(text[k]);
        if (code >= 0xD800 && code < 0xDC00 && k + 1 < length &&
            static_cast<uint16_t>(text[k + 1]) >= 0xDC00 &&
            static_cast<uint16_t>(text[k + 1]) < 0xE000) {
            code = 0x10000 + ((code - 0xD800) << 10) + (static_cast<uint16_t>(text[k + 1]) - 0xDC00);
            ++k;
        } else if (escapedBytes && code >= kFirstEscapedByte && code <= kLastEscapedByte) {
            out.push_back(static_cast<char>(code - kEscapedByteBase));
            continue;
        } else if (code >= 0xD800 && code < 0xE000) {
            code = kReplacement;
        }
        AppendUtf8(out, code);
    }
    return out;
}

}  // namespace

WideText WideFromTerminal(const std::string& text) { return DecodeText(text, false); }

WideText WideFromName(const std::string& name) { return DecodeText(name, true); }

std::string TerminalFromWide(const WCHAR* text, size_t length) {
    return EncodeText(text, length, false);
}

std::string TerminalFromWide(const WideText& text) {
    return TerminalFromWide(text.data(), text.size());
}

std::string TerminalFromWide(const WCHAR* text) {
    if (text == nullptr) return std::string();
    size_t length = 0;
    while (text[length] != 0) ++length;
    return TerminalFromWide(text, length);
}

std::string MessageFromWide(const WCHAR* text, size_t length) {
    return EncodeText(text, length, true);
}
