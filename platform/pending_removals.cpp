// platform/pending_removals.cpp: a fixed table of paths, filled and emptied by the process and
// read by its interrupt handler. A slot's path is written before the slot is marked taken, and
// the mark is cleared before the slot is reused, so the handler never reads half a path.
#include "platform/pending_removals.h"

#include <atomic>
#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <direct.h>
#include <io.h>
#define unlink _unlink
#define rmdir _rmdir
#else
#include <unistd.h>
#endif

namespace {

constexpr int kSlots = 64;
constexpr size_t kMaxPath = 4096;

struct PendingPath {
    std::atomic<int> state{0};  // 0 free, 1 being written, 2 a file, 3 a folder
    std::atomic<unsigned> age{0};
    char path[kMaxPath];
};

PendingPath g_slots[kSlots];
std::atomic<unsigned> g_clock{0};

}  // namespace

int RememberPath(const char* path, bool isFolder) {
    if (path == nullptr) return -1;
    size_t length = std::strlen(path);
    if (length == 0 || length >= kMaxPath) return -1;
    for (int slot = 0; slot < kSlots; ++slot) {
        int expected = 0;
        if (!g_slots[slot].state.compare_exchange_strong(expected, 1)) continue;
        std::memcpy(g_slots[slot].path, path, length + 1);
        g_slots[slot].age.store(++g_clock);
        g_slots[slot].state.store(isFolder ? 3 : 2);
        return slot;
    }
    return -1;
}

void ForgetPath(int slot) {
    if (slot < 0 || slot >= kSlots) return;
    g_slots[slot].state.store(0);
}

void RemovePendingPaths() {
    // Newest first: a folder was remembered before the files made in it.
    unsigned below = ~0u;
    for (;;) {
        int newest = -1;
        unsigned newestAge = 0;
        for (int slot = 0; slot < kSlots; ++slot) {
            int state = g_slots[slot].state.load();
            unsigned age = g_slots[slot].age.load();
            if (state >= 2 && age < below && age >= newestAge) {
                newest = slot;
                newestAge = age;
            }
        }
        if (newest < 0) return;
        below = newestAge;
        if (g_slots[newest].state.load() == 3) {
            rmdir(g_slots[newest].path);
        } else {
            unlink(g_slots[newest].path);
        }
    }
}
