// cli/terminal_text.h
//
// Texts between the terminal (UTF-8 arguments and output) and the library (UTF-16 code units).
#pragma once

#include <string>

#include "platform/platform.h"

// The library's texts as a string: WCHAR units (char16_t, or wchar_t on Windows).
using WideText = std::basic_string<WCHAR>;

// UTF-16 code units from a UTF-8 argument; bytes that are not UTF-8 become U+FFFD.
WideText WideFromTerminal(const std::string& text);
// UTF-8 for the terminal from UTF-16 code units; a lone surrogate becomes U+FFFD.
std::string TerminalFromWide(const WCHAR* text, size_t length);
std::string TerminalFromWide(const WideText& text);
// The same for a text that ends with a zero code unit.
std::string TerminalFromWide(const WCHAR* text);
