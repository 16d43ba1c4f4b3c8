// tests/comparefile/compare_round_trip_test.cpp
//
// What the writer writes, the reader gives back: seeded random records with every character
// the format leaves unescaped, in both modes, and the list's limits of growth and size.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "comparefile/compare_list.h"
#include "comparefile/record_reader.h"
#include "comparefile/record_writer.h"
#include "include/norvex63.h"
#include "tests/comparefile/compare_file_fixture.h"
#include "tests/helpers/test_support.h"

namespace {

struct RandomRecord {
    char16_t changeLetter;
    char16_t subjectLetter;
    std::u16string firstKey;
    std::u16string secondKey;
    int32_t firstValue;
    int32_t secondValue;
    std::u16string textA;
    bool joined;  // written as textA, a comma and textB
    std::u16string textB;

    std::u16string Text() const { return joined ? textA + u"," + textB : textA; }
};

std::u16string RandomKey(std::mt19937& random) {
    std::u16string key = u"001";
    int groups = static_cast<int>(random() % 4);
    for (int k = 0; k < groups; ++k) {
        unsigned ordinal = 1 + random() % 999;
        key += static_cast<char16_t>(u'0' + ordinal / 100);
        key += static_cast<char16_t>(u'0' + ordinal / 10 % 10);
        key += static_cast<char16_t>(u'0' + ordinal % 10);
    }
    return key;
}

// Up to 40 characters, weighted toward the ones the format must carry through unchanged.
std::u16string RandomText(std::mt19937& random) {
    static const char16_t kCharacters[] = {u'a',   u'Z',   u'5',   u' ',   u',',
                                           u',',   u'\r',  u'\n',  u'\n',  0x00E9,
                                           0x4E2D, 0xD800, 0xDC00, 0xFFFF, u'-'};
    std::u16string text;
    size_t length = random() % 41;
    for (size_t k = 0; k < length; ++k) {
        text += kCharacters[random() % (sizeof kCharacters / sizeof kCharacters[0])];
    }
    return text;
}

int32_t RandomValue(std::mt19937& random) {
    switch (random() % 4) {
    case 0: return -1;
    case 1: return static_cast<int32_t>(random() % 1000);
    case 2: return random() % 2 == 0 ? INT32_MIN : INT32_MAX;
    default: return static_cast<int32_t>(random());
    }
}

std::vector<RandomRecord> RandomRecords(uint32_t seed, size_t count) {
    std::mt19937 random(seed);
    static const char16_t kChanges[] = u"CDAXM";
    static const char16_t kSubjects[] = u"TAPD";
    std::vector<RandomRecord> records;
    for (size_t k = 0; k < count; ++k) {
        RandomRecord record;
        record.changeLetter = kChanges[random() % 5];
        record.subjectLetter = record.changeLetter == u'M' ? u'M' : kSubjects[random() % 4];
        record.firstKey = RandomKey(random);
        record.secondKey = RandomKey(random);
        record.firstValue = RandomValue(random);
        record.secondValue = RandomValue(random);
        if (record.changeLetter == u'M') {
            // A move's text is the two keys a viewer shows.
            record.joined = true;
            record.textA = RandomKey(random);
            record.textB = RandomKey(random);
        } else {
            record.joined = record.subjectLetter == u'P';
            record.textA = RandomText(random);
            record.textB = RandomText(random);
        }
        records.push_back(record);
    }
    return records;
}

void WriteRecords(const std::string& path, uint32_t modeWord,
                  const std::vector<RandomRecord>& records) {
    CompareList list;
    ASSERT_TRUE(list.OpenCompareFile(Wide(path).c_str(), u"wb", modeWord));
    WriteCompareHeader(list, u"first", u"second");
    for (const RandomRecord& record : records) {
        if (record.joined) {
            WriteCompareRecordJoined(list, record.changeLetter, record.subjectLetter,
                                     record.firstKey.c_str(), record.secondKey.c_str(),
                                     record.firstValue, record.secondValue, record.textA.c_str(),
                                     record.textB.c_str());
        } else {
            WriteCompareRecord(list, record.changeLetter, record.subjectLetter,
                               record.firstKey.c_str(), record.secondKey.c_str(), record.firstValue,
                               record.secondValue, record.textA.c_str());
        }
    }
    ASSERT_TRUE(list.CloseCompareFile());
}

int32_t OrdinalOf(const std::u16string& key) {
    if (key.size() < 6) return 0;
    return (key[key.size() - 3] - u'0') * 100 + (key[key.size() - 2] - u'0') * 10 +
           (key[key.size() - 1] - u'0');
}

// What the reader must give back: as written for the apply; for a viewer without X records,
// without texts, and with a move at the keys of its text and its direction in value 1.
std::vector<std::string> Expected(const std::vector<RandomRecord>& records, bool viewMode) {
    std::vector<std::string> expected;
    for (const RandomRecord& record : records) {
        std::u16string text = record.Text();
        ExpectedRecord shown = {record.changeLetter,
                                record.subjectLetter,
                                record.firstKey.c_str(),
                                record.secondKey.c_str(),
                                record.firstValue,
                                record.secondValue,
                                text.c_str()};
        if (viewMode && record.changeLetter == u'X') continue;
        if (viewMode && record.changeLetter == u'M') {
            shown = {u'M',
                     u'M',
                     record.textA.c_str(),
                     record.textB.c_str(),
                     record.firstValue,
                     record.secondValue,
                     nullptr};
            if (OrdinalOf(record.firstKey) > OrdinalOf(record.secondKey)) {
                shown.firstValue =
                    static_cast<int32_t>(0u - static_cast<uint32_t>(record.firstValue));
            }
        } else if (viewMode) {
            shown.text = u"";
        }
        expected.push_back(DescribeExpected(shown));
    }
    return expected;
}

std::vector<std::string> Held(const CompareList& list) {
    std::vector<std::string> held;
    for (uint16_t n = 0; n < list.Count(); ++n) held.push_back(DescribeRecord(list, n));
    return held;
}

}  // namespace

