/* runtime/brimrt63.h
 *
 * brimrt63, the outline runtime: keeps open outlines as trees in memory, reads and writes
 * them in the outline text format (runtime/outline_format.md), and hands out 32-bit handles
 * for outlines, items, strings and lists. Its callers see nothing but these operations.
 *
 * Handles: one counter serves every kind, so a handle is unique in the process and never
 * reused; 0 is never a handle. A stale, foreign or 0 handle, or a handle of the wrong kind,
 * makes an operation answer 0 (or do nothing), never crash. Every string an operation hands
 * out is the caller's to release with FreeString; every list, with DestroyList. Texts are
 * UTF-16 code units; any sequence of them, lone surrogates included, survives a save and load.
 *
 * Threads: OpenOutline may run in several threads at once, and GetOutlineError tells each
 * thread about its own last open. The operations that read an outline and hand out nothing
 * (GetRootItem, GetFirstChild, GetNextSibling, ViewItem, ViewItemRun, ViewItemContents) and
 * HoldOutlineTexts may run in several threads at once and beside any one thread's other
 * operations, as long as no outline is changed, opened or closed meanwhile. Everything else
 * takes the runtime one thread at a time.
 */
#ifndef BRIMRT63_H
#define BRIMRT63_H

#include <stdint.h>

/* UTF-16 code units, as Windows' WCHAR; and the Windows calling convention where there is one.
 * The header depends on nothing else, so that an installed host can include it alone. */
#ifdef _WIN32
#include <wchar.h>
typedef wchar_t BRIMRT_CHAR;
#define BRIMRT_API __stdcall
#else
#ifdef __cplusplus
typedef char16_t BRIMRT_CHAR;
#else
#include <uchar.h>
typedef char16_t BRIMRT_CHAR;
#endif
#define BRIMRT_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef uint32_t OutlineHandle;
typedef uint32_t ItemHandle;
typedef uint32_t StringHandle;
typedef uint32_t ListHandle;
typedef uint32_t ListElement;

/* Kinds of lists that CreateList makes. */
#define OUTLINE_LIST_ATTRIBUTES 3
#define OUTLINE_LIST_STRINGS 5

/* ---- Outlines ---------------------------------------------------------------------- */

/* Reads and parses an outline file. Answers 0 when it cannot be read or parsed; the reason
 * is then kept for GetOutlineError. */
OutlineHandle BRIMRT_API OpenOutline(const BRIMRT_CHAR* path);
/* Releases the outline; its items become stale. */
void BRIMRT_API CloseOutline(OutlineHandle outline);
/* Writes the outline canonically to path: into a temporary file beside it, then renamed
 * over it. Nonzero on success; on failure the file at path is as it was. Answers 0 too once
 * any operation has run out of memory since the outline was opened: the caller may have acted
 * on an answer that the shortage made, so what it built is not written as complete. */
int32_t BRIMRT_API SaveOutline(OutlineHandle outline, const BRIMRT_CHAR* path);
/* The reason this thread's last OpenOutline failed, as "path:line:column: expected ...,
 * found ...", copied into buffer (cut to bufferSize - 1 characters and terminated). Answers
 * its full length; an empty text when the last open succeeded. */
int32_t BRIMRT_API GetOutlineError(BRIMRT_CHAR* buffer, int32_t bufferSize);

/* ---- Walking ------------------------------------------------------------------------ */

ItemHandle BRIMRT_API GetRootItem(OutlineHandle outline);
/* The children in order, skipped ones included; 0 when there are none left. */
ItemHandle BRIMRT_API GetFirstChild(OutlineHandle outline, ItemHandle item);
ItemHandle BRIMRT_API GetNextSibling(OutlineHandle outline, ItemHandle item);
/* 0 for the root. */
ItemHandle BRIMRT_API GetParentItem(OutlineHandle outline, ItemHandle item);
int32_t BRIMRT_API IsItemSkipped(OutlineHandle outline, ItemHandle item);
int32_t BRIMRT_API GetItemType(OutlineHandle outline, ItemHandle item);

/* ---- Texts -------------------------------------------------------------------------- */

