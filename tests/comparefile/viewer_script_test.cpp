// tests/comparefile/viewer_script_test.cpp
//
// The viewer's exports as a viewer calls them, as data: each folder of
// tests/data/comparefile/viewer holds calls.txt (one call a line, run in a scratch folder),
// a one-line why.txt and the reviewed transcript expected.txt (each call after "> ", then
// what it answered). In calls, "_" stands for a one-space text, "-" for a null pointer and
// "''" for an empty text. The calls:
//   copy DIR                       first.outline and second.outline of tests/data/DIR
//   build FIRST SECOND OUT KIND    DIF_Build with DIF_OPT_<KIND> or the options word KIND
//   show NAME                      the characters of a file the calls wrote
//   write NAME ... end             the lines between as records after a plain header
//   load NAME | unload | sort | remove NAME
//   count CHANGE SUBJECT | search SIDE KEY | partial SIDE KEY | match SIDE POS
//   get SIDE POS | list SIDE COUNT | get-null
//   open NAME SIDE | close SIDE | seth SIDE     the outline resolved for a side (0 or 1)
//   geth SIDE POS | geth-null
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <sstream>
#include <string>

#include "include/norvex63.h"
#include "outline/outline_runtime.h"
#include "tests/comparefile/compare_file_fixture.h"
#include "tests/helpers/test_support.h"

namespace {

const char* const kArea = "comparefile/viewer";

// A call's text argument: "_" one space, "''" empty, anything else itself.
std::u16string TextArgument(const std::string& word) {
    return Wide(word == "_" ? " " : word == "''" ? "" : word);
}

// What DIF_CompareGet answers at one position, as "change subject key1 key2 value".
std::string RecordAt(uint16_t side, int32_t position) {
    DIF_CHAR firstKey[64] = u"unset", secondKey[64] = u"unset";
    DIF_CHAR change[2] = u"?", subject[2] = u"?";
    int32_t value = -99;
    DIF_CompareGet(side, position, firstKey, secondKey, change, subject, &value);
    return Narrow(change) + " " + Narrow(subject) + " " + Narrow(firstKey) + " " +
           Narrow(secondKey) + " " + std::to_string(value);
}

class ViewerScript {
public:
    std::string Run(const std::string& calls) {
        std::istringstream lines(calls);
        std::string line, transcript;
        while (std::getline(lines, line)) {
            if (line.empty()) continue;
            transcript += "> " + line + "\n";
            std::istringstream words(line);
            std::string call;
            words >> call;
            if (call == "write") {
                std::string name, record;
                words >> name;
                std::u16string text = PlainHeader();
                while (std::getline(lines, record) && record != "end") {
                    text += Wide(record) + u"\r\n";
                }
                WriteCompareText(scratch_.File(name), text);
                continue;
            }
            transcript += Answer(call, words);
        }
        DIF_CompareUnload();
        for (int side = 0; side < 2; ++side) {
            if (open_[side]) CloseOutline(outlines_[side]);
        }
        return transcript;
    }

private:
    std::string Answer(const std::string& call, std::istringstream& words) {
        std::string a, b, c, d;
        words >> a >> b >> c >> d;
        auto number = [](const std::string& word) { return std::stoi(word); };
        auto side = [&](const std::string& word) { return static_cast<uint16_t>(number(word)); };
        if (call == "copy") {
            for (const char* name : {"first.outline", "second.outline"}) {
                WriteFileBytes(scratch_.File(name), ReadFileBytes(TestDataPath(a + "/" + name)));
            }
            return "";
        }
        if (call == "build") {
            uint32_t kind = d == "RDFC"   ? DIF_OPT_RDFC
                            : d == "RDFA" ? DIF_OPT_RDFA
                            : d == "FDFM" ? DIF_OPT_FDFM
                                          : static_cast<uint32_t>(std::stoul(d, nullptr, 0));
            std::u16string first = scratch_.WideFile(a), second = scratch_.WideFile(b);
            return std::to_string(DIF_Build(a == "-" ? nullptr : first.c_str(),
                                            b == "-" ? nullptr : second.c_str(),
                                            scratch_.WideFile(c).c_str(), nullptr, 0, kind)) +
                   "\n";
        }
        if (call == "show") {
            return Printable(Utf16Text(ReadFileBytes(scratch_.File(a))).c_str()) + "\n";
        }
        if (call == "load") {
            if (a == "-") return std::to_string(DIF_CompareLoad(nullptr, nullptr)) + "\n";
            uint16_t count = 0xFFFF;
            int32_t loaded = DIF_CompareLoad(scratch_.WideFile(a).c_str(), &count);
            return std::to_string(loaded) +
                   (loaded != 0 ? ", count " + std::to_string(count) : std::string()) + "\n";
        }
        if (call == "unload") DIF_CompareUnload();
        if (call == "sort") DIF_CompareSort();
        if (call == "remove") std::remove(scratch_.File(a).c_str());
        if (call == "count") {
            std::u16string change = TextArgument(a), subject = TextArgument(b);
            return std::to_string(DIF_CompareCount(a == "-" ? nullptr : change.c_str(),
                                                   b == "-" ? nullptr : subject.c_str())) +
                   "\n";
        }
        if (call == "search" || call == "partial") {
            std::u16string key = TextArgument(b);
            return std::to_string(call == "search"
                                      ? DIF_CompareSearch(side(a), key.c_str())
                                      : DIF_ComparePartialSearch(side(a), key.c_str())) +
                   "\n";
        }
        if (call == "match") return std::to_string(DIF_GetMatchingIndex(side(a), side(b))) + "\n";
        if (call == "get") return RecordAt(side(a), number(b)) + "\n";
        if (call == "list") {
            std::string rows;
            for (int32_t position = 0; position < number(b); ++position) {
                rows += RecordAt(side(a), position) + "\n";
            }
            return rows;
        }
        if (call == "get-null") DIF_CompareGet(1, 0, nullptr, nullptr, nullptr, nullptr, nullptr);
        if (call == "open") {
            outlines_[number(b)] = OpenOutline(scratch_.WideFile(a).c_str());
            roots_[number(b)] = GetRootItem(outlines_[number(b)]);
            open_[number(b)] = outlines_[number(b)] != 0;
            return open_[number(b)] ? "" : "not opened\n";
        }
        if (call == "close") {
            CloseOutline(outlines_[number(a)]);
            open_[number(a)] = false;
        }
        if (call == "seth") {
            return std::to_string(
                       DIF_CompareSethItems(outlines_[number(a)], roots_[number(a)], number(a))) +
                   "\n";
        }
        if (call == "geth") {
            DIF_HANDLE items[2] = {7, 7};
            DIF_CompareGethItem(side(a), number(b), &items[0], &items[1]);
            return ItemText(0, items[0]) + " | " + ItemText(1, items[1]) + "\n";
        }
        if (call == "geth-null") DIF_CompareGethItem(1, 0, nullptr, nullptr);
        // The calls that answer nothing; any other word is a mistake in the script.
        const std::set<std::string> silent = {"unload",   "sort",  "remove",
                                              "get-null", "close", "geth-null"};
        return silent.count(call) != 0 ? "" : "unknown call\n";
    }

