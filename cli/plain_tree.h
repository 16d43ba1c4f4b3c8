// cli/plain_tree.h
//
// A whole outline as the command checks it against the library's results: every item, skipped
// ones included, with its type, text, skip flag and all of its contents, read once through the
// runtime's operations into plain arrays; and a pairing of the items of two such trees. The
// library sees an outline one section at a time and passes over what its rules leave out; the
// command needs all of it to name what was left out.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "cli/terminal_text.h"
#include "runtime/brimrt63.h"

// The index of no item in a plain tree, and of no partner in a pairing.
constexpr int kNoPlainItem = -1;

// A tree's texts and runs are packed to four-byte alignment, with 32-bit lengths and counts:
// an item, which holds three, takes 56 bytes and a content entry 40 (a pointer and a 64-bit
// length each would make them 72 and 48).
#pragma pack(push, 4)

// A text shown where it is kept (in the outline, or in the tree's own room): a WideView of at
// most 2^32 - 1 characters in 12 bytes.
class PlainText {
public:
    PlainText() = default;
    PlainText(WideView text) : data_(text.data()), size_(static_cast<uint32_t>(text.size())) {}
    operator WideView() const { return WideView(data_, size_); }
    const WCHAR* data() const { return data_; }
    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    friend bool operator==(const PlainText& a, const PlainText& b) {
        return WideView(a) == WideView(b);
    }
    friend bool operator!=(const PlainText& a, const PlainText& b) { return !(a == b); }

private:
    const WCHAR* data_ = nullptr;
    uint32_t size_ = 0;
};

// Some consecutive elements of one of a tree's arrays: an item's children or its contents.
// A tree holds all of its items' children in one array and all of their contents in another,
// so that an item costs no allocation of its own.
template <typename T>
class PlainRun {
public:
    PlainRun() = default;
    PlainRun(const T* first, size_t count) : first_(first), count_(static_cast<uint32_t>(count)) {}
    const T* begin() const { return first_; }
    const T* end() const { return first_ + count_; }
    size_t size() const { return count_; }
    bool empty() const { return count_ == 0; }
    const T& operator[](size_t k) const { return first_[k]; }

private:
    const T* first_ = nullptr;
    uint32_t count_ = 0;
};
#pragma pack(pop)

enum class ContentKind { kAttribute, kProperty, kDTData };

// One attribute (number: its id), named property (name) or DTDATA value (number: its index)
// of an item. value is the attribute's or property's text, or the DTDATA value in decimal.
struct ContentEntry {
    ContentKind kind = ContentKind::kAttribute;
    int64_t number = 0;
    // Where the outline keeps them; a DTDATA value's decimal in the tree's own room.
    PlainText name;
    PlainText value;
};

// Whether two entries stand for the same attribute id, property name or DTDATA index.
bool SameContentKey(const ContentEntry& a, const ContentEntry& b);

// The members stand so that the item takes 56 bytes with no padding.
struct PlainItem {
    // The stored text, shown where the outline keeps it (ReadPlainTree), or in the tree's own
    // room when a merge's banner was cut from it.
    PlainText text;
    PlainRun<int> children;
    // Attributes, then named properties, then DTDATA values, each kind in the runtime's order.
    PlainRun<ContentEntry> contents;
    ItemHandle handle = 0;
    int32_t type = 0;
    int parent = kNoPlainItem;
    int position = 0;  // among its parent's children
    bool skipped = false;
    // Read from a merge's result only: a conflict banner or marker ends the item's text (and is
    // cut from text here), or stands on the merge's comment item right after it.
    bool conflictMarked = false;
    // Read from a merge's result only: the stored text holds a merge's mark (HoldsMergeMark).
    bool holdsMergeMark = false;
};

// The room of a tree's texts: blocks that never move, so that a view of a text stays good
// while more are added.
class PlainTexts {
public:
    WideView Add(const WCHAR* text, size_t length);

private:
    std::vector<std::unique_ptr<WCHAR[]>> blocks_;
    WCHAR* free_ = nullptr;
    size_t room_ = 0;
};

// A tree's items point into its arrays: it moves, but is not copied.
struct PlainTree {
    PlainTree() = default;
    PlainTree(PlainTree&&) = default;
    PlainTree& operator=(PlainTree&&) = default;
    PlainTree(const PlainTree&) = delete;
    PlainTree& operator=(const PlainTree&) = delete;

