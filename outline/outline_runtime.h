// outline/outline_runtime.h
//
// The thirty operations of the outline runtime brimrt63, declared as the library imports them
// (by ordinal on Windows). This is the library's only way to an outline: it never parses an
// outline file itself. Handles are opaque 32-bit numbers; item 0 means no item. Every string
// obtained is copied and released at once with FreeString; every list is destroyed after use,
// but for the attribute list that each outline object holds for its life.
#pragma once

#include <cstdint>

#include "platform/platform.h"

#ifdef _WIN32
#define OUTLINE_RUNTIME_API WINAPI
#else
#define OUTLINE_RUNTIME_API
#endif

extern "C" {

typedef uint32_t OutlineHandle;
typedef uint32_t ItemHandle;
typedef uint32_t StringHandle;
typedef uint32_t ListHandle;
typedef uint32_t ListElement;

// Opening, saving, walking. OpenOutline answers 0 on failure; SaveOutline nonzero on success.
OutlineHandle OUTLINE_RUNTIME_API OpenOutline(const WCHAR* path);
void OUTLINE_RUNTIME_API CloseOutline(OutlineHandle outline);
int32_t OUTLINE_RUNTIME_API SaveOutline(OutlineHandle outline, const WCHAR* path);
ItemHandle OUTLINE_RUNTIME_API GetRootItem(OutlineHandle outline);
ItemHandle OUTLINE_RUNTIME_API GetFirstChild(OutlineHandle outline, ItemHandle item);
ItemHandle OUTLINE_RUNTIME_API GetNextSibling(OutlineHandle outline, ItemHandle item);
ItemHandle OUTLINE_RUNTIME_API GetParentItem(OutlineHandle outline, ItemHandle item);
// Nonzero: every walk of the library passes over this item (outline/outline_walk.h).
int32_t OUTLINE_RUNTIME_API IsItemSkipped(OutlineHandle outline, ItemHandle item);
int32_t OUTLINE_RUNTIME_API GetItemType(OutlineHandle outline, ItemHandle item);

// Texts. Mode 0 of GetItemText is the stored text, mode 1 the text for display right after
// the type's name. GetStringText answers none or a length of 0 for an empty text; otherwise
// its characters are terminated and stay in place until the string is freed.
int32_t OUTLINE_RUNTIME_API GetItemTypeName(int32_t type, StringHandle* name);
int32_t OUTLINE_RUNTIME_API GetItemText(OutlineHandle outline, ItemHandle item, int32_t mode,
                                        StringHandle* text);
const WCHAR* OUTLINE_RUNTIME_API GetStringText(StringHandle string, int32_t* length);
void OUTLINE_RUNTIME_API FreeString(StringHandle string);

// Editing. An `after` of 0 places the new item first under parent. Texts go with their number
// of lines (support/text_lines.h). SetItemText and DeleteItem answer 0 when they refuse.
ItemHandle OUTLINE_RUNTIME_API InsertItem(OutlineHandle outline, ItemHandle parent,
                                          ItemHandle after, int32_t type);
int32_t OUTLINE_RUNTIME_API SetItemText(OutlineHandle outline, ItemHandle item, const WCHAR* text,
                                        int32_t lines);
int32_t OUTLINE_RUNTIME_API DeleteItem(OutlineHandle outline, ItemHandle item);
// The library always passes 1, 1: the copy takes the item's subtree and contents along.
ItemHandle OUTLINE_RUNTIME_API CopyItem(OutlineHandle source, ItemHandle item, OutlineHandle target,
                                        ItemHandle parent, ItemHandle after, int32_t withChildren,
                                        int32_t withContents);

// The runtime answers a list's count in the low 16 bits of its 32-bit answer; the rest is not
// part of the count.
constexpr int32_t kRuntimeCountMask = 0xFFFF;

// Lists: kind 3 holds attributes, kind 5 strings.
constexpr int32_t kAttributeListKind = 3;
constexpr int32_t kStringListKind = 5;
ListHandle OUTLINE_RUNTIME_API CreateList(int32_t kind);
void OUTLINE_RUNTIME_API DestroyList(ListHandle list);
int32_t OUTLINE_RUNTIME_API ListItemAttributes(OutlineHandle outline, ItemHandle item,
                                               ListHandle list);
int32_t OUTLINE_RUNTIME_API GetListElement(ListHandle list, ListElement* element, int32_t index);
int32_t OUTLINE_RUNTIME_API GetAttributeId(ListElement element, uint32_t* id);
int32_t OUTLINE_RUNTIME_API ListNamedProperties(OutlineHandle outline, ItemHandle item,
                                                ListHandle list);
int32_t OUTLINE_RUNTIME_API GetListString(ListHandle list, StringHandle* string, int32_t index);

// Item contents: customizer attributes, named properties, DTDATA values.
int32_t OUTLINE_RUNTIME_API GetItemAttribute(OutlineHandle outline, ItemHandle item, uint32_t id,
                                             int32_t reserved, StringHandle* value);
int32_t OUTLINE_RUNTIME_API SetItemAttribute(OutlineHandle outline, ItemHandle item, uint32_t id,
                                             const WCHAR* value, int32_t lines);
int32_t OUTLINE_RUNTIME_API GetNamedProperty(OutlineHandle outline, ItemHandle item,
                                             const WCHAR* name, StringHandle* value);
int32_t OUTLINE_RUNTIME_API SetNamedProperty(OutlineHandle outline, ItemHandle item,
                                             const WCHAR* name, const WCHAR* value,
                                             int32_t valueSize);
int32_t OUTLINE_RUNTIME_API GetItemDTData(OutlineHandle outline, ItemHandle item, int32_t index,
                                          int32_t* value);
int32_t OUTLINE_RUNTIME_API SetItemDTData(OutlineHandle outline, ItemHandle item, int32_t index,
                                          int32_t value);

}  // extern "C"
