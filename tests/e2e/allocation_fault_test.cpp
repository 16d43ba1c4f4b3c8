// tests/e2e/allocation_fault_test.cpp
//
// Whole builds, applies and merges of the example outlines while the language's allocation
// fails, in a program of its own (tests/runtime/failing_allocation.h replaces operator new).
//
// The runtime's allocations fail at each request in turn (and, in a second pass, at every
// request from one on), the library's checked heap staying sound: no call may crash or let an
// exception out, and each must leave either the complete output, byte for byte that of the
// fault-free call, or the older file at the output path as it was, with the status that says
// so and no temporary behind.
//
// The library's own wide strings allocate the same way and are not caught: a refusal there
// leaves the export as std::bad_alloc and ends a host that does not catch it. Those runs go in
// a child process, which must die with no output in place of the older file.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <functional>
#include <new>
#include <string>
#include <vector>

#include "include/norvex63.h"
#include "outline/outline_runtime.h"
#include "tests/helpers/test_support.h"
#include "tests/runtime/failing_allocation.h"

namespace {

const char kOldOutput[] = "an older output file\n";
// Every request for the first kEveryRequest, then about kLaterRuns more spread over the rest
// (the address sanitizer gets fewer, to stay within seconds).
#if defined(__SANITIZE_ADDRESS__)
constexpr uint64_t kEveryRequest = 100;
constexpr uint64_t kLaterRuns = 60;
#else
constexpr uint64_t kEveryRequest = 1000;
constexpr uint64_t kLaterRuns = 700;
#endif
constexpr uint32_t kContents = DIF_OPT_ATTRIBUTES | DIF_OPT_PROPERTIES | DIF_OPT_DTDATA;

int g_boxes = 0;
int CountBox(HWND, LPCWSTR, LPCWSTR, UINT) {
    ++g_boxes;
    return IDOK;
}

// The three examples opened, from the current folder, for the life of the object.
struct HeldOutlines {
    HeldOutlines() {
        PausedAllocationFaults paused;
        base = OpenOutline(u"base.outline");
        version1 = OpenOutline(u"version1.outline");
        version2 = OpenOutline(u"version2.outline");
    }
    ~HeldOutlines() {
        PausedAllocationFaults paused;
        for (OutlineHandle outline : {base, version1, version2}) CloseOutline(outline);
    }
    HeldOutlines(const HeldOutlines&) = delete;
    HeldOutlines& operator=(const HeldOutlines&) = delete;
    OutlineHandle base, version1, version2;
};

// What a status says about the output file.
enum class Outcome { kComplete, kNotWritten, kHeaderOnly };

// One exported call over the example outlines, copied into a scratch folder, with what its
// status bits mean for its output.
struct ExportCall {
    std::string name;
    std::string output;             // file name in the folder
    std::function<uint16_t()> run;  // the call, from inside the folder
    std::function<Outcome(uint16_t)> outcome;
};

std::vector<ExportCall> ExampleCalls() {
    std::vector<ExportCall> calls;
    calls.push_back({"build", "result.cmp",
                     [] {
                         return DIF_Build(u"base.outline", u"version1.outline", u"result.cmp",
                                          nullptr, 0, DIF_OPT_FDFM | kContents);
                     },
                     [](uint16_t status) {
                         if (status == 0) return Outcome::kComplete;
                         // An outline that does not open still leaves the header (the
                         // interface's rule); the compare file bit means none was made.
                         if ((status & DIF_ST_COMPARE_FILE) != 0) return Outcome::kNotWritten;
                         return Outcome::kHeaderOnly;
                     }});
    calls.push_back(
        {"apply", "patched.outline",
         [] {
             return DIF_Apply(u"version1.outline", u"changes.cmp", u"patched.outline", nullptr, 0);
         },
         [](uint16_t status) { return status == 0 ? Outcome::kComplete : Outcome::kNotWritten; }});
    calls.push_back({"merge", "merged.outline",
                     [] {
                         uint16_t conflicts = 0, warnings = 0;
                         uint16_t status = DIF_Merge(u"base.outline", u"version1.outline",
                                                     u"version2.outline", u"merged.outline",
                                                     nullptr, 0, kContents, &conflicts, &warnings);
                         // The counts travel in the status's spare bits, so that a merge that
                         // reports other counts than the clean one differs too.
                         return static_cast<uint16_t>(status | (conflicts << 8) | (warnings << 12));
                     },
                     [](uint16_t status) {
                         return (status & 0xFF) == 0 ? Outcome::kComplete : Outcome::kNotWritten;
                     }});
    // A section past the 999-item limit, cut with its warning: thousands of requests, so
    // that the stride comes into play.
    calls.push_back({"build of a long section", "long.cmp",
                     [] {
                         return DIF_Build(u"long-first.outline", u"long-second.outline",
                                          u"long.cmp", nullptr, 0, DIF_OPT_RDFC);
                     },
                     [](uint16_t status) {
                         if (status == 0) return Outcome::kComplete;
                         if ((status & DIF_ST_COMPARE_FILE) != 0) return Outcome::kNotWritten;
                         return Outcome::kHeaderOnly;
                     }});
    // The same two calls on outlines the caller holds open, opened and closed around each call
    // with the faults paused, so that the call alone meets them.
    calls.push_back(
        {"build of held outlines", "held.cmp",
         [] {
             HeldOutlines held;
             return DIF_BuildObject(u"base", held.base, GetRootItem(held.base), u"version 1",
                                    held.version1, GetRootItem(held.version1), u"held.cmp", nullptr,
                                    0, DIF_OPT_FDFM | kContents);
         },
         [](uint16_t status) { return status == 0 ? Outcome::kComplete : Outcome::kNotWritten; }});
    calls.push_back({"merge of held outlines", "held.outline",
                     [] {
                         HeldOutlines held;
                         uint16_t conflicts = 0, warnings = 0;
                         uint16_t status = DIF_MergeObjects(
                             held.base, GetRootItem(held.base), held.version1,
                             GetRootItem(held.version1), u"version 1", held.version2,
                             GetRootItem(held.version2), u"version 2", u"held.outline", nullptr, 0,
                             kContents, &conflicts, &warnings);
                         return static_cast<uint16_t>(status | (conflicts << 8) | (warnings << 12));
                     },
                     [](uint16_t status) {
                         return (status & 0xFF) == 0 ? Outcome::kComplete : Outcome::kNotWritten;
                     }});
    return calls;
}

// A scratch folder with the three examples and the compare file that the apply reads, made as
// the fault-free build of version 1 against the original makes it.
class ExampleFolder {
public:
    ExampleFolder() : inFolder_(scratch_.Path()) {
        for (const char* name : {"base.outline", "version1.outline", "version2.outline"}) {
            WriteFileBytes(scratch_.File(name),
                           ReadFileBytes(TestDataPath(std::string("../../examples/") + name)));
        }
        for (const char* side : {"first", "second"}) {
            WriteFileBytes(scratch_.File(std::string("long-") + side + ".outline"),
                           ReadFileBytes(TestDataPath(std::string("build/section-limit-rdfc/") +
                                                      side + ".outline")));
        }
        DIF_Build(u"base.outline", u"version1.outline", u"changes.cmp", nullptr, 0,
                  DIF_OPT_FDFM | kContents);
    }
    std::string File(const std::string& name) const { return scratch_.File(name); }
    const std::string& Path() const { return scratch_.Path(); }

private:
    ScratchFolder scratch_;
    WorkingDirectory inFolder_;
};

void CheckEveryRuntimeFault(const ExportCall& call, bool everyLater) {
    SCOPED_TRACE(call.name +
                 (everyLater ? ", every request from the failing one on" : ", one request"));
    ExampleFolder folder;
    const std::string output = folder.File(call.output);
    MessageBoxHandler previous = SetMessageBoxHandler(CountBox);
    SetAllocationOrigin(AllocationOrigin::kRuntime);

    std::remove(output.c_str());
    FailAllocationAt(0);
    uint16_t cleanStatus = 0;
    {
        ArmedAllocationFaults armed;
        cleanStatus = call.run();
    }
    const uint64_t requests = AllocationRequests();
    ASSERT_EQ(call.outcome(cleanStatus), Outcome::kComplete) << cleanStatus;
    const std::string complete = ReadFileBytes(output);
    ASSERT_FALSE(complete.empty());
    ASSERT_GT(requests, 20u);
    WriteFileBytes(output, kOldOutput);
    const std::vector<std::string> entries = FolderEntries(folder.Path());

    int failures = 0;
    uint64_t faultedRuns = 0, completeRuns = 0;
    const uint64_t stride =
        requests > kEveryRequest ? 1 + (requests - kEveryRequest) / kLaterRuns : 1;
    for (uint64_t failAt = 1; failAt <= requests && failures < 5;
         failAt += failAt < kEveryRequest ? 1 : stride) {
        SCOPED_TRACE("request " + std::to_string(failAt) + " of " + std::to_string(requests));
        WriteFileBytes(output, kOldOutput);
        FailAllocationAt(failAt, everyLater);
        uint16_t status = 0;
        bool escaped = false;
        {
            ArmedAllocationFaults armed;
            try {
                status = call.run();
            } catch (...) {
                escaped = true;
            }
        }
        const bool faulted = AllocationFailures() > 0;
        FailAllocationAt(0);
        faultedRuns += faulted ? 1 : 0;
        const std::string written = ReadFileBytes(output);
        bool good = !escaped;
        EXPECT_FALSE(escaped) << "an exception left the call";
        switch (call.outcome(status)) {
        case Outcome::kComplete:
            // Reported good: exactly the fault-free result, counts included.
            good = good && status == cleanStatus && written == complete;
            EXPECT_EQ(status, cleanStatus);
            EXPECT_TRUE(written == complete) << "a call reported good wrote another file:\n"
                                             << written;
            completeRuns += 1;
            break;
        case Outcome::kNotWritten:
            good = good && faulted && written == kOldOutput;
            EXPECT_TRUE(faulted) << "status " << status << " without a fault";
            EXPECT_EQ(written, kOldOutput) << "a call that did not write replaced the old file";
            break;
        case Outcome::kHeaderOnly:
            good = good && faulted && written.size() < complete.size() &&
                   complete.compare(0, written.size(), written) == 0;
            EXPECT_TRUE(faulted) << "status " << status << " without a fault";
            EXPECT_TRUE(written.size() < complete.size() &&
                        complete.compare(0, written.size(), written) == 0)
                << "an outline that did not open left more than the header:\n"
                << written;
            break;
        }
        EXPECT_EQ(FolderEntries(folder.Path()), entries) << "a temporary was left behind";
        if (!good) ++failures;
    }
    EXPECT_GT(faultedRuns, 0u);
    std::printf(
        "%s%s: %llu requests of the runtime, %llu runs with a fault, %llu of them complete\n",
        call.name.c_str(), everyLater ? " (from one on)" : "",
        static_cast<unsigned long long>(requests), static_cast<unsigned long long>(faultedRuns),
        static_cast<unsigned long long>(completeRuns));
    SetMessageBoxHandler(previous);
}

TEST(RuntimeAllocationFaultsInCalls, EveryFailedRequestLeavesTheCompleteOutputOrTheOldFile) {
    for (const ExportCall& call : ExampleCalls()) {
        for (bool everyLater : {false, true}) CheckEveryRuntimeFault(call, everyLater);
    }
}

// ---- The library's own wide strings ----------------------------------------------------

// How a child that ran a call with one wide string refused ended.
enum : int { kChildReturned = 10, kChildNoFault = 11 };

// The call as a host that catches nothing makes it: an exception that leaves the call is
// noted on the pipe, then ends the process as an uncaught one does.
void RunAsHost(const ExportCall& call, int noteTo) {
    try {
        call.run();
    } catch (const std::bad_alloc&) {
        ssize_t noted = write(noteTo, "E", 1);
        (void)noted;
        std::terminate();
    }
}

// Runs the call in a child whose failAt-th allocation by the library itself fails. Answers
// the wait status and whether the exception left the call.
int RunChildWithWideStringFault(const ExportCall& call, uint64_t failAt, bool* escaped) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) return -1;
    std::fflush(nullptr);
    pid_t child = fork();
    if (child == 0) {
        close(pipeEnds[0]);
        rlimit noCore = {0, 0};
        setrlimit(RLIMIT_CORE, &noCore);
        // The runtime's message on the way out ("terminate called after ...") is expected.
        FILE* quiet = std::freopen("/dev/null", "w", stderr);
        (void)quiet;
        SetAllocationOrigin(AllocationOrigin::kCaller);
        FailAllocationAt(failAt);
        ArmedAllocationFaults armed;
        RunAsHost(call, pipeEnds[1]);
        _exit(AllocationFailures() > 0 ? kChildReturned : kChildNoFault);
    }
    close(pipeEnds[1]);
    int status = 0;
    waitpid(child, &status, 0);
    char mark = 0;
    *escaped = read(pipeEnds[0], &mark, 1) == 1 && mark == 'E';
    close(pipeEnds[0]);
    return status;
}

