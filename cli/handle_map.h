// cli/handle_map.h
//
// A map from runtime handles to small values for the command's many-item tables, kept in one
// open-addressed array: an entry costs its bytes and no allocation of its own, where a node
// map costs an allocation and about 40 bytes an entry.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "runtime/brimrt63.h"

template <typename Value>
class HandleMap {
public:
    // The value of handle, or null. Good until the next Insert.
    const Value* Find(uint32_t handle) const {
        if (slots_.empty() || handle == 0) return nullptr;
        for (size_t at = Home(handle);; at = (at + 1) & (slots_.size() - 1)) {
            if (slots_[at].handle == handle) return &slots_[at].value;
            if (slots_[at].handle == 0) return nullptr;
        }
    }
    // Sets the value of handle (not 0), whether it had one or not.
    void Insert(uint32_t handle, const Value& value) {
        // At most half full, so that a look-up passes few entries.
        if (2 * (used_ + 1) > slots_.size()) Grow();
        Slot& slot = Place(handle);
        if (slot.handle == 0) ++used_;
        slot.handle = handle;
        slot.value = value;
    }

private:
    struct Slot {
        uint32_t handle = 0;  // 0: free
        Value value{};
    };

    size_t Home(uint32_t handle) const {
        // Fibonacci hashing: handles come in runs, which the multiplication spreads.
        return static_cast<size_t>((handle * 2654435769u) >> (32 - shift_));
    }
    Slot& Place(uint32_t handle) {
        size_t at = Home(handle);
        while (slots_[at].handle != 0 && slots_[at].handle != handle) {
            at = (at + 1) & (slots_.size() - 1);
        }
        return slots_[at];
    }
    void Grow() {
        std::vector<Slot> old = std::move(slots_);
        shift_ = old.empty() ? 4 : shift_ + 1;
        slots_.assign(size_t{1} << shift_, Slot());
        for (const Slot& slot : old) {
            if (slot.handle != 0) Place(slot.handle) = slot;
        }
    }

    std::vector<Slot> slots_;  // a power of two of them, or none
    unsigned shift_ = 0;       // slots_.size() is 2^shift_
    size_t used_ = 0;
};
