// tests/runtime/outline_errors_test.cpp
//
// Refused outline files: the cases of tests/data/runtime/errors.txt, each checked for its exact
// "line:column: expected ..., found ..." after the path; cut and damaged files; unreadable ones.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "runtime/outline_parser.h"
#include "runtime/outline_writer.h"
#include "tests/runtime/runtime_test_support.h"

namespace {

const std::string kRoot = "OUTLINE 1\n1 \"r\"\n";

// What the reader makes of bytes fed a piece of the given size at a time, as a file's reader
// feeds them: the outline written back, or the first fault with its line and column.
std::string ReadInPieces(const std::string& bytes, size_t piece) {
    brimrt::OutlineStore store;
    brimrt::ParseFailure failure{};
    brimrt::OutlineReader reader(&store, &failure);
    std::string pending;
    for (size_t next = 0;;) {
        size_t count = std::min(piece, bytes.size() - next);
        pending.append(bytes, next, count);
        next += count;
        bool last = next == bytes.size();
        size_t taken = 0;
        if (!reader.Feed(pending.data(), pending.size(), last, &taken)) {
            return std::to_string(failure.line) + ":" + std::to_string(failure.column) + ": " +
                   failure.message;
        }
        if (last) break;
        pending.erase(0, taken);
    }
    brimrt::StringSink sink;
    brimrt::WriteOutline(store, &sink);
    return sink.bytes;
}

}  // namespace

