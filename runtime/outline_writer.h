// runtime/outline_writer.h
//
// Writes an outline store in the canonical outline text format: "OUTLINE 1", LF line ends,
// two blanks per depth, flags in the order skip, nodelete, readonly, each item's content lines
// (in their stored order) before its children, and literals escaped one fixed way. Loading a
// canonical file and writing it again therefore gives the same bytes.
#pragma once

#include <cstddef>
#include <string>

#include "runtime/outline_store.h"

namespace brimrt {

// Where the writer's bytes go: a file, or a string for tests and measurements.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    // False when the bytes could not be taken; the writer then stops.
    virtual bool Write(const char* data, size_t size) = 0;
};

class StringSink : public ByteSink {
public:
    bool Write(const char* data, size_t size) override {
        bytes.append(data, size);
        return true;
    }
    std::string bytes;
};

// Appends text as a quoted literal: backslash, quote, LF (\n), CR (\r) and TAB (\t) by their
// escapes; every other unit below U+0020, U+007F and every lone surrogate as \uXXXX with four
// uppercase hex digits; a surrogate pair as the UTF-8 of its character; the rest as UTF-8.
void AppendLiteral(std::string* out, const WCHAR* text, size_t length);

// Writes the whole outline to sink in pieces of about a megabyte. Answers false as soon as
// the sink refuses a piece. Throws std::bad_alloc when memory runs out.
bool WriteOutline(const OutlineStore& store, ByteSink* sink);

}  // namespace brimrt
