// tests/driver/build_exports_test.cpp
//
// The build exports' small services, and the caller's directory kept through a build whose
// paths are relative.
#include "include/norvex63.h"

#include <utime.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "outline/outline_runtime.h"
#include "support/run_state.h"
#include "tests/helpers/test_support.h"

const std::string kSmallOutline = "OUTLINE 1\n1 \"application\"\n  4 \"main\"\n";

TEST(BuildExports, RelativePathsResolveAgainstTheCallersDirectoryWhichIsKept) {
    ScratchFolder scratch;
    std::filesystem::create_directory(scratch.File("one"));
    WriteFileBytes(scratch.File("one/a.outline"), kSmallOutline);
    WriteFileBytes(scratch.File("b.outline"), kSmallOutline);
    WorkingDirectory inScratch(scratch.Path());
    // The first open makes "one" current, but the second path is read from the caller's
    // directory again: "b.outline" is the scratch folder's, not one/b.outline (absent).
    EXPECT_EQ(
        DIF_Build(scratch.WideFile("one/a.outline").c_str(), u"b.outline", u"r.cmp", nullptr, 0, 0),
        0);
    EXPECT_EQ(CurrentDirectory(), std::filesystem::canonical(scratch.Path()).string());
    EXPECT_TRUE(FileExists(scratch.File("r.cmp")));
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
    // Sizes and dates in UTC, a single-digit day among them, are in the compare file goldens'
    // headers; here the date is the caller's local time.
    FixedTimeZone berlin("CET-1");
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
    EXPECT_EQ(Narrow(date), "Tue Nov 14 2023 23:13:20");

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
