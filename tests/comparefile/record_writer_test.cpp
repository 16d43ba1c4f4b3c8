// tests/comparefile/record_writer_test.cpp
//
// The bytes of a compare file's header, through real files, for names that name no file and
// for any set of kind bits. The header of each kind with real file sizes and times, and the
// bytes of every kind of record, are in the golden files; records longer than any buffer are
// the build behaviour test's (a 15,003-digit key, a text of over 100,000 characters).
#include "comparefile/record_writer.h"

#include <gtest/gtest.h>

#include <functional>

#include "comparefile/compare_list.h"
#include "include/norvex63.h"
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
