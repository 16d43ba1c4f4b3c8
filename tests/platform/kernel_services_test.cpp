// tests/platform/kernel_services_test.cpp
//
// Text comparison decides every pairing of keys, so its order is pinned down unit by unit;
// page blocks hold a large outline's records and texts.
#include <gtest/gtest.h>
#include <sys/mman.h>

#include <cstring>
#include <string>

#include "platform/platform.h"

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

// The text functions read eight units at a time: at every length and alignment, and with the
// text's terminator in the last unit before a page that cannot be read, they answer as a unit
// by unit reading does, and stop at the first difference or terminator.
TEST(WideTextFunctions, AgreeWithUnitByUnitReadingUpToAnUnreadablePage) {
    const size_t page = 4096;
    auto* pages = static_cast<char*>(
        mmap(nullptr, 3 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(pages, MAP_FAILED);
    ASSERT_EQ(mprotect(pages + 2 * page, page, PROT_NONE), 0);
    // The first text ends where the first page ends; the second a few units before the
    // unreadable page, so that the two stand at every alignment to each other.
    WCHAR* firstEnd = reinterpret_cast<WCHAR*>(pages + page) - 1;
    for (size_t shift = 0; shift < 9; ++shift) {
        WCHAR* secondEnd = reinterpret_cast<WCHAR*>(pages + 2 * page) - 1 - shift;
        for (size_t length = 0; length < 40; ++length) {
            WCHAR* first = firstEnd - length;
            WCHAR* second = secondEnd - length;
            for (size_t k = 0; k < length; ++k) {
                first[k] = second[k] = static_cast<WCHAR>(u'a' + k % 7);
            }
            *firstEnd = *secondEnd = 0;
            std::string where = std::to_string(shift) + " " + std::to_string(length);
            EXPECT_EQ(lstrlenW(second), static_cast<int>(length)) << where;
            EXPECT_EQ(lstrcmpW(first, second), 0) << where;
            WCHAR copy[48];
            EXPECT_EQ(std::u16string(lstrcpyW(copy, second)), std::u16string(first, length));
            for (size_t at = 0; at < length; ++at) {
                // A difference at each place decides the order, by unsigned units.
                second[at] = u'\xFFFF';
                EXPECT_LT(lstrcmpW(first, second), 0) << where << " " << at;
                EXPECT_GT(lstrcmpW(second, first), 0) << where << " " << at;
                second[at] = first[at];
            }
            if (length > 0) {
                // A text cut short sorts first: its terminator is the difference.
                first[length - 1] = 0;
                EXPECT_LT(lstrcmpW(first, second), 0) << where;
                EXPECT_EQ(lstrlenW(first), static_cast<int>(length - 1)) << where;
            }
        }
    }
    munmap(pages, 3 * page);
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

TEST(VirtualAlloc, ServesZeroedWritableBlocksAndRefusesWhatCannotBeServed) {
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
    EXPECT_EQ(VirtualAlloc(nullptr, 0, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE), nullptr);
    EXPECT_EQ(VirtualAlloc(nullptr, SIZE_MAX, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE), nullptr);
    EXPECT_EQ(VirtualFree(nullptr, 0, MEM_RELEASE), 0);
}
