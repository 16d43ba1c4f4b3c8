// cli/terminal_text.h
//
// Texts between the terminal (UTF-8 arguments and output) and the library (UTF-16 code units).
#pragma once

#include <string>

#include "platform/platform.h"

// UTF-16 code units from a UTF-8 argument; bytes that are not UTF-8 become U+FFFD.
std::u16string WideFromTerminal(const std::string& text);
// UTF-8 for the terminal from UTF-16 code units; a lone surrogate becomes U+FFFD.
std::string TerminalFromWide(const WCHAR* text, size_t length);
std::string TerminalFromWide(const std::u16string& text);
// The same for a text that ends with a zero code unit.
std::string TerminalFromWide(const WCHAR* text);
