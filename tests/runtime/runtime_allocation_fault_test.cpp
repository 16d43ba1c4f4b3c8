// tests/runtime/runtime_allocation_fault_test.cpp
//
// The runtime with its memory running out at any one request (and, in a second pass, at
// every request from one on): a realistic outline is opened, walked with every reading
// operation, edited with every editing one, saved over an older file and closed. At each
// request count the run must not crash or let an exception out; the first answer that differs
// from the fault-free run must be that operation's failure answer; the failed operation must
// leave the outline as it was; a save after the shortage must be refused with the older file
// intact and no temporary left; and an outline opened afterwards must save normally.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "tests/helpers/outline_tree.h"
#include "tests/runtime/failing_allocation.h"
#include "tests/runtime/runtime_test_support.h"

namespace {

const char kOldBytes[] = "an older outline\n";
// Every request is tried for the first kEveryRequest; past that one in kStride, so that an
// outline of any size keeps the test quick.
constexpr uint64_t kEveryRequest = 2000;
#if defined(__SANITIZE_ADDRESS__)
constexpr uint64_t kStride = 7;
#else
constexpr uint64_t kStride = 3;
#endif

// The outline as its reading operations show it, one line per item, for holding a failed
// operation's outline against the fault-free one at the same step.
std::string DescribeThroughRuntime(OutlineHandle outline) {
    return DescribeOutline(ReadOutline(outline), DIF_OPT_ATTRIBUTES | DIF_OPT_PROPERTIES |
                                                     DIF_OPT_DTDATA | kDescribeHeldOrder);
}

// One run of the script. The fault-free run records each step's answer and the outline as it
// stood before the step; a run with faults stops at the first answer that differs, as a
// careful caller stops at the first failure.
class ScriptRun {
public:
    struct Step {
        int64_t answer;
        bool succeeded;
    };

    // recording: the fault-free run, which keeps the expected steps and outlines.
    ScriptRun(const ScratchFolder& folder, bool recording, const std::vector<Step>* expected)
        : folder_(folder), recording_(recording), expected_(expected) {
        steps_.reserve(4096);
        items_.reserve(256);
    }

    // Runs the script; answers false when it stopped at a differing step.
    bool Run() {
        source_ = folder_.WideFile("source.outline");
        target_ = folder_.WideFile("target.outline");
        OutlineHandle outline = 0;
        ListHandle attributes = 0, names = 0;
        ItemHandle root = 0;
        if (!Do([&] { return Handle(outline_ = outline = OpenOutline(source_.c_str())); }) ||
            !Do([&] { return Handle(attributes = CreateList(OUTLINE_LIST_ATTRIBUTES)); }) ||
            !Do([&] { return Handle(names = CreateList(OUTLINE_LIST_STRINGS)); }) ||
            !Do([&] { return Handle(root = GetRootItem(outline)); }))
            return false;

        // 1. The walk, every item read with every reading operation.
        items_.push_back(root);
        for (size_t next = 0; next < items_.size(); ++next) {
            ItemHandle item = items_[next];
            if (!ReadItem(outline, item, attributes, names)) return false;
            for (ItemHandle child = GetFirstChild(outline, item); child != 0;
                 child = GetNextSibling(outline, child)) {
                items_.push_back(child);
            }
        }
        DestroyList(attributes);
        DestroyList(names);

        // 2. The edits, one table: an insertion with a text of two lines, a text that needs
        //    new room, a text that fits the old one, each kind of content set afresh and
        //    replaced, a copy of a subtree into another section, a move (copy, then delete)
        //    and a deletion. Each reads the handles the ones before it made.
        ItemHandle first = items_[1], parent = items_[2], later = items_[items_.size() / 2];
        ItemHandle inserted = 0;
        const std::function<Step()> edits[] = {
            [&] { return Handle(inserted = InsertItem(outline, root, first, 9)); },
            [&] { return Answer(SetItemText(outline, inserted, u"inserted\nline", 2)); },
            [&] {
                return Answer(SetItemText(
                    outline, later, u"a text much longer than any the outline held so far", 1));
            },
            [&] { return Answer(SetItemText(outline, later, u"short", 1)); },
            [&] { return Answer(SetItemAttribute(outline, later, 777, u"new value", 1)); },
            [&] { return Answer(SetItemAttribute(outline, later, 777, u"replaced value", 1)); },
            [&] { return Answer(SetNamedProperty(outline, first, u"Owner", u"kim", 4)); },
            [&] { return Answer(SetNamedProperty(outline, first, u"Owner", u"lee, 2025", 10)); },
            [&] { return Answer(SetItemDTData(outline, inserted, 39, 12)); },
            [&] { return Handle(CopyItem(outline, parent, outline, later, 0, 1, 1)); },
            [&] { return Handle(CopyItem(outline, first, outline, root, 0, 1, 1)); },
            [&] { return Answer(DeleteItem(outline, first)); },
            [&] { return Answer(DeleteItem(outline, items_.back())); },
        };
        for (const auto& edit : edits) {
            if (!Do(edit)) return false;
        }

        // 3. The save over the older file, and a read of its bytes.
        if (!Do([&] { return Answer(SaveOutline(outline, target_.c_str())); })) return false;
        outline_ = 0;
        CloseOutline(outline);
        return true;
    }

