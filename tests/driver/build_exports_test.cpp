// tests/driver/build_exports_test.cpp
//
// The build exports through real files: the status bits of each failure, what is left on disk,
// the progress a caller's window sees, the caller's directory kept, and the small services.
#include "include/norvex63.h"

#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "outline/outline_runtime.h"
#include "support/run_state.h"
#include "tests/helpers/test_support.h"

namespace {

constexpr uint16_t kProgressMessage = 0x8001;
const std::string kSmallOutline = "OUTLINE 1\n1 \"application\"\n  4 \"main\"\n";

// One message as the caller's window saw it: the percentage and the text read back inside.
struct Report {
    int percent;
    std::string text;
    bool operator==(const Report& other) const {
        return percent == other.percent && text == other.text;
    }
};
std::vector<Report> g_reports;
// When set, the window asks for an abort on the report with this text.
std::string g_abortOnText;

LRESULT CALLBACK RecordProgress(HWND, UINT message, WPARAM percent, LPARAM) {
    EXPECT_EQ(message, kProgressMessage);
    DIF_CHAR text[161];
    DIF_BuildGetSection(text, 161, nullptr, nullptr);
    g_reports.push_back({static_cast<int>(percent), Narrow(text)});
    if (!g_abortOnText.empty() && Narrow(text) == g_abortOnText) {
        g_abortOnText.clear();
        DIF_BuildAbort();
    }
    return 0;
}

std::ostream& operator<<(std::ostream& out, const Report& report) {
    return out << report.percent << " " << report.text;
}

class BuildExports : public ::testing::Test {
protected:
    void SetUp() override {
        g_reports.clear();
        g_abortOnText.clear();
        window_ = CreateCallbackWindow(RecordProgress);
        WriteFileBytes(scratch_.File("first.outline"), kSmallOutline);
        WriteFileBytes(scratch_.File("second.outline"), kSmallOutline);
    }
    void TearDown() override { DestroyCallbackWindow(window_); }

    uint16_t Build(const std::u16string& first, const std::u16string& second,
                   const std::u16string& compare) {
        return DIF_Build(first.c_str(), second.c_str(), compare.c_str(), window_, kProgressMessage,
                         0);
    }

    ScratchFolder scratch_;
    MessageBoxRecorder boxes_;
    HWND window_ = nullptr;
};

}  // namespace

TEST_F(BuildExports, TwoGoodOutlinesBuildWithProgressAndNoWarnings) {
    std::u16string compare = scratch_.WideFile("result.cmp");
    for (int run = 0; run < 2; ++run) {  // state left by one build must not change the next
        g_reports.clear();
        EXPECT_EQ(
            Build(scratch_.WideFile("first.outline"), scratch_.WideFile("second.outline"), compare),
            0)
            << "run " << run;
        EXPECT_TRUE(FileExists(scratch_.File("result.cmp")));
        const std::vector<Report> expected = {
            {0, "Loading..."}, {0, "Processing..."}, {100, "Done."}};
        EXPECT_EQ(g_reports, expected) << "run " << run;
    }
    EXPECT_TRUE(boxes_.Boxes().empty()) << boxes_.Titles();
    // No temporary file is left beside the compare file.
    EXPECT_EQ(ReadFileBytes(scratch_.File("first.outline")), kSmallOutline);
    int files = 0;
    for (auto& entry : std::filesystem::directory_iterator(scratch_.Path())) {
        (void)entry;
        ++files;
    }
    EXPECT_EQ(files, 3);
}

