// runtime/outline_file.h
//
// The runtime's only contact with files, made through the platform's Win32 and C runtime
// names and its replacement files, so that one code serves Windows and the platform layer
// alike: reading a whole file, and replacing a file whole.
#pragma once

#include <string>
#include <vector>

#include "runtime/large_block.h"
#include "runtime/outline_store.h"

namespace brimrt {

// The file's bytes in *bytes (only the first of a file that does not begin as an outline).
// Answers 0, or the system's error number when it cannot be opened or a read fails.
int ReadFileBytes(const WCHAR* path, ByteBuffer* bytes);

// Writes the outline canonically into a temporary of its own beside path (the platform's
// replacement file: beside the file a symbolic link names, created exclusively), checks every
// write, the flush and the close, then renames the temporary over that file, which keeps its
// mode. On any failure the temporary is deleted, path is as it was, and the answer is false.
bool SaveOutlineFile(const OutlineStore& store, const WCHAR* path);

}  // namespace brimrt
