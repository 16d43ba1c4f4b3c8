// runtime/runtime_operations.cpp
//
// The exported operations of brimrt63 (runtime/brimrt63.h), in the header's order. Each one
// resolves its handles first and answers 0 (or does nothing) for any it does not know, and
// each one that allocates turns running out of memory into that same answer, so nothing is
// ever thrown across the runtime's border.
#include "runtime/brimrt63.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "runtime/handle_counter.h"
#include "runtime/item_type_names.h"
#include "runtime/outline_file.h"
#include "runtime/outline_parser.h"
#include "runtime/runtime_tables.h"

using brimrt::ContentEntry;
using brimrt::ContentKind;
using brimrt::ItemRecord;
using brimrt::kNoItem;
using brimrt::OutlineStore;
using brimrt::WideText;

namespace {

// Opens may run in several threads at once: each reads and parses its file alone, then takes
// its handles and joins the open outlines under this lock.
std::mutex g_openLock;

// Runs body and answers its result, or the empty result (0, null, nothing) when memory ran
// out on the way; the shortage is counted, so that no outline open now is saved afterwards.
template <typename Body>
auto RunGuarded(Body body) -> decltype(body()) {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        ++brimrt::g_memoryShortages;
        return decltype(body())();
    }
}

size_t TextLength(const WCHAR* text) {
    size_t length = 0;
    if (text != nullptr) {
        while (text[length] != 0) ++length;
    }
    return length;
}

// A live item of an open outline, found from the pair of handles every item operation takes.
struct FoundItem {
    OutlineStore* store = nullptr;
    uint32_t index = kNoItem;
    explicit operator bool() const { return store != nullptr; }
    ItemRecord& record() const { return store->Item(index); }
};

FoundItem FindItem(OutlineHandle outline, ItemHandle item) {
    FoundItem found;
    OutlineStore* store = brimrt::FindOutline(outline);
    if (store == nullptr) return found;
    uint32_t index = store->FindItem(item);
    if (index == kNoItem) return found;
    found.store = store;
    found.index = index;
    return found;
}

// The index of `after` as a place under parent: kNoItem for 0 (first), false when after
// is not a live child of parent.
bool FindPlace(const OutlineStore& store, uint32_t parent, ItemHandle after, uint32_t* place) {
    *place = kNoItem;
    if (after == 0) return true;
    uint32_t index = store.FindItem(after);
    if (index == kNoItem || store.Item(index).parent != parent) return false;
    *place = index;
    return true;
}

// Why a file could not be read, in the words a user looks for.
std::string ReadErrorReason(int error) {
    switch (error) {
    case ENOENT: return "no such file";
    case EISDIR: return "it is a folder";
    case EACCES: return "permission denied";
    default: return std::strerror(error);
    }
}

void SetOpenError(const WCHAR* path, const std::string& reason) {
    brimrt::g_lastOpenError.assign(path, TextLength(path));
    brimrt::g_lastOpenError += brimrt::WidenUtf8(reason);
}

}  // namespace

// ---- Outlines ----------------------------------------------------------------------------

OutlineHandle BRIMRT_API OpenOutline(const WCHAR* path) {
    brimrt::g_lastOpenError.clear();
    if (path == nullptr) path = WIDE("");
    try {
        std::unique_ptr<OutlineStore> store(new OutlineStore());
        brimrt::ParseFailure failure;
        bool parsed = false;
        int error = brimrt::ReadOutlineFile(path, store.get(), &failure, &parsed);
        if (error != 0) {
            SetOpenError(path, ": cannot be read: " + ReadErrorReason(error));
            return 0;
        }
        if (!parsed) {
            SetOpenError(path, ":" + std::to_string(failure.line) + ":" +
                                   std::to_string(failure.column) + ": " + failure.message);
            return 0;
        }
        // One range: the outline's handle, then one handle per item in file order.
        uint32_t count = static_cast<uint32_t>(store->ItemCount());
        std::lock_guard<std::mutex> joining(g_openLock);
        uint32_t first = brimrt::TakeHandles(count + 1);
        if (first == 0) {
            SetOpenError(path, ": no handles are left in this process");
            return 0;
        }
        store->AddHandleRun(0, first + 1, count);
        store->shortagesWhenOpened = brimrt::g_memoryShortages;
        brimrt::g_outlines.Add(first, std::move(store));
        return first;
    } catch (const std::bad_alloc&) {
        ++brimrt::g_memoryShortages;
        // The reason itself needs memory: without it the reason stays empty.
        try {
            SetOpenError(path, ": not enough memory to load it");
        } catch (const std::bad_alloc&) {
            brimrt::g_lastOpenError.clear();
        }
        return 0;
    }
}