TEST_F(BuildExports, EachFailureAddsItsBitAndLeavesNoPartialFile) {
    std::u16string first = scratch_.WideFile("first.outline");
    std::u16string second = scratch_.WideFile("second.outline");
    std::u16string missing = scratch_.WideFile("missing.outline");

    // Two missing outlines: both bits, and a compare file all the same.
    EXPECT_EQ(Build(missing, missing, scratch_.WideFile("a.cmp")), 0x3);
    EXPECT_TRUE(FileExists(scratch_.File("a.cmp")));
    EXPECT_EQ(Build(first, missing, scratch_.WideFile("b.cmp")), DIF_ST_SECOND_OUTLINE);
    EXPECT_EQ(Build(missing, second, scratch_.WideFile("c.cmp")), DIF_ST_FIRST_OUTLINE);

    // A compare path that cannot be written: no comparison runs, and the call ends "Done.".
    g_reports.clear();
    EXPECT_EQ(Build(first, second, scratch_.WideFile("no-such-folder/d.cmp")), DIF_ST_COMPARE_FILE);
    const std::vector<Report> expected = {{0, "Loading..."}, {100, "Done."}};
    EXPECT_EQ(g_reports, expected);
    EXPECT_EQ(Build(first, second, Wide(scratch_.Path())), DIF_ST_COMPARE_FILE);
    EXPECT_EQ(Build(first, second, u""), DIF_ST_COMPARE_FILE);
    EXPECT_EQ(DIF_Build(nullptr, nullptr, nullptr, nullptr, 0, 0), 0x7);

    // An old compare file in a folder that cannot be written stays as it was.
    std::filesystem::create_directory(scratch_.File("locked"));
    WriteFileBytes(scratch_.File("locked/old.cmp"), "old bytes");
    chmod(scratch_.File("locked").c_str(), 0500);
    if (geteuid() != 0) {  // the superuser writes anywhere
        EXPECT_EQ(Build(first, second, scratch_.WideFile("locked/old.cmp")), DIF_ST_COMPARE_FILE);
        EXPECT_EQ(ReadFileBytes(scratch_.File("locked/old.cmp")), "old bytes");
    }
    chmod(scratch_.File("locked").c_str(), 0700);
}

TEST_F(BuildExports, AbortEndsTheBuildAbortedButAnEarlierAbortIsForgotten) {
    std::u16string first = scratch_.WideFile("first.outline");
    std::u16string second = scratch_.WideFile("second.outline");
    DIF_BuildAbort();  // before any build: the build clears it first
    EXPECT_EQ(Build(first, second, scratch_.WideFile("a.cmp")), 0);

    g_reports.clear();
    g_abortOnText = "Processing...";
    EXPECT_EQ(Build(first, second, scratch_.WideFile("b.cmp")), DIF_ST_ABORTED);
    // The abort sends the last percentage again with its own text, inside the same message.
    const std::vector<Report> expected = {
        {0, "Loading..."}, {0, "Processing..."}, {0, "Aborting..."}, {100, "Aborted."}};
    EXPECT_EQ(g_reports, expected);
}

TEST_F(BuildExports, RelativePathsResolveAgainstTheCallersDirectoryWhichIsKept) {
    std::filesystem::create_directory(scratch_.File("one"));
    std::filesystem::create_directory(scratch_.File("two"));
    WriteFileBytes(scratch_.File("one/a.outline"), kSmallOutline);
    WriteFileBytes(scratch_.File("two/b.outline"), kSmallOutline);
    WriteFileBytes(scratch_.File("b.outline"), kSmallOutline);
    WorkingDirectory inScratch(scratch_.Path());
    // The first open makes "one" current, but the second path is read from the caller's
    // directory again: "b.outline" is the scratch folder's, not one/b.outline (absent).
    EXPECT_EQ(Build(scratch_.WideFile("one/a.outline"), u"b.outline", u"r.cmp"), 0);
    EXPECT_EQ(CurrentDirectory(), std::filesystem::canonical(scratch_.Path()).string());
    EXPECT_TRUE(FileExists(scratch_.File("r.cmp")));
}

TEST_F(BuildExports, ObjectBuildUsesAndLeavesTheCallersOutlinesOpen) {
    std::u16string first = scratch_.WideFile("first.outline");
    OutlineHandle firstOutline = OpenOutline(first.c_str());
    OutlineHandle secondOutline = OpenOutline(scratch_.WideFile("second.outline").c_str());
    ASSERT_NE(firstOutline, 0u);
    ASSERT_NE(secondOutline, 0u);
    ItemHandle firstRoot = GetRootItem(firstOutline);
    ItemHandle secondRoot = GetRootItem(secondOutline);
    std::u16string compare = scratch_.WideFile("object.cmp");

    EXPECT_EQ(DIF_BuildObject(u"a", firstOutline, firstRoot, u"b", secondOutline, secondRoot,
                              compare.c_str(), window_, kProgressMessage, 0),
              0);
    EXPECT_TRUE(FileExists(scratch_.File("object.cmp")));
    EXPECT_EQ(GetRootItem(firstOutline), firstRoot);  // still open
    EXPECT_EQ(GetRootItem(secondOutline), secondRoot);

    std::u16string badCompare = scratch_.WideFile("none/object.cmp");
    EXPECT_EQ(DIF_BuildObject(u"a", firstOutline, firstRoot, u"b", secondOutline, secondRoot,
                              badCompare.c_str(), window_, kProgressMessage, 0),
              DIF_ST_COMPARE_FILE);
    CloseOutline(firstOutline);
    CloseOutline(secondOutline);
}

