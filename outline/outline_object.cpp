// outline/outline_object.cpp: outline objects and the loading of one section.
#include "outline/outline_object.h"

#include "include/norvex63.h"
#include "outline/outline_texts.h"
#include "outline/outline_walk.h"
#include "resources/string_table.h"
#include "support/checked_memory.h"
#include "support/item_key.h"
#include "support/run_state.h"
#include "support/warning_box.h"

COutline g_firstOutline;
COutline g_secondOutline;
CBaseOutline g_baseOutline;
COutline g_version1Outline;
COutline g_version2Outline;

namespace {

// Room for a drive ("X:" and the terminator) and for a folder as the caller's working
// directory is remembered.
constexpr size_t kDriveSize = 3;
constexpr size_t kFolderSize = 256;
// Runtime lists: kind 3 holds attributes, kind 5 strings.
// Types that every load ignores, and the one that RDFC ignores too.
constexpr int32_t kAlwaysIgnoredTypes[] = {176, 177, 178, 220, 302};
constexpr int32_t kIgnoredUnderRdfc = 402;

// Resizes one array to entries of its element type. False when the heap refused (the array
// is then as it was).
template <typename Element>
bool ResizeArray(Element*& array, int32_t entries) {
    // A capacity past this bound cannot be counted in the heap's 32-bit sizes.
    if (static_cast<uint64_t>(entries) * sizeof(Element) > UINT32_MAX) return false;
    void* resized = CheckedRealloc(array, static_cast<uint32_t>(entries * sizeof(Element)));
    if (resized == nullptr) return false;
    array = static_cast<Element*>(resized);
    return true;
}

// An array of entries elements, none for 0 entries or when the heap refused.
template <typename Element>
Element* NewArray(int32_t entries) {
    if (entries <= 0) return nullptr;
    return static_cast<Element*>(CheckedAlloc(static_cast<uint32_t>(entries * sizeof(Element))));
}

// Releases count texts and their array.
void FreeTexts(WCHAR** texts, int32_t count) {
    if (texts == nullptr) return;
    for (int32_t k = 0; k < count; ++k) FreeIfAny(texts[k]);
    CheckedFree(texts);
}

bool IsAlwaysIgnored(int32_t type) {
    for (int32_t ignored : kAlwaysIgnoredTypes) {
        if (type == ignored) return true;
    }
    return false;
}

}  // namespace

COutline::COutline() : attributeList_(CreateList(kAttributeListKind)) {}

COutline::~COutline() {
    // The base class's own release: a derived object has freed its arrays already.
    COutline::FreeItemArrays();
    DestroyList(attributeList_);
}

bool COutline::Open(const WCHAR* path) {
    ChangeToFileFolder(path);
    // The runtime gets a private copy of the path, released right after the call.
    WCHAR* copy = path != nullptr ? CheckedDup(path) : nullptr;
    outline_ = copy != nullptr ? OpenOutline(copy) : 0;
    FreeIfAny(copy);
    return outline_ != 0;
}

void COutline::AttachOutline(OutlineHandle outline) { outline_ = outline; }

void COutline::Close() {
    if (outline_ != 0) CloseOutline(outline_);
    outline_ = 0;
}

int32_t COutline::Save(const WCHAR* path) { return SaveOutline(outline_, path); }

ItemHandle COutline::GetRoot() const { return GetRootItem(outline_); }

void COutline::SetLabel(const WCHAR* text) {
    if (text == nullptr || text[0] == 0) {
        label_ = CWideString();
        return;
    }
    label_ = WIDE("[") + CWideString(text) + WIDE("]");
}

