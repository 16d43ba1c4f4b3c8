// tests/runtime/failing_allocation.cpp
//
// Replaces the global operator new, new[] and delete forms with versions over malloc and free
// that can fail on request. The executable's definitions take the place of the standard
// library's in every shared library of the process too, so the runtime's containers come
// here. The address sanitizer still sees every block, through malloc.
//
// Whose request it is cannot be told from the caller's address: the standard library's
// templates that the runtime uses may be the copies instantiated in the executable. So the
// runtime's operations are defined here too, in front of brimrt63's: each one notes that the
// runtime is at work, then calls brimrt63's own (found with dlsym's RTLD_NEXT).
#include "tests/runtime/failing_allocation.h"

#include <dlfcn.h>

#include <cstdlib>
#include <new>

#include "platform/platform.h"
#include "runtime/brimrt63.h"

namespace {

uint64_t g_failAt = 0;
bool g_everyLater = false;
uint64_t g_requests = 0;
uint64_t g_failures = 0;
bool g_armed = false;
AllocationOrigin g_origin = AllocationOrigin::kRuntime;

// Runtime operations under way (they may nest).
int g_runtimeDepth = 0;

// Counts an armed request and answers whether it is the one (or one of those) to fail.
bool ShouldFail(bool nothrowForm) {
    if (!g_armed) return false;
    // A nothrow request answers null, which its caller checks: it counts with the runtime's
    // wherever it comes from.
    bool runtimeSide = g_runtimeDepth > 0 || nothrowForm;
    if (g_origin == AllocationOrigin::kRuntime && !runtimeSide) return false;
    if (g_origin == AllocationOrigin::kCaller && runtimeSide) return false;
    ++g_requests;
    bool fail =
        g_failAt != 0 && (g_requests == g_failAt || (g_everyLater && g_requests > g_failAt));
    if (fail) ++g_failures;
    return fail;
}

void* Allocate(std::size_t size) {
    if (ShouldFail(false)) throw std::bad_alloc();
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block == nullptr) throw std::bad_alloc();
    return block;
}

void* AllocateNoThrow(std::size_t size) noexcept {
    if (ShouldFail(true)) return nullptr;
    return std::malloc(size == 0 ? 1 : size);
}

void* AllocateAligned(std::size_t size, std::size_t alignment) {
    if (ShouldFail(false)) throw std::bad_alloc();
    void* block = nullptr;
    if (alignment < sizeof(void*)) alignment = sizeof(void*);
    if (posix_memalign(&block, alignment, size == 0 ? 1 : size) != 0) throw std::bad_alloc();
    return block;
}

}  // namespace

void FailAllocationAt(uint64_t failAt, bool everyLater) {
    g_failAt = failAt;
    g_everyLater = everyLater;
    g_requests = 0;
    g_failures = 0;
}

uint64_t AllocationRequests() { return g_requests; }
uint64_t AllocationFailures() { return g_failures; }
void SetAllocationOrigin(AllocationOrigin origin) { g_origin = origin; }

ArmedAllocationFaults::ArmedAllocationFaults() : previous_(g_armed) { g_armed = true; }
ArmedAllocationFaults::~ArmedAllocationFaults() { g_armed = previous_; }
PausedAllocationFaults::PausedAllocationFaults() : previous_(g_armed) { g_armed = false; }
PausedAllocationFaults::~PausedAllocationFaults() { g_armed = previous_; }

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return AllocateNoThrow(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return AllocateNoThrow(size);
}
void* operator new(std::size_t size, std::align_val_t alignment) {
    return AllocateAligned(size, static_cast<std::size_t>(alignment));
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
    return AllocateAligned(size, static_cast<std::size_t>(alignment));
}

void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete(void* block, std::align_val_t) noexcept { std::free(block); }
void operator delete[](void* block, std::align_val_t) noexcept { std::free(block); }
void operator delete(void* block, std::size_t, std::align_val_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t, std::align_val_t) noexcept { std::free(block); }

// ---- The system's pages ----------------------------------------------------------------

// The runtime takes its large blocks as pages of their own from the platform layer's
// VirtualAlloc, not from operator new: those requests count and fail here too (null, as the
// system's refusal answers). The platform's own is found by its C++ name.
void* VirtualAlloc(void* address, size_t size, DWORD allocationType, DWORD protect) {
    typedef void* (*Allocator)(void*, size_t, DWORD, DWORD);
    static const Allocator platform =
        reinterpret_cast<Allocator>(dlsym(RTLD_NEXT, "_Z12VirtualAllocPvmjj"));
    if (platform == nullptr) std::abort();
    if (ShouldFail(false)) return nullptr;
    return platform(address, size, allocationType, protect);
}