void BRIMRT_API CloseOutline(OutlineHandle outline) {
    OutlineStore* store = brimrt::FindOutline(outline);
    if (store == nullptr) return;
    // Strings that show the outline's texts keep them as copies of their own.
    try {
        brimrt::DetachViews(store);
    } catch (const std::bad_alloc&) {
        ++brimrt::g_memoryShortages;
        brimrt::g_strings.ForEach([store](uint32_t, brimrt::RuntimeString& string) {
            if (string.viewOf != store) return;
            string.units = WIDE("");
            string.length = 0;
            string.viewOf = nullptr;
        });
    }
    brimrt::g_outlines.Erase(outline);
}

int32_t BRIMRT_API SaveOutline(OutlineHandle outline, const WCHAR* path) {
    OutlineStore* store = brimrt::FindOutline(outline);
    if (store == nullptr || path == nullptr || path[0] == 0) return 0;
    // Memory ran out in some operation since the outline was opened: its caller may have built
    // on an answer the shortage made (an empty text, a short list, a refusal that looked like a
    // read-only item's), so the outline is not written as if it were complete.
    if (store->shortagesWhenOpened != brimrt::g_memoryShortages) return 0;
    return RunGuarded([&]() -> int32_t { return brimrt::SaveOutlineFile(*store, path) ? 1 : 0; });
}

int32_t BRIMRT_API GetOutlineError(WCHAR* buffer, int32_t bufferSize) {
    const WideText& reason = brimrt::g_lastOpenError;
    if (buffer != nullptr && bufferSize > 0) {
        size_t copied = std::min(reason.size(), static_cast<size_t>(bufferSize - 1));
        reason.copy(buffer, copied);
        buffer[copied] = 0;
    }
    return static_cast<int32_t>(reason.size());
}

// ---- Walking -----------------------------------------------------------------------------

ItemHandle BRIMRT_API GetRootItem(OutlineHandle outline) {
    OutlineStore* store = brimrt::FindOutline(outline);
    return store == nullptr ? 0 : store->HandleOf(store->Root());
}

ItemHandle BRIMRT_API GetFirstChild(OutlineHandle outline, ItemHandle item) {
    FoundItem found = FindItem(outline, item);
    return found ? found.store->HandleOf(found.record().firstChild) : 0;
}

ItemHandle BRIMRT_API GetNextSibling(OutlineHandle outline, ItemHandle item) {
    FoundItem found = FindItem(outline, item);
    return found ? found.store->HandleOf(found.record().nextSibling) : 0;
}

ItemHandle BRIMRT_API GetParentItem(OutlineHandle outline, ItemHandle item) {
    FoundItem found = FindItem(outline, item);
    return found ? found.store->HandleOf(found.record().parent) : 0;
}

int32_t BRIMRT_API IsItemSkipped(OutlineHandle outline, ItemHandle item) {
    FoundItem found = FindItem(outline, item);
    return found && (found.record().flags & brimrt::kFlagSkip) ? 1 : 0;
}

int32_t BRIMRT_API GetItemType(OutlineHandle outline, ItemHandle item) {
    FoundItem found = FindItem(outline, item);
    return found ? found.record().type : 0;
}

// ---- Texts -------------------------------------------------------------------------------

int32_t BRIMRT_API GetItemTypeName(int32_t type, StringHandle* name) {
    if (name == nullptr) return 0;
    *name = 0;
    return RunGuarded([&]() -> int32_t {
        WideText text = brimrt::NameItemType(type);
        *name = brimrt::MakeString(text.data(), text.size());
        return *name != 0 ? 1 : 0;
    });
}

int32_t BRIMRT_API GetItemText(OutlineHandle outline, ItemHandle item, int32_t mode,
                               StringHandle* text) {
    if (text == nullptr) return 0;
    *text = 0;
    FoundItem found = FindItem(outline, item);
    if (!found || (mode != 0 && mode != 1)) return 0;
    const ItemRecord& record = found.record();
    return RunGuarded([&]() -> int32_t {
        if (mode == 0 || record.textLength == 0) {
            // The stored text itself, shown in place: nothing is copied.
            *text = brimrt::MakeTextView(found.store, record.text, record.textLength);
        } else {
            // For display after the type's name: one blank, then the text on one line.
            WideText shown(1, WIDE(' '));
            shown.append(record.text, record.textLength);
            for (WCHAR& unit : shown) {
                if (unit == WIDE('\n') || unit == WIDE('\r')) unit = WIDE(' ');
            }
            *text = brimrt::MakeString(shown.data(), shown.size());
        }
        return *text != 0 ? 1 : 0;
    });
}

