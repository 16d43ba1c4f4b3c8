// runtime/handle_table.h
//
// The live objects of one kind (outlines, strings, lists) by handle, without hashing. The one
// handle counter hands handles out rising, so a new entry goes last and the entries stay in
// handle order: a lookup checks the last entry first (the one just made, in the make, read,
// release pattern of every caller) and otherwise searches by halves. A released entry at the
// end is cut off at once; one further in is marked and the table compacted once such entries
// are the majority, so the table stays about as long as what lives in it.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace brimrt {

template <typename T>
class HandleTable {
public:
    // The live entry with this handle, or null.
    T* Find(uint32_t handle) {
        Entry* entry = FindEntry(handle);
        return entry != nullptr ? &entry->value : nullptr;
    }

    // Adds value under a handle that no live entry has. Throws std::bad_alloc, leaving the
    // table as it was.
    T& Add(uint32_t handle, T value) {
        if (entries_.empty() || entries_.back().handle < handle) {
            entries_.push_back(Entry{handle, true, std::move(value)});
            return entries_.back().value;
        }
        // A handle below the last one: only after a test moved the counter back.
        auto place = std::lower_bound(
            entries_.begin(), entries_.end(), handle,
            [](const Entry& candidate, uint32_t wanted) { return candidate.handle < wanted; });
        if (place != entries_.end() && place->handle == handle) {
            if (!place->live) --dead_;
            place->live = true;
            place->value = std::move(value);
            return place->value;
        }
        return entries_.insert(place, Entry{handle, true, std::move(value)})->value;
    }

    // Releases the entry with this handle; false when there is none.
    bool Erase(uint32_t handle) {
        Entry* entry = FindEntry(handle);
        if (entry == nullptr) return false;
        entry->live = false;
        entry->value = T();
        ++dead_;
        while (!entries_.empty() && !entries_.back().live) {
            entries_.pop_back();
            --dead_;
        }
        if (dead_ > 16 && dead_ * 2 > entries_.size()) {
            entries_.erase(std::remove_if(entries_.begin(), entries_.end(),
                                          [](const Entry& candidate) { return !candidate.live; }),
                           entries_.end());
            dead_ = 0;
        }
        return true;
    }

    // Calls visit(handle, value) for every live entry, in handle order.
    template <typename Visit>
    void ForEach(Visit visit) {
        for (Entry& entry : entries_) {
            if (entry.live) visit(entry.handle, entry.value);
        }
    }

private:
    struct Entry {
        uint32_t handle;
        bool live;
        T value;
    };
    Entry* FindEntry(uint32_t handle) {
        if (entries_.empty() || handle == 0) return nullptr;
        // The entry found last (an outline being walked), then the last one (a string just
        // made), then a search by halves.
        size_t last = lastFound_.load(std::memory_order_relaxed);
        Entry* entry = last < entries_.size() ? &entries_[last] : &entries_.back();
        if (entry->handle != handle) entry = &entries_.back();
        if (entry->handle != handle) {
            auto found = std::lower_bound(
                entries_.begin(), entries_.end(), handle,
                [](const Entry& candidate, uint32_t wanted) { return candidate.handle < wanted; });
            if (found == entries_.end() || found->handle != handle) return nullptr;
            entry = &*found;
            lastFound_.store(static_cast<size_t>(found - entries_.begin()),
                             std::memory_order_relaxed);
        }
        return entry->live ? entry : nullptr;
    }

    std::vector<Entry> entries_;
    size_t dead_ = 0;  // entries released but not yet cut out
    // Where the last search by halves ended: only a hint, which lookups in several threads at
    // once may each set.
    std::atomic<size_t> lastFound_{0};
};

}  // namespace brimrt
