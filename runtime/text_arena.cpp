// runtime/text_arena.cpp: block storage for item texts.
#include "runtime/text_arena.h"

#include <algorithm>
#include <cstring>

#include "runtime/large_block.h"

namespace brimrt {

TextArena::~TextArena() {
    for (const Block& block : blocks) FreeBlock(block.units, block.count * sizeof(WCHAR));
}

WCHAR* TextArena::AddBlock(size_t count) {
    blocks.reserve(blocks.size() + 1);  // so that the block is listed once it is allocated
    WCHAR* units = static_cast<WCHAR*>(AllocateBlock(count * sizeof(WCHAR)));
    blocks.push_back(Block{units, count});
    capacityUnits += count;
    return units;
}

WCHAR* TextArena::Store(const WCHAR* text, size_t length) {
    if (length == 0) return nullptr;
    if (length > kArenaBlockUnits / 4) {
        // A long text gets its own block, so that it does not waste the rest of the current one.
        WCHAR* own = AddBlock(length + 1);
        std::memcpy(own, text, length * sizeof(WCHAR));
        own[length] = 0;
        return own;
    }
    if (length + 1 > freeUnits) {
        size_t count = std::min(std::max(kArenaBlockUnits, capacityUnits), kArenaLargestBlockUnits);
        next = AddBlock(count);
        freeUnits = count;
    }
    WCHAR* stored = next;
    std::memcpy(stored, text, length * sizeof(WCHAR));
    stored[length] = 0;
    next += length + 1;
    freeUnits -= length + 1;
    return stored;
}

WCHAR* TextArena::Room(size_t maxLength) {
    if (maxLength > kArenaBlockUnits / 4) {
        // As in Store: a long text gets a block of its own.
        ownRoom = AddBlock(maxLength + 1);
        return ownRoom;
    }
    ownRoom = nullptr;
    if (maxLength + 1 > freeUnits) {
        size_t count = std::min(std::max(kArenaBlockUnits, capacityUnits), kArenaLargestBlockUnits);
        next = AddBlock(count);
        freeUnits = count;
    }
    return next;
}

WCHAR* TextArena::Keep(size_t length) {
    WCHAR* kept = ownRoom != nullptr ? ownRoom : next;
    bool own = ownRoom != nullptr;
    ownRoom = nullptr;
    if (length == 0) return nullptr;
    kept[length] = 0;
    if (!own) {
        next += length + 1;
        freeUnits -= length + 1;
    }
    return kept;
}

}  // namespace brimrt