const WCHAR* BRIMRT_API GetStringText(StringHandle string, int32_t* length) {
    if (length != nullptr) *length = 0;
    const brimrt::RuntimeString* found = brimrt::g_strings.Find(string);
    if (found == nullptr) return nullptr;
    if (length != nullptr) *length = static_cast<int32_t>(found->length);
    return found->units;
}

void BRIMRT_API FreeString(StringHandle string) { brimrt::ReleaseString(string); }

// ---- Editing -----------------------------------------------------------------------------

ItemHandle BRIMRT_API InsertItem(OutlineHandle outline, ItemHandle parent, ItemHandle after,
                                 int32_t type) {
    FoundItem found = FindItem(outline, parent);
    uint32_t place = kNoItem;
    if (!found || !FindPlace(*found.store, found.index, after, &place)) return 0;
    if (found.store->ItemCount() >= kNoItem - 1) return 0;
    return RunGuarded([&]() -> ItemHandle {
        uint32_t handle = brimrt::TakeHandles(1);
        if (handle == 0) return 0;
        uint32_t index = found.store->AppendItem(type, 0);
        found.store->AddHandleRun(index, handle, 1);
        // Linked last, once nothing can fail: a half-made item is never in the tree.
        found.store->LinkAfter(index, found.index, place);
        return handle;
    });
}

int32_t BRIMRT_API SetItemText(OutlineHandle outline, ItemHandle item, const WCHAR* text,
                               int32_t lines) {
    FoundItem found = FindItem(outline, item);
    if (!found || (found.record().flags & brimrt::kFlagReadOnly)) return 0;
    return RunGuarded([&]() -> int32_t {
        found.store->SetText(found.index, text, TextLength(text));
        return 1;
    });
}

int32_t BRIMRT_API DeleteItem(OutlineHandle outline, ItemHandle item) {
    FoundItem found = FindItem(outline, item);
    if (!found || found.index == found.store->Root()) return 0;
    // A nodelete item anywhere below protects the whole subtree: deleting it with its parent
    // would remove it all the same.
    if (found.store->SubtreeHasFlag(found.index, brimrt::kFlagNoDelete)) return 0;
    found.store->DeleteSubtree(found.index);
    return 1;
}

ItemHandle BRIMRT_API CopyItem(OutlineHandle source, ItemHandle item, OutlineHandle target,
                               ItemHandle parent, ItemHandle after, int32_t withChildren,
                               int32_t withContents) {
    FoundItem from = FindItem(source, item);
    FoundItem to = FindItem(target, parent);
    uint32_t place = kNoItem;
    if (!from || !to || !FindPlace(*to.store, to.index, after, &place)) return 0;
    return RunGuarded([&]() -> ItemHandle {
        // 1. The source subtree in depth-first order, each entry with the position of its
        //    parent's copy. All of it is read before anything is added, so a copy into the
        //    item's own subtree copies the subtree as it was.
        const OutlineStore& sourceStore = *from.store;
        std::vector<uint32_t> order;
        std::vector<uint32_t> parentPositions;
        std::vector<uint32_t> path;  // positions in order of the items from the top down
        for (uint32_t index = from.index; index != kNoItem;
             index = withChildren ? sourceStore.NextInSubtree(index, from.index) : kNoItem) {
            uint32_t sourceParent = sourceStore.Item(index).parent;
            while (!path.empty() && order[path.back()] != sourceParent) path.pop_back();
            parentPositions.push_back(path.empty() ? kNoItem : path.back());
            path.push_back(static_cast<uint32_t>(order.size()));
            order.push_back(index);
        }
        uint32_t count = static_cast<uint32_t>(order.size());
        if (to.store->ItemCount() + count >= kNoItem) return 0;
        uint32_t firstHandle = brimrt::TakeHandles(count);
        if (firstHandle == 0) return 0;
        // 2. The copies, linked among themselves; the top one stays outside the tree until
        //    the end, so a failure leaves no partial copy in sight.
        uint32_t firstIndex = static_cast<uint32_t>(to.store->ItemCount());
        for (uint32_t position = 0; position < count; ++position) {
            const ItemRecord& original = sourceStore.Item(order[position]);
            uint32_t index =
                to.store->AppendItem(original.type, original.flags & brimrt::kFileFlags);
            // Read again after the append: with source and target alike, it may move the array.
            const ItemRecord& kept = sourceStore.Item(order[position]);
            to.store->SetText(index, kept.text, kept.textLength);
            brimrt::ContentRun contents = sourceStore.ContentsOf(order[position]);
            if (withContents && !contents.empty()) {
                // The texts go to the target's arena: the source may close first. The entries
                // are copied out first, as the source's pool may be the target's.
                std::vector<ContentEntry> copied(contents.begin(), contents.end());
                for (ContentEntry& entry : copied) {
                    entry.name = to.store->KeepText(entry.name.data(), entry.name.size());
                    entry.value = to.store->KeepText(entry.value.data(), entry.value.size());
                }
                to.store->SetContents(index, copied.data(), copied.size());
            }
            if (position > 0) to.store->LinkLast(index, firstIndex + parentPositions[position]);
        }
        to.store->AddHandleRun(firstIndex, firstHandle, count);
        // 3. Attached once complete.
        to.store->LinkAfter(firstIndex, to.index, place);
        return firstHandle;
    });
}

