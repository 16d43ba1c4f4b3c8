// support/checked_memory.cpp: checked allocation over the C runtime's heap, with its test seam.
#include "support/checked_memory.h"

#include <cstdlib>
#include <cstring>

#include "resources/string_table.h"
#include "support/warning_box.h"

namespace {

uint32_t g_failAt = 0;
uint32_t g_requests = 0;
uint32_t g_refusals = 0;

void NoteRefusal() {
    ++g_refusals;
    ShowWarning(kStringNoMemory);
}

// Counts a request that reaches the heap and answers whether the seam makes it fail.
bool SeamRefuses() {
    ++g_requests;
    return g_failAt != 0 && g_requests == g_failAt;
}

}  // namespace

void* CheckedAlloc(uint32_t size) {
    if (size == 0) {
        ShowWarning(kStringZeroBytes);
        return nullptr;
    }
    void* block = SeamRefuses() ? nullptr : std::malloc(size);
    if (block == nullptr) NoteRefusal();
    return block;
}

void* CheckedRealloc(void* block, uint32_t size) {
    if (size == 0) {
        ShowWarning(kStringZeroBytes);
        return nullptr;
    }
    void* resized = SeamRefuses() ? nullptr : std::realloc(block, size);
    if (resized == nullptr) NoteRefusal();
    return resized;
}

void CheckedFree(void* block) {
    if (block == nullptr) {
        ShowWarning(kStringFreeNull);
        return;
    }
    std::free(block);
}

void FreeIfAny(void* block) {
    if (block != nullptr) CheckedFree(block);
}

WCHAR* CheckedDup(const WCHAR* text) {
    if (text == nullptr) {
        ShowWarning(kStringDereferenceNull);
        return nullptr;
    }
    size_t bytes = (static_cast<size_t>(lstrlenW(text)) + 1) * sizeof(WCHAR);
    WCHAR* copy = SeamRefuses() ? nullptr : static_cast<WCHAR*>(std::malloc(bytes));
    if (copy == nullptr) {
        NoteRefusal();
        return nullptr;
    }
    std::memcpy(copy, text, bytes);
    return copy;
}

void CheckHeap() {
    if (_heapchk() != _HEAPOK) ShowWarning(kStringHeapCheckFailed);
}

void FailCheckedAllocationAt(uint32_t failAt) {
    g_failAt = failAt;
    g_requests = 0;
}

uint32_t CheckedRefusals() { return g_refusals; }

uint32_t CheckedAllocationRequests() { return g_requests; }
