// tests/comparefile/compare_file_golden_test.cpp
//
// A whole compare file for each kind marker, with fixed file times and one record of every
// kind, against the files under tests/data/comparefile; then read back from the golden file
// itself. A missing golden is written for review, and that run fails.
#include <gtest/gtest.h>
#include <utime.h>

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
    const char16_t* textB;  // none: written with WriteCompareRecord
};

// One of each kind, with the fields each kind carries.
const KindRecord kEveryKind[] = {
    {u'C', u'T', u"001001", u"001002", 12, 0, u"Changed text\nsecond line", nullptr},
    {u'D', u'T', u"001004", u"001004", 12, -1, u"Only in the second", nullptr},
    {u'A', u'T', u"001002", u"001003", 12, -1, u"Only in the first, with a comma", nullptr},
    {u'X', u'T', u"001002001", u"001003001", 7, -1, u"Inside an added item\n", nullptr},
    {u'M', u'M', u"001003", u"001005", 2, 3, u"001004", u"001006"},
    {u'C', u'A', u"001001", u"001002", 40, 1, u"new value", nullptr},
    {u'X', u'A', u"001002001", u"001003001", 40, -1, u"value", nullptr},
    {u'A', u'P', u"001001", u"001002", 0, 0, u"Colour", u"blue"},
    {u'C', u'P', u"001001", u"001002", 1, 1, u"Size", u"10,5"},
    {u'D', u'P', u"001001", u"001002", 2, 2, u"Gone", u""},
    {u'X', u'P', u"001002001", u"001003001", 0, 0, u"Colour", u"red"},
    {u'C', u'D', u"001001", u"001002", 3, 0, u"-17", nullptr},
    {u'X', u'D', u"001002001", u"001003001", 1, -1, u"2147483647", nullptr},
};

void SetModificationTime(const std::string& path, time_t time) {
    struct utimbuf times = {};
    times.actime = times.modtime = time;
    ASSERT_EQ(utime(path.c_str(), &times), 0);
}

// The first line at which two texts differ, for the failure message.
std::string FirstDifferentLine(const std::u16string& written, const std::u16string& golden) {
    size_t start = 0, line = 1;
    for (size_t k = 0; k < written.size() && k < golden.size() && written[k] == golden[k]; ++k) {
        if (written[k] == u'\n') {
            start = k + 1;
            ++line;
        }
    }
    auto lineAt = [start](const std::u16string& text) {
        size_t end = text.find(u'\n', start);
        return Printable(
            text.substr(start, end == std::u16string::npos ? end : end - start + 1).c_str());
    };
    return "line " + std::to_string(line) + ": written " + lineAt(written) + ", golden " +
           lineAt(golden);
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
        {"rdfc_every_kind", DIF_OPT_RDFC, 1, 9},
        {"rdfa_every_kind", DIF_OPT_RDFA | DIF_OPT_ATTRIBUTES, 2, 13},
        {"fdfm_every_kind", DIF_OPT_FDFM | DIF_OPT_PROPERTIES | DIF_OPT_DTDATA, 2, 13},
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
                if (record.textB == nullptr) {
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
        std::string written = ReadFileBytes(path);
        std::string goldenPath = TestDataPath(folder + "/expected.cmp");
        if (!FileExists(goldenPath)) {
            WriteFileBytes(goldenPath, written);
            ADD_FAILURE() << "wrote the missing golden " << goldenPath << "; review it";
            continue;
        }
        std::string golden = ReadFileBytes(goldenPath);
        EXPECT_EQ(written == golden, true)
            << why << FirstDifferentLine(Utf16Text(written), Utf16Text(golden));

        CompareList list;
        EXPECT_EQ(LoadCompareFile(list, goldenPath, scenario.readMode), scenario.records) << why;
    }
}
