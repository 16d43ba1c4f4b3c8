// tests/platform/wide_format_test.cpp
//
// The wide formatter writes keys, record lines and date texts whose every character counts
// (the golden compare files check the library's own formats byte for byte), so the flags are
// checked at their edges, then the refusals: a result that does not fit and a bad format must
// never leave a partial text.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace {

// The text vswprintf_s makes in a roomy buffer; "<-1>" when it refuses.
std::u16string Format(const char16_t* format, ...) {
    WCHAR buffer[256];
    va_list arguments;
    va_start(arguments, format);
    int length = vswprintf_s(buffer, 256, format, arguments);
    va_end(arguments);
    if (length < 0) return buffer[0] == 0 ? u"<-1>" : u"<-1 and a text>";
    EXPECT_EQ(std::u16string(buffer).size(), static_cast<size_t>(length));
    return buffer;
}

// vswprintf_s into exactly count characters, the rest of the buffer marked with '#'.
int FormatInto(std::vector<WCHAR>& buffer, size_t count, const char16_t* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    int length = vswprintf_s(buffer.data(), count, format, arguments);
    va_end(arguments);
    return length;
}

}  // namespace

TEST(WideFormat, FlagsWidthsAndPrecisionsAtTheirEdges) {
    EXPECT_EQ(Format(u"[%-5d][%+d][% d][%+ d][%05d]", 42, 42, 42, 42, -42),
              u"[42   ][+42][ 42][+42][-0042]");
    EXPECT_EQ(Format(u"[%5.3d][%05.3d][%-05d][%.0d][%.0d]", 7, 7, 7, 0, 1),
              u"[  007][  007][7    ][][1]");
    EXPECT_EQ(Format(u"%#x %#X %#x %#o %#o %#.3o %o", 255, 255, 0, 8, 0, 8, 8),
              u"0xff 0XFF 0 010 0 010 10");
    EXPECT_EQ(Format(u"%#06x|%+u", 255, 5), u"0x00ff|5");
    EXPECT_EQ(Format(u"[%*d][%*d][%.*s][%.*s]", 5, 42, -5, 42, 3, u"abcdef", -1, u"abc"),
              u"[   42][42   ][abc][abc]");
    EXPECT_EQ(Format(u"[%-6s][%05s][%3c][%-3c]", u"ab", u"ab", u'x', u'y'),
              u"[ab    ][000ab][  x][y  ]");
    EXPECT_EQ(Format(u"%u %x %hd %hu %hhd %hhu", -1, -1, 65535, 65537, 255, 257),
              u"4294967295 ffffffff -1 1 -1 1");
    EXPECT_EQ(Format(u"%lld %I64u %I32d %zu", INT64_MIN, UINT64_MAX, -7, SIZE_MAX),
              u"-9223372036854775808 18446744073709551615 -7 18446744073709551615");
    EXPECT_EQ(Format(u"100%% %i", 9), u"100% 9");
    EXPECT_EQ(Format(u"%ld|%ld", INT32_MIN, static_cast<int32_t>(-1)), u"-2147483648|-1");
    // %.80s must stop at 80 even where no terminator follows (the sanitizer sees an overread).
    std::vector<WCHAR> unterminated(80, u'x');
    EXPECT_EQ(Format(u"%.80s", unterminated.data()), std::u16string(80, u'x'));
}

TEST(WideFormat, WideNarrowAndNullTexts) {
    EXPECT_EQ(Format(u"%s|%ls|%ws|%S|%hs", u"w1", u"w2", u"w3", "n1", "n2"), u"w1|w2|w3|n1|n2");
    EXPECT_EQ(Format(u"%s|%S|%.3s|%8s", nullptr, nullptr, nullptr, nullptr),
              u"(null)|(null)|(nu|  (null)");
    // Narrow texts are UTF-8; precision counts UTF-16 units and never splits a pair.
    EXPECT_EQ(Format(u"%S|%S", "\xC3\xA9", "\xF0\x9F\x98\x80"), u"\u00e9|\U0001F600");
    EXPECT_EQ(Format(u"[%.1S][%.2S][%3S]", "\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80", "\xC3\xA9"),
              u"[][\U0001F600][  \u00e9]");
    EXPECT_EQ(Format(u"%S",
                     "a\xFF"
                     "b"),
              u"a\uFFFDb");
    EXPECT_EQ(Format(u"%C%hc%lc%c", 'A', 'B', u'\u0100', u'\uFFFF'), u"AB\u0100\uFFFF");
}

TEST(WideFormat, BadFormatsAnswerMinusOneAndAnEmptyBuffer) {
    const char16_t* badFormats[] = {u"%q", u"%",    u"abc%",         u"%5",   u"%-",
                                    u"%.", u"%lls", u"%hhs",         u"%wd",  u"%f",
                                    u"%p", u"%n",   u"%3000000000d", u"ok %y"};
    for (size_t k = 0; k < sizeof badFormats / sizeof badFormats[0]; ++k) {
        EXPECT_EQ(Format(badFormats[k], 1, 2), u"<-1>") << "bad format " << k;
    }
    EXPECT_EQ(Format(nullptr), u"<-1>");
}

TEST(WideFormat, ResultThatDoesNotFitNeverWritesPastCount) {
    std::vector<WCHAR> buffer(32, u'#');
    EXPECT_EQ(FormatInto(buffer, 4, u"%s", u"abc"), 3);
    EXPECT_EQ(std::u16string(buffer.data()), u"abc");
    buffer.assign(32, u'#');
    EXPECT_EQ(FormatInto(buffer, 3, u"%s", u"abc"), -1);
    EXPECT_EQ(buffer[0], 0);
    EXPECT_EQ(buffer[3], u'#');
    // A width far beyond the buffer stops at the buffer, at once and without memory.
    buffer.assign(32, u'#');
    EXPECT_EQ(FormatInto(buffer, 16, u"%2000000000d", 1), -1);
    EXPECT_EQ(FormatInto(buffer, 16, u"%-*s", INT_MIN, u"x"), -1);
    EXPECT_EQ(buffer[0], 0);
    EXPECT_EQ(buffer[16], u'#');
    EXPECT_EQ(FormatInto(buffer, 1, u""), 0);
    EXPECT_EQ(FormatInto(buffer, 0, u"x"), -1);
}

TEST(WsprintfW, CutsTheOutputAtItsLimitOf1024Characters) {
    std::vector<WCHAR> buffer(1100, u'#');
    std::u16string longText(2000, u'z');
    EXPECT_EQ(wsprintfW(buffer.data(), u"%s", longText.c_str()), 1023);
    EXPECT_EQ(std::u16string(buffer.data()), std::u16string(1023, u'z'));
    EXPECT_EQ(buffer[1024], u'#');
    EXPECT_EQ(wsprintfW(buffer.data(), u"%s%03d", u"007", 12), 6);
    EXPECT_EQ(std::u16string(buffer.data()), u"007012");
    EXPECT_EQ(wsprintfW(buffer.data(), u"key %q", 1), 0);
    EXPECT_EQ(buffer[0], 0);
}