/* A short display name of the type code ("Procedure", or "Type 77" for a code the runtime
 * has no name for) into *name. Nonzero on success. */
int32_t BRIMRT_API GetItemTypeName(int32_t type, StringHandle* name);
/* Mode 0: the stored text. Mode 1: the text as it reads after the type's name: a blank and
 * the text with each line break shown as a blank, or nothing for an empty text. */
int32_t BRIMRT_API GetItemText(OutlineHandle outline, ItemHandle item, int32_t mode,
                               StringHandle* text);
/* The characters of a string (terminated) and their number; null and 0 for a bad handle.
 * Valid until the string is freed. */
const BRIMRT_CHAR* BRIMRT_API GetStringText(StringHandle string, int32_t* length);
void BRIMRT_API FreeString(StringHandle string);

/* ---- Editing ------------------------------------------------------------------------ */

/* A new item of the type with an empty text, placed right after `after` under parent, or
 * first when after is 0. 0 when after is not a child of parent. */
ItemHandle BRIMRT_API InsertItem(OutlineHandle outline, ItemHandle parent, ItemHandle after,
                                 int32_t type);
/* 0 for a read-only item. The line count is not needed by this runtime and not checked. */
int32_t BRIMRT_API SetItemText(OutlineHandle outline, ItemHandle item, const BRIMRT_CHAR* text,
                               int32_t lines);
/* Removes the item with its subtree; their handles go stale. 0 for the root and for an item
 * marked nodelete or with such an item below it (deleting it would remove that one too). */
int32_t BRIMRT_API DeleteItem(OutlineHandle outline, ItemHandle item);
/* Copies item (with its subtree when withChildren, with its attributes, properties and DTDATA
 * when withContents; its flags always) to stand after `after` under parent in target, which
 * may be the source outline itself, the item's own subtree included. Answers the copy. */
ItemHandle BRIMRT_API CopyItem(OutlineHandle source, ItemHandle item, OutlineHandle target,
                               ItemHandle parent, ItemHandle after, int32_t withChildren,
                               int32_t withContents);

/* ---- Lists -------------------------------------------------------------------------- */

/* OUTLINE_LIST_ATTRIBUTES or OUTLINE_LIST_STRINGS; 0 for any other kind. */
ListHandle BRIMRT_API CreateList(int32_t kind);
void BRIMRT_API DestroyList(ListHandle list);
/* Fills an attribute list with the item's attributes in their order; answers their number,
 * also when memory ran out while filling it: the elements it could not keep then answer 0. */
int32_t BRIMRT_API ListItemAttributes(OutlineHandle outline, ItemHandle item, ListHandle list);
/* The element at index of an attribute list; 0 for a bad list or index. An element is the
 * attribute's id itself, so GetAttributeId reads it even after the list is destroyed. */
int32_t BRIMRT_API GetListElement(ListHandle list, ListElement* element, int32_t index);
int32_t BRIMRT_API GetAttributeId(ListElement element, uint32_t* id);
/* Fills a string list with the names of the item's named properties in their order; answers
 * their number, also when memory ran out (the names it could not keep then answer 0). */
int32_t BRIMRT_API ListNamedProperties(OutlineHandle outline, ItemHandle item, ListHandle list);
int32_t BRIMRT_API GetListString(ListHandle list, StringHandle* string, int32_t index);

/* ---- Item contents ------------------------------------------------------------------ */

/* Nonzero when the item has the attribute; reserved is not used. */
int32_t BRIMRT_API GetItemAttribute(OutlineHandle outline, ItemHandle item, uint32_t id,
                                    int32_t reserved, StringHandle* value);
/* Replaces the value in place, or appends the attribute. */
int32_t BRIMRT_API SetItemAttribute(OutlineHandle outline, ItemHandle item, uint32_t id,
                                    const BRIMRT_CHAR* value, int32_t lines);
int32_t BRIMRT_API GetNamedProperty(OutlineHandle outline, ItemHandle item, const BRIMRT_CHAR* name,
                                    StringHandle* value);
