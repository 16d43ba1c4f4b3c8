// runtime/outline_file.h
//
// The runtime's only contact with files, made through the platform's Win32 and C runtime
// names so that one code serves Windows and the platform layer alike: reading a whole file,
// and replacing a file by writing a temporary beside it and renaming it over the target.
#pragma once

#include <string>
#include <vector>

#include "runtime/large_block.h"
#include "runtime/outline_store.h"

namespace brimrt {

// The file's bytes in *bytes. False when it cannot be opened or a read fails.
bool ReadFileBytes(const WCHAR* path, ByteBuffer* bytes);

// The name of the temporary for target: target's own name with a suffix that is unique in
// this process and random across processes, so it lies in the target's folder.
WideText MakeTemporaryName(const WCHAR* target);

// Writes the outline canonically into a temporary beside path, checks every write, the flush
// and the close, then renames the temporary over path. On any failure the temporary is
// deleted, path is as it was, and the answer is false.
bool SaveOutlineFile(const OutlineStore& store, const WCHAR* path);

}  // namespace brimrt
