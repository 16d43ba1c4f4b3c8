// tests/runtime/failing_allocation.h
//
// The language's allocation (operator new and new[] in all their forms) replaced, for the
// programs that link failing_allocation.cpp, by one that counts requests and fails a chosen
// one with std::bad_alloc (the nothrow forms answer null instead). The runtime and the
// standard library below it allocate this way, and the runtime's large blocks come from the
// platform's VirtualAlloc, which is counted and refused alike; the checked heap of the
// library is left alone.
//
// Requests are counted only while faults are armed, and only those of the chosen side: by
// default the runtime's (made while one of its operations is under way, the standard library's
// code it runs included), so that a run can aim at the runtime alone.
#pragma once

#include <cstdint>

// Resets the count. From the next armed request on, request failAt (from 1) fails, and with
// everyLater each request after it too. 0 fails nothing and only counts.
void FailAllocationAt(uint64_t failAt, bool everyLater = false);
// Armed requests counted since the last FailAllocationAt, and how many of them failed.
uint64_t AllocationRequests();
uint64_t AllocationFailures();
enum class AllocationOrigin {
    kRuntime,  // inside the runtime's operations, and every nothrow request; the default
    kCaller,   // the throwing requests made outside the runtime (the library's wide strings)
    kAnywhere,
};
// Which requests count and may fail. A nothrow request (which answers null, and its caller
// checks) counts with the runtime's wherever it comes from.
void SetAllocationOrigin(AllocationOrigin origin);

// Arms the faults for its life (nested scopes keep the outer state).
class ArmedAllocationFaults {
public:
    ArmedAllocationFaults();
    ~ArmedAllocationFaults();
    ArmedAllocationFaults(const ArmedAllocationFaults&) = delete;
    ArmedAllocationFaults& operator=(const ArmedAllocationFaults&) = delete;

private:
    bool previous_;
};

// Disarms them for its life: for test code that runs inside an armed call (a message box
// handler) and must not be failed or counted.
class PausedAllocationFaults {
public:
    PausedAllocationFaults();
    ~PausedAllocationFaults();
    PausedAllocationFaults(const PausedAllocationFaults&) = delete;
    PausedAllocationFaults& operator=(const PausedAllocationFaults&) = delete;

private:
    bool previous_;
};
