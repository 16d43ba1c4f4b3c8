// tests/outline/outline_object_test.cpp
//
// Sections as the engines see them, loaded from real outline files: keys, statuses and texts
// of each entry and the contents each option asks for. The item limit of the compare file
// kinds is in the section-limit goldens and the large outputs' test, a load's failed
// allocations in the fault table (tests/e2e/fault_test.cpp).
#include "outline/outline_object.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>

#include "include/norvex63.h"
#include "outline/outline_texts.h"
#include "outline/outline_walk.h"
#include "support/checked_memory.h"
#include "tests/helpers/test_support.h"

namespace {

// An outline object holding the outline written from text, closed at the end. Opening makes
// the file's folder current, as the drivers expect; the caller's directory comes back after.
class LoadedOutline {
public:
    LoadedOutline(const ScratchFolder& scratch, const std::string& text,
                  COutline& object = ownObject_)
        : object_(object), stay_(CurrentDirectory()) {
        static int fileNumber = 0;
        std::string path = scratch.File("section" + std::to_string(++fileNumber) + ".outline");
        WriteFileBytes(path, text);
        opened_ = object_.Open(Wide(path).c_str());
    }
    ~LoadedOutline() {
        object_.FreeItemArrays();
        object_.Close();
    }
    bool Opened() const { return opened_; }
    COutline& Object() { return object_; }
    ItemHandle Root() const { return object_.GetRoot(); }

private:
    static COutline ownObject_;
    COutline& object_;
    WorkingDirectory stay_;
    bool opened_ = false;
};
COutline LoadedOutline::ownObject_;

// "KEY status type 'text'" per entry, one per line, for whole-section comparisons.
std::string DescribeSection(const COutline& section) {
    std::string lines;
    for (int32_t i = 0; i < section.count; ++i) {
        lines += Narrow(section.keys[i]) + " " + static_cast<char>(section.status[i]) + " " +
                 std::to_string(section.types[i]) + " '" + Narrow(section.texts[i]) + "'\n";
    }
    return lines;
}

std::string FlatOutline(int children) {
    std::string text = "OUTLINE 1\n1 \"root\"\n";
    for (int k = 1; k <= children; ++k) text += "  14 \"line " + std::to_string(k) + "\"\n";
    return text;
}

}  // namespace

TEST(OutlineSection, EntriesTakeKeysStatusesAndTextsInOrder) {
    ScratchFolder scratch;
    LoadedOutline outline(scratch,
                          "OUTLINE 1\n"
                          "1 \"root\"\n"
                          "  4 \"first\"\n"
                          "  176 [skip] \"never seen\"\n"
                          "  176 \"ignored but counted\"\n"
                          "  402 \"kept without RDFC\"\n"
                          "  188 \"two\\nlines\"\n");
    ASSERT_TRUE(outline.Opened());
    COutline& section = outline.Object();
    ASSERT_TRUE(section.LoadSection(u"001", outline.Root(), 0));
    EXPECT_EQ(DescribeSection(section),
              "001001 . 4 'first'\n"
              "001002 I -1 ''\n"
              "001003 . 402 'kept without RDFC'\n"
              "001004 . 188 'two\nlines'\n");
    for (int32_t i = 0; i < section.count; ++i) EXPECT_EQ(section.match[i], kNoMatch);
    EXPECT_EQ(section.attributes, nullptr);
    EXPECT_EQ(section.capacity, kItemArrayStep);

    // Under RDFC type 402 is ignored as well, and keeps its position.
    section.FreeItemArrays();
    ASSERT_TRUE(section.LoadSection(u"001", outline.Root(), DIF_OPT_RDFC));
    EXPECT_EQ(DescribeSection(section),
              "001001 . 4 'first'\n"
              "001002 I -1 ''\n"
              "001003 I -1 ''\n"
              "001004 . 188 'two\nlines'\n");

    // A parent without children, and no parent, give an empty section.
    section.FreeItemArrays();
    ASSERT_TRUE(section.LoadSection(u"001001", FirstChild(section.Outline(), outline.Root()), 0));
    EXPECT_EQ(section.count, 0);
    ASSERT_TRUE(section.LoadSection(u"001", 0, 0));
    EXPECT_EQ(section.count, 0);
}

