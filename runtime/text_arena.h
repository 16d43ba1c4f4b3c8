// runtime/text_arena.h
//
// Where an outline keeps its item texts: large blocks filled one text after another and
// released together when the outline closes. A loaded outline thus costs one allocation per
// block instead of one per item (and no per-allocation overhead on each of millions of texts).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/platform.h"

namespace brimrt {

// Units of the first block, small enough that a small outline does not hold much unused room.
// Each later block is as large as all before it together, up to kArenaLargestBlockUnits, so
// that a 100 MB outline needs a few dozen blocks, each in pages of its own.
constexpr size_t kArenaBlockUnits = 64 * 1024;
constexpr size_t kArenaLargestBlockUnits = 4 * 1024 * 1024;

class TextArena {
public:
    TextArena() = default;
    ~TextArena();
    TextArena(const TextArena&) = delete;
    TextArena& operator=(const TextArena&) = delete;

    // A copy of the length units at text followed by a terminator, valid until the arena is
    // destroyed; null for length 0. A text longer than a block gets a block of its own. Throws
    // std::bad_alloc when memory runs out (the operations turn that into a refusal).
    WCHAR* Store(const WCHAR* text, size_t length);
    // Room at the arena's end for a text of at most maxLength units and its terminator, for a
    // reader to decode a text straight into; Keep then keeps it, with no copy. Valid until the
    // next Store, Room or Keep. Throws std::bad_alloc.
    WCHAR* Room(size_t maxLength);
    // Keeps the first length units written at the last Room's answer, terminated, and answers
    // where they stand; null for length 0.
    WCHAR* Keep(size_t length);

private:
    struct Block {
        WCHAR* units;
        size_t count;
    };
    // A new block of count units, listed before it is used. Throws std::bad_alloc.
    WCHAR* AddBlock(size_t count);

    std::vector<Block> blocks;
    WCHAR* next = nullptr;     // first unused unit of the current block
    size_t freeUnits = 0;      // units left in the current block
    size_t capacityUnits = 0;  // units of all blocks, which sets the size of the next one
    WCHAR* ownRoom = nullptr;  // the last Room's answer when it is a block of its own
};

}  // namespace brimrt
