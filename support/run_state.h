// support/run_state.h
//
// The state of the running build, apply or merge, shared by the exports and the engines. One
// such call runs at a time in a process; each export resets what it uses at its start and
// leaves it afterwards, so a caller can still read the last progress text and counts.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/platform.h"

// Room for the last progress text: at most 160 characters and the terminator.
constexpr int kLastTextSize = 161;
// Room for the caller's directory saved around the opens of a call, terminator included.
constexpr int kSavedDirectorySize = 256;
// The percentage that no report uses, so that the first report of the process is always sent.
constexpr int32_t kNoPercentSent = 200;

struct RunState {
    // 1 once an abort was asked for or a section limit was hit; cleared at every build start.
    // The caller's window procedure sets it from inside the call (DIF_BuildAbort); the walks
    // read it at the start of each section.
    uint32_t abortFlag = 0;
    // Result bits that the engines report (DIF_ST_SECTION_LIMIT), read back as 16 bits.
    uint32_t result = 0;
    // The caller's option word, unchanged.
    uint32_t options = 0;
    // Change records written by this build; the engine counts each record.
    int32_t recordCount = 0;
    // Set by NoteOutOfMemory; read through RanOutOfMemory, never directly.
    bool outOfMemory = false;
    // The checked heap's refusals when the call began (StartMemoryWatch).
    uint32_t refusalsAtStart = 0;
    // What DIF_BuildGetSection answers: records written and 0 during a build, the conflicts and
    // warnings during a merge.
    uint32_t firstSectionCount = 0;
    uint32_t secondSectionCount = 0;
    // The percentage and text last sent to the caller's window; carried over from call to call.
    int32_t lastPercent = kNoPercentSent;
    WCHAR lastText[kLastTextSize] = {};
    // The caller's drive and directory, remembered by SaveWorkingDirectory.
    int32_t savedDrive = 0;
    WCHAR savedDirectory[kSavedDirectorySize] = {};
};

extern RunState g_runState;

// Running out of memory has one record per call. StartMemoryWatch begins it (every build,
// apply and merge does, at its start); NoteOutOfMemory marks a shortage that the checked heap
// did not see (the runtime refusing a text, say); RanOutOfMemory answers whether either
// happened since the start: the walks then stop, and the export reports its output as not made
// rather than hand over one that lacks a part.
void StartMemoryWatch();
void NoteOutOfMemory();
bool RanOutOfMemory();
// Notes a shortage after which the walk cannot go on truly, and stops it (the abort flag, which
// every walk reads at its next section or level).
void MarkOutOfMemory();

// Test seam: true makes the engines find ranks, kept positions and children by the counts and
// walks from the first child that their rules describe, instead of through the tables and
// indexes they keep so that a wide section does not cost its width per lookup. The
// differential tests run both ways and compare the outputs byte for byte.
void UsePlainWalksForTesting(bool plain);
bool UsesPlainWalks();

// The result bits as the 16-bit status the exports answer; the engines set only bits that fit.
inline uint16_t ResultStatus() { return static_cast<uint16_t>(g_runState.result & 0xFFFFu); }

// Remembers the current drive and directory. A directory too long to remember is remembered
// as none, and RestoreWorkingDirectory then leaves the directory alone.
void SaveWorkingDirectory();
// Makes the remembered drive and directory current again.
void RestoreWorkingDirectory();

// Marks a build, apply or merge as running for the guard's life. Such a call shares the
// process-wide outlines, compare file and run state with every other, so a second one started
// while the first runs (from the caller's progress window procedure, or another thread) must
// not begin: its guard is not Entered(), and the export answers its "not created" or "not
// saved" bit at once, touching nothing of the running call. The mark goes with the guard, also
// when a failure unwinds the call.
class ExclusiveCall {
public:
    ExclusiveCall();
    ~ExclusiveCall();
    ExclusiveCall(const ExclusiveCall&) = delete;
    ExclusiveCall& operator=(const ExclusiveCall&) = delete;

    bool Entered() const { return entered_; }

private:
    bool entered_;
};

// True while a build, apply or merge runs in this process.
bool IsCallRunning();
