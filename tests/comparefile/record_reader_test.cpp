// tests/comparefile/record_reader_test.cpp
//
// Reading compare files that a build did not write the usual way: short or damaged files,
// headers with a marker too many or too few, lines of any length, and the move
// records that a viewer and the apply read differently. Each file is written byte for byte.
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

TEST(CompareReader, ShortFilesAndHeaderOnlyFilesHoldNoRecords) {
    ScratchFolder scratch;
    CompareList list;
    const std::u16string shortFiles[] = {
        u"",
        u"\uFEFF",
        PlainHeader(),
        // Fewer than five lines: the fourth, though it looks like a record, is header.
        u"\uFEFFRDFA\r\nfirst,0,\r\n,0,\r\n1,C,T,001,001,1,0,text\r\n",
        u"\uFEFFRDFA\r\n,0,\r\n",
    };
    for (const std::u16string& text : shortFiles) {
        Load(list, scratch, text, kApply);
        EXPECT_EQ(list.Count(), 0u) << Printable(text.c_str());
    }
    // A file that cannot be opened reads nothing.
    EXPECT_FALSE(list.OpenCompareFile(Wide(scratch.File("missing.cmp")).c_str(), u"rb", kApply));
    EXPECT_EQ(ReadCompareRecords(list), 0u);
}

TEST(CompareReader, TheHeaderIsFourLinesWhateverItHolds) {
    ScratchFolder scratch;
    CompareList list;
    const std::u16string record = u"1,C,T,001001,001001,4,0,text\r\n";

    // A marker too many: the empty name's line ",0," becomes a record, change letter '0'.
    Load(list, scratch, u"\uFEFFRDFC\r\nRDFA\r\nfirst,0,\r\nsecond,0,\r\n,0,\r\n" + record, kApply);
    ExpectRecords(list,
                  {{u'0', u'\r', nullptr, nullptr, 0, 0, nullptr},
                   {u'C', u'T', u"001001", u"001001", 4, 0, u"text"}},
                  "two markers");

    // No marker: the first record is taken as the last header line and lost.
    Load(list, scratch,
         u"\uFEFFfirst,0,\r\nsecond,0,\r\n,0,\r\n" + record + u"1,D,T,001002,001002,4,-1,kept\r\n",
         kApply);
    ExpectRecords(list, {{u'D', u'T', u"001002", u"001002", 4, -1, u"kept"}}, "no marker");
}

TEST(CompareReader, TextsComeBackWithEveryInnerLineBreak) {
    ScratchFolder scratch;
    CompareList list;
    Load(list, scratch,
         PlainHeader() +
             // A final LF: the record ends on a line holding only CR LF.
             u"3,A,T,001002,001003,7,-1,a\nb\n\r\n"
             // A CR alone is an ordinary character; so is a CR LF inside the text.
             u"2,C,T,001001,001001,4,0,x\ry\r\nz\r\n"
             u"1,D,T,001003,001004,5,-1,\r\n"
             u"1,A,P,001,001,2,2,name,va,lue\r\n"
             // A text that ends with a CR keeps it; only the record's own CR LF goes.
             u"1,C,T,001004,001004,4,0,end\r\r\n",
         kApply);
    ExpectRecords(list,
                  {{u'A', u'T', u"001002", u"001003", 7, -1, u"a\nb\n"},
                   {u'C', u'T', u"001001", u"001001", 4, 0, u"x\ry\r\nz"},
                   {u'D', u'T', u"001003", u"001004", 5, -1, u""},
                   {u'A', u'P', u"001", u"001", 2, 2, u"name,va,lue"},
                   {u'C', u'T', u"001004", u"001004", 4, 0, u"end\r"}},
                  "texts");
}

