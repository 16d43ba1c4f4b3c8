// tests/platform/files_test.cpp
//
// Wide-character files through real files on disk: the bytes are checked exactly, because
// outline and compare files are UTF-16LE byte for byte, and a stray translation or a lost
// last line would corrupt them. Also file status, date texts and _wtoi.
#include <gtest/gtest.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <string>

#include "platform/platform.h"
#include "tests/helpers/test_support.h"

namespace {

FILE* Open(const std::u16string& path, const char16_t* mode) {
    FILE* file = nullptr;
    EXPECT_EQ(_wfopen_s(&file, path.c_str(), mode), 0);
    return file;
}

// Every line fgetws answers with a buffer of count characters, until it answers null.
std::vector<std::u16string> ReadLines(const std::string& path, int count) {
    std::vector<std::u16string> lines;
    FILE* file = Open(Wide(path), u"rb");
    std::vector<WCHAR> buffer(count);
    while (fgetws(buffer.data(), count, file) != nullptr) lines.emplace_back(buffer.data());
    EXPECT_NE(feof(file), 0);
    fclose(file);
    return lines;
}

using Lines = std::vector<std::u16string>;

}  // namespace

TEST(WideFile, FgetwsReadsThroughLfAndKeepsALastLineWithoutOne) {
    ScratchFolder scratch;
    std::string path = scratch.File("lines.txt");
    WriteFileBytes(path, std::string("a\0\r\0\n\0b\0c\0", 10));
    EXPECT_EQ(ReadLines(path, 100), (Lines{u"a\r\n", u"bc"}));
    // At most count - 1 characters at a time.
    WriteFileBytes(path, std::string("a\0b\0c\0d\0e\0\n\0", 12));
    EXPECT_EQ(ReadLines(path, 3), (Lines{u"ab", u"cd", u"e\n"}));
    EXPECT_EQ(ReadLines(path, 2), (Lines{u"a", u"b", u"c", u"d", u"e", u"\n"}));
    // A lone last byte is the end of the file, and a one-byte file holds nothing.
    WriteFileBytes(path, std::string("a\0b\0X", 5));
    EXPECT_EQ(ReadLines(path, 100), (Lines{u"ab"}));
    WriteFileBytes(path, "X");
    EXPECT_EQ(ReadLines(path, 100), Lines{});
    WriteFileBytes(path, "");
    EXPECT_EQ(ReadLines(path, 100), Lines{});
    // No room to read anything answers null rather than an endless run of empty lines.
    FILE* file = Open(Wide(path), u"r");
    WCHAR one[1] = {u'#'};
    EXPECT_EQ(fgetws(one, 1, file), nullptr);
    EXPECT_EQ(fgetws(one, 0, file), nullptr);
    fclose(file);
}

TEST(WideFile, EveryCodeUnitRoundTripsAsLittleEndianBytes) {
    ScratchFolder scratch;
    std::string path = scratch.File("units.txt");
    std::u16string all;
    for (uint32_t unit = 1; unit <= 0xFFFF; ++unit) all.push_back(static_cast<char16_t>(unit));
    FILE* file = Open(Wide(path), u"w");  // no "b", and still no translation
    ASSERT_EQ(fputws(all.c_str(), file), 0);
    ASSERT_EQ(fputwc(u'\0', file), 0u);
    ASSERT_EQ(fputwc(u'\uFEFF', file), 0xFEFFu);
    fclose(file);

    std::string bytes = ReadFileBytes(path);
    ASSERT_EQ(bytes.size(), 2u * (0xFFFF + 2));
    for (uint32_t unit = 1; unit <= 0xFFFF; ++unit) {
        ASSERT_EQ(static_cast<unsigned char>(bytes[2 * (unit - 1)]), unit & 0xFF);
        ASSERT_EQ(static_cast<unsigned char>(bytes[2 * (unit - 1) + 1]), unit >> 8);
    }
    EXPECT_EQ(bytes.substr(2 * 0xFFFF), std::string("\0\0\xFF\xFE", 4));

    std::u16string readBack;
    for (const std::u16string& line : ReadLines(path, 70000)) readBack += line;
    EXPECT_EQ(readBack, all);  // the trailing 0 ends the C text of the last line
}

