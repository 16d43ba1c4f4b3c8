// tests/comparefile/record_writer_test.cpp
//
// The bytes of a compare file's header and records, through real files: every reader of the
// format counts on them, so each case below pins down a byte that is easy to get wrong. The
// header of each kind with real file sizes and times is in the golden files' test.
#include "comparefile/record_writer.h"

#include <gtest/gtest.h>

#include <functional>

#include "comparefile/compare_list.h"
#include "include/norvex63.h"
#include "support/text_lines.h"
#include "tests/comparefile/compare_file_fixture.h"
#include "tests/helpers/test_support.h"

namespace {

// Writes a compare file in modeWord through body and answers its characters.
std::u16string WrittenText(const ScratchFolder& scratch, uint32_t modeWord,
                           const std::function<void(CompareList&)>& body) {
    CompareList list;
    std::string path = scratch.File("written.cmp");
    EXPECT_TRUE(list.OpenCompareFile(Wide(path).c_str(), u"wb", modeWord));
    body(list);
    EXPECT_TRUE(list.CloseCompareFile());
    std::string bytes = ReadFileBytes(path);
    EXPECT_EQ(bytes.size() % 2, 0u);
    return Utf16Text(bytes);
}

}  // namespace

TEST(CompareHeader, NamesAndKindBitsDecideWhichLinesAreWritten) {
    ScratchFolder scratch;
    // A name that names no file (the "cmpnt" of an object build) has size 0 and no time.
    std::u16string objects = WrittenText(scratch, DIF_OPT_RDFA, [](CompareList& list) {
        WriteCompareHeader(list, u"cmpnt", u"cmpnt");
    });
    EXPECT_EQ(Printable(objects.c_str()),
              Printable(u"\uFEFFRDFA\r\ncmpnt,0,\r\ncmpnt,0,\r\n,0,\r\n"));

    // An absent name leaves its line out; the empty name's line is always there.
    std::u16string noNames = WrittenText(scratch, DIF_OPT_FDFM, [](CompareList& list) {
        WriteCompareHeader(list, nullptr, nullptr);
    });
    EXPECT_EQ(Printable(noNames.c_str()), Printable(u"\uFEFFFDFM\r\n,0,\r\n"));

    // Several kind bits give one marker each, in bit order; none gives no marker line.
    std::u16string allKinds = WrittenText(
        scratch, 0x7, [](CompareList& list) { WriteCompareHeader(list, nullptr, u"cmpnt"); });
    EXPECT_EQ(Printable(allKinds.c_str()),
              Printable(u"\uFEFFRDFC\r\nRDFA\r\nFDFM\r\ncmpnt,0,\r\n,0,\r\n"));
    std::u16string noKind = WrittenText(scratch, DIF_OPT_DTDATA, [](CompareList& list) {
        WriteCompareHeader(list, nullptr, nullptr);
    });
    EXPECT_EQ(Printable(noKind.c_str()), Printable(u"\uFEFF,0,\r\n"));

    // Without an open file the writers do nothing, and nothing breaks.
    CompareList closed;
    WriteCompareHeader(closed, u"cmpnt", u"cmpnt");
    WriteCompareRecord(closed, u'C', u'T', u"001", u"001", 1, 0, u"text");
    WriteCompareRecordJoined(closed, u'M', u'M', u"001", u"001", 1, 1, u"001", u"001");
    EXPECT_EQ(closed.Stream(), nullptr);
}

