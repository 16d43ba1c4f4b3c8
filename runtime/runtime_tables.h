// runtime/runtime_tables.h
//
// The runtime's process-wide state: the open outlines, strings and lists by handle, and the
// reason the last OpenOutline failed. Every handle comes from the one handle counter, so a
// handle found in one table can never be found in another.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "runtime/handle_table.h"
#include "runtime/outline_store.h"

namespace brimrt {

// A list made by CreateList. An attribute list holds attribute ids, a string list names; the
// list's elements are the ids themselves, so an element stays readable after its list is gone.
struct RuntimeList {
    int32_t kind = 0;
    std::vector<uint32_t> ids;
    std::vector<WideText> names;
};

// A string handed out by an operation: terminated characters that stay where GetStringText
// showed them until the string is freed. Either its own copy, or a view of an item's stored
// text in its outline's arena (no copy): while an outline has views, SetText gives a text new
// room instead of overwriting the old, and CloseOutline turns its views into copies first.
struct RuntimeString {
    const WCHAR* units = nullptr;
    uint32_t length = 0;
    OutlineStore* viewOf = nullptr;  // the outline whose arena holds units; null for a copy
    std::unique_ptr<WCHAR[]> owned;
};

extern HandleTable<std::unique_ptr<OutlineStore>> g_outlines;
extern HandleTable<RuntimeString> g_strings;
extern HandleTable<RuntimeList> g_lists;
// Why this thread's last OpenOutline failed: opens may run in several threads at once.
extern thread_local WideText g_lastOpenError;
// Operations that ran out of memory since the process started. An outline records the count
// when it is opened; SaveOutline refuses it once the count has moved.
extern std::atomic<uint64_t> g_memoryShortages;

// The open outline with this handle, or null.
OutlineStore* FindOutline(uint32_t handle);
// The list with this handle and kind, or null.
RuntimeList* FindList(uint32_t handle, int32_t kind);
// A new string holding a copy of the text; 0 when the handle counter is spent. Throws
// std::bad_alloc.
uint32_t MakeString(const WCHAR* text, size_t length);
// A new string that shows the stored text of an item of store (length units at text, which
// the arena keeps terminated) without copying it; 0 when the handle counter is spent. Throws
// std::bad_alloc.
uint32_t MakeTextView(OutlineStore* store, const WCHAR* text, size_t length);
// Releases a string; a view no longer holds its outline's texts in place.
void ReleaseString(uint32_t handle);
// Turns every view of store's texts into a copy of its own, before the store goes. Throws
// std::bad_alloc, the views that were not copied yet staying views.
void DetachViews(OutlineStore* store);

}  // namespace brimrt