/* valueSize is the value's length + 1; the value ends at its terminator or there. */
int32_t BRIMRT_API SetNamedProperty(OutlineHandle outline, ItemHandle item, const BRIMRT_CHAR* name,
                                    const BRIMRT_CHAR* value, int32_t valueSize);
/* Nonzero when the item has a DTDATA value at index. */
int32_t BRIMRT_API GetItemDTData(OutlineHandle outline, ItemHandle item, int32_t index,
                                 int32_t* value);
int32_t BRIMRT_API SetItemDTData(OutlineHandle outline, ItemHandle item, int32_t index,
                                 int32_t value);
/* The runtime's own extra for its command, beside GetOutlineError (the library reads DTDATA
 * only at the index it knows, so it never needs the others): the indexes of the item's DTDATA
 * values in their order, the first capacity of them copied into indexes (none when indexes is
 * null). Answers how many the item has, so that a caller can ask again with room for all;
 * 0 for a bad handle. */
int32_t BRIMRT_API ListItemDTData(OutlineHandle outline, ItemHandle item, int32_t* indexes,
                                  int32_t capacity);

/* The runtime's extras for its command's reading of whole outlines, one call per item instead
 * of one per fact. The texts they show are the outline's own, not copies. An item text stays
 * where it is until the outline closes or the text is set again; HoldOutlineTexts keeps every
 * item text in place until the close. A content entry's name and value stay where they are
 * until the outline closes: a value set again takes new room. */
typedef struct ItemView {
    ItemHandle item; /* the item this view shows */
    int32_t type;
    int32_t skipped;         /* nonzero for an item marked skip */
    const BRIMRT_CHAR* text; /* the stored text, terminated; null when empty */
    int32_t textLength;
    int32_t contentCount;   /* its attributes, named properties and DTDATA values */
    ItemHandle firstChild;  /* 0 when it has none */
    ItemHandle nextSibling; /* 0 when it is the last */
} ItemView;

/* Content kinds of a ContentView. */
#define OUTLINE_CONTENT_ATTRIBUTE 1
#define OUTLINE_CONTENT_PROPERTY 2
#define OUTLINE_CONTENT_DTDATA 3

typedef struct ContentView {
    int32_t kind;            /* OUTLINE_CONTENT_... */
    uint32_t number;         /* an attribute's id, a DTDATA value's index */
    int32_t dtValue;         /* a DTDATA value */
    const BRIMRT_CHAR* name; /* a property's name; null when empty or not a property */
    int32_t nameLength;
    const BRIMRT_CHAR* value; /* an attribute's or property's value; null when empty */
    int32_t valueLength;
} ContentView;

/* Fills *view with the item's type, skip flag, text, number of contents and neighbours.
 * Nonzero on success; 0 for a bad handle, *view then all zero. */
int32_t BRIMRT_API ViewItem(OutlineHandle outline, ItemHandle item, ItemView* view);
/* Fills views, as ViewItem would, for the item and the items that follow it in the order
 * their lines stand in a saved outline (an item, then its children in order, then its next
 * sibling or the next one of the nearest item above that has one), at most capacity of them,
 * so that a caller walks a whole outline with a few calls. A view's neighbours tell the
 * caller which item the next view shows. Answers how many views it filled; 0 for a bad
 * handle, or when views is null or capacity is not positive. */
int32_t BRIMRT_API ViewItemRun(OutlineHandle outline, ItemHandle item, ItemView* views,
                               int32_t capacity);
/* The item's contents in their stored order (the order a save writes them; each kind in the
 * order its own list operation gives), the first capacity of them into views. Answers how
 * many the item has; 0 for a bad handle. */
int32_t BRIMRT_API ViewItemContents(OutlineHandle outline, ItemHandle item, ContentView* views,
                                    int32_t capacity);
/* From now until the outline closes, a text set again takes new room instead of the old, so
 * that every text ViewItem showed stays in place (the old room is used no more). Nonzero on
 * success; 0 for a bad handle. */
int32_t BRIMRT_API HoldOutlineTexts(OutlineHandle outline);

#ifdef __cplusplus
}
#endif

#endif /* BRIMRT63_H */
