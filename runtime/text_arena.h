// runtime/text_arena.h
//
// Where an outline keeps its item texts: large blocks filled one text after another and
// released together when the outline closes. A loaded outline thus costs one allocation per
// block instead of one per item (and no per-allocation overhead on each of millions of texts).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/platform.h"

namespace brimrt {

// Units per block: large enough that the block list stays short for a 100 MB outline, small
// enough that a small outline does not hold much unused room.
constexpr size_t kArenaBlockUnits = 64 * 1024;

class TextArena {
public:
    TextArena() = default;
    TextArena(const TextArena&) = delete;
    TextArena& operator=(const TextArena&) = delete;

    // A copy of the length units at text, valid until the arena is destroyed; null for
    // length 0. A text longer than a block gets a block of its own. Throws std::bad_alloc
    // when memory runs out (the operations turn that into a refusal).
    WCHAR* Store(const WCHAR* text, size_t length);

    // Units held in blocks, used or not: the arena's share of the outline's memory.
    size_t CapacityUnits() const { return capacityUnits; }

private:
    std::vector<std::unique_ptr<WCHAR[]>> blocks;
    WCHAR* next = nullptr;     // first unused unit of the current block
    size_t freeUnits = 0;      // units left in the current block
    size_t capacityUnits = 0;
};

}  // namespace brimrt
