// runtime/runtime_tables.cpp: the tables behind the runtime's handles.
#include "runtime/runtime_tables.h"

#include "runtime/handle_counter.h"

namespace brimrt {

std::unordered_map<uint32_t, std::unique_ptr<OutlineStore>> g_outlines;
std::unordered_map<uint32_t, WideText> g_strings;
std::unordered_map<uint32_t, RuntimeList> g_lists;
WideText g_lastOpenError;
uint64_t g_memoryShortages = 0;

OutlineStore* FindOutline(uint32_t handle) {
    auto found = g_outlines.find(handle);
    return found == g_outlines.end() ? nullptr : found->second.get();
}

RuntimeList* FindList(uint32_t handle, int32_t kind) {
    auto found = g_lists.find(handle);
    if (found == g_lists.end() || found->second.kind != kind) return nullptr;
    return &found->second;
}

uint32_t MakeString(const WCHAR* text, size_t length) {
    WideText copy(text, length);
    uint32_t handle = TakeHandles(1);
    if (handle == 0) return 0;
    g_strings.emplace(handle, std::move(copy));
    return handle;
}

}  // namespace brimrt