    // The text of item in the outline resolved for side; "(none)" for no item.
    std::string ItemText(int side, DIF_HANDLE item) {
        if (item == 0) return "(none)";
        if (!open_[side]) return "(an item of a closed outline)";
        StringHandle text = 0;
        GetItemText(outlines_[side], item, 0, &text);
        std::string narrow = Narrow(GetStringText(text, nullptr));
        FreeString(text);
        return narrow;
    }

    ScratchFolder scratch_;
    OutlineHandle outlines_[2] = {0, 0};  // kept after a close, to resolve a side in it again
    ItemHandle roots_[2] = {0, 0};
    bool open_[2] = {false, false};
};

class ViewerCalls : public ::testing::TestWithParam<std::string> {};

}  // namespace

TEST_P(ViewerCalls, AnswerAsReviewed) {
    SCOPED_TRACE(ScenarioText(kArea, GetParam(), "why.txt"));
    std::string transcript = ViewerScript().Run(ScenarioText(kArea, GetParam(), "calls.txt"));
    EXPECT_EQ(CompareWithGolden(kArea, GetParam(), "expected.txt", transcript), "");
}

INSTANTIATE_TEST_SUITE_P(Viewer, ViewerCalls, ::testing::ValuesIn(ListScenarios(kArea)),
                         [](const ::testing::TestParamInfo<std::string>& scenario) {
                             return TestNameOf(scenario.param);
                         });
