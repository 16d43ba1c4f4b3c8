// cli/terminal_text.h
//
// Texts between the terminal (UTF-8 arguments and output) and the library (UTF-16 code units).
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "platform/platform.h"

// The library's texts as a string: WCHAR units (char16_t, or wchar_t on Windows).
using WideText = std::basic_string<WCHAR>;
// A text seen where it stands: in an outline (an item's stored text, which a plain tree shows
// in place), or in room that its holder owns.
using WideView = std::basic_string_view<WCHAR>;

// UTF-16 code units from a UTF-8 argument; bytes that are not UTF-8 become U+FFFD.
WideText WideFromTerminal(const std::string& text);
// The same for a file name, which may hold any bytes: each byte that is not part of valid
// UTF-8 becomes the lone surrogate U+DC00 + byte, which the platform layer turns back into
// that byte at the system call, so that the file opened or made has exactly the name given.
WideText WideFromName(const std::string& name);
// UTF-8 for the terminal from UTF-16 code units; a lone surrogate becomes U+FFFD.
std::string TerminalFromWide(const WCHAR* text, size_t length);
std::string TerminalFromWide(std::basic_string_view<WCHAR> text);
// The same for a text that ends with a zero code unit.
std::string TerminalFromWide(const WCHAR* text);
// A message for the terminal that may name files (the runtime's reason for a refusal, a
// warning box): as TerminalFromWide, but a lone U+DC80..U+DCFF, which carries a byte of a name,
// prints as that byte, so that the name reads as the user gave it.
std::string MessageFromWide(const WCHAR* text, size_t length);

// Lines for a stream, written a few large pieces at a time: standard error is unbuffered, so a
// long list written there line by line costs one write to the system per line. The lines go
// out when the batch is full, flushed or destroyed, in the order they were added.
class LineBatch {
public:
    explicit LineBatch(FILE* stream) : stream_(stream) {}
    ~LineBatch() { Flush(); }
    LineBatch(const LineBatch&) = delete;
    LineBatch& operator=(const LineBatch&) = delete;

    // Adds the pieces and a line feed.
    template <typename... Pieces>
    void Add(const Pieces&... pieces) {
        (text_.append(pieces), ...);
        text_ += '\n';
        if (text_.size() >= kBatchBytes) Flush();
    }
    void Flush() {
        if (!text_.empty()) std::fwrite(text_.data(), 1, text_.size(), stream_);
        text_.clear();
    }

private:
    static constexpr size_t kBatchBytes = 1 << 16;
    FILE* stream_;
    std::string text_;
};
