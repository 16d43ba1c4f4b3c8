// tests/runtime/runtime_allocation_fault_test.cpp
//
// The runtime with its memory running out at any one request (and, in a second pass, at
// every request from one on): a realistic outline is opened, walked with every reading
// operation, edited with every editing one, saved over an older file and closed; an outline of
// a few megabytes is only opened and saved. At each request count the run must not crash or
// let an exception out; the first answer that differs from the fault-free run must be that
// operation's failure answer (a failed open keeping its reason); the failed operation must
// leave the outline as it was; a save after the shortage must be refused with the older file
// intact and no temporary left; a string still showing a closed outline's text reads it, or
// nothing when the close had no memory for its copy; and an outline opened afterwards must
// go through the script as ever.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "tests/helpers/outline_tree.h"
#include "tests/runtime/failing_allocation.h"
#include "tests/runtime/runtime_test_support.h"

namespace {

const char kOldBytes[] = "an older outline\n";

// One run of the script. The fault-free run records each step's answer and the outline as it
// stood before the step; a run with faults stops at the first answer that differs, as a
// careful caller stops at the first failure.
class ScriptRun {
public:
    struct Step {
        int64_t answer;
        bool succeeded;
    };

    // whole: the walk and the edits between the open and the save. expected: the fault-free
    // run's steps; null for that run itself, which records the steps and outlines.
    ScriptRun(const ScratchFolder& folder, bool whole, const std::vector<Step>* expected)
        : folder_(folder), whole_(whole), recording_(expected == nullptr), expected_(expected) {
        steps_.reserve(4096);
        items_.reserve(256);
    }

    // Runs the script; answers false when it stopped at a differing step.
    bool Run() {
        source_ = folder_.WideFile("source.outline");
        target_ = folder_.WideFile("target.outline");
        OutlineHandle outline = 0;
        if (!Do([&] { return Handle(outline_ = outline = OpenOutline(source_.c_str())); }) ||
            (whole_ && !WalkAndEdit(outline)) ||
            !Do([&] { return Answer(SaveOutline(outline, target_.c_str())); }))
            return false;
        // A string that shows the root's text takes a copy of it when the outline closes; with
        // no memory for the copy it reads as empty, never as memory the outline gave back.
        StringHandle shown = 0;
        GetItemText(outline, GetRootItem(outline), 0, &shown);
        outline_ = 0;
        Do([&] {
            CloseOutline(outline);
            return Count(0);
        });
        closedText = ::TakeString(shown);
        return true;
    }

