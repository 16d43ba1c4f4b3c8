// platform/kernel_services.cpp: wide text helpers and page blocks of kernel32.
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/platform.h"

namespace {

// Reads up to 15 bytes outside a text (before its start or past its end) but never into a page
// the text does not reach: the sanitizers, which watch objects rather than pages, are told not
// to watch these reads.
#define NOT_WATCHED_PAST_THE_END __attribute__((no_sanitize("address", "thread")))

// The number of units before the terminator. The engines measure and compare a key or a text
// for every item they load, so on x86-64 the terminator is looked for eight units at a time, each
// load an aligned 16 bytes: such a load never reaches into another page than the unit it starts
// with, so reading past the terminator stays inside memory that is there, though outside the
// text.
#if defined(__SSE2__)
NOT_WATCHED_PAST_THE_END size_t UnitsBeforeTerminator(LPCWSTR text) {
    const __m128i zero = _mm_setzero_si128();
    // The units are two bytes each, so text is at least two-byte aligned; the first load
    // starts at the 16-byte boundary at or before it, and the units before text are masked.
    uintptr_t address = reinterpret_cast<uintptr_t>(text);
    const char* block = reinterpret_cast<const char*>(address & ~uintptr_t{15});
    unsigned before = static_cast<unsigned>(address & 15);
    unsigned found = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi16(
                         _mm_load_si128(reinterpret_cast<const __m128i*>(block)), zero))) >>
                     before;
    if (found != 0) return static_cast<size_t>(__builtin_ctz(found)) / 2;
    for (;;) {
        block += 16;
        found = static_cast<unsigned>(_mm_movemask_epi8(
            _mm_cmpeq_epi16(_mm_load_si128(reinterpret_cast<const __m128i*>(block)), zero)));
        if (found != 0) {
            return static_cast<size_t>(block - reinterpret_cast<const char*>(text) +
                                       __builtin_ctz(found)) /
                   2;
        }
    }
}

// The index of the first unit where the texts differ, or of their common terminator. Eight
// units of each are compared at a time where neither load would reach into the next page.
NOT_WATCHED_PAST_THE_END size_t UnitsBeforeDifference(LPCWSTR first, LPCWSTR second) {
    constexpr uintptr_t kPageBytes = 4096;
    auto roomInPage = [](LPCWSTR at) {
        return (reinterpret_cast<uintptr_t>(at) & (kPageBytes - 1)) <= kPageBytes - 16;
    };
    const __m128i zero = _mm_setzero_si128();
    size_t k = 0;
    for (;;) {
        if (roomInPage(first + k) && roomInPage(second + k)) {
            __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(first + k));
            __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(second + k));
            unsigned same = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi16(a, b)));
            unsigned ends = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi16(a, zero)));
            unsigned stop = (~same | ends) & 0xFFFFu;
            if (stop != 0) return k + static_cast<size_t>(__builtin_ctz(stop)) / 2;
            k += 8;
        } else {
            if (first[k] != second[k] || first[k] == 0) return k;
            ++k;
        }
    }
}
#else
size_t UnitsBeforeDifference(LPCWSTR first, LPCWSTR second) {
    size_t k = 0;
    while (first[k] == second[k] && first[k] != 0) ++k;
    return k;
}

size_t UnitsBeforeTerminator(LPCWSTR text) {
    size_t length = 0;
    while (text[length] != 0) ++length;
    return length;
}
#endif

}  // namespace

int lstrcmpW(LPCWSTR first, LPCWSTR second) {
    if (first == nullptr || second == nullptr) {
        if (first == second) return 0;
        return first == nullptr ? -1 : 1;
    }
    size_t k = UnitsBeforeDifference(first, second);
    // WCHAR is unsigned, so units above 0x7FFF sort after ASCII, as plain 16-bit values.
    if (first[k] == second[k]) return 0;
    return first[k] < second[k] ? -1 : 1;
}

int lstrlenW(LPCWSTR text) {
    if (text == nullptr) return 0;
    return static_cast<int>(UnitsBeforeTerminator(text));
}

LPWSTR lstrcpyW(LPWSTR target, LPCWSTR source) {
    if (target == nullptr || source == nullptr) return nullptr;
    std::memcpy(target, source, (UnitsBeforeTerminator(source) + 1) * sizeof(WCHAR));
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
