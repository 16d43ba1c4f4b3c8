// runtime/runtime_tables.cpp: the tables behind the runtime's handles.
#include "runtime/runtime_tables.h"

#include <cstring>

#include "runtime/handle_counter.h"

namespace brimrt {

HandleTable<std::unique_ptr<OutlineStore>> g_outlines;
HandleTable<RuntimeString> g_strings;
HandleTable<RuntimeList> g_lists;
thread_local WideText g_lastOpenError;
std::atomic<uint64_t> g_memoryShortages{0};

namespace {

const WCHAR kEmptyText[] = {0};

std::unique_ptr<WCHAR[]> TerminatedCopy(const WCHAR* text, size_t length) {
    std::unique_ptr<WCHAR[]> copy(new WCHAR[length + 1]);
    if (length > 0) std::memcpy(copy.get(), text, length * sizeof(WCHAR));
    copy[length] = 0;
    return copy;
}

}  // namespace

OutlineStore* FindOutline(uint32_t handle) {
    std::unique_ptr<OutlineStore>* found = g_outlines.Find(handle);
    return found == nullptr ? nullptr : found->get();
}

RuntimeList* FindList(uint32_t handle, int32_t kind) {
    RuntimeList* found = g_lists.Find(handle);
    return found == nullptr || found->kind != kind ? nullptr : found;
}

uint32_t MakeString(const WCHAR* text, size_t length) {
    RuntimeString string;
    string.owned = TerminatedCopy(text, length);
    string.units = string.owned.get();
    string.length = static_cast<uint32_t>(length);
    uint32_t handle = TakeHandles(1);
    if (handle == 0) return 0;
    g_strings.Add(handle, std::move(string));
    return handle;
}

uint32_t MakeTextView(OutlineStore* store, const WCHAR* text, size_t length) {
    RuntimeString string;
    string.units = length > 0 ? text : kEmptyText;
    string.length = static_cast<uint32_t>(length);
    string.viewOf = length > 0 ? store : nullptr;
    uint32_t handle = TakeHandles(1);
    if (handle == 0) return 0;
    g_strings.Add(handle, std::move(string));
    if (length > 0) ++store->liveViews;
    return handle;
}

void ReleaseString(uint32_t handle) {
    RuntimeString* string = g_strings.Find(handle);
    if (string == nullptr) return;
    if (string->viewOf != nullptr) --string->viewOf->liveViews;
    g_strings.Erase(handle);
}

void DetachViews(OutlineStore* store) {
    if (store->liveViews == 0) return;
    g_strings.ForEach([store](uint32_t, RuntimeString& string) {
        if (string.viewOf != store) return;
        string.owned = TerminatedCopy(string.units, string.length);
        string.units = string.owned.get();
        string.viewOf = nullptr;
        --store->liveViews;
    });
}

}  // namespace brimrt