bool COutline::LoadSection(const WCHAR* prefix, ItemHandle parent, uint32_t options) {
    outOfMemory_ = false;
    // No parent, no section: the walk loads nothing for an item the other side lacks.
    if (parent == 0) {
        count = 0;
        return true;
    }
    int32_t prefixLength = lstrlenW(prefix);
    ItemHandle item = FirstChild(outline_, parent);
    int32_t i = 0;
    while (item != 0) {
        // The item limit of the compare file kinds: cut with a warning, or fail.
        if (i >= kSectionItemLimit) {
            if ((options & DIF_OPT_RDFC) != 0) {
                ShowSectionLimitWarning(parent);
                break;
            }
            if ((options & DIF_OPT_RDFA) != 0) {
                count = i;
                return false;
            }
        }
        // Ignored types keep their place in the section but take part in nothing.
        int32_t type = GetItemType(outline_, item);
        if ((options & DIF_OPT_RDFC) != 0 && type == kIgnoredUnderRdfc) type = kIgnoredType;
        if (IsAlwaysIgnored(type)) type = kIgnoredType;
        // Without room or without the entry's key and text, the section fails: a section
        // with an item left out would pair wrongly and read as complete.
        if (i >= capacity && !GrowItemArrays(options)) {
            count = i;
            outOfMemory_ = true;
            return false;
        }
        bool stored = StoreItem(i, prefixLength, prefix, item, type);
        // Contents start empty, so that releasing the section never reads an unset entry.
        if (attributes != nullptr) attributes[i] = {0, nullptr, nullptr, 0};
        if (properties != nullptr) properties[i] = {0, nullptr, nullptr};
        if (dtdata != nullptr) dtdata[i] = {0, nullptr, nullptr};
        count = i + 1;
        // Contents are loaded only where asked for, and never for ignored items.
        if (stored && type != kIgnoredType) {
            if ((options & DIF_OPT_ATTRIBUTES) != 0) stored = LoadAttributes(item, attributes[i]);
            if (stored && (options & DIF_OPT_PROPERTIES) != 0) {
                stored = LoadProperties(item, properties[i]);
            }
            if (stored && (options & DIF_OPT_DTDATA) != 0) stored = LoadDTData(item, dtdata[i]);
        }
        if (!stored) {
            outOfMemory_ = true;
            return false;
        }
        ++i;
        item = NextSibling(outline_, item);
    }
    count = i;
    return true;
}

bool COutline::GrowItemArrays(uint32_t options) {
    int32_t grown = capacity + kItemArrayStep;
    bool resized = ResizeArray(keys, grown) && ResizeArray(items, grown) &&
                   ResizeArray(status, grown) && ResizeArray(match, grown) &&
                   ResizeArray(types, grown) && ResizeArray(texts, grown) &&
                   ResizeArray(candidates, grown) && ResizeArray(positions, grown);
    if (resized && (options & DIF_OPT_ATTRIBUTES) != 0) resized = ResizeArray(attributes, grown);
    if (resized && (options & DIF_OPT_PROPERTIES) != 0) resized = ResizeArray(properties, grown);
    if (resized && (options & DIF_OPT_DTDATA) != 0) resized = ResizeArray(dtdata, grown);
    if (!resized) return false;
    // Contents that the options do not ask for stay absent (they were released or never made).
    capacity = grown;
    return true;
}

void COutline::FreeItemArrays() {
    for (int32_t i = 0; i < count; ++i) {
        FreeIfAny(keys[i]);
        FreeIfAny(texts[i]);
        if (attributes != nullptr && attributes[i].count != 0) {
            FreeTexts(attributes[i].values, attributes[i].count);
            FreeIfAny(attributes[i].ids);
        }
        if (properties != nullptr && properties[i].count != 0) {
            FreeTexts(properties[i].values, properties[i].count);
            FreeTexts(properties[i].names, properties[i].count);
        }
        if (dtdata != nullptr && dtdata[i].count != 0) {
            FreeIfAny(dtdata[i].values);
            FreeIfAny(dtdata[i].present);
        }
    }
    // Arrays are released even when capacity is 0: a growth that failed half way may have
    // made some of them.
    void* arrays[] = {keys,       items,      status, match,      types,    texts,
                      attributes, properties, dtdata, candidates, positions};
    for (void* array : arrays) FreeIfAny(array);
    COutline::ResetItemArrays();
}

