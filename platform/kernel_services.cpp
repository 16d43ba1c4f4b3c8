// platform/kernel_services.cpp: wide text helpers and file moves of kernel32.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/file_status.h"
#include "platform/platform.h"
#include "platform/utf_conversion.h"

int lstrcmpW(LPCWSTR first, LPCWSTR second) {
    if (first == nullptr || second == nullptr) {
        if (first == second) return 0;
        return first == nullptr ? -1 : 1;
    }
    // WCHAR is unsigned, so units above 0x7FFF sort after ASCII, as plain 16-bit values.
    for (;; ++first, ++second) {
        if (*first != *second) return *first < *second ? -1 : 1;
        if (*first == 0) return 0;
    }
}

int lstrlenW(LPCWSTR text) {
    if (text == nullptr) return 0;
    int length = 0;
    while (text[length] != 0) ++length;
    return length;
}

LPWSTR lstrcpyW(LPWSTR target, LPCWSTR source) {
    if (target == nullptr || source == nullptr) return nullptr;
    LPWSTR out = target;
    while ((*out++ = *source++) != 0) {
    }
    return target;
}

LPWSTR lstrcpynW(LPWSTR target, LPCWSTR source, int maxLength) {
    if (target == nullptr || maxLength <= 0) return target;
    if (source == nullptr) source = u"";
    int k = 0;
    for (; k < maxLength - 1 && source[k] != 0; ++k) target[k] = source[k];
    target[k] = 0;
    return target;
}

BOOL MoveFileExW(LPCWSTR existing, LPCWSTR target, DWORD flags) {
    Utf8Text existingPath;
    Utf8Text targetPath;
    int error = existingPath.Assign(existing);
    if (error == 0) error = targetPath.Assign(target);
    if (error != 0) {
        errno = error;
        return 0;
    }
    if (flags & MOVEFILE_REPLACE_EXISTING) {
        // As on Windows, only a file is replaced: a device, a pipe or a folder at the target
        // stays what it is, and the move fails (a write to /dev/full must not become a file
        // named /dev/full).
        struct stat status;
        if (stat(targetPath.Get(), &status) == 0 && !S_ISREG(status.st_mode)) {
            errno = EACCES;
            return 0;
        }
        return std::rename(existingPath.Get(), targetPath.Get()) == 0;
    }
    // Without replacement the check and the rename must be one step, or a target made in
    // between would be lost; only a file system that cannot do that gets the two-step form.
    if (renameat2(AT_FDCWD, existingPath.Get(), AT_FDCWD, targetPath.Get(), RENAME_NOREPLACE) ==
        0) {
        return 1;
    }
    if (errno != EINVAL && errno != ENOSYS) return 0;
    if (PathExists(targetPath.Get())) {
        errno = EEXIST;
        return 0;
    }
    return std::rename(existingPath.Get(), targetPath.Get()) == 0;
}

BOOL DeleteFileW(LPCWSTR path) {
    Utf8Text systemPath;
    int error = systemPath.Assign(path);
    if (error != 0) {
        errno = error;
        return 0;
    }
    return unlink(systemPath.Get()) == 0;
}
