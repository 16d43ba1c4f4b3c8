// tests/e2e/fault_test.cpp
//
// Whole builds, applies and merges of the example outlines when something fails, driven by
// one table of export calls, in a program of its own (tests/runtime/failing_allocation.h
// replaces operator new):
//   - every request of the runtime's allocation refused in turn (and, in a second pass, every
//     request from one on), and every request of the library's checked heap refused in turn:
//     no call may crash or let an exception out, and each must leave either the complete
//     output, byte for byte that of the fault-free call, or the older file at the output path
//     as it was, with the status that says so and no temporary behind; a refusal of the checked
//     heap always shows its warning;
//   - outputs that cannot be written (a full disk, a device, a closed folder, a path under a
//     file, a folder, a name too long for its temporary): the call's own bit, the old file kept.
// (Inputs that cannot be opened are golden scenarios: tests/data/*/refused-*.)
// The library's own wide strings allocate the language's way and are not caught: a refusal
// there leaves the export as std::bad_alloc. Those runs go in a child process, a host that
// catches it and makes another call, which must find the older file in place and nothing left
// of the interrupted one.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <new>
#include <string>
#include <vector>

#include "include/norvex63.h"
#include "outline/outline_runtime.h"
#include "support/checked_memory.h"
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
bool g_memoryWarned = false;
int CountBox(HWND, LPCWSTR text, LPCWSTR caption, UINT) {
    PausedAllocationFaults paused;
    ++g_boxes;
    g_memoryWarned =
        g_memoryWarned ||
        (Narrow(caption) + Narrow(text)).find("Insufficient memory") != std::string::npos;
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

Outcome BuildOutcome(uint16_t status) {
    if (status == 0) return Outcome::kComplete;
    // An outline that does not open still leaves the header (the interface's rule); the
    // compare file bit means none was made.
    if ((status & DIF_ST_COMPARE_FILE) != 0) return Outcome::kNotWritten;
    return Outcome::kHeaderOnly;
}
Outcome SavedOutcome(uint16_t status) {
    return (status & 0xFF) == 0 ? Outcome::kComplete : Outcome::kNotWritten;
}

// A merge's status with its counts in the spare bits, so that a merge that reports other
// counts than the clean one differs too.
uint16_t WithCounts(uint16_t status, uint16_t conflicts, uint16_t warnings) {
    return static_cast<uint16_t>(status | (conflicts << 8) | (warnings << 12));
}

// One exported call over the example outlines, from inside their folder, writing to the
// output it is given; what its status bits mean for that output, and the status of an output
// that cannot be written.
struct ExportCall {
    std::string name;
    std::string output;  // file name in the folder
    std::function<uint16_t(const char16_t* output)> run;
    std::function<Outcome(uint16_t)> outcome;
    uint16_t notWritten;
};

ExportCall BuildCall(const std::string& name, const std::string& output, std::u16string first,
                     std::u16string second, uint32_t options) {
    return {name, output,
            [=](const char16_t* to) {
                return DIF_Build(first.c_str(), second.c_str(), to, nullptr, 0, options);
            },
            BuildOutcome, DIF_ST_COMPARE_FILE};
}

ExportCall ApplyCall(const std::string& name, const std::string& output, std::u16string outline,
                     std::u16string compare) {
    return {name, output,
            [=](const char16_t* to) {
                return DIF_Apply(outline.c_str(), compare.c_str(), to, nullptr, 0);
            },
            SavedOutcome, 0x01};
}

// A merge of prefix's base, version1 and version2.outline.
ExportCall MergeCall(const std::string& name, const std::string& output, std::u16string prefix) {
    return {name, output,
            [=](const char16_t* to) {
                uint16_t conflicts = 0, warnings = 0;
                uint16_t status = DIF_Merge((prefix + u"base.outline").c_str(),
                                            (prefix + u"version1.outline").c_str(),
                                            (prefix + u"version2.outline").c_str(), to, nullptr, 0,
                                            kContents, &conflicts, &warnings);
                return WithCounts(status, conflicts, warnings);
            },
            SavedOutcome, DIF_ST_MERGE_SAVE};
}

std::vector<ExportCall> ExampleCalls() {
    std::vector<ExportCall> calls = {
        BuildCall("build", "result.cmp", u"base.outline", u"version1.outline",
                  DIF_OPT_FDFM | kContents),
        ApplyCall("apply", "patched.outline", u"version1.outline", u"changes.cmp"),
        MergeCall("merge", "merged.outline", u""),
        // A section past the 999-item limit, cut with its warning: thousands of requests, so
        // that the stride comes into play.
        BuildCall("build of a long section", "long.cmp", u"long-first.outline",
                  u"long-second.outline", DIF_OPT_RDFC),
    };
    // The same two calls on outlines the caller holds open, opened and closed around each call
    // with the faults paused, so that the call alone meets them.
    calls.push_back({"build of held outlines", "held.cmp",
                     [](const char16_t* output) {
                         HeldOutlines held;
                         return DIF_BuildObject(u"base", held.base, GetRootItem(held.base),
                                                u"version 1", held.version1,
                                                GetRootItem(held.version1), output, nullptr, 0,
                                                DIF_OPT_FDFM | kContents);
                     },
                     SavedOutcome, DIF_ST_COMPARE_FILE});
    calls.push_back({"merge of held outlines", "held.outline",
                     [](const char16_t* output) {
                         HeldOutlines held;
                         uint16_t conflicts = 0, warnings = 0;
                         uint16_t status = DIF_MergeObjects(
                             held.base, GetRootItem(held.base), held.version1,
                             GetRootItem(held.version1), u"version 1", held.version2,
                             GetRootItem(held.version2), u"version 2", output, nullptr, 0,
                             kContents, &conflicts, &warnings);
                         return WithCounts(status, conflicts, warnings);
                     },
                     SavedOutcome, DIF_ST_MERGE_SAVE});
    // Golden scenarios whose records reach what the examples do not: joined content records, a
    // batch of moves that grows, additions both versions made, contents in a merge.
    calls.push_back(BuildCall("build of contents", "contents.cmp", u"contents-first.outline",
                              u"contents-second.outline", DIF_OPT_FDFM | kContents));
    calls.push_back(ApplyCall("apply of moves", "moved.outline", u"moves.outline", u"moves.cmp"));
    for (const char* scenario : {"additions-same-place", "contents"}) {
        calls.push_back(MergeCall(std::string("merge of ") + scenario, "scenario.outline",
                                  Wide(scenario) + u"-"));
    }
    return calls;
}

// Copies a file of the test data (a golden scenario's, or an example) into the current folder
// as name.
void CopyScenarioFile(const std::string& relative, const std::string& name) {
    WriteFileBytes(name, ReadFileBytes(TestDataPath(relative)));
}

// A scratch folder with the three examples and the compare file that the apply reads, made as
// the fault-free build of version 1 against the original makes it; the working directory while
// it lives.
class ExampleFolder {
public:
    ExampleFolder() : inFolder_(scratch_.Path()) {
        for (const char* name : {"base.outline", "version1.outline", "version2.outline"})
            CopyScenarioFile(std::string("../../examples/") + name, name);
        CopyScenarioFile("build/section-limit-rdfc/first.outline", "long-first.outline");
        CopyScenarioFile("build/section-limit-rdfc/second.outline", "long-second.outline");
        DIF_Build(u"base.outline", u"version1.outline", u"changes.cmp", nullptr, 0,
                  DIF_OPT_FDFM | kContents);
        CopyScenarioFile("build/contents/first.outline", "contents-first.outline");
        CopyScenarioFile("build/contents/second.outline", "contents-second.outline");
        CopyScenarioFile("apply/two-moves-one-batch/outline.outline", "moves.outline");
        CopyScenarioFile("apply/two-moves-one-batch/changes.cmp", "moves.cmp");
        for (const char* scenario : {"additions-same-place", "contents"}) {
            for (const char* name : {"base.outline", "version1.outline", "version2.outline"}) {
                CopyScenarioFile(std::string("merge/") + scenario + "/" + name,
                                 std::string(scenario) + "-" + name);
            }
        }
    }
    std::string File(const std::string& name) const { return scratch_.File(name); }
    std::u16string WideFile(const std::string& name) const { return scratch_.WideFile(name); }
    const std::string& Path() const { return scratch_.Path(); }

private:
    ScratchFolder scratch_;
    WorkingDirectory inFolder_;
};

// Where a fault is planted: the runtime's requests (each alone, or every one from it on), or
// the library's checked heap.
enum class Seam { kRuntimeOne, kRuntimeFromOneOn, kCheckedHeap };

// Runs the call with request failAt failing (0: none, only counting); answers its status, and
// in the others whether an exception left it, whether a request failed and how many were made.
uint16_t RunWithFault(const ExportCall& call, Seam seam, uint64_t failAt, bool* escaped,
                      bool* faulted, uint64_t* requests) {
    uint16_t status = 0;
    *escaped = false;
    std::u16string output = Wide(call.output);
    if (seam == Seam::kCheckedHeap) {
        // A count far past any call's own passes every request and only counts.
        FailCheckedAllocationAt(failAt == 0 ? 1000000000u : static_cast<uint32_t>(failAt));
        status = call.run(output.c_str());
        *requests = CheckedAllocationRequests();
        *faulted = failAt != 0 && *requests >= failAt;
        FailCheckedAllocationAt(0);
        return status;
    }
    FailAllocationAt(failAt, seam == Seam::kRuntimeFromOneOn);
    {
        ArmedAllocationFaults armed;
        try {
            status = call.run(output.c_str());
        } catch (...) {
            *escaped = true;
        }
    }
    *faulted = AllocationFailures() > 0;
    *requests = AllocationRequests();
    FailAllocationAt(0);
    return status;
}

void CheckEveryFault(const ExportCall& call, Seam seam) {
    const char* seamNames[] = {"one request of the runtime",
                               "every request of the runtime from one on",
                               "one request of the checked heap"};
    SCOPED_TRACE(call.name + ", " + seamNames[static_cast<int>(seam)]);
    ExampleFolder folder;
    const std::string output = folder.File(call.output);
    MessageBoxHandler previous = SetMessageBoxHandler(CountBox);
    SetAllocationOrigin(AllocationOrigin::kRuntime);

    std::remove(output.c_str());
    bool escaped = false, faulted = false;
    uint64_t requests = 0, made = 0;
    const uint16_t cleanStatus = RunWithFault(call, seam, 0, &escaped, &faulted, &requests);
    ASSERT_EQ(call.outcome(cleanStatus), Outcome::kComplete) << cleanStatus;
    const std::string complete = ReadFileBytes(output);
    ASSERT_FALSE(complete.empty());
    ASSERT_GT(requests, 0u);
    WriteFileBytes(output, kOldOutput);
    const std::vector<std::string> entries = FolderEntries(folder.Path());

    uint64_t faultedRuns = 0, completeRuns = 0;
    const uint64_t stride =
        requests > kEveryRequest ? 1 + (requests - kEveryRequest) / kLaterRuns : 1;
    // The first run that fails ends the test: the ones after it mostly repeat its cause.
    for (uint64_t failAt = 1; failAt <= requests && !::testing::Test::HasFailure();
         failAt += failAt < kEveryRequest ? 1 : stride) {
        SCOPED_TRACE("request " + std::to_string(failAt) + " of " + std::to_string(requests));
        WriteFileBytes(output, kOldOutput);
        g_memoryWarned = false;
        uint16_t status = RunWithFault(call, seam, failAt, &escaped, &faulted, &made);
        faultedRuns += faulted ? 1 : 0;
        const std::string written = ReadFileBytes(output);
        EXPECT_FALSE(escaped) << "an exception left the call";
        EXPECT_TRUE(seam != Seam::kCheckedHeap || !faulted || g_memoryWarned)
            << "a refusal of the checked heap showed no warning";
        const Outcome outcome = call.outcome(status);
        if (outcome == Outcome::kComplete) {
            // Reported good: exactly the fault-free result, counts included.
            EXPECT_EQ(status, cleanStatus);
            EXPECT_TRUE(written == complete) << "a call reported good wrote another file:\n"
                                             << written;
            ++completeRuns;
        } else {
            EXPECT_TRUE(faulted) << "status " << status << " without a fault";
        }
        if (outcome == Outcome::kNotWritten) {
            EXPECT_EQ(written, kOldOutput) << "a call that did not write replaced the old file";
        } else if (outcome == Outcome::kHeaderOnly) {
            EXPECT_TRUE(written.size() < complete.size() &&
                        complete.compare(0, written.size(), written) == 0)
                << "an outline that did not open left more than the header:\n"
                << written;
        }
        EXPECT_EQ(FolderEntries(folder.Path()), entries) << "a temporary was left behind";
    }
    EXPECT_GT(faultedRuns, 0u);
    std::printf("%s, %s: %llu requests, %llu runs with a fault, %llu of them complete\n",
                call.name.c_str(), seamNames[static_cast<int>(seam)],
                static_cast<unsigned long long>(requests),
                static_cast<unsigned long long>(faultedRuns),
                static_cast<unsigned long long>(completeRuns));
    SetMessageBoxHandler(previous);
}

TEST(AllocationFaultsInCalls, EveryFailedRequestLeavesTheCompleteOutputOrTheOldFile) {
    for (const ExportCall& call : ExampleCalls()) {
        for (Seam seam : {Seam::kRuntimeOne, Seam::kRuntimeFromOneOn, Seam::kCheckedHeap}) {
            CheckEveryFault(call, seam);
            if (::testing::Test::HasFailure()) return;
        }
    }
}

// ---- Outputs and inputs that cannot be used -----------------------------------------------

// Writes past a few bytes fail as on a full disk, for the life of the object; this binds
// for every user, root included. The signal such a write raises is ignored, so the write
// answers its error instead.
class FullDisk {
public:
    FullDisk() {
        getrlimit(RLIMIT_FSIZE, &previous_);
        previousHandler_ = signal(SIGXFSZ, SIG_IGN);
        struct rlimit small = previous_;
        small.rlim_cur = 24;
        setrlimit(RLIMIT_FSIZE, &small);
    }
    ~FullDisk() {
        setrlimit(RLIMIT_FSIZE, &previous_);
        signal(SIGXFSZ, previousHandler_);
    }

private:
    struct rlimit previous_;
    void (*previousHandler_)(int);
};

// Every name in the folder and below it, sorted.
std::vector<std::string> NamesBelow(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        names.push_back(entry.path().lexically_relative(folder).string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(OutputFaults, EveryCallAnswersItsBitKeepsWhatStoodThereAndLeavesNoTemporary) {
    ExampleFolder folder;
    std::filesystem::create_directories(folder.File("closed"));
    std::filesystem::create_directories(folder.File("full"));
    std::filesystem::create_directories(folder.File("empty"));
    WriteFileBytes(folder.File("full/inside"), kOldOutput);
    WriteFileBytes(folder.File("file.txt"), kOldOutput);
    WriteFileBytes(folder.File("closed/out"), kOldOutput);
    // So long a name that the temporary beside it cannot exist: the save fails at the last step.
    const std::string longName = std::string(245, 'n') + ".o";
    WriteFileBytes(folder.File(longName), kOldOutput);
    WriteFileBytes(folder.File("out"), kOldOutput);
    chmod(folder.File("closed").c_str(), 0555);
    // Permissions do not bind root, nor does the device node stay closed to it: as root a node
    // of the same device in the folder stands for /dev/full, so that no fault harms the
    // machine's own.
    const bool permissionsBind = access(folder.File("closed").c_str(), W_OK) != 0;
    std::string device = "/dev/full";
    if (geteuid() == 0) {
        device = folder.File("device");
        ASSERT_EQ(mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 7)), 0);
    }
    const std::vector<std::string> before = NamesBelow(folder.Path());
    std::vector<std::string> outputs = {"missing/out", "file.txt/out", "empty",
                                        "full",        longName,       ""};
    if (permissionsBind) outputs.insert(outputs.end(), {"closed/out", "closed/new"});
    if (access(device.c_str(), W_OK) == 0) outputs.push_back(device);
    for (const ExportCall& call : ExampleCalls()) {
        // A merge reports its counts whether or not it could save.
        const uint16_t notWritten = call.notWritten | (call.run(u"clean") & 0xFF00);
        std::remove(folder.File("clean").c_str());
        for (const std::string& output : outputs) {
            EXPECT_EQ(call.run(Wide(output).c_str()), notWritten) << call.name << " to " << output;
        }
        uint16_t status = 0;
        {
            FullDisk full;
            status = call.run(u"out");
        }
        EXPECT_EQ(status, notWritten) << call.name << " on a full disk";
        EXPECT_EQ(NamesBelow(folder.Path()), before)
            << call.name << ": a temporary was left behind, or an input went away";
    }
    chmod(folder.File("closed").c_str(), 0755);
    for (const std::string& old : {std::string("out"), longName, std::string("file.txt"),
                                   std::string("full/inside"), std::string("closed/out")}) {
        EXPECT_EQ(ReadFileBytes(folder.File(old)), kOldOutput) << old;
    }
    struct stat status {};
    ASSERT_EQ(stat(device.c_str(), &status), 0);
    EXPECT_TRUE(S_ISCHR(status.st_mode)) << device << " was replaced by a file";
}

// ---- The library's own wide strings ----------------------------------------------------

// What a child that ran a call with one wide string refused reports in its exit code.
enum : int { kEscaped = 1, kNextCallGood = 2 };

// Runs the call in a child whose failAt-th allocation by the library itself fails, as a host
// that catches the exception and goes on with a build of another compare file. Answers the
// child's wait status.
int RunChildWithWideStringFault(const ExportCall& call, uint64_t failAt) {
    std::fflush(nullptr);
    pid_t child = fork();
    if (child == 0) {
        SetAllocationOrigin(AllocationOrigin::kCaller);
        FailAllocationAt(failAt);
        int report = 0;
        {
            ArmedAllocationFaults armed;
            try {
                call.run(Wide(call.output).c_str());
            } catch (const std::bad_alloc&) {
                report |= kEscaped;
            }
        }
        FailAllocationAt(0);
        if (DIF_Build(u"base.outline", u"version2.outline", u"next.cmp", nullptr, 0,
                      DIF_OPT_FDFM) == 0) {
            report |= kNextCallGood;
        }
        _exit(report);
    }
    int status = 0;
    waitpid(child, &status, 0);
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
        call.run(Wide(call.output).c_str());
    }
    const uint64_t requests = AllocationRequests();
    SetAllocationOrigin(AllocationOrigin::kRuntime);
    WriteFileBytes(output, kOldOutput);
    const std::vector<std::string> entries = FolderEntries(folder.Path());

    // A spread of the requests, the first and the last among them (an apply may make none).
#if defined(__SANITIZE_ADDRESS__)
    const uint64_t kChildren = 8;
#else
    const uint64_t kChildren = 24;
#endif
    for (uint64_t k = 0; k < kChildren && requests > 0; ++k) {
        uint64_t failAt = 1 + (requests - 1) * k / (kChildren - 1);
        SCOPED_TRACE("wide string request " + std::to_string(failAt) + " of " +
                     std::to_string(requests));
        int status = RunChildWithWideStringFault(call, failAt);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == (kEscaped | kNextCallGood))
            << "wait status " << status << " (exit code 1: std::bad_alloc left the call, 2: the "
            << "next call succeeded)";
        // The interrupted call left its compare file open: the next call throws it away,
        // never completes it in place, and leaves no temporary of it behind.
        EXPECT_EQ(ReadFileBytes(output), kOldOutput) << "output replaced by an interrupted call";
        std::remove(folder.File("next.cmp").c_str());
        EXPECT_EQ(FolderEntries(folder.Path()), entries) << "a temporary was left behind";
    }
    std::printf("%s: %llu wide string requests\n", call.name.c_str(),
                static_cast<unsigned long long>(requests));
    SetMessageBoxHandler(previous);
}

TEST(WideStringAllocationFaults, ARefusedWideStringLeavesTheOldOutputAndTheNextCallClean) {
    for (const ExportCall& call : ExampleCalls()) CheckWideStringFaults(call);
}

}  // namespace