// ---- Lists -------------------------------------------------------------------------------

ListHandle BRIMRT_API CreateList(int32_t kind) {
    if (kind != OUTLINE_LIST_ATTRIBUTES && kind != OUTLINE_LIST_STRINGS) return 0;
    return RunGuarded([&]() -> ListHandle {
        uint32_t handle = brimrt::TakeHandles(1);
        if (handle == 0) return 0;
        brimrt::RuntimeList list;
        list.kind = kind;
        brimrt::g_lists.Add(handle, std::move(list));
        return handle;
    });
}

void BRIMRT_API DestroyList(ListHandle list) { brimrt::g_lists.Erase(list); }

int32_t BRIMRT_API ListItemAttributes(OutlineHandle outline, ItemHandle item, ListHandle list) {
    brimrt::RuntimeList* target = brimrt::FindList(list, OUTLINE_LIST_ATTRIBUTES);
    if (target == nullptr) return 0;
    target->ids.clear();
    FoundItem found = FindItem(outline, item);
    if (!found) return 0;
    // The number is answered even when the list could not hold them all, so that a shortage
    // shows as elements that answer 0, never as an item with fewer attributes.
    brimrt::ContentRun contents = found.store->ContentsOf(found.index);
    int32_t count = static_cast<int32_t>(std::count_if(
        contents.begin(), contents.end(),
        [](const ContentEntry& entry) { return entry.kind == ContentKind::kAttribute; }));
    RunGuarded([&]() -> bool {
        for (const ContentEntry& entry : contents) {
            if (entry.kind == ContentKind::kAttribute) target->ids.push_back(entry.number);
        }
        return true;
    });
    return count;
}

int32_t BRIMRT_API GetListElement(ListHandle list, ListElement* element, int32_t index) {
    if (element == nullptr) return 0;
    *element = 0;
    brimrt::RuntimeList* source = brimrt::FindList(list, OUTLINE_LIST_ATTRIBUTES);
    if (source == nullptr || index < 0 || static_cast<size_t>(index) >= source->ids.size())
        return 0;
    *element = source->ids[static_cast<size_t>(index)];
    return 1;
}

int32_t BRIMRT_API GetAttributeId(ListElement element, uint32_t* id) {
    if (id == nullptr) return 0;
    *id = element;
    return 1;
}

int32_t BRIMRT_API ListNamedProperties(OutlineHandle outline, ItemHandle item, ListHandle list) {
    brimrt::RuntimeList* target = brimrt::FindList(list, OUTLINE_LIST_STRINGS);
    if (target == nullptr) return 0;
    target->names.clear();
    FoundItem found = FindItem(outline, item);
    if (!found) return 0;
    // As for attributes: the number stands, the names that could not be kept answer 0.
    brimrt::ContentRun contents = found.store->ContentsOf(found.index);
    int32_t count = static_cast<int32_t>(std::count_if(
        contents.begin(), contents.end(),
        [](const ContentEntry& entry) { return entry.kind == ContentKind::kProperty; }));
    RunGuarded([&]() -> bool {
        for (const ContentEntry& entry : contents) {
            if (entry.kind == ContentKind::kProperty) {
                target->names.emplace_back(entry.name.data(), entry.name.size());
            }
        }
        return true;
    });
    return count;
}