    OutlineHandle Outline() const { return outline_; }
    // The open outline as its reading operations show it, one line per item, for holding a
    // failed operation's outline against the fault-free one at the same step (an outline
    // that is only opened and saved is not read).
    std::string Described() const {
        if (outline_ == 0 || !whole_) return "(not read)";
        return DescribeOutline(ReadOutline(outline_), DIF_OPT_ATTRIBUTES | DIF_OPT_PROPERTIES |
                                                          DIF_OPT_DTDATA | kDescribeHeldOrder);
    }
    const std::vector<Step>& Steps() const { return steps_; }
    const std::vector<std::string>& Before() const { return before_; }
    const std::u16string& Target() const { return target_; }

private:
    bool WalkAndEdit(OutlineHandle outline) {
        ListHandle attributes = 0, names = 0;
        ItemHandle root = 0;
        if (!Do([&] { return Handle(attributes = CreateList(OUTLINE_LIST_ATTRIBUTES)); }) ||
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

        // 2. The edits, one table: an insertion with a text of two lines, a text long enough
        //    for a block of its own, a text that fits the old room, each kind of content set
        //    afresh and replaced, a copy of a subtree into another section, a move (copy, then
        //    delete) and a deletion. Each reads the handles the ones before it made.
        ItemHandle first = items_[1], parent = items_[2], later = items_[items_.size() / 2];
        ItemHandle inserted = 0;
        const std::u16string longText(20000, u'x');
        const std::function<Step()> edits[] = {
            [&] { return Handle(inserted = InsertItem(outline, root, first, 9)); },
            [&] { return Answer(SetItemText(outline, inserted, u"inserted\nline", 2)); },
            [&] { return Answer(SetItemText(outline, later, longText.c_str(), 1)); },
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
        return true;
    }

    static Step Handle(uint32_t handle) { return {handle != 0 ? 1 : 0, handle != 0}; }
    static Step Answer(int32_t answer) { return {answer, answer != 0}; }
    static Step Count(int64_t answer) { return {answer, true}; }  // a read that cannot fail

    // A text read: the answer and, when there is one, the characters, so that a run that reads
    // a different text differs here. The string is freed and the handle cleared.
    static Step Text(int32_t answer, StringHandle& string) {
        uint64_t sum = static_cast<uint64_t>(answer);  // wraps, as a hash may
        int32_t length = 0;
        const WCHAR* characters = string != 0 ? GetStringText(string, &length) : nullptr;
        for (int32_t k = 0; characters != nullptr && k < length; ++k)
            sum = sum * 31 + characters[k];
        FreeString(string);
        string = 0;
        return {static_cast<int64_t>(sum), answer != 0};
    }

    // Every reading operation on the item, each a step; then each element of the two lists
    // and the value it names.
    bool ReadItem(OutlineHandle outline, ItemHandle item, ListHandle attributes, ListHandle names) {
        int32_t type = 0, attributeCount = 0, propertyCount = 0, dt = 0;
        StringHandle string = 0;
        const std::function<Step()> reads[] = {
            [&] { return Count(type = GetItemType(outline, item)); },
            [&] { return Text(GetItemText(outline, item, 0, &string), string); },
            [&] { return Text(GetItemText(outline, item, 1, &string), string); },
            [&] { return Text(GetItemTypeName(type, &string), string); },
            [&] { return Count(attributeCount = ListItemAttributes(outline, item, attributes)); },
            [&] { return Count(propertyCount = ListNamedProperties(outline, item, names)); },
            [&] { return Count(GetItemDTData(outline, item, 39, &dt) * 1000003LL + dt); },
        };
        for (const auto& read : reads) {
            if (!Do(read)) return false;
        }
        for (int32_t k = 0; k < attributeCount; ++k) {
            uint32_t id = 0;
            if (!Do([&] {
                    ListElement element = 0;
                    int32_t answer = GetListElement(attributes, &element, k);
                    GetAttributeId(element, &id);
                    return Step{answer != 0 ? static_cast<int64_t>(id) : -1, answer != 0};
                }) ||
                !Do([&] { return Text(GetItemAttribute(outline, item, id, 0, &string), string); }))
                return false;
        }
        for (int32_t k = 0; k < propertyCount; ++k) {
            std::u16string name;
            if (!Do([&] {
                    int32_t answer = GetListString(names, &string, k);
                    name = ::TakeString(string);
                    return Step{answer != 0 ? static_cast<int64_t>(name.size()) : -1, answer != 0};
                }) ||
                !Do([&] {
                    return Text(GetNamedProperty(outline, item, name.c_str(), &string), string);
                }))
                return false;
        }
        return true;
    }

    // Runs one operation armed; false when its answer differs from the fault-free run's.
    bool Do(const std::function<Step()>& operation) {
        if (recording_) before_.push_back(Described());
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
    std::u16string closedText;  // the root's text read after the close

private:
    const ScratchFolder& folder_;
    bool whole_, recording_;
    const std::vector<Step>* expected_;
    std::vector<Step> steps_;
    std::vector<std::string> before_;
    std::vector<ItemHandle> items_;
    std::u16string source_, target_;
    OutlineHandle outline_ = 0;
};

void CheckEveryFault(const std::string& what, const std::string& bytes, bool whole) {
    ScratchFolder folder;
    WriteFileBytes(folder.File("source.outline"), bytes);
    WriteFileBytes(folder.File("target.outline"), kOldBytes);
    const std::vector<std::string> entries = FolderEntries(folder.Path());

    FailAllocationAt(0);
    ScriptRun clean(folder, whole, nullptr);
    ASSERT_TRUE(clean.Run()) << what;
    ASSERT_FALSE(clean.escaped_);
    const std::string complete = ReadFileBytes(folder.File("target.outline"));
    ASSERT_NE(complete, kOldBytes);
    ASSERT_NE(clean.closedText, u"");
    int emptied = 0;
    const uint64_t requests = AllocationRequests();
    ASSERT_GT(requests, 20u);
    for (bool everyLater : {false, true}) {
        for (uint64_t failAt = 1; failAt <= requests && !::testing::Test::HasFailure(); ++failAt) {
            SCOPED_TRACE(what + ", request " + std::to_string(failAt) + " of " +
                         std::to_string(requests) + (everyLater ? " and every later one" : ""));
            WriteFileBytes(folder.File("target.outline"), kOldBytes);
            FailAllocationAt(failAt, everyLater);
            ScriptRun run(folder, whole, &clean.Steps());
            bool finished = run.Run();
            const bool faulted = AllocationFailures() > 0;
            FailAllocationAt(0);
            const size_t stopped = run.Steps().size() - 1;
            EXPECT_FALSE(run.escaped_) << "an exception left the runtime at step " << stopped;
            if (finished) {
                EXPECT_EQ(ReadFileBytes(folder.File("target.outline")), complete);
                EXPECT_TRUE(run.closedText == clean.closedText || run.closedText.empty());
                emptied += run.closedText.empty() ? 1 : 0;
            } else {
                // The differing step failed, for want of memory, with its failure answer.
                EXPECT_TRUE(faulted) << "step " << stopped << " differs without a fault";
                EXPECT_FALSE(run.Steps().back().succeeded)
                    << "step " << stopped << " answered " << run.Steps().back().answer;
                // A refused open says why; the reason needs memory of its own, so with none
                // left at all it stays empty.
                if (stopped == 0 && !everyLater) {
                    EXPECT_NE(LastOpenError().find("not enough memory"), std::string::npos)
                        << LastOpenError();
                }
                // It changed nothing, and the outline it leaves is not saved.
                if (run.Outline() != 0) {
                    EXPECT_EQ(FirstDifference(clean.Before()[stopped], run.Described()), "")
                        << "step " << stopped;
                    EXPECT_EQ(SaveOutline(run.Outline(), run.Target().c_str()), 0);
                    CloseOutline(run.Outline());
                }
                EXPECT_EQ(ReadFileBytes(folder.File("target.outline")), kOldBytes);
            }
            EXPECT_EQ(FolderEntries(folder.Path()), entries) << "a temporary was left behind";
        }
    }
    std::printf("%s: %llu requests of the runtime in a fault-free run\n", what.c_str(),
                static_cast<unsigned long long>(requests));
    EXPECT_GT(emptied, 0) << "no close was short of memory for a string's copy";
    // The shortage is over: an outline opened now goes through the script, save included.
    ScriptRun again(folder, whole, &clean.Steps());
    EXPECT_TRUE(again.Run());
    EXPECT_EQ(ReadFileBytes(folder.File("target.outline")), complete);
}

}  // namespace

TEST(RuntimeAllocationFaults, EveryFailedRequestGivesAFailureAnswerAndChangesNothing) {
    for (const char* relative : {"../../examples/version1.outline", "merge/contents/base.outline",
                                 "runtime/canonical/design_example.outline"}) {
        CheckEveryFault(relative, ReadFileBytes(TestDataPath(relative)), true);
    }
}

// An outline of a few megabytes, whose file bytes, item records and texts take blocks of pages
// of their own, opened and saved.
TEST(RuntimeAllocationFaults, ALargeOutlineOpensAndSavesWholeOrNotAtAll) {
    std::string text = "OUTLINE 1\n1 \"large\"\n";
    // 25,000 records of 48 bytes pass the megabyte from which a block takes pages of its own.
    for (int k = 0; k < 25000; ++k) {
        text += "  9 \"statement " + std::to_string(k) +
                " of a large outline, long enough to fill its pages\"\n";
        if (k % 2500 == 0) text += "    %\"Author\" \"kim\"\n";
    }
    CheckEveryFault("large outline", text, false);
}
