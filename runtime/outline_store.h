// runtime/outline_store.h
//
// One open outline: its items as compact records in one array, linked into a tree by index,
// their texts in a text arena, their optional contents (attributes, named properties, DTDATA)
// in a record of their own, and the table that turns item handles into indexes and back.
//
// Memory per item: one 48-byte ItemRecord plus the text's UTF-16 units and a terminator in the
// arena. A content entry takes 36 bytes in the outline's pool of contents, its texts going to
// the arena as well. Handles cost
// nothing per item: the items loaded by OpenOutline take one contiguous range of handles
// (handle = first handle + index), and each later insertion or copy adds a run of its own,
// merged with the previous run when both its handles and its indexes continue it.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "runtime/large_block.h"
#include "runtime/text_arena.h"
#include "runtime/utf_codec.h"

namespace brimrt {

// "No item" as an index. Indexes are below 2^32 - 1, as handles are.
constexpr uint32_t kNoItem = 0xFFFFFFFFu;

// Item flags. Dead marks a deleted item: its record stays, so that indexes of the others
// do not move, but its handle no longer finds it.
constexpr uint8_t kFlagSkip = 1;
constexpr uint8_t kFlagNoDelete = 2;
constexpr uint8_t kFlagReadOnly = 4;
constexpr uint8_t kFlagDead = 8;
constexpr uint8_t kFileFlags = kFlagSkip | kFlagNoDelete | kFlagReadOnly;

enum class ContentKind : uint8_t { kAttribute, kProperty, kDTData };

// A content entry's name or value: units in the outline's text arena (KeepText), terminated,
// that stay there until the outline closes; a new value takes new room. Null for an empty one.
// Packed to four-byte alignment, so that an entry holding two of them takes 36 bytes, not 48.
#pragma pack(push, 4)
class ArenaText {
public:
    ArenaText() = default;
    ArenaText(const WCHAR* units, size_t length)
        : units_(units), length_(static_cast<uint32_t>(length)) {}
    const WCHAR* data() const { return units_; }
    size_t size() const { return length_; }
    bool empty() const { return length_ == 0; }
    const WCHAR* begin() const { return units_; }
    const WCHAR* end() const { return units_ + length_; }

private:
    const WCHAR* units_ = nullptr;
    uint32_t length_ = 0;
};
#pragma pack(pop)

// One attribute (number = id, value), named property (name, value) or DTDATA value
// (number = the index's bits, dtValue). All three kinds share one list per item, in the order
// in which they were read or first set, which is the order the writer keeps.
struct ContentEntry {
    ContentKind kind;
    uint32_t number;
    int32_t dtValue;
    ArenaText name;
    ArenaText value;
};
// An item's entries where they stand in its outline's pool; good until the outline's contents
// next change.
class ContentRun {
public:
    ContentRun(const ContentEntry* first, size_t count) : first_(first), count_(count) {}
    const ContentEntry* begin() const { return first_; }
    const ContentEntry* end() const { return first_ + count_; }
    size_t size() const { return count_; }
    bool empty() const { return count_ == 0; }
    const ContentEntry& operator[](size_t k) const { return first_[k]; }

private:
    const ContentEntry* first_;
    size_t count_;
};

struct ItemRecord {
    WCHAR* text;  // in the outline's arena; null for an empty text
    // The item's contents: contentCount entries of the outline's pool from contentFirst.
    uint32_t contentFirst;
    uint32_t contentCount;
    int32_t type;
    uint32_t textLength;
    uint32_t parent;  // kNoItem for the root
    uint32_t firstChild;
    uint32_t lastChild;
    uint32_t nextSibling;
    uint32_t previousSibling;
    uint8_t flags;
};

class OutlineStore {
public:
    OutlineStore() = default;
    ~OutlineStore();
    OutlineStore(const OutlineStore&) = delete;
    OutlineStore& operator=(const OutlineStore&) = delete;

    // ---- Building -----------------------------------------------------------------------

