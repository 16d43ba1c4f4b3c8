// compare/scratch_layout.h
//
// Lays the scratch arrays of a fast pairing step out in one checked block: one request per
// step, so that a refused request is one branch and the allocation-failure seam sees one
// request where the step would otherwise make several.
#pragma once

#include <cstdint>

#include "support/checked_memory.h"

class ScratchLayout {
public:
    // Reserves room for count entries of T; Allocate points *array at it.
    template <typename T>
    void Reserve(T** array, uint64_t count) {
        places_[used_++] = {bytes_,
                            [](char* block, uint64_t offset, void* target) {
                                *static_cast<T**>(target) = reinterpret_cast<T*>(block + offset);
                            },
                            array};
        bytes_ += (count * sizeof(T) + kAlignment - 1) / kAlignment * kAlignment;
    }
    // Answers the block with every array pointing into it, or none when it would not fit a
    // request or the heap refuses it (the refusal has shown its warning box). The caller
    // releases the block with CheckedFree.
    void* Allocate() {
        if (bytes_ == 0 || bytes_ > UINT32_MAX) return nullptr;
        char* block = static_cast<char*>(CheckedAlloc(static_cast<uint32_t>(bytes_)));
        if (block == nullptr) return nullptr;
        for (int k = 0; k < used_; ++k) {
            places_[k].point(block, places_[k].offset, places_[k].target);
        }
        return block;
    }

private:
    // Every array starts at a multiple of this, the widest entry laid out (int64_t, uint64_t).
    static constexpr uint64_t kAlignment = 8;
    // The most arrays one step lays out: the matrix-free pairing's ten, with room to spare.
    static constexpr int kMostArrays = 12;

    struct Place {
        uint64_t offset;
        void (*point)(char* block, uint64_t offset, void* target);
        void* target;
    };
    Place places_[kMostArrays] = {};
    int used_ = 0;
    uint64_t bytes_ = 0;
};
