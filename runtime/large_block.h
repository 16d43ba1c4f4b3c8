// runtime/large_block.h
//
// Memory for the few big arrays of an open outline: the bytes of its file while it is read,
// its item records and its text blocks. From kLargeBlockBytes on a block is taken from the
// system as pages of its own (VirtualAlloc), which the system can back with huge pages, so
// that filling a 100 MB outline costs a few hundred page faults instead of a few hundred
// thousand; smaller blocks come from the language's allocation. Both throw std::bad_alloc
// when refused, as the language's allocation does, and the operations turn that into a
// refusal.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <utility>
#include <vector>

namespace brimrt {

constexpr size_t kLargeBlockBytes = size_t{1} << 20;

void* AllocateBlock(size_t bytes);
// bytes must be the size the block was allocated with.
void FreeBlock(void* block, size_t bytes) noexcept;

// The allocator of the outline's big vectors. An element made without a value is left
// uninitialised, as a plain array's would be: a file's bytes are read over it at once, so
// zeroing them first would only touch every page twice.
template <typename T>
struct BlockAllocator {
    using value_type = T;
    BlockAllocator() = default;
    template <typename U>
    BlockAllocator(const BlockAllocator<U>&) noexcept {}

    T* allocate(size_t count) {
        if (count > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
        return static_cast<T*>(AllocateBlock(count * sizeof(T)));
    }
    void deallocate(T* block, size_t count) noexcept { FreeBlock(block, count * sizeof(T)); }

    template <typename U>
    void construct(U* place) {
        ::new (static_cast<void*>(place)) U;
    }
    template <typename U, typename... Arguments>
    void construct(U* place, Arguments&&... arguments) {
        ::new (static_cast<void*>(place)) U(std::forward<Arguments>(arguments)...);
    }

    friend bool operator==(const BlockAllocator&, const BlockAllocator&) { return true; }
    friend bool operator!=(const BlockAllocator&, const BlockAllocator&) { return false; }
};

typedef std::vector<char, BlockAllocator<char>> ByteBuffer;

}  // namespace brimrt