    // Room for count items, so that a load does not copy the array while it grows.
    void ReserveItems(size_t count) { items.reserve(count); }
    // Room for count content entries, for the same reason.
    void ReserveContents(size_t count) { contentPool.reserve(count); }
    // A new item with an empty text and no contents, not yet in the tree. Answers its index.
    // Throws std::bad_alloc when memory runs out.
    uint32_t AppendItem(int32_t type, uint8_t flags);
    // Makes the unlinked item the root. Only for an outline without one.
    void MakeRoot(uint32_t index) { root = index; }
    // Links the unlinked item under parent right after `after`, or first when after is kNoItem.
    // The caller has checked that after is a child of parent.
    void LinkAfter(uint32_t index, uint32_t parent, uint32_t after);
    // Links the unlinked item as the last child of parent (loading keeps the file's order).
    void LinkLast(uint32_t index, uint32_t parent);
    // Replaces the text. Reuses the old room when the new text fits and no string shows the
    // outline's texts in place (liveViews) and none is held (textsHeld), else takes new room in the
    // arena (the old room stays unused until the outline closes). Texts are kept terminated.
    void SetText(uint32_t index, const WCHAR* text, size_t length);
    // The item's contents, in the order they were read or first set.
    ContentRun ContentsOf(uint32_t index) const {
        const ItemRecord& item = items[index];
        return ContentRun(contentPool.data() + item.contentFirst, item.contentCount);
    }
    // Gives an item without contents these count entries. Throws std::bad_alloc, the item then
    // left without.
    void SetContents(uint32_t index, const ContentEntry* entries, size_t count);
    // Appends an entry to the item's contents. Throws std::bad_alloc, the contents then as they
    // were.
    void AppendContent(uint32_t index, const ContentEntry& entry);
    // A copy of the text in the outline's arena, for a content entry. Throws std::bad_alloc.
    ArenaText KeepText(const WCHAR* text, size_t length) {
        return ArenaText(texts.Store(text, length), length);
    }
    // Room in the arena for a reader to decode a text of at most maxLength units into, then
    // kept as a content entry's text (KeepRoom) or as the item's text (SetTextFromRoom), which
    // must be new: nothing else may use the arena in between (TextArena::Room). Throws
    // std::bad_alloc.
    WCHAR* TextRoom(size_t maxLength) { return texts.Room(maxLength); }
    ArenaText KeepRoom(size_t length) { return ArenaText(texts.Keep(length), length); }
    void SetTextFromRoom(uint32_t index, size_t length) {
        items[index].text = texts.Keep(length);
        items[index].textLength = static_cast<uint32_t>(length);
    }

    // ---- Handles ------------------------------------------------------------------------

    // Gives the count items from firstIndex the handles firstHandle, firstHandle + 1, ...,
    // which the caller took from the handle counter. Items must get handles in index order.
    void AddHandleRun(uint32_t firstIndex, uint32_t firstHandle, uint32_t count);
    // The index of the live item with this handle; kNoItem for 0, a handle of another outline
    // or kind, or a deleted item.
    uint32_t FindItem(uint32_t handle) const;
    // The handle of a live item (0 for kNoItem).
    uint32_t HandleOf(uint32_t index) const;

    // ---- Reading ------------------------------------------------------------------------

    uint32_t Root() const { return root; }
    size_t ItemCount() const { return items.size(); }
    ItemRecord& Item(uint32_t index) { return items[index]; }
    const ItemRecord& Item(uint32_t index) const { return items[index]; }
    // The item after index in a depth-first walk (an item, then its children in order, then
    // its next sibling) that stays inside top's subtree; kNoItem at the end. Loops, never
    // recursion, so a chain of any depth is walked in constant stack.
    uint32_t NextInSubtree(uint32_t index, uint32_t top) const;
    // The entry of the kind with that number (attributes, DTDATA) or name (properties); null
    // when the item has none.
    const ContentEntry* FindContent(uint32_t index, ContentKind kind, uint32_t number,
                                    const WCHAR* name, size_t nameLength) const;
    ContentEntry* FindContent(uint32_t index, ContentKind kind, uint32_t number, const WCHAR* name,
                              size_t nameLength);

    // ---- Removing -----------------------------------------------------------------------

    // True when the item or an item below it carries the flag.
    bool SubtreeHasFlag(uint32_t top, uint8_t flag) const;
    // Unlinks the item and marks it and its subtree dead, without their contents.
    void DeleteSubtree(uint32_t top);

    // The runtime's count of memory shortages when the outline was opened (runtime_tables.h).
    uint64_t shortagesWhenOpened = 0;
    // Strings handed out that show this outline's texts in place (runtime_tables.h).
    uint32_t liveViews = 0;
    // Set by HoldOutlineTexts: every text keeps its room until the outline closes, so that a
    // caller may keep pointers to the texts it was shown.
    bool textsHeld = false;

private:
    struct HandleRun {
        uint32_t firstHandle;
        uint32_t firstIndex;
        uint32_t count;
    };

    void Unlink(uint32_t index);

    std::vector<ItemRecord, BlockAllocator<ItemRecord>> items;
    // Every item's contents, each item's entries side by side, in the order the items got
    // them: a load costs no allocation per item. An item that gains an entry while others
    // stand after its own moves them to the end; the room they leave, like that of deleted
    // items, stays unused until the outline closes.
    std::vector<ContentEntry, BlockAllocator<ContentEntry>> contentPool;
    TextArena texts;
    std::vector<HandleRun> runs;  // sorted by handle and by index alike
    // The run of the last lookup, tried first: walks and loads ask for neighbouring items. Only
    // a hint, which lookups in several threads at once may each set.
    mutable std::atomic<size_t> lastRun_{0};
    uint32_t root = kNoItem;
};

}  // namespace brimrt