TEST(CompareRecordWriter, TextsGoOutUnescapedAfterTheirLineCount) {
    ScratchFolder scratch;
    std::u16string written = WrittenText(scratch, DIF_OPT_RDFA, [](CompareList& list) {
        WriteCompareRecord(list, u'C', u'T', u"001001", u"001002", 12, 0, u"one,two");
        // A final LF counts: the record's last physical line holds only CR LF.
        WriteCompareRecord(list, u'A', u'T', u"001002", u"001003", 7, -1, u"a\nb\n");
        WriteCompareRecord(list, u'D', u'T', u"001003", u"001004", 5, -1, u"");
        // A CR is no line break to the count; the extremes of the values are written whole.
        WriteCompareRecord(list, u'X', u'D', u"001004", u"001", INT32_MIN, INT32_MAX, u"x\ry");
        // Non-ASCII and lone surrogates pass as single code units, untouched.
        WriteCompareRecord(list, u'C', u'A', u"001", u"001", 3, 1, u"\u00E9\u4E2D\xD800.\xDC00");
        // An absent key or text is the empty text.
        WriteCompareRecord(list, u'C', u'T', nullptr, u"001", 1, 0, nullptr);
    });
    std::u16string expected =
        u"1,C,T,001001,001002,12,0,one,two\r\n"
        u"3,A,T,001002,001003,7,-1,a\nb\n\r\n"
        u"1,D,T,001003,001004,5,-1,\r\n"
        u"1,X,D,001004,001,-2147483648,2147483647,x\ry\r\n"
        u"1,C,A,001,001,3,1,\u00E9\u4E2D\xD800.\xDC00\r\n"
        u"1,C,T,,001,1,0,\r\n";
    EXPECT_EQ(Printable(written.c_str()), Printable(expected.c_str()));

    // Keys and texts longer than any buffer a writer may gather a line in go out whole, as
    // the formatted write of the fields gives them.
    std::u16string key = u"001";
    for (int level = 0; level < 900; ++level) key += u"012";
    std::u16string text(5000, u'x');
    for (size_t k = 0; k < text.size(); k += 97) text[k] = k % 2 == 0 ? u'\n' : u',';
    std::u16string longWritten = WrittenText(scratch, DIF_OPT_FDFM, [&](CompareList& list) {
        WriteCompareRecord(list, u'C', u'T', key.c_str(), key.c_str(), 9, 4, text.c_str());
    });
    std::u16string formatted = WrittenText(scratch, DIF_OPT_FDFM, [&](CompareList& list) {
        fwprintf(list.Stream(), u"%d,%c,%c,%s,%s,%d,%d,%s\r\n", CountLines(text.c_str()), u'C',
                 u'T', key.c_str(), key.c_str(), 9, 4, text.c_str());
    });
    EXPECT_EQ(longWritten, formatted);
}

TEST(CompareRecordWriter, JoinedTextsAreOneTextWithAComma) {
    ScratchFolder scratch;
    std::u16string written = WrittenText(scratch, DIF_OPT_FDFM, [](CompareList& list) {
        WriteCompareRecordJoined(list, u'A', u'P', u"001002", u"001002", 2, 2, u"name", u"va,lue");
        // Line breaks in either part count as in one text.
        WriteCompareRecordJoined(list, u'C', u'P', u"001002", u"001002", 0, 0, u"n\n", u"v\nw");
        WriteCompareRecordJoined(list, u'D', u'P', u"001002", u"001002", 1, 1, u"alone", nullptr);
        WriteCompareRecordJoined(list, u'M', u'M', u"001004", u"001002", 2, 4, u"001003",
                                 u"001002");
    });
    std::u16string expected =
        u"1,A,P,001002,001002,2,2,name,va,lue\r\n"
        u"3,C,P,001002,001002,0,0,n\n,v\nw\r\n"
        u"1,D,P,001002,001002,1,1,alone\r\n"
        u"1,M,M,001004,001002,2,4,001003,001002\r\n";
    EXPECT_EQ(Printable(written.c_str()), Printable(expected.c_str()));
}

TEST(CompareRecordWriter, ViewModeDropsXRecordsAndEveryTextButAMovesKeys) {
    ScratchFolder scratch;
    std::u16string written = WrittenText(scratch, DIF_OPT_RDFC, [](CompareList& list) {
        WriteCompareRecord(list, u'X', u'T', u"001001", u"001002", 4, -1, u"gone");
        WriteCompareRecordJoined(list, u'X', u'P', u"001001", u"001", 0, 0, u"n", u"v");
        // The text goes, and with it its line breaks: the line count is 1.
        WriteCompareRecord(list, u'C', u'T', u"001001", u"001001", 4, 0, u"two\nlines");
        WriteCompareRecordJoined(list, u'C', u'P', u"001001", u"001001", 0, 0, u"n", u"v");
        WriteCompareRecordJoined(list, u'M', u'M', u"001001", u"001003", 1, 1, u"001002",
                                 u"001003");
        WriteCompareRecord(list, u'M', u'M', u"001001", u"001003", 1, 1, u"001002,001003");
    });
    std::u16string expected =
        u"1,C,T,001001,001001,4,0,\r\n"
        u"1,C,P,001001,001001,0,0,\r\n"
        u"1,M,M,001001,001003,1,1,001002,001003\r\n"
        u"1,M,M,001001,001003,1,1,001002,001003\r\n";
    EXPECT_EQ(Printable(written.c_str()), Printable(expected.c_str()));
}
