// runtime/outline_parser.h
//
// Reads the outline text format (runtime/outline_format.md) from a byte buffer into an
// outline store. The parser walks the buffer line by line with an explicit stack of the open
// items, so that neither depth nor width costs stack, and it stops at the first fault with the
// line and column where it is and what it expected there.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "runtime/outline_store.h"

namespace brimrt {

struct ParseFailure {
    size_t line;          // 1-based
    size_t column;        // 1-based, in characters; a byte order mark takes no column
    std::string message;  // "expected ..., found ...", UTF-8
};

class OutlineParser;

// Fills store, which must be empty, with an outline that arrives in pieces, so that it need
// not be held whole: each Feed takes the bytes after those taken before, and reads the lines
// that end in them (every line when last is set, which the last Feed must be); *taken says how
// many bytes that was, and the rest begin a line that must come again at the front of the
// next Feed. Answers true while all is well; false with *failure set for the first fault, the
// store then holding a partial tree that the caller discards, and nothing more may be fed.
// Each line's bytes are checked (UTF-8, NUL, lone CR) before its syntax, so a bad byte is
// reported even when the line also has a syntax fault further left. Throws std::bad_alloc
// when memory runs out.
class OutlineReader {
public:
    OutlineReader(OutlineStore* store, ParseFailure* failure);
    ~OutlineReader();
    OutlineReader(const OutlineReader&) = delete;
    OutlineReader& operator=(const OutlineReader&) = delete;

    bool Feed(const char* bytes, size_t size, bool last, size_t* taken);

private:
    std::unique_ptr<OutlineParser> parser_;
};

// False when the first size bytes of a file already show that it does not begin with the
// header line, so that a reader can stop at once (an endless device or pipe would otherwise be
// read until memory runs out); true while they may still be its beginning.
bool MayBeginOutline(const char* bytes, size_t size);

}  // namespace brimrt