void CheckWideStringFaults(const ExportCall& call) {
    SCOPED_TRACE(call.name);
    ExampleFolder folder;
    const std::string output = folder.File(call.output);
    MessageBoxHandler previous = SetMessageBoxHandler(CountBox);
    // The library's own requests in a fault-free call.
    SetAllocationOrigin(AllocationOrigin::kCaller);
    FailAllocationAt(0);
    {
        ArmedAllocationFaults armed;
        call.run();
    }
    const uint64_t requests = AllocationRequests();
    SetAllocationOrigin(AllocationOrigin::kRuntime);
    if (requests == 0) {
        // The apply makes no wide string: nothing of it can end this way.
        std::printf("%s: no wide string requests\n", call.name.c_str());
        SetMessageBoxHandler(previous);
        return;
    }
    WriteFileBytes(output, kOldOutput);
    const std::vector<std::string> entries = FolderEntries(folder.Path());

    // A spread of the requests, the first and the last among them.
#if defined(__SANITIZE_ADDRESS__)
    const uint64_t kChildren = 8;
#else
    const uint64_t kChildren = 24;
#endif
    int temporariesLeft = 0;
    for (uint64_t k = 0; k < kChildren; ++k) {
        uint64_t failAt = 1 + (requests - 1) * k / (kChildren - 1);
        SCOPED_TRACE("wide string request " + std::to_string(failAt) + " of " +
                     std::to_string(requests));
        bool escaped = false;
        int status = RunChildWithWideStringFault(call, failAt, &escaped);
        EXPECT_TRUE(escaped) << "std::bad_alloc did not leave the call";
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGABRT) << "wait status " << status;
        EXPECT_EQ(ReadFileBytes(output), kOldOutput) << "output replaced by a call that died";
        // What may stay is a temporary beside the output, which the call could not remove.
        for (const std::string& name : FolderEntries(folder.Path())) {
            if (std::find(entries.begin(), entries.end(), name) != entries.end()) continue;
            EXPECT_EQ(name.rfind(call.output + ".~", 0), 0u) << "left behind: " << name;
            std::remove(folder.File(name).c_str());
            ++temporariesLeft;
        }
    }
    std::printf("%s: %llu wide string requests, %d of %llu dying children left a temporary\n",
                call.name.c_str(), static_cast<unsigned long long>(requests), temporariesLeft,
                static_cast<unsigned long long>(kChildren));
    SetMessageBoxHandler(previous);
}

