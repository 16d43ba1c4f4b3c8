// comparefile/file_info.cpp: a file's size and modification date for the header's file lines.
#include "comparefile/file_info.h"

namespace {

// Room for the modification time as the C runtime writes it ("Www Mmm dd hh:mm:ss yyyy\n").
constexpr size_t kTimeTextSize = 128;

}  // namespace

void ReadFileInfo(const WCHAR* path, uint32_t* size, WCHAR* dateText) {
    // No file to read: size 0 and the empty date.
    FILE* file = nullptr;
    if (path == nullptr || path[0] == 0 || _wfopen_s(&file, path, WIDE("rb")) != 0 ||
        file == nullptr) {
        if (size != nullptr) *size = 0;
        if (dateText != nullptr) dateText[0] = 0;
        return;
    }
    struct _stat64i32 status = {};
    int statusRead = _fstat64i32(_fileno(file), &status);
    fclose(file);
    if (statusRead != 0) status = {};
    if (size != nullptr) *size = static_cast<uint32_t>(status.st_size);
    // The runtime's "Www Mmm dd hh:mm:ss yyyy" becomes "Www Mmm dd yyyy hh:mm:ss".
    if (dateText == nullptr) return;
    WCHAR timeText[kTimeTextSize] = {};
    __time64_t modified = status.st_mtime;
    if (_wctime64_s(timeText, kTimeTextSize, &modified) != 0) {
        dateText[0] = 0;
        return;
    }
    wsprintfW(dateText, WIDE("%10.10s%5.5s%9.9s"), timeText, timeText + 19, timeText + 10);
}