TEST(OutlineSection, KeysFollowTheNonSkippedPositionsAtEveryLevel) {
    ScratchFolder scratch;
    std::string text = "OUTLINE 1\n1 \"root\"\n  4 \"one\"\n  4 \"two\"\n";
    for (int k = 1; k <= 10; ++k) text += "    14 \"child " + std::to_string(k) + "\"\n";
    LoadedOutline outline(scratch, text);
    ASSERT_TRUE(outline.Opened());
    COutline& section = outline.Object();
    ASSERT_TRUE(section.LoadSection(u"001", outline.Root(), 0));
    ASSERT_EQ(section.count, 2);
    std::u16string secondKey = section.keys[1];
    ItemHandle second = section.items[1];
    section.FreeItemArrays();
    ASSERT_TRUE(section.LoadSection(secondKey.c_str(), second, 0));
    ASSERT_EQ(section.count, 10);
    EXPECT_EQ(Narrow(section.keys[9]), "001002010");

    // Keys lead back to their items.
    OutlineHandle handle = section.Outline();
    ItemHandle root = outline.Root();
    EXPECT_EQ(FindItemByKey(handle, root, u"001"), root);
    EXPECT_EQ(FindItemByKey(handle, root, u"001000"), FirstChild(handle, root));
    EXPECT_EQ(FindItemByKey(handle, root, u"001002010"), section.items[9]);
    EXPECT_EQ(FindItemByKey(handle, root, u"001003"), 0u);     // past the last child
    EXPECT_EQ(FindItemByKey(handle, root, u"001003001"), 0u);  // and below it
    EXPECT_EQ(NthChild(handle, second, 0), section.items[0]);
    EXPECT_EQ(NthChild(handle, second, 11), 0u);
}

TEST(OutlineSection, AKeyResolverFindsWhatFindItemByKeyFinds) {
    // A tree 70 levels deep (past what the resolver remembers), with wide sections and skipped
    // items; keys in sorted order, then shuffled, then hostile ones.
    ScratchFolder scratch;
    std::string text = "OUTLINE 1\n1 \"root\"\n";
    for (int depth = 1; depth <= 70; ++depth) {
        std::string indent(2 * depth, ' ');
        for (int k = 1; k <= (depth % 3 == 0 ? 12 : 2); ++k) {
            text += indent + (k == 4 ? "9 [skip] \"hidden\"\n" : "9 \"item\"\n");
        }
    }
    LoadedOutline outline(scratch, text);
    ASSERT_TRUE(outline.Opened());
    OutlineHandle handle = outline.Object().Outline();
    std::vector<std::u16string> keys = {u"",          u"00",         u"001",
                                        u"0011",      u"001x02",     u"001000",
                                        u"001002999", u"0010020010", u"001002\u0661"};
    std::mt19937 random(7);
    for (int k = 0; k < 3000; ++k) {
        std::u16string key = u"001";
        for (int level = random() % 75; level > 0; --level) {
            key += Wide(std::to_string(1000 + random() % 14).substr(1));
        }
        keys.push_back(key);
    }
    std::sort(keys.begin() + 9, keys.end());
    for (int round = 0; round < 2; ++round) {
        KeyResolver resolver(handle, outline.Root());
        for (const std::u16string& key : keys) {
            ASSERT_EQ(resolver.Find(key.c_str()),
                      FindItemByKey(handle, outline.Root(), key.c_str()))
                << Narrow(key) << " in round " << round;
        }
        std::shuffle(keys.begin(), keys.end(), random);
    }
    KeyResolver resolver(handle, outline.Root());
    EXPECT_EQ(resolver.Find(nullptr), outline.Root());
}