void COutline::ResetItemArrays() {
    keys = nullptr;
    items = nullptr;
    status = nullptr;
    match = nullptr;
    types = nullptr;
    texts = nullptr;
    attributes = nullptr;
    properties = nullptr;
    dtdata = nullptr;
    candidates = nullptr;
    positions = nullptr;
    count = 0;
    capacity = 0;
    candidateCount = 0;
}

bool COutline::StoreItem(int32_t index, int32_t prefixLength, const WCHAR* prefix, ItemHandle item,
                         int32_t type) {
    (void)prefixLength;  // MakeKey measures the prefix itself
    keys[index] = MakeKey(prefix, index + 1);
    if (type == kIgnoredType) {
        status[index] = kStatusIgnored;
        texts[index] = CheckedDup(WIDE(""));
    } else {
        status[index] = kStatusUnresolved;
        texts[index] = CopyItemText(outline_, item);
    }
    items[index] = item;
    match[index] = kNoMatch;
    types[index] = type;
    return keys[index] != nullptr && texts[index] != nullptr;
}

bool COutline::LoadAttributes(ItemHandle item, AttributeSet& set) {
    int32_t attributeCount = ListItemAttributes(outline_, item, attributeList_) & kRuntimeCountMask;
    set = {0, nullptr, nullptr, 0};
    if (attributeCount == 0) return true;
    set.values = NewArray<WCHAR*>(attributeCount);
    set.ids = NewArray<uint32_t>(attributeCount);
    if (set.values == nullptr || set.ids == nullptr) {
        FreeIfAny(set.values);
        FreeIfAny(set.ids);
        set = {0, nullptr, nullptr, 0};
        return false;
    }
    // The set counts what it holds, so that a failure part way releases exactly that.
    for (int32_t k = 0; k < attributeCount; ++k) {
        ListElement element = 0;
        uint32_t id = 0;
        StringHandle value = 0;
        // The runtime answers 0 for an element or a value of a listed attribute only when it
        // ran out of memory: the set fails rather than lose the attribute.
        if (GetListElement(attributeList_, &element, k) == 0 || GetAttributeId(element, &id) == 0 ||
            GetItemAttribute(outline_, item, id, 0, &value) == 0) {
            if (set.count == 0) {
                // Nothing is held yet, and FreeItemArrays skips an empty set.
                FreeIfAny(set.values);
                FreeIfAny(set.ids);
                set = {0, nullptr, nullptr, 0};
            }
            return false;
        }
        WCHAR* copy = CopyRuntimeString(value);
        if (value != 0) FreeString(value);
        set.ids[k] = id;
        set.values[k] = copy;
        set.count = k + 1;
        if (copy == nullptr) return false;
        if (_wtoi(copy) != 0) {
            if (id == kInheritableContentsAttribute) set.flags |= kAttribute429Set;
            if (id == kInheritanceMarkAttribute) set.flags |= kAttribute430Set;
            if (id == kOtherInheritanceMarkAttribute) set.flags |= kAttribute431Set;
        }
    }
    return true;
}

bool COutline::LoadProperties(ItemHandle item, PropertySet& set) {
    set = {0, nullptr, nullptr};
    ListHandle list = CreateList(kStringListKind);
    if (list == 0) return false;  // the runtime ran out of memory
    int32_t propertyCount = ListNamedProperties(outline_, item, list);
    bool loaded = true;
    if (propertyCount > 0) {
        set.names = NewArray<WCHAR*>(propertyCount);
        set.values = NewArray<WCHAR*>(propertyCount);
        loaded = set.names != nullptr && set.values != nullptr;
        for (int32_t k = 0; loaded && k < propertyCount; ++k) {
            // As for attributes, a listed name or its value that the runtime does not hand
            // out means that it ran out of memory.
            StringHandle name = 0;
            bool handedOut = GetListString(list, &name, k) != 0;
            set.names[k] = handedOut ? CopyRuntimeString(name) : nullptr;
            if (name != 0) FreeString(name);
            StringHandle value = 0;
            if (set.names[k] != nullptr) {
                handedOut = GetNamedProperty(outline_, item, set.names[k], &value) != 0;
            }
            set.values[k] =
                set.names[k] != nullptr && handedOut ? CopyRuntimeString(value) : nullptr;
            if (value != 0) FreeString(value);
            set.count = k + 1;
            loaded = set.names[k] != nullptr && set.values[k] != nullptr;
        }
        if (set.count == 0) {
            // Nothing is held: the arrays are released here, as FreeItemArrays skips an
            // empty set.
            FreeIfAny(set.names);
            FreeIfAny(set.values);
            set = {0, nullptr, nullptr};
        }
    }
    DestroyList(list);
    return loaded;
}

