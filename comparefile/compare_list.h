// comparefile/compare_list.h
//
// The compare file of a build and, later in its life, the records of one loaded compare file.
// A build writes through the stream and mode word of the process-wide list without touching
// its records; the viewer's exports and the apply read records into a list.
#pragma once

#include <cstdint>
#include <cstdio>

#include "platform/platform.h"

class CompareList {
public:
    CompareList() = default;
    ~CompareList();
    CompareList(const CompareList&) = delete;
    CompareList& operator=(const CompareList&) = delete;

    // Stores modeWord, then opens path with mode ("wb" to write, "rb" to read). Answers true
    // when the file is open. Writing goes to a temporary file beside path, which replaces path
    // only when CloseCompareFile completes it: a build that fails half way never leaves a
    // partial compare file where a complete one is expected, and never harms the old one. A
    // path in a missing or read-only folder, or naming a folder, fails here.
    // A file still open is closed first.
    bool OpenCompareFile(const WCHAR* path, const WCHAR* mode, uint32_t modeWord);
    // Closes the stream if one is open and forgets it. A written file is flushed and moved over
    // its path; answers false when that failed (the old file at the path is then as it was and
    // the temporary is removed), true otherwise, also when nothing was open.
    bool CloseCompareFile();

    FILE* Stream() const { return stream_; }
    uint32_t ModeWord() const { return modeWord_; }

private:
    void ForgetTarget();

    FILE* stream_ = nullptr;
    uint32_t modeWord_ = 0;
    // While writing: the path to replace and the temporary file that will replace it.
    WCHAR* targetPath_ = nullptr;
    WCHAR* temporaryPath_ = nullptr;
};

// The list of the viewer's exports; a build writes its compare file through it.
extern CompareList g_compareList;
