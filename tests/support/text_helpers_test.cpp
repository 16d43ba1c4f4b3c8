// tests/support/text_helpers_test.cpp
//
// Line counts and item keys: the compare file's records carry both, so an off-by-one here is
// a wrong byte in every file.
#include <gtest/gtest.h>

#include "support/checked_memory.h"
#include "support/item_key.h"
#include "support/text_lines.h"
#include "tests/helpers/test_support.h"

TEST(CountLines, CountsLineFeedsPlusOne) {
    EXPECT_EQ(CountLines(nullptr), 0);
    EXPECT_EQ(CountLines(u""), 1);
    EXPECT_EQ(CountLines(u"one line"), 1);
    EXPECT_EQ(CountLines(u"a\nb\nc"), 3);
    EXPECT_EQ(CountLines(u"a\nb\n"), 3);  // a final LF still opens a line
    EXPECT_EQ(CountLines(u"a\r\nb"), 2);  // CR is an ordinary character
}

TEST(MakeKey, AppendsAtLeastThreeDigits) {
    const std::pair<int32_t, std::string> cases[] = {
        {7, "001007"}, {0, "001000"}, {999, "001999"}, {1000, "0011000"}, {-5, "001-05"}};
    for (const auto& [number, expected] : cases) {
        WCHAR* key = MakeKey(u"001", number);
        ASSERT_NE(key, nullptr);
        EXPECT_EQ(Narrow(key), expected) << number;
        CheckedFree(key);
    }
    // The empty prefix and an absent one give the digits alone, even for the widest number.
    WCHAR* digits = MakeKey(u"", -2147483647 - 1);
    ASSERT_NE(digits, nullptr);
    EXPECT_EQ(Narrow(digits), "-2147483648");
    CheckedFree(digits);
    WCHAR* absent = MakeKey(nullptr, 12);
    ASSERT_NE(absent, nullptr);
    EXPECT_EQ(Narrow(absent), "012");
    CheckedFree(absent);
}

TEST(MakeKey, KeysOfDeepOutlinesAreNeverCut) {
    // A 2,000-level chain has keys of 6,000 characters, far beyond any format buffer.
    std::u16string prefix;
    for (int level = 0; level < 2000; ++level) prefix += u"001";
    WCHAR* key = MakeKey(prefix.c_str(), 42);
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(std::u16string(key), prefix + u"042");
    CheckedFree(key);
}
