// tests/comparefile/record_reader_test.cpp
//
// Reading compare files that a build did not write the usual way: short or damaged files,
// headers with a marker too many or too few, and the move records that a viewer and the apply
// read differently, as files under tests/data/comparefile/read; and lines of any length.
#include "comparefile/record_reader.h"

#include <gtest/gtest.h>

#include "comparefile/compare_list.h"
#include "tests/comparefile/compare_file_fixture.h"
#include "tests/helpers/test_support.h"

namespace {

constexpr uint32_t kViewer = 1;
constexpr uint32_t kApply = 2;

// Writes text as a compare file, reads it with modeWord and checks the count answered.
void Load(CompareList& list, const ScratchFolder& scratch, const std::u16string& text,
          uint32_t modeWord) {
    std::string path = scratch.File("read.cmp");
    WriteCompareText(path, text);
    RecordNumber answered = LoadCompareFile(list, path, modeWord);
    EXPECT_EQ(answered, list.Count());
}

}  // namespace

// Each folder of tests/data/comparefile/read: input.cmp read with the mode word of mode.txt (1
// a viewer, 2 the apply), against expected.txt: the count and whether the list is whole, then
// each record as DescribeRecord gives it.
TEST(CompareReader, EveryFileOfTheReadFoldersGivesItsRecords) {
    const std::string area = "comparefile/read";
    for (const std::string& name : ListScenarios(area)) {
        CompareList list;
        RecordNumber answered = LoadCompareFile(
            list, TestDataPath(area + "/" + name + "/input.cmp"),
            static_cast<uint32_t>(std::stoul(ScenarioText(area, name, "mode.txt"))));
        std::string held =
            std::to_string(answered) + " records" + (list.IsComplete() ? "" : ", not whole") + "\n";
        for (uint16_t n = 0; n < list.Count(); ++n) held += DescribeRecord(list, n) + "\n";
        EXPECT_EQ(CompareWithGolden(area, name, "expected.txt", held), "")
            << name << ": " << ScenarioText(area, name, "why.txt");
    }
    // A file that cannot be opened reads nothing.
    CompareList list;
    ScratchFolder scratch;
    EXPECT_FALSE(list.OpenCompareFile(Wide(scratch.File("missing.cmp")).c_str(), u"rb", kApply));
    EXPECT_EQ(ReadCompareRecords(list), 0u);
}

TEST(CompareReader, LinesOfAnyLengthAreReadWhole) {
    ScratchFolder scratch;
    CompareList list;
    const std::u16string prefix = u"1,C,T,001,001,1,0,";  // 18 characters
    const std::u16string next = u"1,D,T,002,002,2,-1,next\r\n";

    // Lines around the first room of 512 characters and where it doubles, and far past both;
    // the tail of the long text looks like a record, and must stay text.
    for (size_t length : {509u, 510u, 511u, 512u, 513u, 1023u, 1024u, 1025u, 70000u}) {
        std::u16string text(length - 2 - prefix.size(), u'x');
        text.replace(text.size() - 10, 10, u",1,A,T,001");
        Load(list, scratch, PlainHeader() + prefix + text + u"\r\n" + next, kApply);
        ExpectRecords(list,
                      {{u'C', u'T', u"001", u"001", 1, 0, text.c_str()},
                       {u'D', u'T', u"002", u"002", 2, -1, u"next"}},
                      ("a line of " + std::to_string(length) + " characters").c_str());
    }

    // A viewer holds no key longer than one short line could carry, and says it lacks a
    // record; the apply, whose keys no caller copies, keeps the record.
    std::u16string longKey = u"001" + std::u16string(507, u'1');
    std::u16string longKeyRecord = u"1,C,T," + longKey + u"," + longKey + u",1,0,t\r\n";
    Load(list, scratch, PlainHeader() + longKeyRecord + next, kViewer);
    ExpectRecords(list, {{u'D', u'T', u"002", u"002", 2, -1, u"next"}}, "a key of 510 characters");
    EXPECT_FALSE(list.IsComplete());
    Load(list, scratch, PlainHeader() + longKeyRecord + next, kApply);
    EXPECT_EQ(list.Count(), 2u);
    EXPECT_TRUE(list.IsComplete());

    // A NUL inside a line ends what is read of it; the next line is still the next record.
    std::u16string withNul = prefix + u"ab";
    withNul.push_back(u'\0');
    withNul += std::u16string(600, u'c') + u"\r\n";
    Load(list, scratch, PlainHeader() + withNul + next, kApply);
    ExpectRecords(
        list,
        {{u'C', u'T', u"001", u"001", 1, 0, u"ab"}, {u'D', u'T', u"002", u"002", 2, -1, u"next"}},
        "a NUL inside a line");
}
