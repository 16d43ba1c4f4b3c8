// runtime/handle_counter.cpp: the process-wide handle counter.
#include "runtime/handle_counter.h"

namespace brimrt {

namespace {

// 64 bits wide so that "spent" (past 0xFFFFFFFF) is a value and not a wrap back to 0.
uint64_t g_nextHandle = 1;

}  // namespace

uint32_t TakeHandles(uint32_t count) {
    if (count == 0 || g_nextHandle + count - 1 > 0xFFFFFFFFull) return 0;
    uint32_t first = static_cast<uint32_t>(g_nextHandle);
    g_nextHandle += count;
    return first;
}

uint32_t PeekNextHandle() {
    return g_nextHandle > 0xFFFFFFFFull ? 0 : static_cast<uint32_t>(g_nextHandle);
}

void MoveHandleCounterForTesting(uint32_t nextHandle) {
    g_nextHandle = nextHandle == 0 ? 0x100000000ull : nextHandle;
}

}  // namespace brimrt
