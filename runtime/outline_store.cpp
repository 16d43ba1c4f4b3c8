// runtime/outline_store.cpp: the item array, its tree links and its handle runs.
#include "runtime/outline_store.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace brimrt {

// The per-item cost promised in the header (and measured by bench/runtime_load.cpp).
static_assert(sizeof(ItemRecord) <= 48, "an item record should stay within 48 bytes");
static_assert(sizeof(ContentEntry) <= 36, "a content entry should stay within 36 bytes");

OutlineStore::~OutlineStore() = default;

uint32_t OutlineStore::AppendItem(int32_t type, uint8_t flags) {
    ItemRecord item;
    item.text = nullptr;
    item.contentFirst = 0;
    item.contentCount = 0;
    item.type = type;
    item.textLength = 0;
    item.parent = kNoItem;
    item.firstChild = kNoItem;
    item.lastChild = kNoItem;
    item.nextSibling = kNoItem;
    item.previousSibling = kNoItem;
    item.flags = flags;
    items.push_back(item);
    return static_cast<uint32_t>(items.size() - 1);
}

void OutlineStore::LinkAfter(uint32_t index, uint32_t parent, uint32_t after) {
    ItemRecord& item = items[index];
    ItemRecord& parentItem = items[parent];
    item.parent = parent;
    item.previousSibling = after;
    item.nextSibling = after == kNoItem ? parentItem.firstChild : items[after].nextSibling;
    if (after == kNoItem) {
        parentItem.firstChild = index;
    } else {
        items[after].nextSibling = index;
    }
    if (item.nextSibling == kNoItem) {
        parentItem.lastChild = index;
    } else {
        items[item.nextSibling].previousSibling = index;
    }
}

void OutlineStore::LinkLast(uint32_t index, uint32_t parent) {
    LinkAfter(index, parent, items[parent].lastChild);
}

void OutlineStore::SetText(uint32_t index, const WCHAR* text, size_t length) {
    ItemRecord& item = items[index];
    if (length <= item.textLength && length > 0 && liveViews == 0 && !textsHeld) {
        std::memmove(item.text, text, length * sizeof(WCHAR));
        item.text[length] = 0;
    } else {
        item.text = texts.Store(text, length);
    }
    item.textLength = static_cast<uint32_t>(length);
}

void OutlineStore::SetContents(uint32_t index, const ContentEntry* entries, size_t count) {
    if (count == 0) return;
    if (contentPool.size() + count >= UINT32_MAX) throw std::bad_alloc();
    contentPool.insert(contentPool.end(), entries, entries + count);
    items[index].contentFirst = static_cast<uint32_t>(contentPool.size() - count);
    items[index].contentCount = static_cast<uint32_t>(count);
}

void OutlineStore::AppendContent(uint32_t index, const ContentEntry& entry) {
    ItemRecord& item = items[index];
    size_t first = item.contentFirst, count = item.contentCount;
    bool atEnd = count == 0 || first + count == contentPool.size();
    size_t needed = contentPool.size() + (atEnd ? 1 : count + 1);
    if (needed >= UINT32_MAX) throw std::bad_alloc();
    // Room first: once it is made, nothing below can fail.
    contentPool.reserve(std::max(needed, 2 * contentPool.size()));
    if (!atEnd) {
        for (size_t k = 0; k < count; ++k) contentPool.push_back(contentPool[first + k]);
    }
    contentPool.push_back(entry);
    item.contentFirst = static_cast<uint32_t>(contentPool.size() - count - 1);
    item.contentCount = static_cast<uint32_t>(count + 1);
}

void OutlineStore::AddHandleRun(uint32_t firstIndex, uint32_t firstHandle, uint32_t count) {
    if (!runs.empty()) {
        HandleRun& last = runs.back();
        if (last.firstHandle + last.count == firstHandle &&
            last.firstIndex + last.count == firstIndex) {
            last.count += count;
            return;
        }
    }
    runs.push_back(HandleRun{firstHandle, firstIndex, count});
}

