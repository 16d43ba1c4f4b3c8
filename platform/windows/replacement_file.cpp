// platform/windows/replacement_file.cpp: replacing a file whole on Windows.
//
// The temporary is created with _O_CREAT | _O_EXCL (CREATE_NEW underneath), named by the
// process id and a random number, another name being drawn when one is taken. An existing
// file is replaced with ReplaceFileW, which keeps what the user set on it (its attributes,
// its security descriptor, its creation time); a new one is moved into place. Symbolic links
// are not followed here: a link at the path is replaced by the file.
#include "platform/replacement_file.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>

struct ReplacementFile {
    FILE* stream;
    WCHAR* targetPath;
    WCHAR* temporaryPath;
};

namespace {

// Names drawn before giving up on a folder where each is taken.
constexpr int kMaxNameAttempts = 100;

// A number that another process is unlikely to draw at the same moment: the performance
// counter and a count of this process's draws, mixed.
uint32_t DrawNumber() {
    static std::atomic<uint32_t> count{0};
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    uint64_t mixed = static_cast<uint64_t>(now.QuadPart) * 0x9E3779B97F4A7C15ull +
                     count.fetch_add(1) * 0xBF58476D1CE4E5B9ull;
    return static_cast<uint32_t>(mixed >> 32) ^ static_cast<uint32_t>(mixed);
}

WCHAR* CopyText(const WCHAR* text, size_t extra) {
    size_t length = wcslen(text);
    WCHAR* copy = static_cast<WCHAR*>(std::malloc((length + extra + 1) * sizeof(WCHAR)));
    if (copy != nullptr) wcscpy(copy, text);
    return copy;
}

// Creates target + ".~<process id>-<random>" exclusively and answers its descriptor, with
// *temporary its name in memory from malloc; -1 with errno set when none could be made.
int CreateTemporary(const WCHAR* target, WCHAR** temporary) {
    for (int attempt = 0; attempt < kMaxNameAttempts; ++attempt) {
        WCHAR* name = CopyText(target, 24);
        if (name == nullptr) {
            errno = ENOMEM;
            return -1;
        }
        size_t length = wcslen(name);
        _snwprintf(name + length, 24, L".~%lx-%08lx",
                   static_cast<unsigned long>(GetCurrentProcessId()),
                   static_cast<unsigned long>(DrawNumber()));
        int descriptor = _wopen(name, _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                                _S_IREAD | _S_IWRITE);
        if (descriptor >= 0) {
            *temporary = name;
            return descriptor;
        }
        int error = errno;
        std::free(name);
        errno = error;
        if (error != EEXIST) return -1;
    }
    return -1;
}

void ReleaseReplacement(ReplacementFile* file) {
    std::free(file->targetPath);
    std::free(file->temporaryPath);
    std::free(file);
}

}  // namespace

ReplacementFile* BeginReplacement(const WCHAR* path) {
    if (path == nullptr || path[0] == 0) {
        errno = EINVAL;
        return nullptr;
    }
    DWORD attributes = GetFileAttributesW(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        errno = EISDIR;
        return nullptr;
    }
    ReplacementFile* file = static_cast<ReplacementFile*>(std::calloc(1, sizeof(ReplacementFile)));
    if (file == nullptr || (file->targetPath = CopyText(path, 0)) == nullptr) {
        if (file != nullptr) ReleaseReplacement(file);
        errno = ENOMEM;
        return nullptr;
    }
    int descriptor = CreateTemporary(path, &file->temporaryPath);
    if (descriptor < 0) {
        int error = errno;
        ReleaseReplacement(file);
        errno = error;
        return nullptr;
    }
    file->stream = _wfdopen(descriptor, L"wb");
    if (file->stream == nullptr) {
        int error = errno;
        _close(descriptor);
        DeleteFileW(file->temporaryPath);
        ReleaseReplacement(file);
        errno = error;
        return nullptr;
    }
    return file;
}

FILE* ReplacementStream(const ReplacementFile* file) {
    return file != nullptr ? file->stream : nullptr;
}

bool CommitReplacement(ReplacementFile* file) {
    if (file == nullptr) return false;
    bool written = ferror(file->stream) == 0;
    if (fflush(file->stream) != 0) written = false;
    if (fclose(file->stream) != 0) written = false;
    if (written) {
        // ReplaceFileW answers false when there is nothing to replace, and also in some
        // failures that leave the new file under its temporary name; the move covers both.
        written = ReplaceFileW(file->targetPath, file->temporaryPath, nullptr,
                               REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) ||
                  MoveFileExW(file->temporaryPath, file->targetPath, MOVEFILE_REPLACE_EXISTING);
    }
    if (!written) DeleteFileW(file->temporaryPath);
    ReleaseReplacement(file);
    return written;
}

void AbandonReplacement(ReplacementFile* file) {
    if (file == nullptr) return;
    fclose(file->stream);
    DeleteFileW(file->temporaryPath);
    ReleaseReplacement(file);
}
