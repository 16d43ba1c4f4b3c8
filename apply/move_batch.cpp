// apply/move_batch.cpp: collecting the moves of one parent's children and carrying them out.
#include "apply/move_batch.h"

#include "apply/change_application.h"
#include "outline/outline_texts.h"
#include "outline/outline_walk.h"
#include "support/checked_memory.h"

namespace {

template <typename Entry>
void ReleaseArray(Entry*& array) {
    if (array != nullptr) CheckedFree(array);
    array = nullptr;
}

// Resizes array to size entries, keeping its contents; false, with the array as it was, when
// the heap refused.
template <typename Entry>
bool ResizeArray(Entry*& array, int32_t size) {
    void* resized = CheckedRealloc(array, static_cast<uint32_t>(size) * sizeof(Entry));
    if (resized == nullptr) return false;
    array = static_cast<Entry*>(resized);
    return true;
}

}  // namespace

MoveBatch::~MoveBatch() { Discard(); }

bool MoveBatch::RecordMove(int32_t slot, int32_t destination, ItemHandle item, int32_t record) {
    if (slot < 0 || destination < 0) return false;
    int32_t larger = slot > destination ? slot : destination;
    if (larger >= size_) {
        int32_t newSize = larger + 1;
        // An array that grew while another was refused is merely larger than size_; the next
        // growth resizes it again.
        if (!ResizeArray(destinations_, newSize) || !ResizeArray(records_, newSize) ||
            !ResizeArray(items_, newSize)) {
            return false;
        }
        for (int32_t k = size_; k < newSize; ++k) {
            destinations_[k] = kNoSlot;
            records_[k] = kNoSlot;
            items_[k] = 0;
        }
        size_ = newSize;
    }
    destinations_[slot] = destination;
    items_[slot] = item;
    records_[slot] = record;
    return true;
}

void MoveBatch::Flush(OutlineHandle outline, ItemHandle parent) {
    // A batch of one slot or none moves nothing.
    if (size_ <= 1) {
        Discard();
        return;
    }
    // Each slot's item goes to its destination, following the chain of slots that the moves
    // free in turn. Every destination lies below size_, since recording grew the arrays to
    // cover it, and every slot visited is marked done, so each chain ends.
    for (int32_t first = 1; first < size_; ++first) {
        int32_t slot = first;
        int32_t destination = destinations_[slot];
        while (destination != kNoSlot) {
            if (destination == 0) break;
            if (destination != slot) {
                ItemHandle after = destination > 1 ? NthChild(outline, parent, destination - 1) : 0;
                // Without a copy, deleting the item would lose it: it stays where it is.
                ItemHandle copy = CopyItem(outline, items_[slot], outline, parent, after, 1, 1);
                if (copy != 0 && DeleteItem(outline, items_[slot]) == 0) {
                    // A move record holds two keys, not an item text, and only the first item
                    // of a run has a record at all: the warning names the item's own text.
                    WCHAR* text = CopyItemText(outline, items_[slot]);
                    ShowDeleteWarning(text);
                    if (text != nullptr) CheckedFree(text);
                }
            }
            destinations_[slot] = kNoSlot;
            slot = destination;
            destination = destinations_[slot];
        }
    }
    Discard();
}

void MoveBatch::Discard() {
    ReleaseArray(destinations_);
    ReleaseArray(records_);
    ReleaseArray(items_);
    size_ = 0;
}
