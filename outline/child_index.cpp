// outline/child_index.cpp: the children of one item as a counted tree, kept in step by its user.
#include "outline/child_index.h"

#include <algorithm>
#include <cstring>

#include "outline/outline_walk.h"
#include "support/checked_memory.h"

namespace {

// A fixed pseudo-random priority per node number (splitmix), so that every run builds the same
// tree; only the tree's shape depends on it, never an answer.
uint32_t PriorityOf(int32_t node) {
    uint64_t z = static_cast<uint64_t>(node) + 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return static_cast<uint32_t>(z ^ (z >> 31));
}

}  // namespace

ChildIndex::~ChildIndex() { Release(); }

void ChildIndex::Release() {
    FreeIfAny(nodes_);
    FreeIfAny(entries_);
    nodes_ = nullptr;
    entries_ = nullptr;
    nodeCount_ = entryCount_ = capacity_ = 0;
    root_ = kNoNode;
}

bool ChildIndex::Build(OutlineHandle outline, ItemHandle parent, int32_t insertions) {
    Release();
    int64_t children = 0;
    for (ItemHandle child = FirstChild(outline, parent); child != 0;
         child = NextSibling(outline, child)) {
        ++children;
    }
    int64_t capacity = children + std::max<int64_t>(insertions, 0) + 1;
    if (capacity * static_cast<int64_t>(sizeof(Node)) > static_cast<int64_t>(UINT32_MAX)) {
        return false;
    }
    nodes_ = static_cast<Node*>(CheckedAlloc(static_cast<uint32_t>(capacity * sizeof(Node))));
    entries_ =
        static_cast<ItemEntry*>(CheckedAlloc(static_cast<uint32_t>(capacity * sizeof(ItemEntry))));
    if (nodes_ == nullptr || entries_ == nullptr) {
        Release();
        return false;
    }
    capacity_ = static_cast<int32_t>(capacity);
    for (ItemHandle child = FirstChild(outline, parent); child != 0 && nodeCount_ < children;
         child = NextSibling(outline, child)) {
        int32_t node = NewNode(child);
        entries_[entryCount_++] = {child, node};
        root_ = Merge(root_, node);
    }
    std::sort(entries_, entries_ + entryCount_,
              [](const ItemEntry& a, const ItemEntry& b) { return a.item < b.item; });
    return true;
}

ItemHandle ChildIndex::NthChild(int32_t n) const {
    int32_t wanted = (n < 2 ? 1 : n) - 1;  // from 0
    if (wanted >= SizeOf(root_)) return 0;
    int32_t node = root_;
    for (;;) {
        int32_t before = SizeOf(nodes_[node].left);
        if (wanted < before) {
            node = nodes_[node].left;
        } else if (wanted == before) {
            return nodes_[node].item;
        } else {
            wanted -= before + 1;
            node = nodes_[node].right;
        }
    }
}

bool ChildIndex::NoteInserted(ItemHandle item, ItemHandle after) {
    if (nodes_ == nullptr || nodeCount_ >= capacity_) return false;
    int32_t place = 0;  // the new item's rank
    if (after != 0) {
        const ItemEntry* entry = FindEntry(after);
        if (entry == nullptr) return false;
        place = RankOf(entry->node) + 1;
    }
    int32_t node = NewNode(item);
    if (!AddEntry(item, node)) return false;
    int32_t head = kNoNode, tail = kNoNode;
    Split(root_, place, &head, &tail);
    root_ = Merge(Merge(head, node), tail);
    nodes_[root_].parent = kNoNode;
    return true;
}

void ChildIndex::NoteDeleted(ItemHandle item) {
    if (nodes_ == nullptr) return;
    ItemEntry* entry = FindEntry(item);
    if (entry == nullptr) return;
    int32_t place = RankOf(entry->node);
    entry->node = kNoNode;
    int32_t head = kNoNode, middle = kNoNode, tail = kNoNode;
    Split(root_, place, &head, &middle);
    Split(middle, 1, &middle, &tail);
    root_ = Merge(head, tail);
    if (root_ != kNoNode) nodes_[root_].parent = kNoNode;
}

void ChildIndex::Update(int32_t node) {
    Node& n = nodes_[node];
    n.size = 1 + SizeOf(n.left) + SizeOf(n.right);
    if (n.left != kNoNode) nodes_[n.left].parent = node;
    if (n.right != kNoNode) nodes_[n.right].parent = node;
}

void ChildIndex::Split(int32_t top, int32_t count, int32_t* head, int32_t* tail) {
    if (top == kNoNode) {
        *head = *tail = kNoNode;
        return;
    }
    Node& n = nodes_[top];
    int32_t before = SizeOf(n.left);
    if (before < count) {
        int32_t right = n.right;
        Split(right, count - before - 1, &nodes_[top].right, tail);
        *head = top;
    } else {
        int32_t left = n.left;
        Split(left, count, head, &nodes_[top].left);
        *tail = top;
    }
    Update(top);
    if (*head != kNoNode) nodes_[*head].parent = kNoNode;
    if (*tail != kNoNode) nodes_[*tail].parent = kNoNode;
}

int32_t ChildIndex::Merge(int32_t head, int32_t tail) {
    if (head == kNoNode) return tail;
    if (tail == kNoNode) return head;
    if (nodes_[head].priority >= nodes_[tail].priority) {
        int32_t right = Merge(nodes_[head].right, tail);
        nodes_[head].right = right;
        Update(head);
        return head;
    }
    int32_t left = Merge(head, nodes_[tail].left);
    nodes_[tail].left = left;
    Update(tail);
    return tail;
}

int32_t ChildIndex::NewNode(ItemHandle item) {
    int32_t node = nodeCount_++;
    nodes_[node] = {kNoNode, kNoNode, kNoNode, 1, PriorityOf(node), item};
    return node;
}

int32_t ChildIndex::RankOf(int32_t node) const {
    int32_t rank = SizeOf(nodes_[node].left);
    for (int32_t up = nodes_[node].parent; up != kNoNode; node = up, up = nodes_[up].parent) {
        if (nodes_[up].right == node) rank += SizeOf(nodes_[up].left) + 1;
    }
    return rank;
}

ChildIndex::ItemEntry* ChildIndex::FindEntry(ItemHandle item) const {
    ItemEntry* end = entries_ + entryCount_;
    ItemEntry* found = std::lower_bound(
        entries_, end, item,
        [](const ItemEntry& entry, ItemHandle wanted) { return entry.item < wanted; });
    if (found == end || found->item != item || found->node == kNoNode) return nullptr;
    return found;
}

bool ChildIndex::AddEntry(ItemHandle item, int32_t node) {
    // New items usually have the highest handle yet, so the entry goes last; any other place
    // is made by moving the entries behind it.
    ItemEntry* end = entries_ + entryCount_;
    ItemEntry* place = std::lower_bound(
        entries_, end, item,
        [](const ItemEntry& entry, ItemHandle wanted) { return entry.item < wanted; });
    if (place != end && place->item == item) {
        // A handle the index already knew: it names a child only when it is not live here.
        if (place->node != kNoNode) return false;
        place->node = node;
        return true;
    }
    std::memmove(place + 1, place, static_cast<size_t>(end - place) * sizeof(ItemEntry));
    *place = {item, node};
    ++entryCount_;
    return true;
}