int32_t BRIMRT_API GetListString(ListHandle list, StringHandle* string, int32_t index) {
    if (string == nullptr) return 0;
    *string = 0;
    brimrt::RuntimeList* source = brimrt::FindList(list, OUTLINE_LIST_STRINGS);
    if (source == nullptr || index < 0 || static_cast<size_t>(index) >= source->names.size())
        return 0;
    const WideText& name = source->names[static_cast<size_t>(index)];
    return RunGuarded([&]() -> int32_t {
        *string = brimrt::MakeString(name.data(), name.size());
        return *string != 0 ? 1 : 0;
    });
}

// ---- Item contents -----------------------------------------------------------------------

namespace {

// Sets the entry of the kind and key to the value, in place when the item has it, else
// appended after the item's other entries. Answers 0 for an unknown item.
int32_t SetContent(OutlineHandle outline, ItemHandle item, ContentKind kind, uint32_t number,
                   const WCHAR* name, size_t nameLength, const WCHAR* value, size_t valueLength,
                   int32_t dtValue) {
    FoundItem found = FindItem(outline, item);
    if (!found) return 0;
    return RunGuarded([&]() -> int32_t {
        ContentEntry* entry = found.store->FindContent(found.index, kind, number, name, nameLength);
        if (entry != nullptr) {
            entry->value = found.store->KeepText(value, valueLength);
            entry->dtValue = dtValue;
            return 1;
        }
        ContentEntry added;
        added.kind = kind;
        added.number = number;
        added.dtValue = dtValue;
        added.name = found.store->KeepText(name, nameLength);
        added.value = found.store->KeepText(value, valueLength);
        found.store->AppendContent(found.index, added);
        return 1;
    });
}

// Hands out a copy of the entry's value; 0 when the item or the entry is not there.
int32_t GetContentValue(OutlineHandle outline, ItemHandle item, ContentKind kind, uint32_t number,
                        const WCHAR* name, size_t nameLength, StringHandle* value) {
    FoundItem found = FindItem(outline, item);
    if (!found) return 0;
    const ContentEntry* entry =
        found.store->FindContent(found.index, kind, number, name, nameLength);
    if (entry == nullptr) return 0;
    return RunGuarded([&]() -> int32_t {
        *value = brimrt::MakeString(entry->value.data(), entry->value.size());
        return *value != 0 ? 1 : 0;
    });
}

}  // namespace

int32_t BRIMRT_API GetItemAttribute(OutlineHandle outline, ItemHandle item, uint32_t id,
                                    int32_t reserved, StringHandle* value) {
    if (value == nullptr) return 0;
    *value = 0;
    return GetContentValue(outline, item, ContentKind::kAttribute, id, nullptr, 0, value);
}

int32_t BRIMRT_API SetItemAttribute(OutlineHandle outline, ItemHandle item, uint32_t id,
                                    const WCHAR* value, int32_t lines) {
    return SetContent(outline, item, ContentKind::kAttribute, id, nullptr, 0,
                      value == nullptr ? WIDE("") : value, TextLength(value), 0);
}

int32_t BRIMRT_API GetNamedProperty(OutlineHandle outline, ItemHandle item, const WCHAR* name,
                                    StringHandle* value) {
    if (value == nullptr) return 0;
    *value = 0;
    if (name == nullptr) return 0;
    return GetContentValue(outline, item, ContentKind::kProperty, 0, name, TextLength(name), value);
}

int32_t BRIMRT_API SetNamedProperty(OutlineHandle outline, ItemHandle item, const WCHAR* name,
                                    const WCHAR* value, int32_t valueSize) {
    if (name == nullptr) return 0;
    size_t valueLength = 0;
    if (value != nullptr) {
        while (static_cast<int64_t>(valueLength) < static_cast<int64_t>(valueSize) - 1 &&
               value[valueLength] != 0) {
            ++valueLength;
        }
    }
    return SetContent(outline, item, ContentKind::kProperty, 0, name, TextLength(name),
                      value == nullptr ? WIDE("") : value, valueLength, 0);
}

int32_t BRIMRT_API GetItemDTData(OutlineHandle outline, ItemHandle item, int32_t index,
                                 int32_t* value) {
    if (value != nullptr) *value = 0;
    FoundItem found = FindItem(outline, item);
    if (!found) return 0;
    const ContentEntry* entry = found.store->FindContent(found.index, ContentKind::kDTData,
                                                         static_cast<uint32_t>(index), nullptr, 0);
    if (entry == nullptr) return 0;
    if (value != nullptr) *value = entry->dtValue;
    return 1;
}

