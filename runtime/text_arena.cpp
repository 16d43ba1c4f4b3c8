// runtime/text_arena.cpp: block storage for item texts.
#include "runtime/text_arena.h"

#include <cstring>

namespace brimrt {

WCHAR* TextArena::Store(const WCHAR* text, size_t length) {
    if (length == 0) return nullptr;
    if (length > kArenaBlockUnits / 4) {
        // A long text gets its own block, so that it does not waste the rest of the current one.
        std::unique_ptr<WCHAR[]> block(new WCHAR[length]);
        WCHAR* own = block.get();
        blocks.push_back(std::move(block));
        capacityUnits += length;
        std::memcpy(own, text, length * sizeof(WCHAR));
        return own;
    }
    if (length > freeUnits) {
        std::unique_ptr<WCHAR[]> block(new WCHAR[kArenaBlockUnits]);
        WCHAR* start = block.get();
        blocks.push_back(std::move(block));
        capacityUnits += kArenaBlockUnits;
        next = start;
        freeUnits = kArenaBlockUnits;
    }
    WCHAR* stored = next;
    std::memcpy(stored, text, length * sizeof(WCHAR));
    next += length;
    freeUnits -= length;
    return stored;
}

}  // namespace brimrt
