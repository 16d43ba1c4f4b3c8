// tests/outline/outline_object_test.cpp
//
// The outline object's own services, on real outline files: the key resolver against the walk
// of the rules, the base outline's two pairing sets, opening and labels, item descriptions.
// What a section loads (keys, statuses, texts, the contents each option asks for) shows in
// every compare file, so the build goldens hold it (skipped-items, rdfc-ignores-402, contents,
// contents-below-added, dtdata); the item limit is in the section-limit goldens, a load's
// failed allocations in the fault table (tests/e2e/fault_test.cpp).
#include "outline/outline_object.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>

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

std::string FlatOutline(int children) {
    std::string text = "OUTLINE 1\n1 \"root\"\n";
    for (int k = 1; k <= children; ++k) text += "  14 \"line " + std::to_string(k) + "\"\n";
    return text;
}

}  // namespace

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