bool COutline::LoadDTData(ItemHandle item, DTDataSet& set) {
    set.count = 0;
    set.values = NewArray<int32_t>(kDTDataCount);
    set.present = NewArray<int32_t>(kDTDataCount);
    if (set.values == nullptr || set.present == nullptr) {
        FreeIfAny(set.values);
        FreeIfAny(set.present);
        set = {0, nullptr, nullptr};
        return false;
    }
    for (int32_t k = 0; k < kDTDataCount; ++k) {
        set.values[k] = 0;
        set.present[k] = -1;
    }
    if (GetItemDTData(outline_, item, kDTDataIndex, &set.values[kDTDataIndex]) != 0) {
        set.present[kDTDataIndex] = kDTDataIndex;
    }
    set.count = kDTDataCount;
    return true;
}

void COutline::ShowSectionLimitWarning(ItemHandle parent) {
    CWideString text;
    CWideString format(static_cast<UINT>(kStringW005));
    text.Format(format.Text(), DescribeItem(outline_, parent).Text(), label_.Text());
    // Unlike the other warnings, this box's title is the information text and its body the
    // warning, which names the section and the file.
    CWideString title(static_cast<UINT>(kStringInformation));
    MessageBoxW(nullptr, text.Text(), title.Text(), MB_OK);
}

CBaseOutline::~CBaseOutline() { CBaseOutline::FreeItemArrays(); }

bool CBaseOutline::GrowItemArrays(uint32_t options) {
    if (!COutline::GrowItemArrays(options)) return false;
    return ResizeArray(secondStatus, capacity) && ResizeArray(secondMatch, capacity);
}

void CBaseOutline::FreeItemArrays() {
    FreeIfAny(secondStatus);
    FreeIfAny(secondMatch);
    secondStatus = nullptr;
    secondMatch = nullptr;
    COutline::FreeItemArrays();
}

void CBaseOutline::ResetItemArrays() {
    secondStatus = nullptr;
    secondMatch = nullptr;
    COutline::ResetItemArrays();
}

bool CBaseOutline::StoreItem(int32_t index, int32_t prefixLength, const WCHAR* prefix,
                             ItemHandle item, int32_t type) {
    bool stored = COutline::StoreItem(index, prefixLength, prefix, item, type);
    secondMatch[index] = match[index];
    secondStatus[index] = status[index];
    return stored;
}

void ChangeToFileFolder(const WCHAR* path) {
    if (path == nullptr) return;
    WCHAR drive[kDriveSize];
    WCHAR folder[kFolderSize];
    // A path whose parts do not fit leaves the current drive and folder as they are.
    if (_wsplitpath_s(path, drive, kDriveSize, folder, kFolderSize, nullptr, 0, nullptr, 0) != 0) {
        return;
    }
    if (drive[0] != 0) {
        // Letters below 'a' count as capitals.
        WCHAR letter = drive[0];
        _chdrive(letter < u'a' ? letter - u'A' + 1 : letter - u'a' + 1);
    }
    if (folder[0] != 0) _wchdir(folder);
}

void LoadSide(COutline& side, const WCHAR* key, ItemHandle item) {
    if (side.LoadSection(key, item, g_runState.options)) return;
    if (side.OutOfMemory()) {
        MarkOutOfMemory();
        return;
    }
    g_runState.abortFlag = 1;
    g_runState.result = DIF_ST_SECTION_LIMIT;
}
