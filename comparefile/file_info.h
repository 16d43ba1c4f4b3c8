// comparefile/file_info.h
//
// The size and modification date of a file, as each file line of a compare file's header
// records them, so that a reader can tell which outline a comparison was built from.
#pragma once

#include <cstdint>

#include "platform/platform.h"

// Room for the date text: "Www Mmm dd yyyy hh:mm:ss" (24 characters) and the terminator.
constexpr int kFileDateSize = 25;

// Stores the size of the file at path (cut to 32 bits) in *size and its last modification,
// local time, as "Www Mmm dd yyyy hh:mm:ss" in dateText (kFileDateSize characters of room).
// A null or empty path, or a file that cannot be opened for reading, gives size 0 and the
// empty text. Either output may be null.
void ReadFileInfo(const WCHAR* path, uint32_t* size, WCHAR* dateText);
