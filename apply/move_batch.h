// apply/move_batch.h
//
// The moves that the apply collects for the children of one parent before it carries them out
// together. A slot is the 1-based ordinal that an item had among the parent's children when
// its move was collected; each slot holds where the item goes, the item and the move record
// that named it. Carrying the moves out follows each chain of slots, destination after
// destination, on the live outline.
#pragma once

#include <cstdint>

#include "outline/outline_runtime.h"

// Marks a slot without destination or record.
constexpr int32_t kNoSlot = -1;

class MoveBatch {
public:
    MoveBatch() = default;
    ~MoveBatch();
    MoveBatch(const MoveBatch&) = delete;
    MoveBatch& operator=(const MoveBatch&) = delete;

    // True once a move has been recorded since the last flush or discard.
    bool Pending() const { return size_ > 0; }
    int32_t Size() const { return size_; }

    // Notes that the item at slot goes to destination (both 1-based), moved by record (kNoSlot
    // for the further items of a run). The arrays grow together to cover both numbers; a later
    // move for the same slot overwrites the earlier. Negative numbers are refused (false), and
    // so is a request that the checked heap refuses (its warning has been shown): that move is
    // left out and the batch keeps what it held.
    bool RecordMove(int32_t slot, int32_t destination, ItemHandle item, int32_t record);

    // Carries the moves out under parent and empties the batch. Each moved item is copied
    // after the child that stands just before its destination, then deleted; positions are
    // taken on the outline as it stands at each step, after the copies and deletes made before
    // it. A batch of one slot or less is discarded without effect. When the copy cannot be
    // made the item is left where it is; when the delete is refused the copy stays beside the
    // item and the delete warning names the item's text.
    void Flush(OutlineHandle outline, ItemHandle parent);

    // Forgets every move and releases the arrays.
    void Discard();

private:
    // The three per-slot arrays, size_ entries each; slot 0 is never used.
    int32_t size_ = 0;
    int32_t* destinations_ = nullptr;  // kNoSlot: none
    int32_t* records_ = nullptr;       // kNoSlot: none
    ItemHandle* items_ = nullptr;      // 0: none
};