uint32_t OutlineStore::FindItem(uint32_t handle) const {
    if (handle == 0 || runs.empty()) return kNoItem;
    size_t last = lastRun_.load(std::memory_order_relaxed);
    const HandleRun* run = &runs[last < runs.size() ? last : 0];
    if (handle - run->firstHandle >= run->count) {
        auto after = std::upper_bound(runs.begin(), runs.end(), handle,
                                      [](uint32_t value, const HandleRun& candidate) {
                                          return value < candidate.firstHandle;
                                      });
        if (after == runs.begin()) return kNoItem;
        run = &*(after - 1);
        if (handle - run->firstHandle >= run->count) return kNoItem;
        lastRun_.store(static_cast<size_t>(run - runs.data()), std::memory_order_relaxed);
    }
    uint32_t index = run->firstIndex + (handle - run->firstHandle);
    if (items[index].flags & kFlagDead) return kNoItem;
    return index;
}

uint32_t OutlineStore::HandleOf(uint32_t index) const {
    if (index == kNoItem || runs.empty()) return 0;
    size_t last = lastRun_.load(std::memory_order_relaxed);
    const HandleRun* run = &runs[last < runs.size() ? last : 0];
    if (index - run->firstIndex >= run->count) {
        auto after = std::upper_bound(runs.begin(), runs.end(), index,
                                      [](uint32_t value, const HandleRun& candidate) {
                                          return value < candidate.firstIndex;
                                      });
        if (after == runs.begin()) return 0;
        run = &*(after - 1);
        if (index - run->firstIndex >= run->count) return 0;
        lastRun_.store(static_cast<size_t>(run - runs.data()), std::memory_order_relaxed);
    }
    return run->firstHandle + (index - run->firstIndex);
}

uint32_t OutlineStore::NextInSubtree(uint32_t index, uint32_t top) const {
    if (items[index].firstChild != kNoItem) return items[index].firstChild;
    while (index != top) {
        if (items[index].nextSibling != kNoItem) return items[index].nextSibling;
        index = items[index].parent;
    }
    return kNoItem;
}

const ContentEntry* OutlineStore::FindContent(uint32_t index, ContentKind kind, uint32_t number,
                                              const WCHAR* name, size_t nameLength) const {
    for (const ContentEntry& entry : ContentsOf(index)) {
        if (entry.kind != kind) continue;
        if (kind == ContentKind::kProperty) {
            if (entry.name.size() == nameLength &&
                std::equal(entry.name.begin(), entry.name.end(), name)) {
                return &entry;
            }
        } else if (entry.number == number) {
            return &entry;
        }
    }
    return nullptr;
}

ContentEntry* OutlineStore::FindContent(uint32_t index, ContentKind kind, uint32_t number,
                                        const WCHAR* name, size_t nameLength) {
    const OutlineStore* self = this;
    return const_cast<ContentEntry*>(self->FindContent(index, kind, number, name, nameLength));
}

bool OutlineStore::SubtreeHasFlag(uint32_t top, uint8_t flag) const {
    for (uint32_t index = top; index != kNoItem; index = NextInSubtree(index, top)) {
        if (items[index].flags & flag) return true;
    }
    return false;
}

void OutlineStore::Unlink(uint32_t index) {
    ItemRecord& item = items[index];
    ItemRecord& parentItem = items[item.parent];
    if (item.previousSibling == kNoItem) {
        parentItem.firstChild = item.nextSibling;
    } else {
        items[item.previousSibling].nextSibling = item.nextSibling;
    }
    if (item.nextSibling == kNoItem) {
        parentItem.lastChild = item.previousSibling;
    } else {
        items[item.nextSibling].previousSibling = item.previousSibling;
    }
    item.nextSibling = kNoItem;
    item.previousSibling = kNoItem;
}

void OutlineStore::DeleteSubtree(uint32_t top) {
    Unlink(top);
    // The walk reads each item's links before the next step, and marking an item dead
    // leaves its links as they were, so the walk can mark as it goes.
    for (uint32_t index = top; index != kNoItem; index = NextInSubtree(index, top)) {
        ItemRecord& item = items[index];
        item.flags |= kFlagDead;
        item.contentCount = 0;
    }
}

}  // namespace brimrt
