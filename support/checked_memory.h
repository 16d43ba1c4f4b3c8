// support/checked_memory.h
//
// The library's one heap for arrays, keys and record texts. Every request goes through these
// functions, which show a warning box when a request is odd or the heap refuses it and then
// answer none; callers cope with none as their own rules say. Nothing here throws or stops.
#pragma once

#include <cstdint>

#include "platform/platform.h"

// Answers a new block of size bytes, or none: for size 0 (warning "Attempted to allocate 0
// bytes", nothing allocated) and when the heap refuses (warning "Insufficient memory").
void* CheckedAlloc(uint32_t size);

// Resizes block (none: allocates afresh) and answers the resized block. Size 0 warns and answers
// none, leaving block allocated; a refusal warns and answers none, leaving block as it was.
void* CheckedRealloc(void* block, uint32_t size);

// Releases a block of this heap. None warns "Attempted to free a NULL pointer" and does nothing.
void CheckedFree(void* block);

// Releases a block of this heap; none does nothing, without a warning, for the many holders
// whose block may never have been made.
void FreeIfAny(void* block);

// Holds a text of this heap, or none, and releases it with the holder: a key or a copy made
// for one use.
class OwnedText {
public:
    explicit OwnedText(WCHAR* text = nullptr) : text_(text) {}
    ~OwnedText() { FreeIfAny(text_); }
    OwnedText(const OwnedText&) = delete;
    OwnedText& operator=(const OwnedText&) = delete;

    const WCHAR* Get() const { return text_; }
    // Releases the text held and holds text instead.
    void Reset(WCHAR* text = nullptr) {
        FreeIfAny(text_);
        text_ = text;
    }

private:
    WCHAR* text_;
};

// A new copy of text, released with CheckedFree. None warns "Attempted to de-reference a NULL
// pointer" and answers none; a refusal warns "Insufficient memory" and answers none.
WCHAR* CheckedDup(const WCHAR* text);

// Asks the C runtime whether the heap is consistent and shows a warning box when it is not.
// Only reports: the work goes on.
void CheckHeap();

// Requests that the heap refused since the process started (the seam's refusals included).
// A call compares the count before and after its work to learn whether something it made is
// missing a part.
uint32_t CheckedRefusals();

// ---- Test seam ---------------------------------------------------------------------------
// Makes the failAt-th request from now on (counting CheckedAlloc, CheckedRealloc and CheckedDup
// requests that reach the heap, from 1) fail as if the heap had refused it, and every later one
// succeed again. 0 turns the seam off. Fault-injection tests run a whole call once for every N.
void FailCheckedAllocationAt(uint32_t failAt);
// Number of requests that reached the heap since the seam was last set.
uint32_t CheckedAllocationRequests();