    OutlineHandle Outline() const { return outline_; }
    const std::vector<Step>& Steps() const { return steps_; }
    const std::vector<std::string>& Before() const { return before_; }
    const std::u16string& Target() const { return target_; }

private:
    static Step Handle(uint32_t handle) { return {handle != 0 ? 1 : 0, handle != 0}; }
    static Step Answer(int32_t answer) { return {answer, answer != 0}; }

    // A text read: the answer and, when there is one, the characters, so that a run that reads
    // a different text differs here.
    static Step Text(int32_t answer, StringHandle string) {
        int64_t sum = answer;
        int32_t length = 0;
        const WCHAR* characters = string != 0 ? GetStringText(string, &length) : nullptr;
        for (int32_t k = 0; characters != nullptr && k < length; ++k)
            sum = sum * 31 + characters[k];
        if (string != 0) FreeString(string);
        return {sum, answer != 0};
    }

    bool ReadItem(OutlineHandle outline, ItemHandle item, ListHandle attributes, ListHandle names) {
        int32_t type = 0, attributeCount = 0, propertyCount = 0;
        auto text = [&](int32_t mode) {
            return [&, mode] {
                StringHandle string = 0;
                return Text(GetItemText(outline, item, mode, &string), string);
            };
        };
        if (!Do([&] {
                return Step{type = GetItemType(outline, item), true};
            }) ||
            !Do(text(0)) || !Do(text(1)) || !Do([&] {
                StringHandle name = 0;
                return Text(GetItemTypeName(type, &name), name);
            }) ||
            !Do([&] {
                attributeCount = ListItemAttributes(outline, item, attributes);
                return Step{attributeCount, true};
            }))
            return false;
        for (int32_t k = 0; k < attributeCount; ++k) {
            uint32_t id = 0;
            ListElement element = 0;
            StringHandle value = 0;
            if (!Do([&] {
                    int32_t answer = GetListElement(attributes, &element, k);
                    GetAttributeId(element, &id);
                    return Step{answer != 0 ? static_cast<int64_t>(id) : -1, answer != 0};
                }) ||
                !Do([&] { return Text(GetItemAttribute(outline, item, id, 0, &value), value); }))
                return false;
        }
        if (!Do([&] {
                propertyCount = ListNamedProperties(outline, item, names);
                return Step{propertyCount, true};
            }))
            return false;
        for (int32_t k = 0; k < propertyCount; ++k) {
            std::u16string name;
            StringHandle value = 0;
            if (!Do([&] {
                    StringHandle string = 0;
                    int32_t answer = GetListString(names, &string, k);
                    name = ::TakeString(string);
                    return Step{answer != 0 ? static_cast<int64_t>(name.size()) : -1, answer != 0};
                }) ||
                !Do([&] {
                    return Text(GetNamedProperty(outline, item, name.c_str(), &value), value);
                }))
                return false;
        }
        int32_t dtValue = 0;
        return Do([&] {
            return Step{GetItemDTData(outline, item, 39, &dtValue) * 1000003LL + dtValue, true};
        });
    }

