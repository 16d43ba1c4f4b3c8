// support/run_state.cpp: the process-wide run state and the caller's working directory.
#include "support/run_state.h"

#include "support/checked_memory.h"

RunState g_runState;

namespace {

// Atomic, so that a call from another thread of the caller sees a running call too.
std::atomic<bool> g_callRunning(false);

}  // namespace

ExclusiveCall::ExclusiveCall() {
    bool idle = false;
    entered_ = g_callRunning.compare_exchange_strong(idle, true);
}

ExclusiveCall::~ExclusiveCall() {
    if (entered_) g_callRunning.store(false);
}

bool IsCallRunning() { return g_callRunning.load(); }

void SaveWorkingDirectory() {
    g_runState.savedDrive = _getdrive();
    if (_wgetcwd(g_runState.savedDirectory, kSavedDirectorySize) == nullptr) {
        g_runState.savedDirectory[0] = 0;
    }
}

void RestoreWorkingDirectory() {
    _chdrive(g_runState.savedDrive);
    if (g_runState.savedDirectory[0] != 0) _wchdir(g_runState.savedDirectory);
}

void StartMemoryWatch() {
    g_runState.outOfMemory = false;
    g_runState.refusalsAtStart = CheckedRefusals();
}

void NoteOutOfMemory() { g_runState.outOfMemory = true; }

bool RanOutOfMemory() {
    return g_runState.outOfMemory || CheckedRefusals() != g_runState.refusalsAtStart;
}

namespace {
bool g_plainWalks = false;
}  // namespace

void UsePlainWalksForTesting(bool plain) { g_plainWalks = plain; }
bool UsesPlainWalks() { return g_plainWalks; }

void MarkOutOfMemory() {
    NoteOutOfMemory();
    g_runState.abortFlag = 1;
}
