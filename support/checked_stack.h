// support/checked_stack.h
//
// A stack of plain values on the checked heap, for the walks that go down an outline without
// recursing (an outline may be far deeper than a thread's stack). Growth that the heap refuses
// is reported by Push, never thrown.
#pragma once

#include <cstdint>
#include <type_traits>

#include "support/checked_memory.h"

template <typename Entry>
class CheckedStack {
    static_assert(std::is_trivially_copyable<Entry>::value,
                  "entries are moved by the heap's reallocation");

public:
    CheckedStack() = default;
    ~CheckedStack() {
        if (entries_ != nullptr) CheckedFree(entries_);
    }
    CheckedStack(const CheckedStack&) = delete;
    CheckedStack& operator=(const CheckedStack&) = delete;

    // False when the heap refused room for one more (its warning box has been shown); the
    // stack is then as it was.
    bool Push(const Entry& entry) {
        if (count_ == capacity_) {
            // Doubling keeps a walk down a long chain linear.
            uint64_t grown = capacity_ == 0 ? 16 : static_cast<uint64_t>(capacity_) * 2;
            if (grown * sizeof(Entry) > UINT32_MAX) return false;
            void* resized = CheckedRealloc(entries_, static_cast<uint32_t>(grown * sizeof(Entry)));
            if (resized == nullptr) return false;
            entries_ = static_cast<Entry*>(resized);
            capacity_ = static_cast<uint32_t>(grown);
        }
        entries_[count_++] = entry;
        return true;
    }
    // Top and Pop require a stack that is not empty.
    Entry& Top() { return entries_[count_ - 1]; }
    void Pop() { --count_; }
    bool Empty() const { return count_ == 0; }
    uint32_t Count() const { return count_; }

private:
    Entry* entries_ = nullptr;
    uint32_t count_ = 0;
    uint32_t capacity_ = 0;
};
