// cli/terminal_text.cpp: UTF-8 and UTF-16 for the command's arguments and output, each a use of
// the platform layer's one conversion with the rule that the text's purpose asks for.
#include "cli/terminal_text.h"

#include "platform/utf_conversion.h"

WideText WideFromTerminal(const std::string& text) {
    return Utf16FromUtf8(text.data(), text.size(), StrayByte::kReplace);
}

WideText WideFromName(const std::string& name) {
    return Utf16FromUtf8(name.data(), name.size(), StrayByte::kEscape);
}

std::string TerminalFromWide(const WCHAR* text, size_t length) {
    return Utf8FromUtf16(text, length, LoneSurrogate::kReplace);
}

std::string TerminalFromWide(std::basic_string_view<WCHAR> text) {
    return TerminalFromWide(text.data(), text.size());
}

std::string TerminalFromWide(const WCHAR* text) {
    if (text == nullptr) return std::string();
    size_t length = 0;
    while (text[length] != 0) ++length;
    return TerminalFromWide(text, length);
}

std::string MessageFromWide(const WCHAR* text, size_t length) {
    return Utf8FromUtf16(text, length, LoneSurrogate::kEscapedByte);
}
