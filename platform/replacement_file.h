// platform/replacement_file.h
//
// Replacing a file whole: an output is written into a new temporary file beside the file it
// replaces and renamed over it only when complete, so that the file in place is always one
// whole output, the old one or a new one, even while several processes write the same path.
// The compare file writer, the runtime's save and the command's own outputs all go through it.
#pragma once

#include <cstdio>

#include "platform/platform.h"

// One output under way: its stream, its temporary and the file it will replace.
struct ReplacementFile;

// Starts replacing the file at path. A symbolic link at path (a chain of them, relative or
// absolute) is followed to the file it finally names: that file is replaced and the links stay
// links, as editors do. The temporary lies in that file's folder, so that the rename into
// place is one atomic step; its name is that file's name, ".~" and a suffix that differs from
// process to process, and it is created exclusively (a name already taken, by another writer
// or a leftover, is never opened: another is tried). While it is written, only its owner can
// read it when it replaces an existing file.
// Answers null, with errno set and nothing made, for a null or empty path, a path that names
// a folder (EISDIR) or anything else but a plain file (EACCES), a chain of links that does not
// end (ELOOP), a folder that is missing or closed to us, a name the system cannot hold, or no
// memory left (ENOMEM). Release what it answers with CommitReplacement or AbandonReplacement.
ReplacementFile* BeginReplacement(const WCHAR* path);

// The binary stream that the output is written to; it stays owned by file.
FILE* ReplacementStream(const ReplacementFile* file);

// Puts the output in place: flushes and closes the stream, gives the temporary what the user
// set on the file it replaces (its mode bits, and its owner and group where the system lets
// us), and renames it over that file. A new file keeps the mode that the umask gives. Answers
// true when the new output is in place. When a write failed earlier (the stream's error
// state), or the flush, the close or the rename fails, the temporary is removed, the file at
// the path stays as it was, and the answer is false. Releases file; null answers false.
bool CommitReplacement(ReplacementFile* file);

// Gives up an output: the stream is closed and the temporary removed, and the file at the
// path stays as it was. Releases file; null does nothing.
void AbandonReplacement(ReplacementFile* file);