TEST(BuildGetSection, CopiesAtMostTheBufferAndFillsOnlyGivenCounts) {
    g_runState.recordCount = 0;
    lstrcpynW(g_runState.lastText, u"Processing...", kLastTextSize);
    g_runState.firstSectionCount = 12;
    g_runState.secondSectionCount = 0;

    DIF_CHAR buffer[16];
    DIF_BuildGetSection(buffer, 5, nullptr, nullptr);
    EXPECT_EQ(std::u16string(buffer), u"Proc");

    uint32_t first = 99, second = 99;
    DIF_BuildGetSection(nullptr, 0, &first, &second);
    EXPECT_EQ(first, 12u);
    EXPECT_EQ(second, 0u);

    // A buffer larger than the text's room is filled with the whole text only.
    DIF_CHAR large[400];
    DIF_BuildGetSection(large, 400, &first, nullptr);
    EXPECT_EQ(std::u16string(large), u"Processing...");
}

TEST(BuildKey, FormatsKeysForCallers) {
    DIF_CHAR buffer[32];
    EXPECT_EQ(DIF_BuildKey(buffer, u"001", 5), 6);
    EXPECT_EQ(std::u16string(buffer), u"001005");
    EXPECT_EQ(DIF_BuildKey(buffer, nullptr, 7), 3);
    EXPECT_EQ(std::u16string(buffer), u"007");
    EXPECT_EQ(DIF_BuildKey(buffer, nullptr, 1000), 4);
    EXPECT_EQ(std::u16string(buffer), u"1000");
    EXPECT_EQ(DIF_BuildKey(nullptr, u"001", 5), 0);
}

TEST(GetFileInfo, ReportsSizeAndLocalDateOrNothing) {
    FixedTimeZone utc("UTC");
    ScratchFolder scratch;
    std::string path = scratch.File("sized.outline");
    WriteFileBytes(path, std::string(1234, 'x'));
    struct utimbuf times = {};
    times.actime = times.modtime = 1700000000;  // Tue Nov 14 22:13:20 2023 UTC
    ASSERT_EQ(utime(path.c_str(), &times), 0);

    uint32_t size = 0;
    DIF_CHAR date[32];
    DIF_GetFileInfo(Wide(path).c_str(), &size, date);
    EXPECT_EQ(size, 1234u);
    EXPECT_EQ(Narrow(date), "Tue Nov 14 2023 22:13:20");

    {
        FixedTimeZone berlin("CET-1");  // the date is the caller's local time
        DIF_GetFileInfo(Wide(path).c_str(), nullptr, date);
        EXPECT_EQ(Narrow(date), "Tue Nov 14 2023 23:13:20");
    }

    // A single-digit day is zero-padded, as the C runtime of Windows writes it.
    times.actime = times.modtime = 1699000000;  // Fri Nov 03 08:26:40 2023 UTC
    ASSERT_EQ(utime(path.c_str(), &times), 0);
    DIF_GetFileInfo(Wide(path).c_str(), nullptr, date);
    EXPECT_EQ(Narrow(date), "Fri Nov 03 2023 08:26:40");

    // Nothing to read: size 0 and the empty date, each where given.
    const std::u16string unreadable[] = {u"", Wide(scratch.File("missing")), Wide(scratch.Path())};
    for (const std::u16string& bad : unreadable) {
        size = 7;
        date[0] = u'x';
        DIF_GetFileInfo(bad.c_str(), &size, date);
        EXPECT_EQ(size, 0u) << Narrow(bad);
        EXPECT_EQ(date[0], 0) << Narrow(bad);
    }
    DIF_GetFileInfo(nullptr, nullptr, nullptr);
    size = 7;
    DIF_GetFileInfo(nullptr, &size, nullptr);
    EXPECT_EQ(size, 0u);
}