    // Runs one operation armed; false when its answer differs from the fault-free run's.
    bool Do(const std::function<Step()>& operation) {
        if (recording_) {
            before_.push_back(outline_ != 0 ? DescribeThroughRuntime(outline_) : "(no outline)");
        }
        Step step;
        {
            ArmedAllocationFaults armed;
            try {
                step = operation();
            } catch (...) {
                escaped_ = true;
                step = {-99, false};
            }
        }
        steps_.push_back(step);
        if (recording_) return true;
        const Step& wanted = (*expected_)[steps_.size() - 1];
        return step.answer == wanted.answer && step.succeeded == wanted.succeeded;
    }

public:
    bool escaped_ = false;

private:
    const ScratchFolder& folder_;
    bool recording_;
    const std::vector<Step>* expected_;
    std::vector<Step> steps_;
    std::vector<std::string> before_;
    std::vector<ItemHandle> items_;
    std::u16string source_, target_;
    OutlineHandle outline_ = 0;
};

void CheckEveryFault(const std::string& relative, bool everyLater) {
    SCOPED_TRACE(relative +
                 (everyLater ? ", every request from the failing one on" : ", one request"));
    ScratchFolder folder;
    WriteFileBytes(folder.File("source.outline"), ReadFileBytes(TestDataPath(relative)));
    WriteFileBytes(folder.File("target.outline"), kOldBytes);
    const std::vector<std::string> entries = FolderEntries(folder.Path());

    FailAllocationAt(0);
    ScriptRun clean(folder, true, nullptr);
    ASSERT_TRUE(clean.Run());
    ASSERT_FALSE(clean.escaped_);
    const std::string complete = ReadFileBytes(folder.File("target.outline"));
    ASSERT_NE(complete, kOldBytes);
    const uint64_t requests = AllocationRequests();
    ASSERT_GT(requests, 20u);
    const std::string unchangedSource = [&] {
        OpenedOutline reopened(OpenOutline(folder.WideFile("source.outline").c_str()));
        return SaveBytes(folder, "unchanged.outline", reopened);
    }();
    std::remove(folder.File("unchanged.outline").c_str());

    int failures = 0;
    for (uint64_t failAt = 1; failAt <= requests && failures < 5;
         failAt += failAt < kEveryRequest ? 1 : kStride) {
        SCOPED_TRACE("request " + std::to_string(failAt) + " of " + std::to_string(requests));
        WriteFileBytes(folder.File("target.outline"), kOldBytes);
        FailAllocationAt(failAt, everyLater);
        ScriptRun run(folder, false, &clean.Steps());
        bool finished = run.Run();
        const bool faulted = AllocationFailures() > 0;
        FailAllocationAt(0);
        const size_t stopped = run.Steps().size() - 1;
        bool good = !run.escaped_;
        EXPECT_FALSE(run.escaped_) << "an exception left the runtime at step " << stopped;
        if (finished) {
            EXPECT_EQ(ReadFileBytes(folder.File("target.outline")), complete);
            good = good && ReadFileBytes(folder.File("target.outline")) == complete;
        } else {
            // The differing step failed, for want of memory, with its failure answer.
            EXPECT_TRUE(faulted) << "step " << stopped << " differs without a fault";
            EXPECT_FALSE(run.Steps().back().succeeded)
                << "step " << stopped << " answered " << run.Steps().back().answer;
            // It changed nothing, and the outline it leaves is not saved.
            if (run.Outline() != 0) {
                std::string now = DescribeThroughRuntime(run.Outline());
                EXPECT_EQ(FirstDifference(clean.Before()[stopped], now), "") << "step " << stopped;
                good = good && now == clean.Before()[stopped];
                EXPECT_EQ(SaveOutline(run.Outline(), run.Target().c_str()), 0);
                CloseOutline(run.Outline());
            }
            EXPECT_EQ(ReadFileBytes(folder.File("target.outline")), kOldBytes);
            good = good && faulted && ReadFileBytes(folder.File("target.outline")) == kOldBytes;
        }
        EXPECT_EQ(FolderEntries(folder.Path()), entries) << "a temporary was left behind";
        if (!good) ++failures;
    }
    std::printf("%s: %llu requests of the runtime in a fault-free run\n", relative.c_str(),
                static_cast<unsigned long long>(requests));
    // The shortage is over: an outline opened now is saved as ever.
    OpenedOutline reopened(OpenOutline(folder.WideFile("source.outline").c_str()));
    EXPECT_EQ(SaveBytes(folder, "unchanged.outline", reopened), unchangedSource);
}

}  // namespace