TEST(CompareRoundTrip, RandomRecordsReadBackAsWrittenInBothModes) {
    ScratchFolder scratch;
    std::string path = scratch.File("random.cmp");
    CompareList list;
    for (uint32_t seed = 1; seed <= 12; ++seed) {
        // More than one growth step of records.
        std::vector<RandomRecord> records = RandomRecords(seed, 300);

        WriteRecords(path, DIF_OPT_RDFA, records);
        uint16_t count = LoadCompareFile(list, path, 2);
        std::vector<std::string> expected = Expected(records, false);
        EXPECT_EQ(count, expected.size()) << "seed " << seed;
        ASSERT_EQ(Held(list), expected) << "seed " << seed << ", apply mode";
        for (uint16_t n = 0; n < list.Count(); ++n) {
            ASSERT_EQ(list.FirstOrder(n), n) << "seed " << seed;
            ASSERT_EQ(list.SecondOrder(n), n) << "seed " << seed;
            ASSERT_EQ(list.FirstItem(n), 0u) << "seed " << seed;
            ASSERT_EQ(list.SecondItem(n), 0u) << "seed " << seed;
        }

        WriteRecords(path, DIF_OPT_RDFC, records);
        count = LoadCompareFile(list, path, 1);
        expected = Expected(records, true);
        EXPECT_EQ(count, expected.size()) << "seed " << seed;
        ASSERT_EQ(Held(list), expected) << "seed " << seed << ", view mode";
    }

    // The same file read again into the same list gives the same list: nothing is left over.
    std::vector<std::string> first = Held(list);
    LoadCompareFile(list, path, 1);
    EXPECT_EQ(Held(list), first);
}

TEST(CompareList, ArraysGrowBy255AndHoldAtMost65535Records) {
    ScratchFolder scratch;
    std::string path = scratch.File("many.cmp");
    CompareList list;
    auto writeMany = [&](int32_t count) {
        CompareList writer;
        ASSERT_TRUE(writer.OpenCompareFile(Wide(path).c_str(), u"wb", DIF_OPT_RDFA));
        WriteCompareHeader(writer, u"cmpnt", u"cmpnt");
        for (int32_t k = 0; k < count; ++k) {
            WriteCompareRecord(writer, u'C', u'T', u"001", u"001", k, 0, u"");
        }
        ASSERT_TRUE(writer.CloseCompareFile());
    };

    const std::pair<int32_t, uint16_t> growth[] = {{0, 0}, {1, 255}, {255, 255}, {256, 510}};
    for (const auto& step : growth) {
        writeMany(step.first);
        EXPECT_EQ(LoadCompareFile(list, path, 2), step.first);
        EXPECT_EQ(list.Capacity(), step.second) << step.first << " records";
        EXPECT_EQ(list.FirstValue(static_cast<uint16_t>(step.first - 1)),
                  step.first == 0 ? 0 : step.first - 1);
    }

    // Past the limit, records are dropped and reading stops; the count does not wrap.
    EXPECT_TRUE(list.IsComplete());
    writeMany(65600);
    EXPECT_EQ(LoadCompareFile(list, path, 2), 65535u);
    EXPECT_FALSE(list.IsComplete());
    EXPECT_EQ(list.Count(), 65535u);
    EXPECT_EQ(list.Capacity(), 65535u);
    EXPECT_EQ(list.FirstValue(65534), 65534);
    EXPECT_EQ(list.FirstOrder(65534), 65534u);

    // Clearing releases everything and leaves the list ready for the next file.
    list.ClearCompareList();
    EXPECT_TRUE(list.IsComplete());
    EXPECT_EQ(list.Count(), 0u);
    EXPECT_EQ(list.Capacity(), 0u);
    EXPECT_EQ(list.FirstKey(0), nullptr);
    EXPECT_EQ(list.ChangeLetter(0), u'.');
    writeMany(3);
    EXPECT_EQ(LoadCompareFile(list, path, 2), 3u);
}