TEST(OutlineParser, EveryRefusedFileOfTheListGivesItsLineColumnAndReason) {
    ScratchFolder folder;
    std::string prefix = folder.File("bad.outline") + ":";
    std::istringstream cases(ReadFileBytes(TestDataPath("runtime/errors.txt")));
    int checked = 0;
    for (std::string line; std::getline(cases, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::string bytes = Unescape(line.substr(0, line.find('\t')));
        std::string expected = line.substr(line.find('\t') + 1);
        ++checked;
        OpenedOutline outline(OpenBytes(folder, "bad.outline", bytes));
        EXPECT_EQ(outline.handle, 0u) << "opened: " << line;
        EXPECT_EQ(LastOpenError(), prefix + expected) << line;
    }
    EXPECT_GT(checked, 80);
}

// Every prefix of a good file, and the good file with any one byte damaged, either opens or
// is refused with a well-formed reason; never a crash, and a refused open leaves no outline.
// Read a byte at a time, as a file whose pieces end anywhere (inside the byte order mark, a
// line break or a character), each gives the same outline or the same fault as read whole.
TEST(OutlineParser, CutOrDamagedFilesNeverCrashAndAlwaysExplain) {
    ScratchFolder folder;
    std::string good = ReadFileBytes(TestDataPath("runtime/canonical/escapes.outline"));
    ASSERT_FALSE(good.empty());
    std::regex form(R"(.*bad\.outline:[0-9]+:[0-9]+: expected .+, found .+)");
    auto check = [&](const std::string& bytes, const std::string& what) {
        OutlineHandle outline = OpenBytes(folder, "bad.outline", bytes);
        if (outline != 0) {
            EXPECT_EQ(LastOpenError(), "") << what;
            CloseOutline(outline);
        } else {
            EXPECT_TRUE(std::regex_match(LastOpenError(), form)) << what << ": " << LastOpenError();
        }
        EXPECT_EQ(ReadInPieces(bytes, 1), ReadInPieces(bytes, bytes.size())) << what;
    };
    for (size_t length = 0; length < good.size(); ++length)
        check(good.substr(0, length), "cut at " + std::to_string(length));
    std::string marked = "\xEF\xBB\xBF" + good;
    for (size_t length = 0; length <= marked.size(); length += length < 16 ? 1 : 61)
        check(marked.substr(0, length),
              "after a byte order mark, cut at " + std::to_string(length));
    const char damage[] = {'\0', '\xFF', '"', '\\', '\r', ' ', '\t', '\x80'};
    for (size_t position = 0; position < good.size(); ++position) {
        for (char byte : damage) {
            std::string damaged = good;
            damaged[position] = byte;
            check(damaged, "byte " + std::to_string(position));
        }
    }
}

TEST(OpenOutline, UnreadableFilesAreRefusedAndTheReasonIsKeptUntilTheNextOpen) {
    ScratchFolder folder;
    EXPECT_EQ(OpenOutline(folder.WideFile("missing.outline").c_str()), 0u);
    EXPECT_EQ(LastOpenError(), folder.File("missing.outline") + ": cannot be read: no such file");
    EXPECT_EQ(OpenOutline(Wide(folder.Path()).c_str()), 0u);
    EXPECT_EQ(LastOpenError(), folder.Path() + ": cannot be read: it is a folder");
    EXPECT_EQ(OpenOutline(nullptr), 0u);
    // The reason is cut to the buffer and always terminated; its full length is answered.
    OutlineHandle refused = OpenBytes(folder, "bad.outline", "OUTLINE 2\n");
    EXPECT_EQ(refused, 0u);
    std::string full = LastOpenError();
    WCHAR small[6] = {u'x', u'x', u'x', u'x', u'x', u'x'};
    EXPECT_EQ(GetOutlineError(small, 4), static_cast<int32_t>(full.size()));
    EXPECT_EQ(Narrow(small), full.substr(0, 3));
    EXPECT_EQ(small[4], u'x');
    // A good open clears it. A save needs a path whose folder exists.
    OpenedOutline good(OpenBytes(folder, "good.outline", kRoot));
    ASSERT_NE(good.handle, 0u);
    EXPECT_EQ(SaveOutline(good, folder.WideFile("no/such/folder.outline").c_str()) +
                  SaveOutline(good, u"") + SaveOutline(good, nullptr),
              0);
    EXPECT_EQ(GetOutlineError(small, 6), 0);
    EXPECT_EQ(small[0], 0);
}

TEST(OpenOutline, AStreamIsReadOnOnlyWhileItCanBeginAnOutline) {
    // The first bytes decide: a header (after an optional byte order mark) that is whole or
    // still cut short may go on; anything else stops the read.
    const std::string goOn[] = {"",          "\xEF",        "\xEF\xBB\xBFOUTL",
                                "OUTLINE 1", "OUTLINE 1\r", "OUTLINE 1\r\n"};
    const std::string stop[] = {"\xEF\xBBX", "OUTLINE 1\rx", "OUTLINE 1 ", "OUTLINX",
                                std::string(3, '\0')};
    for (const std::string& start : goOn)
        EXPECT_TRUE(brimrt::MayBeginOutline(start.data(), start.size())) << start;
    for (const std::string& start : stop)
        EXPECT_FALSE(brimrt::MayBeginOutline(start.data(), start.size())) << start;
#ifndef _WIN32
    // A pipe longer than one read: an outline is read to its end.
    ScratchFolder folder;
    const std::string pipe = folder.File("pipe.outline");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    std::string text = kRoot;
    for (int k = 0; k < 200000; ++k) text += "  9 \"statement\"\n";
    std::thread writer([&] { WriteFileBytes(pipe, text); });
    OpenedOutline outline(OpenOutline(Wide(pipe).c_str()));
    writer.join();
    ASSERT_NE(outline.handle, 0u) << LastOpenError();
    EXPECT_TRUE(SaveBytes(folder, "saved.outline", outline) == text);
#endif
}

// The command opens the outlines of a diff or a merge in two threads at once and reads them in
// two threads: each thread is told about its own failed open, every outline gets handles of
// its own, and reads beside each other see each outline whole.
TEST(OpenOutline, OpensAndReadsInTwoThreadsAtOnceKeepToTheirOwnOutlines) {
    ScratchFolder folder;
    std::string text = kRoot;
    for (int k = 0; k < 20000; ++k) text += "  9 \"statement\"\n";
    CloseOutline(OpenBytes(folder, "good.outline", text));
    ASSERT_EQ(OpenBytes(folder, "bad.outline", kRoot + "  9 \"cut\n"), 0u);
    const std::string badReason = LastOpenError();
    const std::u16string paths[] = {folder.WideFile("good.outline"),
                                    folder.WideFile("bad.outline")};
    std::vector<OutlineHandle> opened[2];
    std::string wrongReason[2];
    auto open = [&](int side) {
        for (int round = 0; round < 20; ++round) {
            opened[side].push_back(OpenOutline(paths[side].c_str()));
            std::string reason = LastOpenError();
            if (reason != (side == 0 ? "" : badReason)) wrongReason[side] = reason;
        }
    };
    std::thread beside(open, 1);
    open(0);
    beside.join();
    EXPECT_EQ(wrongReason[0] + wrongReason[1], "");
    EXPECT_EQ(std::count(opened[1].begin(), opened[1].end(), 0u), 20);
    std::set<OutlineHandle> distinct(opened[0].begin(), opened[0].end());
    EXPECT_EQ(distinct.size(), 20u);
    EXPECT_EQ(distinct.count(0), 0u);
    // Each outline's items, counted by two threads at once, each reading every other outline.
    auto count = [](OutlineHandle outline) {
        long items = 0;
        ItemView view = ItemView();
        if (ViewItem(outline, GetRootItem(outline), &view) != 0) ++items;
        for (ItemHandle item = view.firstChild; item != 0; item = view.nextSibling) {
            if (ViewItem(outline, item, &view) == 0) break;
            ++items;
        }
        return items;
    };
    long counted[2] = {0, 0};
    auto countEveryOther = [&](size_t first) {
        for (size_t k = first; k < opened[0].size(); k += 2) counted[first] += count(opened[0][k]);
    };
    std::thread reader(countEveryOther, 1);
    countEveryOther(0);
    reader.join();
    EXPECT_EQ(counted[0] + counted[1], 20 * 20001L);
    for (OutlineHandle outline : opened[0]) CloseOutline(outline);
}