TEST(RuntimeAllocationFaults, EveryFailedRequestGivesAFailureAnswerAndChangesNothing) {
    for (bool everyLater : {false, true}) {
        CheckEveryFault("../../examples/version1.outline", everyLater);
        CheckEveryFault("merge/contents/base.outline", everyLater);
        CheckEveryFault("runtime/canonical/design_example.outline", everyLater);
    }
}

// An outline of a few megabytes, whose file bytes, item records and texts take blocks of pages
// of their own: each request of its open and save fails in turn. (Under the address sanitizer
// the blocks come from the heap, and one request in five is enough.)
#if defined(__SANITIZE_ADDRESS__)
constexpr uint64_t kLargeStride = 5;
#else
constexpr uint64_t kLargeStride = 1;
#endif
TEST(RuntimeAllocationFaults, ALargeOutlineOpensAndSavesWholeOrNotAtAll) {
    ScratchFolder folder;
    std::string text = "OUTLINE 1\n1 \"large\"\n";
    // 25,000 records of 48 bytes pass the megabyte from which a block takes pages of its own.
    for (int k = 0; k < 25000; ++k) {
        text += "  9 \"statement " + std::to_string(k) +
                " of a large outline, long enough to fill its pages\"\n";
        if (k % 2500 == 0) text += "    %\"Author\" \"kim\"\n";
    }
    WriteFileBytes(folder.File("large.outline"), text);
    const std::u16string source = folder.WideFile("large.outline"),
                         target = folder.WideFile("saved.outline");
    auto openAndSave = [&]() -> int {
        ArmedAllocationFaults armed;
        OutlineHandle outline = OpenOutline(source.c_str());
        if (outline == 0) return 0;
        int saved = SaveOutline(outline, target.c_str()) != 0 ? 2 : 1;
        CloseOutline(outline);
        return saved;
    };
    FailAllocationAt(0);
    ASSERT_EQ(openAndSave(), 2);
    const uint64_t requests = AllocationRequests();
    ASSERT_EQ(ReadFileBytes(folder.File("saved.outline")), text);
    const std::vector<std::string> entries = FolderEntries(folder.Path());
    for (bool everyLater : {false, true}) {
        for (uint64_t failAt = 1; failAt <= requests; failAt += kLargeStride) {
            SCOPED_TRACE("request " + std::to_string(failAt) + " of " + std::to_string(requests) +
                         (everyLater ? ", and every later one" : ""));
            WriteFileBytes(folder.File("saved.outline"), kOldBytes);
            FailAllocationAt(failAt, everyLater);
            int result = openAndSave();
            FailAllocationAt(0);
            // The reason needs memory of its own: with none left at all it stays empty.
            if (result == 0 && !everyLater) {
                EXPECT_NE(LastOpenError().find("not enough memory"), std::string::npos)
                    << LastOpenError();
            }
            EXPECT_EQ(ReadFileBytes(folder.File("saved.outline")),
                      result == 2 ? text : std::string(kOldBytes));
            EXPECT_EQ(FolderEntries(folder.Path()), entries) << "a temporary was left behind";
        }
    }
    std::printf("large outline: %llu requests of the runtime in a fault-free open and save\n",
                static_cast<unsigned long long>(requests));
}

// A string that shows an outline's text takes a copy of it when the outline closes; with no
// memory for the copy it reads as empty rather than as memory the closed outline gave back.
TEST(RuntimeAllocationFaults, AStringOfAnOutlineClosedWithoutMemoryReadsEmpty) {
    ScratchFolder folder;
    OutlineHandle outline = OpenBytes(folder, "small.outline", "OUTLINE 1\n1 \"root\"\n");
    StringHandle text = 0;
    ASSERT_NE(GetItemText(outline, GetRootItem(outline), 0, &text), 0);
    FailAllocationAt(1, true);
    {
        ArmedAllocationFaults armed;
        CloseOutline(outline);
    }
    const uint64_t failures = AllocationFailures();
    FailAllocationAt(0);
    EXPECT_GT(failures, 0u);
    EXPECT_EQ(TakeString(text), u"");
}