TEST(WideFile, PathsBecomeUtf8AndThoseNamingNoFileAreRefused) {
    ScratchFolder scratch;
    std::u16string path = scratch.WideFile("missing.txt");
    FILE* file = nullptr;
    EXPECT_EQ(_wfopen_s(&file, path.c_str(), u"r"), ENOENT);
    EXPECT_EQ(file, nullptr);
    EXPECT_EQ(_wfopen_s(&file, nullptr, u"r"), EINVAL);
    EXPECT_EQ(_wfopen_s(&file, u"", u"r"), EINVAL);
    // A lone U+DC80..U+DCFF carries a byte of a name that is not UTF-8; any other lone
    // surrogate names no file.
    for (char16_t unit : {u'\xD800', u'\xDBFF', u'\xDC7F', u'\xDD00', u'\xDFFF'}) {
        std::u16string loneSurrogate = scratch.WideFile("x") + unit;
        EXPECT_EQ(_wfopen_s(&file, loneSurrogate.c_str(), u"w"), EINVAL) << int(unit);
    }
    file = Open(scratch.WideFile("x") + u'\xDCE9' + u'\xDCFF' + u'\xDC80', u"w");
    fclose(file);
    EXPECT_EQ(access(scratch.File("x\xE9\xFF\x80").c_str(), F_OK), 0);
    std::u16string folder = Wide(scratch.Path());
    for (const char16_t* mode : {u"rb", u"wb"}) {
        errno_t error = _wfopen_s(&file, folder.c_str(), mode);
        EXPECT_TRUE(error == EISDIR || error == EACCES) << error;
        EXPECT_EQ(file, nullptr);
    }
    // A path becomes UTF-8 at the system call.
    file = Open(scratch.WideFile("caf") + u"\u00e9\U0001F600", u"w");
    fclose(file);
    EXPECT_EQ(access(scratch.File("caf\xC3\xA9\xF0\x9F\x98\x80").c_str(), F_OK), 0);
}

TEST(WideFile, FwprintfWritesLittleEndianUnits) {
    ScratchFolder scratch;
    std::u16string path = scratch.WideFile("printed.txt");
    FILE* file = Open(path, u"wb");
    EXPECT_EQ(fwprintf(file, u"%s,%ld,%s\r\n", u"n\u00e9", 7, u"t"), 8);
    fclose(file);
    EXPECT_EQ(ReadFileBytes(scratch.File("printed.txt")), std::string("n\0\xE9\0,\0"
                                                                      "7\0,\0t\0\r\0\n\0",
                                                                      16));
}

TEST(FileStatus, SizeIsItsLow32BitsAndTimeIsSecondsSince1970) {
    ScratchFolder scratch;
    std::string path = scratch.File("status.bin");
    WriteFileBytes(path, "0123456789");
    const struct timeval times[2] = {{1000000000, 0}, {1234567890, 0}};
    ASSERT_EQ(utimes(path.c_str(), times), 0);
    FILE* file = Open(Wide(path), u"r+b");
    struct _stat64i32 status;
    ASSERT_EQ(_fstat64i32(_fileno(file), &status), 0);
    EXPECT_EQ(status.st_size, 10);
    EXPECT_EQ(status.st_mtime, 1234567890);
    // A sparse file of 4 GiB and 5 bytes reports 5.
    ASSERT_EQ(ftruncate(_fileno(file), (int64_t{1} << 32) + 5), 0);
    ASSERT_EQ(_fstat64i32(_fileno(file), &status), 0);
    EXPECT_EQ(status.st_size, 5);
    fclose(file);
    EXPECT_EQ(_fstat64i32(-1, &status), -1);
    EXPECT_EQ(_fileno(nullptr), -1);
}

TEST(WideTime, AsctimeFormInLocalTime) {
    WCHAR text[32];
    const std::pair<__time64_t, const char16_t*> cases[] = {
        {0, u"Thu Jan 01 00:00:00 1970\n"},
        {1234567890, u"Fri Feb 13 23:31:30 2009\n"},
        {32535215999LL, u"Wed Dec 31 23:59:59 3000\n"},
    };
    {
        FixedTimeZone utc("UTC");
        for (const auto& [time, expected] : cases) {
            ASSERT_EQ(_wctime64_s(text, 26, &time), 0);
            EXPECT_EQ(std::u16string(text), expected);
        }
    }
    FixedTimeZone behind("EST5");  // a POSIX zone, five hours behind, without a zone database
    __time64_t epoch = 0;
    ASSERT_EQ(_wctime64_s(text, 32, &epoch), 0);
    EXPECT_EQ(std::u16string(text), u"Wed Dec 31 19:00:00 1969\n");
    // Refusals leave an empty text.
    __time64_t refused[] = {-1, 32535216000LL};
    for (__time64_t& time : refused) {
        text[0] = u'#';
        EXPECT_EQ(_wctime64_s(text, 32, &time), EINVAL);
        EXPECT_EQ(text[0], 0);
    }
    text[0] = u'#';
    EXPECT_EQ(_wctime64_s(text, 25, &epoch), EINVAL);
    EXPECT_EQ(text[0], 0);
    EXPECT_EQ(_wctime64_s(text, 32, nullptr), EINVAL);
    EXPECT_EQ(_wctime64_s(nullptr, 32, &epoch), EINVAL);
}

TEST(Wtoi, ReadsASignedDecimalPrefixAndSaturates) {
    const std::pair<const char16_t*, int> cases[] = {
        {u"  -42abc", -42},
        {u"\t\n\v\f\r+7", 7},
        {u"abc", 0},
        {u"", 0},
        {u"- 5", 0},
        {u"007", 7},
        {u"2147483647", INT_MAX},
        {u"2147483648", INT_MAX},
        {u"-2147483648", INT_MIN},
        {u"-2147483649", INT_MIN},
        {u"99999999999999999999999", INT_MAX},
        {u"-99999999999999999999999", INT_MIN},
        {u"\u00a05", 0},
        {u"\uff15", 0},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(_wtoi(text), expected);
    EXPECT_EQ(_wtoi(nullptr), 0);
}
