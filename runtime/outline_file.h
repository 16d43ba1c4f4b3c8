// runtime/outline_file.h
//
// The runtime's only contact with files, made through the platform's Win32 and C runtime
// names and its replacement files, so that one code serves Windows and the platform layer
// alike: reading an outline file a piece at a time, and replacing a file whole.
#pragma once

#include <string>
#include <vector>

#include "runtime/large_block.h"
#include "runtime/outline_parser.h"
#include "runtime/outline_store.h"

namespace brimrt {

// Reads the outline file at path into store, which must be empty, a piece at a time, and stops
// at the first fault of its text. Answers 0, or the system's error number when it cannot be
// opened or a read fails before a fault is found (which then outweighs the fault); *parsed
// says whether the text was an outline (false: *failure tells the first fault). Throws
// std::bad_alloc when memory runs out.
int ReadOutlineFile(const WCHAR* path, OutlineStore* store, ParseFailure* failure, bool* parsed);

// Writes the outline canonically into a temporary of its own beside path (the platform's
// replacement file: beside the file a symbolic link names, created exclusively), checks every
// write, the flush and the close, then renames the temporary over that file, which keeps its
// mode. On any failure the temporary is deleted, path is as it was, and the answer is false.
bool SaveOutlineFile(const OutlineStore& store, const WCHAR* path);

}  // namespace brimrt
