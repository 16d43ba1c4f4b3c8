// comparefile/compare_list.cpp: opening and closing the compare file.
#include "comparefile/compare_list.h"

#include <cerrno>
#include <ctime>

#include "support/checked_memory.h"

CompareList g_compareList;

namespace {

// Every temporary name of this process is new: a counter, started from the clock so that a
// leftover of an earlier run is not reused by accident.
uint32_t g_temporaryCounter = static_cast<uint32_t>(std::time(nullptr));

// path + ".~" + eight hex digits, in a block of the checked heap; none when refused.
WCHAR* MakeTemporaryPath(const WCHAR* path) {
    WCHAR suffix[16];
    wsprintfW(suffix, WIDE(".~%08x"), ++g_temporaryCounter);
    int pathLength = lstrlenW(path);
    uint32_t room = static_cast<uint32_t>(pathLength + lstrlenW(suffix) + 1);
    WCHAR* temporary = static_cast<WCHAR*>(CheckedAlloc(room * sizeof(WCHAR)));
    if (temporary == nullptr) return nullptr;
    lstrcpyW(temporary, path);
    lstrcpyW(temporary + pathLength, suffix);
    return temporary;
}

bool IsWriteMode(const WCHAR* mode) { return mode != nullptr && mode[0] == u'w'; }

// A target that is a folder can never be replaced by the file; say so before the work starts.
bool IsFolder(const WCHAR* path) {
    FILE* probe = nullptr;
    errno_t error = _wfopen_s(&probe, path, WIDE("rb"));
    if (probe != nullptr) fclose(probe);
    return error == EISDIR;
}

}  // namespace

CompareList::~CompareList() { CloseCompareFile(); }

bool CompareList::OpenCompareFile(const WCHAR* path, const WCHAR* mode, uint32_t modeWord) {
    modeWord_ = modeWord;
    CloseCompareFile();
    if (path == nullptr || path[0] == 0 || mode == nullptr) return false;
    if (!IsWriteMode(mode)) {
        if (_wfopen_s(&stream_, path, mode) != 0) stream_ = nullptr;
        return stream_ != nullptr;
    }
    if (IsFolder(path)) return false;
    targetPath_ = CheckedDup(path);
    temporaryPath_ = targetPath_ != nullptr ? MakeTemporaryPath(path) : nullptr;
    if (temporaryPath_ != nullptr && _wfopen_s(&stream_, temporaryPath_, mode) != 0) {
        stream_ = nullptr;
    }
    if (stream_ == nullptr) {
        // Without the memory or a temporary in the target's folder (missing, or not writable)
        // there is no compare file, and the target stays as it was.
        ForgetTarget();
        return false;
    }
    return true;
}

bool CompareList::CloseCompareFile() {
    if (stream_ == nullptr) return true;
    FILE* stream = stream_;
    stream_ = nullptr;
    if (temporaryPath_ == nullptr) {
        fclose(stream);
        return true;
    }
    // A write that failed (a full disk) shows in the stream's error state or at the flush.
    bool written = ferror(stream) == 0;
    if (fflush(stream) != 0) written = false;
    if (fclose(stream) != 0) written = false;
    if (written) written = MoveFileExW(temporaryPath_, targetPath_, MOVEFILE_REPLACE_EXISTING) != 0;
    if (!written) DeleteFileW(temporaryPath_);
    ForgetTarget();
    return written;
}

void CompareList::ForgetTarget() {
    if (targetPath_ != nullptr) CheckedFree(targetPath_);
    if (temporaryPath_ != nullptr) CheckedFree(temporaryPath_);
    targetPath_ = nullptr;
    temporaryPath_ = nullptr;
}
