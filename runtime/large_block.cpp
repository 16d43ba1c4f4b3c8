// runtime/large_block.cpp: big blocks in pages of their own, small ones from the heap.
#include "runtime/large_block.h"

#include "platform/platform.h"

namespace brimrt {

namespace {

// Under AddressSanitizer every block comes from the heap, whose bounds the sanitizer checks.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kOwnPages = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kOwnPages = false;
#else
constexpr bool kOwnPages = true;
#endif
#else
constexpr bool kOwnPages = true;
#endif

bool InOwnPages(size_t bytes) { return kOwnPages && bytes >= kLargeBlockBytes; }

}  // namespace

void* AllocateBlock(size_t bytes) {
    if (!InOwnPages(bytes)) return ::operator new(bytes);
    void* block = VirtualAlloc(nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (block == nullptr) throw std::bad_alloc();
    return block;
}

void FreeBlock(void* block, size_t bytes) noexcept {
    if (block == nullptr) return;
    if (!InOwnPages(bytes)) {
        ::operator delete(block);
    } else {
        VirtualFree(block, 0, MEM_RELEASE);
    }
}

}  // namespace brimrt