TEST(CompareReader, DamagedLinesAreRecordsWithTheDefaultsOfWhatIsMissing) {
    ScratchFolder scratch;
    CompareList list;
    Load(list, scratch,
         PlainHeader() +
             u"garbage\r\n"                 // no comma at all
             u"1,C,T,001,002\r\n"           // keys end at CR without a further comma
             u"x,A,T,001,002,v,w,text\r\n"  // numbers that are not numbers read as 0
             u"1,C,T,001,002,-5,+6,\r\n"
             u"1,D\r\n"
             // A line count on a record without text: the next line becomes its text.
             u"2,C\r\n"
             u"continued\r\n"
             u"1,\r\n",
         kApply);
    ExpectRecords(list,
                  {{u'.', u' ', nullptr, nullptr, 0, 0, nullptr},
                   {u'C', u'T', u"001", u"002", 0, 0, nullptr},
                   {u'A', u'T', u"001", u"002", 0, 0, u"text"},
                   {u'C', u'T', u"001", u"002", -5, 6, u""},
                   {u'D', u' ', nullptr, nullptr, 0, 0, nullptr},
                   {u'C', u' ', nullptr, nullptr, 0, 0, u"continued"},
                   {u'\r', u' ', nullptr, nullptr, 0, 0, nullptr}},
                  "damaged lines");
}

TEST(CompareReader, AFileCutInsideARecordKeepsWhatWasRead) {
    ScratchFolder scratch;
    CompareList list;
    // Three lines announced, two there, the last without its line end.
    Load(list, scratch, PlainHeader() + u"1,D,T,001,001,1,-1,t\r\n3,C,T,001,001,1,0,a\r\nb",
         kApply);
    ExpectRecords(
        list,
        {{u'D', u'T', u"001", u"001", 1, -1, u"t"}, {u'C', u'T', u"001", u"001", 1, 0, u"a\r\nb"}},
        "cut in a continuation line");

    // Cut inside the key field of a one-line record: the key is what is there.
    Load(list, scratch, PlainHeader() + u"1,C,T,001,00", kApply);
    ExpectRecords(list, {{u'C', u'T', u"001", u"00", 0, 0, nullptr}}, "cut in a key");

    // A huge line count reads to the end of the file and stops there.
    Load(list, scratch, PlainHeader() + u"2000000000,C,T,001,001,1,0,a\r\nb\r\n", kApply);
    ExpectRecords(list, {{u'C', u'T', u"001", u"001", 1, 0, u"a\r\nb"}}, "huge line count");
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

TEST(CompareReader, AViewerSeesMovesWhereTheyStandAndNoXRecords) {
    ScratchFolder scratch;
    CompareList list;
    const std::u16string records =
        u"1,M,M,001002,001005,3,2,001002,001004\r\n"
        // The first ordinal (7) is the greater: value 1 becomes negative.
        u"1,M,M,001007,001003,2,7,001006,001003\r\n"
        // A key of one group has ordinal 0.
        u"1,M,M,001,001004,1,1,001001,001002\r\n"
        u"1,M,M,001009,001,4,9,001008,001001\r\n"
        // A move text without its second key leaves key 2 absent.
        u"1,M,M,001001,001002,1,1,001003\r\n"
        u"1,X,T,001001,001002001,4,-1,dropped\r\n"
        u"1,C,T,001001,001001,4,0,kept\r\n";
    Load(list, scratch, PlainHeader() + records, kViewer);
    ExpectRecords(list,
                  {{u'M', u'M', u"001002", u"001004", 3, 2, nullptr},
                   {u'M', u'M', u"001006", u"001003", -2, 7, nullptr},
                   {u'M', u'M', u"001001", u"001002", 1, 1, nullptr},
                   {u'M', u'M', u"001008", u"001001", -4, 9, nullptr},
                   {u'M', u'M', u"001003", nullptr, 1, 1, nullptr},
                   {u'C', u'T', u"001001", u"001001", 4, 0, u"kept"}},
                  "viewer");

    // The apply reads the same lines as written.
    Load(list, scratch, PlainHeader() + records, kApply);
    ExpectRecords(list,
                  {{u'M', u'M', u"001002", u"001005", 3, 2, u"001002,001004"},
                   {u'M', u'M', u"001007", u"001003", 2, 7, u"001006,001003"},
                   {u'M', u'M', u"001", u"001004", 1, 1, u"001001,001002"},
                   {u'M', u'M', u"001009", u"001", 4, 9, u"001008,001001"},
                   {u'M', u'M', u"001001", u"001002", 1, 1, u"001003"},
                   {u'X', u'T', u"001001", u"001002001", 4, -1, u"dropped"},
                   {u'C', u'T', u"001001", u"001001", 4, 0, u"kept"}},
                  "apply");
}