TEST(WideStringAllocationFaults, ARefusedWideStringEndsTheHostWithTheOldOutputInPlace) {
    for (const ExportCall& call : ExampleCalls()) CheckWideStringFaults(call);
}

// A host that catches the std::bad_alloc and goes on: the build it interrupted left its
// compare file open, and the next call must throw that away, not complete it in place.
TEST(WideStringAllocationFaults, ACallAfterACaughtRefusalLeavesNoPartialFileInPlace) {
    const ExportCall build = ExampleCalls()[0];
    ExampleFolder folder;
    MessageBoxHandler previous = SetMessageBoxHandler(CountBox);
    SetAllocationOrigin(AllocationOrigin::kCaller);
    FailAllocationAt(0);
    {
        ArmedAllocationFaults armed;
        build.run();
    }
    const uint64_t requests = AllocationRequests();
    SetAllocationOrigin(AllocationOrigin::kRuntime);
    ASSERT_GT(requests, 2u);
    const std::vector<std::string> entries = FolderEntries(folder.Path());
    for (uint64_t failAt : {uint64_t{1}, requests / 2, requests}) {
        SCOPED_TRACE("wide string request " + std::to_string(failAt) + " of " +
                     std::to_string(requests));
        WriteFileBytes(folder.File(build.output), kOldOutput);
        std::fflush(nullptr);
        pid_t child = fork();
        if (child == 0) {
            SetAllocationOrigin(AllocationOrigin::kCaller);
            FailAllocationAt(failAt);
            bool caught = false;
            {
                ArmedAllocationFaults armed;
                try {
                    build.run();
                } catch (const std::bad_alloc&) {
                    caught = true;
                }
            }
            FailAllocationAt(0);
            // The host goes on with another build, of another compare file.
            uint16_t next = DIF_Build(u"base.outline", u"version2.outline", u"next.cmp", nullptr, 0,
                                      DIF_OPT_FDFM);
            _exit(caught && next == 0 ? 0 : 1);
        }
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "wait status " << status;
        EXPECT_EQ(ReadFileBytes(folder.File(build.output)), kOldOutput)
            << "the interrupted build's file was completed in place";
        std::remove(folder.File("next.cmp").c_str());
        EXPECT_EQ(FolderEntries(folder.Path()), entries) << "a temporary was left behind";
    }
    SetMessageBoxHandler(previous);
}

}  // namespace
