// tests/comparefile/compare_file_golden_test.cpp
//
// A whole compare file for each kind marker, with fixed file times and one record of every
// kind, against the files under tests/data/comparefile; then read back from the golden file
// itself. A missing golden is written for review, and that run fails.
#include <gtest/gtest.h>
#include <utime.h>

#include <cstdint>
#include <string>

#include "comparefile/compare_list.h"
#include "comparefile/record_writer.h"
#include "include/norvex63.h"
#include "tests/comparefile/compare_file_fixture.h"
#include "tests/helpers/test_support.h"

namespace {

struct KindRecord {
    char16_t changeLetter;
    char16_t subjectLetter;
    const char16_t* firstKey;
    const char16_t* secondKey;
    int32_t firstValue;
    int32_t secondValue;
    const char16_t* textA;
    const char16_t* textB;
    bool joined;  // written with WriteCompareRecordJoined, else WriteCompareRecord (textA)
};

// One of each kind, with the fields each kind carries; then the bytes easy to get wrong.
const KindRecord kEveryKind[] = {
    {u'C', u'T', u"001001", u"001002", 12, 0, u"Changed text\nsecond line", nullptr, false},
    {u'D', u'T', u"001004", u"001004", 12, -1, u"Only in the second", nullptr, false},
    {u'A', u'T', u"001002", u"001003", 12, -1, u"Only in the first, with a comma", nullptr, false},
    {u'X', u'T', u"001002001", u"001003001", 7, -1, u"Inside an added item\n", nullptr, false},
    {u'M', u'M', u"001003", u"001005", 2, 3, u"001004", u"001006", true},
    {u'C', u'A', u"001001", u"001002", 40, 1, u"new value", nullptr, false},
    {u'X', u'A', u"001002001", u"001003001", 40, -1, u"value", nullptr, false},
    {u'A', u'P', u"001001", u"001002", 0, 0, u"Colour", u"blue", true},
    {u'C', u'P', u"001001", u"001002", 1, 1, u"Size", u"10,5", true},
    {u'D', u'P', u"001001", u"001002", 2, 2, u"Gone", u"", true},
    {u'X', u'P', u"001002001", u"001003001", 0, 0, u"Colour", u"red", true},
    {u'C', u'D', u"001001", u"001002", 3, 0, u"-17", nullptr, false},
    {u'X', u'D', u"001002001", u"001003001", 1, -1, u"2147483647", nullptr, false},
    // A final LF counts: the record's last physical line holds only CR LF.
    {u'A', u'T', u"001002", u"001003", 7, -1, u"a\nb\n", nullptr, false},
    {u'D', u'T', u"001003", u"001004", 5, -1, u"", nullptr, false},
    // A CR is no line break to the count; the extremes of the values are written whole.
    {u'C', u'D', u"001004", u"001", INT32_MIN, INT32_MAX, u"x\ry", nullptr, false},
    // Non-ASCII and lone surrogates pass as single code units, untouched.
    {u'C', u'A', u"001", u"001", 3, 1, u"\u00E9\u4E2D\xD800.\xDC00", nullptr, false},
    // An absent key or text is the empty text.
    {u'C', u'T', nullptr, u"001", 1, 0, nullptr, nullptr, false},
    // Line breaks in either part of a joined text count as in one text; an absent second part
    // leaves no comma.
    {u'C', u'P', u"001002", u"001002", 0, 0, u"n\n", u"v\nw", true},
    {u'D', u'P', u"001002", u"001002", 1, 1, u"alone", nullptr, true},
    // A move written as one text keeps it for a viewer too.
    {u'M', u'M', u"001001", u"001003", 1, 1, u"001002,001003", nullptr, false},
};

void SetModificationTime(const std::string& path, time_t time) {
    struct utimbuf times = {};
    times.actime = times.modtime = time;
    ASSERT_EQ(utime(path.c_str(), &times), 0);
}

}  // namespace

TEST(CompareFileGolden, EachKindWithEveryRecordKindMatchesItsGoldenFile) {
    FixedTimeZone utc("UTC");
    ScratchFolder scratch;
    WorkingDirectory inScratch(scratch.Path());
    WriteFileBytes(scratch.File("first.outline"), std::string(2048, 'f'));
    SetModificationTime(scratch.File("first.outline"), 1700000000);  // Tue Nov 14 22:13:20 2023
    WriteFileBytes(scratch.File("second.outline"), std::string(99, 's'));
    SetModificationTime(scratch.File("second.outline"), 1699000000);  // Fri Nov 03 08:26:40 2023

    const struct {
        const char* scenario;
        uint32_t writeMode;
        uint32_t readMode;
        uint16_t records;  // what a read of the golden file holds
    } scenarios[] = {
        {"rdfc_every_kind", DIF_OPT_RDFC, 1, 17},
        {"rdfa_every_kind", DIF_OPT_RDFA | DIF_OPT_ATTRIBUTES, 2, 21},
        {"fdfm_every_kind", DIF_OPT_FDFM | DIF_OPT_PROPERTIES | DIF_OPT_DTDATA, 2, 21},
    };
    for (const auto& scenario : scenarios) {
        std::string folder = std::string("comparefile/") + scenario.scenario;
        std::string why = ReadFileBytes(TestDataPath(folder + "/why.txt"));
        std::string path = scratch.File("written.cmp");
        {
            CompareList list;
            ASSERT_TRUE(list.OpenCompareFile(Wide(path).c_str(), u"wb", scenario.writeMode));
            WriteCompareHeader(list, u"first.outline", u"second.outline");
            for (const KindRecord& record : kEveryKind) {
                if (!record.joined) {
                    WriteCompareRecord(list, record.changeLetter, record.subjectLetter,
                                       record.firstKey, record.secondKey, record.firstValue,
                                       record.secondValue, record.textA);
                } else {
                    WriteCompareRecordJoined(list, record.changeLetter, record.subjectLetter,
                                             record.firstKey, record.secondKey, record.firstValue,
                                             record.secondValue, record.textA, record.textB);
                }
            }
            ASSERT_TRUE(list.CloseCompareFile());
        }
        EXPECT_EQ(CompareWithGolden("comparefile", scenario.scenario, "expected.cmp",
                                    ReadFileBytes(path), true),
                  "")
            << why;

        CompareList list;
        EXPECT_EQ(LoadCompareFile(list, TestDataPath(folder + "/expected.cmp"), scenario.readMode),
                  scenario.records)
            << why;
    }
}
