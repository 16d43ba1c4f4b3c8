// tests/platform/kernel_services_test.cpp
//
// Text comparison decides every pairing of keys, so its order is pinned down unit by unit;
// file moves are what the writers' temporary-then-rename relies on to keep an old file intact;
// page blocks hold a large outline's records and texts.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <string>

#include "platform/platform.h"
#include "tests/helpers/test_support.h"

TEST(Lstrcmp, OrdinalByUnsignedCodeUnitsWithNullFirst) {
    EXPECT_LT(lstrcmpW(u"a", u"b"), 0);
    EXPECT_LT(lstrcmpW(u"B", u"a"), 0);  // no case folding
    EXPECT_GT(lstrcmpW(u"\u00e9", u"z"), 0);
    EXPECT_GT(lstrcmpW(u"\uFFFF", u"\u7FFF"), 0);        // unsigned, not signed, units
    EXPECT_LT(lstrcmpW(u"\xD800\xDC00", u"\uFFFD"), 0);  // units, not code points
    EXPECT_LT(lstrcmpW(u"ab", u"abc"), 0);
    EXPECT_GT(lstrcmpW(u"abc", u"ab"), 0);
    EXPECT_EQ(lstrcmpW(u"abc", u"abc"), 0);
    EXPECT_EQ(lstrcmpW(u"", u""), 0);
    EXPECT_LT(lstrcmpW(nullptr, u""), 0);
    EXPECT_GT(lstrcmpW(u"", nullptr), 0);
    EXPECT_EQ(lstrcmpW(nullptr, nullptr), 0);
}

TEST(Lstrcpyn, CopiesAtMostOneLessThanMaxLengthAndTerminates) {
    WCHAR target[8] = {u'#', u'#', u'#', u'#', u'#', u'#', u'#', u'#'};
    lstrcpynW(target, u"abcdef", 0);
    EXPECT_EQ(target[0], u'#');
    lstrcpynW(target, u"abcdef", 1);
    EXPECT_EQ(target[0], 0);
    EXPECT_EQ(target[1], u'#');
    EXPECT_EQ(std::u16string(lstrcpynW(target, u"abcdef", 4)), u"abc");
    EXPECT_EQ(target[4], u'#');
    EXPECT_EQ(std::u16string(lstrcpynW(target, u"ab", 8)), u"ab");
    EXPECT_EQ(std::u16string(lstrcpyW(target, u"xyz")), u"xyz");
    EXPECT_EQ(lstrlenW(u"xyz"), 3);
    EXPECT_EQ(lstrlenW(nullptr), 0);
}

TEST(MoveFile, ReplacesAnExistingTargetOnlyWhenAsked) {
    ScratchFolder scratch;
    std::u16string first = scratch.WideFile("first");
    std::u16string second = scratch.WideFile("second");
    WriteFileBytes(scratch.File("first"), "one");
    WriteFileBytes(scratch.File("second"), "two");
    EXPECT_EQ(MoveFileExW(first.c_str(), second.c_str(), 0), 0);
    EXPECT_EQ(ReadFileBytes(scratch.File("first")), "one");
    EXPECT_EQ(ReadFileBytes(scratch.File("second")), "two");
    EXPECT_NE(MoveFileExW(first.c_str(), second.c_str(), MOVEFILE_REPLACE_EXISTING), 0);
    EXPECT_EQ(ReadFileBytes(scratch.File("second")), "one");
    EXPECT_NE(access(scratch.File("first").c_str(), F_OK), 0);
    // A new name needs no flag; a missing source or a bad path fails.
    std::u16string third = scratch.WideFile("third");
    EXPECT_NE(MoveFileExW(second.c_str(), third.c_str(), 0), 0);
    EXPECT_EQ(ReadFileBytes(scratch.File("third")), "one");
    EXPECT_EQ(MoveFileExW(second.c_str(), first.c_str(), MOVEFILE_REPLACE_EXISTING), 0);
    EXPECT_EQ(MoveFileExW(nullptr, first.c_str(), 0), 0);
    std::u16string lone = third + u'\xDC00';
    EXPECT_EQ(MoveFileExW(third.c_str(), lone.c_str(), 0), 0);
    // A dangling link is an existing target too.
    ASSERT_EQ(symlink("nowhere", scratch.File("link").c_str()), 0);
    EXPECT_EQ(MoveFileExW(third.c_str(), scratch.WideFile("link").c_str(), 0), 0);
    EXPECT_EQ(ReadFileBytes(scratch.File("third")), "one");
}

TEST(DeleteFile, RemovesAFileButNotAFolderOrNothing) {
    ScratchFolder scratch;
    WriteFileBytes(scratch.File("doomed"), "x");
    EXPECT_NE(DeleteFileW(scratch.WideFile("doomed").c_str()), 0);
    EXPECT_NE(access(scratch.File("doomed").c_str(), F_OK), 0);
    EXPECT_EQ(DeleteFileW(scratch.WideFile("doomed").c_str()), 0);
    ASSERT_EQ(mkdir(scratch.File("folder").c_str(), 0700), 0);
    EXPECT_EQ(DeleteFileW(scratch.WideFile("folder").c_str()), 0);
    EXPECT_EQ(DeleteFileW(nullptr), 0);
}

TEST(VirtualAlloc, ServesZeroedWritableBlocksAndRefusesOtherForms) {
    // Sizes around the huge-page advice and an odd one; each block zeroed and wholly writable.
    for (size_t size : {size_t{1}, size_t{4095}, size_t{2} << 20, (size_t{8} << 20) + 3}) {
        auto* block = static_cast<unsigned char*>(
            VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        ASSERT_NE(block, nullptr) << size;
        EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % 64, 0u);
        EXPECT_EQ(block[0], 0);
        EXPECT_EQ(block[size - 1], 0);
        std::memset(block, 0xA5, size);
        EXPECT_NE(VirtualFree(block, 0, MEM_RELEASE), 0) << size;
    }
    int place = 0;
    EXPECT_EQ(VirtualAlloc(&place, 64, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE), nullptr);
    EXPECT_EQ(VirtualAlloc(nullptr, 0, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE), nullptr);
    EXPECT_EQ(VirtualAlloc(nullptr, 64, MEM_RESERVE, PAGE_READWRITE), nullptr);
    EXPECT_EQ(VirtualAlloc(nullptr, SIZE_MAX, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE), nullptr);
    EXPECT_EQ(VirtualFree(nullptr, 0, MEM_RELEASE), 0);
}
