// runtime/handle_counter.h
//
// The one counter that hands out every handle of the runtime: outlines, items, strings and
// lists alike. A handle is therefore unique in the process and never comes back, which is how
// a stale or foreign handle is recognised instead of reaching someone else's object.
#pragma once

#include <cstdint>

namespace brimrt {

// Answers the first of count consecutive new handles, or 0 when the 32-bit counter would
// wrap (or count is 0). Handles are never 0, and once the counter is spent every later request
// fails, so an old handle can never be confused with a new one.
uint32_t TakeHandles(uint32_t count);

// Test seam: the next handle TakeHandles would answer (0 when spent), and a way to move the
// counter so that the spent case can be reached. Moving it back re-issues handles, which only
// a test that knows its handles may do.
uint32_t PeekNextHandle();
void MoveHandleCounterForTesting(uint32_t nextHandle);

}  // namespace brimrt