int32_t BRIMRT_API SetItemDTData(OutlineHandle outline, ItemHandle item, int32_t index,
                                 int32_t value) {
    return SetContent(outline, item, ContentKind::kDTData, static_cast<uint32_t>(index), nullptr, 0,
                      WIDE(""), 0, value);
}

int32_t BRIMRT_API ListItemDTData(OutlineHandle outline, ItemHandle item, int32_t* indexes,
                                  int32_t capacity) {
    FoundItem found = FindItem(outline, item);
    if (!found) return 0;
    int32_t count = 0;
    for (const ContentEntry& entry : found.store->ContentsOf(found.index)) {
        if (entry.kind != ContentKind::kDTData) continue;
        if (indexes != nullptr && count < capacity) {
            indexes[count] = static_cast<int32_t>(entry.number);
        }
        ++count;
    }
    return count;
}

namespace {

void FillView(const OutlineStore& store, uint32_t index, ItemView* view) {
    const ItemRecord& record = store.Item(index);
    view->item = store.HandleOf(index);
    view->type = record.type;
    view->skipped = (record.flags & brimrt::kFlagSkip) != 0 ? 1 : 0;
    view->text = record.textLength > 0 ? record.text : nullptr;
    view->textLength = static_cast<int32_t>(record.textLength);
    view->contentCount = static_cast<int32_t>(record.contentCount);
    view->firstChild = store.HandleOf(record.firstChild);
    view->nextSibling = store.HandleOf(record.nextSibling);
}

}  // namespace

int32_t BRIMRT_API ViewItem(OutlineHandle outline, ItemHandle item, ItemView* view) {
    if (view == nullptr) return 0;
    *view = ItemView();
    FoundItem found = FindItem(outline, item);
    if (!found) return 0;
    FillView(*found.store, found.index, view);
    return 1;
}

int32_t BRIMRT_API ViewItemRun(OutlineHandle outline, ItemHandle item, ItemView* views,
                               int32_t capacity) {
    if (views == nullptr || capacity <= 0) return 0;
    FoundItem found = FindItem(outline, item);
    if (!found) return 0;
    const OutlineStore& store = *found.store;
    int32_t count = 0;
    for (uint32_t index = found.index; index != kNoItem && count < capacity; ++count) {
        const ItemRecord& record = store.Item(index);
        FillView(store, index, &views[count]);
        if (record.firstChild != kNoItem) {
            index = record.firstChild;
            continue;
        }
        // Up past the items whose children are all shown, to the first with a next sibling:
        // over a whole walk each item is passed once so.
        while (index != kNoItem && store.Item(index).nextSibling == kNoItem) {
            index = store.Item(index).parent;
        }
        if (index != kNoItem) index = store.Item(index).nextSibling;
    }
    return count;
}

int32_t BRIMRT_API ViewItemContents(OutlineHandle outline, ItemHandle item, ContentView* views,
                                    int32_t capacity) {
    FoundItem found = FindItem(outline, item);
    if (!found) return 0;
    brimrt::ContentRun contents = found.store->ContentsOf(found.index);
    int32_t count = static_cast<int32_t>(contents.size());
    for (int32_t k = 0; views != nullptr && k < count && k < capacity; ++k) {
        const ContentEntry& entry = contents[static_cast<size_t>(k)];
        ContentView& view = views[k];
        switch (entry.kind) {
        case ContentKind::kAttribute: view.kind = OUTLINE_CONTENT_ATTRIBUTE; break;
        case ContentKind::kProperty: view.kind = OUTLINE_CONTENT_PROPERTY; break;
        case ContentKind::kDTData: view.kind = OUTLINE_CONTENT_DTDATA; break;
        }
        view.number = entry.number;
        view.dtValue = entry.kind == ContentKind::kDTData ? entry.dtValue : 0;
        view.name = entry.name.empty() ? nullptr : entry.name.data();
        view.nameLength = static_cast<int32_t>(entry.name.size());
        view.value = entry.value.empty() ? nullptr : entry.value.data();
        view.valueLength = static_cast<int32_t>(entry.value.size());
    }
    return count;
}

int32_t BRIMRT_API HoldOutlineTexts(OutlineHandle outline) {
    OutlineStore* store = brimrt::FindOutline(outline);
    if (store == nullptr) return 0;
    store->textsHeld = true;
    return 1;
}
