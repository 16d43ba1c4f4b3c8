// cli/side_by_side.h
//
// Two pieces of the command's work at once, on the machine's second core: opening the outlines
// of a diff or a merge, reading their trees, and the command's own checks beside the library's
// comparison. What runs side by side must touch nothing the other piece changes; the runtime
// says which of its operations may run so (runtime/brimrt63.h).
#pragma once

#include <cstddef>
#include <functional>

// Runs first in a thread of its own and second in this one, and returns when both are done.
// When no thread can be started, runs first and then second here. An exception that either
// throws is thrown again here once both are done (first's when both throw).
void SideBySide(const std::function<void()>& first, const std::function<void()>& second);

// Calls work(0), work(1), ... work(count - 1), two at a time: each of the two threads takes the
// next number not yet taken. Exceptions as SideBySide's.
void EachSideBySide(size_t count, const std::function<void(size_t)>& work);
