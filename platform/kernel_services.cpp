// platform/kernel_services.cpp: wide text helpers and page blocks of kernel32.
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/platform.h"

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
