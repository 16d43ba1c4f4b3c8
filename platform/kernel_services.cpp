// platform/kernel_services.cpp: wide text helpers, file moves and page blocks of kernel32.
#include <fcntl.h>
#include <sys/mman.h>
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

namespace {

// Each block starts with its mapped length, so that VirtualFree can give the whole mapping
// back from its address alone, as the real one does. The header takes one 64-byte line, which
// keeps the caller's part aligned for any type.
constexpr size_t kBlockHeader = 64;
// From this size on a block is worth huge pages.
constexpr size_t kHugePageWorth = 2u << 20;

}  // namespace

void* VirtualAlloc(void* address, size_t size, DWORD allocationType, DWORD protect) {
    if (address != nullptr || size == 0 || size > SIZE_MAX - kBlockHeader ||
        (allocationType & MEM_COMMIT) == 0 || protect != PAGE_READWRITE) {
        errno = EINVAL;
        return nullptr;
    }
    size_t length = size + kBlockHeader;
    void* mapped =
        mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) return nullptr;
#ifdef MADV_HUGEPAGE
    if (length >= kHugePageWorth) madvise(mapped, length, MADV_HUGEPAGE);  // advice only
#endif
    *static_cast<size_t*>(mapped) = length;
    return static_cast<char*>(mapped) + kBlockHeader;
}

BOOL VirtualFree(void* address, size_t size, DWORD freeType) {
    if (address == nullptr || size != 0 || freeType != MEM_RELEASE) {
        errno = EINVAL;
        return 0;
    }
    char* mapped = static_cast<char*>(address) - kBlockHeader;
    return munmap(mapped, *reinterpret_cast<size_t*>(mapped)) == 0;
}
