// outline/child_index.h
//
// An index of the non-skipped children of one item that follows the edits made under it, so
// that the n-th child costs a logarithmic number of steps instead of a walk from the first
// child. The runtime does not tell it about changes: its user reports every insertion and
// deletion it makes among those children, and then NthChild answers what the walk of
// outline/outline_walk.h would answer at that moment.
#pragma once

#include <cstdint>

#include "outline/outline_runtime.h"

class ChildIndex {
public:
    ChildIndex() = default;
    ~ChildIndex();
    ChildIndex(const ChildIndex&) = delete;
    ChildIndex& operator=(const ChildIndex&) = delete;

    // Reads the children of parent as they stand now, with room for insertions more items to
    // be reported. False when the memory was refused (its warning box has been shown); the
    // index then answers nothing and must not be asked.
    bool Build(OutlineHandle outline, ItemHandle parent, int32_t insertions);

    // As NthChild (outline/outline_walk.h) on the children now: the n-th from 1, the first for
    // any n below 2, 0 when the children run out.
    ItemHandle NthChild(int32_t n) const;

    // item now stands right after `after` among the children (after 0: first). False when
    // the index cannot follow: after is not among its children, or the room for insertions is
    // spent. The index is then out of step and must not be asked again.
    bool NoteInserted(ItemHandle item, ItemHandle after);
    // item is no longer among the children; nothing happens when it was not one of them.
    void NoteDeleted(ItemHandle item);

private:
    // The children are the in-order sequence of a tree whose every node counts the nodes
    // below it (a treap: heap ordered by a fixed pseudo-random priority per node, which keeps
    // its depth logarithmic whatever order the edits come in).
    struct Node {
        int32_t left;
        int32_t right;
        int32_t parent;
        int32_t size;  // nodes in this node's subtree, itself included
        uint32_t priority;
        ItemHandle item;
    };
    // The node of each item, sorted by item handle.
    struct ItemEntry {
        ItemHandle item;
        int32_t node;  // kNoNode once the item was deleted
    };
    static constexpr int32_t kNoNode = -1;

    int32_t SizeOf(int32_t node) const { return node == kNoNode ? 0 : nodes_[node].size; }
    void Update(int32_t node);
    // The first `count` nodes of the tree at top go to *head, the rest to *tail.
    void Split(int32_t top, int32_t count, int32_t* head, int32_t* tail);
    int32_t Merge(int32_t head, int32_t tail);
    int32_t NewNode(ItemHandle item);
    // The node's place in the sequence, from 0.
    int32_t RankOf(int32_t node) const;
    // The entry of item, or none.
    ItemEntry* FindEntry(ItemHandle item) const;
    bool AddEntry(ItemHandle item, int32_t node);
    void Release();

    Node* nodes_ = nullptr;
    ItemEntry* entries_ = nullptr;
    int32_t nodeCount_ = 0;
    int32_t entryCount_ = 0;
    int32_t capacity_ = 0;  // nodes and entries alike
    int32_t root_ = kNoNode;
};
