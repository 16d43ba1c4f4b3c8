// runtime/runtime_tables.h
//
// The runtime's process-wide state: the open outlines, strings and lists by handle, and the
// reason the last OpenOutline failed. Every handle comes from the one handle counter, so a
// handle found in one table can never be found in another.
#pragma once

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "runtime/outline_store.h"

namespace brimrt {

// A list made by CreateList. An attribute list holds attribute ids, a string list names; the
// list's elements are the ids themselves, so an element stays readable after its list is gone.
struct RuntimeList {
    int32_t kind;
    std::vector<uint32_t> ids;
    std::vector<WideText> names;
};

extern std::unordered_map<uint32_t, std::unique_ptr<OutlineStore>> g_outlines;
// Map nodes do not move, so the characters of a string stay where GetStringText showed them
// until the string is freed.
extern std::unordered_map<uint32_t, WideText> g_strings;
extern std::unordered_map<uint32_t, RuntimeList> g_lists;
extern WideText g_lastOpenError;
// Operations that ran out of memory since the process started. An outline records the count
// when it is opened; SaveOutline refuses it once the count has moved.
extern uint64_t g_memoryShortages;

// The open outline with this handle, or null.
OutlineStore* FindOutline(uint32_t handle);
// The list with this handle and kind, or null.
RuntimeList* FindList(uint32_t handle, int32_t kind);
// A new string holding a copy of the text; 0 when the handle counter is spent. Throws
// std::bad_alloc.
uint32_t MakeString(const WCHAR* text, size_t length);

}  // namespace brimrt