    OutlineHandle outline = 0;
    // items[0] is the top item; every item comes after its parent, children in their order.
    std::vector<PlainItem> items;
    // What the items' runs and views point into.
    std::vector<int> childStore;
    std::vector<ContentEntry> contentStore;
    PlainTexts texts;
    // Each item's place among its siblings of the same text (1, 2, ...), 0 when it has none;
    // made by NumberAlikeSiblings, or else by the first PlainPath (so that paths asked in two
    // threads at once need it made before).
    mutable std::vector<int> sameTextOrdinals;
    // The path of the parent of the item PlainPath named last.
    mutable std::pair<int, std::string> lastParentPath{kNoPlainItem, std::string()};
};

// Reads every item of outline from its root. An outline without a root gives an empty tree.
// The item texts are the outline's own, shown in place: the read holds them there
// (HoldOutlineTexts), so the outline may still be edited, but the tree must not outlive it.
// expectedItems, when known (the size of a tree read before from a like outline), makes room
// for the items at once, so that the array is not copied while it grows; it may be wrong.
// Without it the items are counted first (a walk of the outline that costs far less than the
// copies it spares).
PlainTree ReadPlainTree(OutlineHandle outline, size_t expectedItems = 0);
// Reads a merge's result the same way, but with each conflict banner or marker cut from the
// text that it ends, and its item marked conflictMarked. A comment item that holds a conflict
// banner marks the item before it too: the merge puts a banner there when the item's own text
// could not take it, and the comments that show a version's side follow the marked item.
PlainTree ReadMergedTree(OutlineHandle outline, size_t expectedItems = 0);

// "Inventory > Stock > Description", as ItemPath prints the path of the same item (for a
// merge's result, with the texts its banners were cut from).
std::string PlainPath(const PlainTree& tree, int item);
// Numbers the tree's siblings of one text for PlainPath (sameTextOrdinals), once; so that a
// caller can have it done ahead, beside other work, before the first path is asked for.
void NumberAlikeSiblings(const PlainTree& tree);
// How many items stand below item, all levels.
long CountPlainBelow(const PlainTree& tree, int item);
// The nearest sibling before item that has a partner in partners (a pairing's vector for
// tree), or kNoPlainItem.
int PreviousPairedSibling(const PlainTree& tree, int item, const std::vector<int>& partners);
// Whether the two subtrees hold the same items in the same order: types, texts, skip flags and
// contents (each in its order).
bool SubtreesEqual(const PlainTree& first, int firstItem, const PlainTree& second, int secondItem);

// What is known before a pairing, by item handle: pairs (a first-side handle to a second-side
// one) and items without partner, as the library's comparison decided them or as the merge's
// result, the original edited in place, shows them.
struct PairingHints {
    std::unordered_map<ItemHandle, ItemHandle> pairs;
    std::unordered_set<ItemHandle> firstAlone;
    std::unordered_set<ItemHandle> secondAlone;
};

// Each item's partner in the other tree, or kNoPlainItem.
struct TreePairing {
    std::vector<int> inSecond;  // by first-side item
    std::vector<int> inFirst;   // by second-side item
};

// The same by item index, as the pairing uses them: each first-side item's hinted partner
// (kNoPlainItem: none), and a mark on each item without partner. An empty vector hints nothing.
struct IndexHints {
    std::vector<int> pairs;         // by first-side item
    std::vector<char> firstAlone;   // by first-side item
    std::vector<char> secondAlone;  // by second-side item
};

// A tree's items found by their handles.
class HandleLookup {
public:
    explicit HandleLookup(const PlainTree& tree);
    // The item's index, or kNoPlainItem.
    int Find(ItemHandle handle) const;
    // (handle, index) of every item, by handle.
    const std::vector<std::pair<ItemHandle, int>>& ByHandle() const { return sorted_; }

private:
    std::vector<std::pair<ItemHandle, int>> sorted_;
};

IndexHints ToIndexHints(const PlainTree& first, const PlainTree& second, const PairingHints& hints);

// Pairs the top items, then the children of each paired pair, level by level: first the pairs
// that hints name, then children of equal type and text in their order, then the rest of each
// type in their order. Children of items without partner stay without. Where texts changed
// this is a guess, made to err towards pairing items of one type: differences are looked for
// below pairs only, so a pair too many names a difference, a pair too few can hide one. With
// contentsFirst, children of equal type, text and contents pair first, before the hints too (of
// several siblings that share a text, the one whose contents stayed is the one that stayed),
// and after the hints, children left between the same two pairs on both sides pair there, by
// type and text and then by type, before the rest pair across the section.
// Linear in the items.
TreePairing PairTrees(const PlainTree& first, const PlainTree& second,
                      const PairingHints& hints = PairingHints(), bool contentsFirst = false);
// The same with the hints by index.
TreePairing PairTreesByIndex(const PlainTree& first, const PlainTree& second,
                             const IndexHints& hints, bool contentsFirst = false);