// ---- The runtime's operations, counted on their way to brimrt63 -----------------------

namespace {

class RuntimeAtWork {
public:
    RuntimeAtWork() { ++g_runtimeDepth; }
    ~RuntimeAtWork() { --g_runtimeDepth; }
};

}  // namespace

// The declaration in runtime/brimrt63.h gives each operation its result type.
#define FORWARD(Name, Parameters, Arguments)                                                   \
    auto BRIMRT_API Name Parameters->decltype(Name Arguments) {                                \
        static const auto brimrt = reinterpret_cast<decltype(&Name)>(dlsym(RTLD_NEXT, #Name)); \
        RuntimeAtWork atWork;                                                                  \
        return brimrt Arguments;                                                               \
    }

extern "C" {
FORWARD(OpenOutline, (const WCHAR* path), (path))
FORWARD(CloseOutline, (OutlineHandle outline), (outline))
FORWARD(SaveOutline, (OutlineHandle outline, const WCHAR* path), (outline, path))
FORWARD(GetOutlineError, (WCHAR * buffer, int32_t size), (buffer, size))
FORWARD(GetRootItem, (OutlineHandle outline), (outline))
FORWARD(GetFirstChild, (OutlineHandle outline, ItemHandle item), (outline, item))
FORWARD(GetNextSibling, (OutlineHandle outline, ItemHandle item), (outline, item))
FORWARD(GetParentItem, (OutlineHandle outline, ItemHandle item), (outline, item))
FORWARD(IsItemSkipped, (OutlineHandle outline, ItemHandle item), (outline, item))
FORWARD(GetItemType, (OutlineHandle outline, ItemHandle item), (outline, item))
FORWARD(GetItemTypeName, (int32_t type, StringHandle* name), (type, name))
FORWARD(GetItemText, (OutlineHandle outline, ItemHandle item, int32_t mode, StringHandle* text),
        (outline, item, mode, text))
FORWARD(GetStringText, (StringHandle string, int32_t* length), (string, length))
FORWARD(FreeString, (StringHandle string), (string))
FORWARD(InsertItem, (OutlineHandle outline, ItemHandle parent, ItemHandle after, int32_t type),
        (outline, parent, after, type))
FORWARD(SetItemText, (OutlineHandle outline, ItemHandle item, const WCHAR* text, int32_t lines),
        (outline, item, text, lines))
FORWARD(DeleteItem, (OutlineHandle outline, ItemHandle item), (outline, item))
FORWARD(CopyItem,
        (OutlineHandle source, ItemHandle item, OutlineHandle target, ItemHandle parent,
         ItemHandle after, int32_t withChildren, int32_t withContents),
        (source, item, target, parent, after, withChildren, withContents))
FORWARD(CreateList, (int32_t kind), (kind))
FORWARD(DestroyList, (ListHandle list), (list))
FORWARD(ListItemAttributes, (OutlineHandle outline, ItemHandle item, ListHandle list),
        (outline, item, list))
FORWARD(GetListElement, (ListHandle list, ListElement* element, int32_t index),
        (list, element, index))
FORWARD(GetAttributeId, (ListElement element, uint32_t* id), (element, id))
FORWARD(ListNamedProperties, (OutlineHandle outline, ItemHandle item, ListHandle list),
        (outline, item, list))
FORWARD(GetListString, (ListHandle list, StringHandle* string, int32_t index),
        (list, string, index))
FORWARD(GetItemAttribute,
        (OutlineHandle outline, ItemHandle item, uint32_t id, int32_t reserved,
         StringHandle* value),
        (outline, item, id, reserved, value))
FORWARD(SetItemAttribute,
        (OutlineHandle outline, ItemHandle item, uint32_t id, const WCHAR* value, int32_t lines),
        (outline, item, id, value, lines))
FORWARD(GetNamedProperty,
        (OutlineHandle outline, ItemHandle item, const WCHAR* name, StringHandle* value),
        (outline, item, name, value))
FORWARD(SetNamedProperty,
        (OutlineHandle outline, ItemHandle item, const WCHAR* name, const WCHAR* value,
         int32_t valueSize),
        (outline, item, name, value, valueSize))
FORWARD(GetItemDTData, (OutlineHandle outline, ItemHandle item, int32_t index, int32_t* value),
        (outline, item, index, value))
FORWARD(SetItemDTData, (OutlineHandle outline, ItemHandle item, int32_t index, int32_t value),
        (outline, item, index, value))
}  // extern "C"