TEST(OutlineSection, ContentsAreLoadedAsTheOptionsAsk) {
    ScratchFolder scratch;
    LoadedOutline outline(scratch,
                          "OUTLINE 1\n"
                          "1 \"root\"\n"
                          "  4 \"with contents\"\n"
                          "    @430 \"0\"\n"
                          "    %\"Author\" \"kim\"\n"
                          "    @429 \"12\"\n"
                          "    $39 -7\n"
                          "    $5 3\n"
                          "    %\"Empty\" \"\"\n"
                          "  4 \"bare\"\n"
                          "  176 \"ignored\"\n"
                          "    @431 \"1\"\n");
    ASSERT_TRUE(outline.Opened());
    COutline& section = outline.Object();
    const uint32_t all = DIF_OPT_ATTRIBUTES | DIF_OPT_PROPERTIES | DIF_OPT_DTDATA;
    ASSERT_TRUE(section.LoadSection(u"001", outline.Root(), all));
    ASSERT_EQ(section.count, 3);

    const AttributeSet& attributes = section.attributes[0];
    ASSERT_EQ(attributes.count, 2);
    EXPECT_EQ(attributes.ids[0], 430u);
    EXPECT_EQ(Narrow(attributes.values[0]), "0");
    EXPECT_EQ(attributes.ids[1], 429u);
    EXPECT_EQ(Narrow(attributes.values[1]), "12");
    EXPECT_EQ(attributes.flags, kAttribute429Set);  // 430 reads 0: no flag

    const PropertySet& properties = section.properties[0];
    ASSERT_EQ(properties.count, 2);
    EXPECT_EQ(Narrow(properties.names[0]), "Author");
    EXPECT_EQ(Narrow(properties.values[0]), "kim");
    EXPECT_EQ(Narrow(properties.names[1]), "Empty");
    EXPECT_EQ(Narrow(properties.values[1]), "");

    // Only entry 39 is read; the others stay 0 and absent even where the item has a value.
    const DTDataSet& dtdata = section.dtdata[0];
    ASSERT_EQ(dtdata.count, kDTDataCount);
    EXPECT_EQ(dtdata.values[kDTDataIndex], -7);
    EXPECT_EQ(dtdata.present[kDTDataIndex], kDTDataIndex);
    EXPECT_EQ(dtdata.values[5], 0);
    EXPECT_EQ(dtdata.present[5], -1);

    EXPECT_EQ(section.attributes[1].count, 0);
    EXPECT_EQ(section.properties[1].count, 0);
    EXPECT_EQ(section.dtdata[1].present[kDTDataIndex], -1);
    // An ignored item gets empty sets, whatever it holds.
    EXPECT_EQ(section.attributes[2].count, 0);
    EXPECT_EQ(section.dtdata[2].count, 0);

    // Without the options no content array exists.
    section.FreeItemArrays();
    ASSERT_TRUE(section.LoadSection(u"001", outline.Root(), DIF_OPT_PROPERTIES));
    EXPECT_EQ(section.attributes, nullptr);
    EXPECT_NE(section.properties, nullptr);
    EXPECT_EQ(section.dtdata, nullptr);
}

TEST(BaseOutline, BothPairingSetsStartAlikeAndStayApart) {
    ScratchFolder scratch;
    CBaseOutline base;
    LoadedOutline outline(scratch, FlatOutline(600), base);
    ASSERT_TRUE(outline.Opened());
    ASSERT_TRUE(base.LoadSection(u"001", outline.Root(), 0));
    ASSERT_EQ(base.count, 600);
    for (int32_t i = 0; i < base.count; ++i) {
        ASSERT_EQ(base.StatusFor(2)[i], base.StatusFor(1)[i]) << i;
        ASSERT_EQ(base.MatchFor(2)[i], kNoMatch) << i;
    }
    base.StatusFor(1)[599] = u'=';
    base.MatchFor(2)[599] = 3;
    EXPECT_EQ(base.StatusFor(2)[599], kStatusUnresolved);
    EXPECT_EQ(base.MatchFor(1)[599], kNoMatch);
}

TEST(OutlineObject, OpenWorksFromTheFilesFolderAndLabelsName) {
    ScratchFolder scratch;
    std::filesystem::create_directory(scratch.File("deep"));
    WriteFileBytes(scratch.File("deep/a.outline"), FlatOutline(1));
    WorkingDirectory stay(scratch.Path());
    COutline object;
    ASSERT_TRUE(object.Open(scratch.WideFile("deep/a.outline").c_str()));
    EXPECT_EQ(CurrentDirectory(), std::filesystem::canonical(scratch.File("deep")).string());
    EXPECT_FALSE(object.Open(scratch.WideFile("deep/missing.outline").c_str()));
    EXPECT_EQ(object.Outline(), 0u);
    object.Close();  // nothing held: nothing happens
    EXPECT_FALSE(object.Open(nullptr));

    object.SetLabel(u"a.outline");
    EXPECT_EQ(Narrow(object.Label().Text()), "[a.outline]");
    object.SetLabel(u"");
    EXPECT_EQ(object.Label().Size(), 1u);
}

TEST(OutlineTexts, DescriptionsAndCopiesOfRuntimeTexts) {
    ScratchFolder scratch;
    LoadedOutline outline(scratch, "OUTLINE 1\n1 \"Inventory\"\n  4 \"Open\\nStock\"\n");
    ASSERT_TRUE(outline.Opened());
    OutlineHandle handle = outline.Object().Outline();
    ItemHandle procedure = FirstChild(handle, outline.Root());
    EXPECT_EQ(Narrow(DescribeItem(handle, procedure).Text()), "Procedure Open Stock");
    EXPECT_EQ(DescribeItem(0, procedure).Size(), 1u);
    WCHAR* text = CopyItemText(handle, procedure);
    EXPECT_EQ(Narrow(text), "Open\nStock");
    CheckedFree(text);
    WCHAR* none = CopyItemText(handle, 0);
    EXPECT_EQ(none[0], 0);
    CheckedFree(none);
}
