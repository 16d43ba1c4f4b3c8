// tests/runtime/outline_format_test.cpp
//
// The outline text format through real files: canonical files save to the very same bytes,
// other spellings of the same outline save in the canonical form, and texts keep every code
// unit. Random outlines against a canonical writer of the test's own are the model test's.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <vector>

#include "tests/runtime/runtime_test_support.h"

namespace {

std::vector<std::string> ListFiles(const std::string& folder, bool folders) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(TestDataPath(folder))) {
        if (entry.is_directory() == folders) names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(OutlineFormat, CanonicalFilesSaveToTheSameBytes) {
    ScratchFolder folder;
    std::vector<std::string> names = ListFiles("runtime/canonical", false);
    ASSERT_GE(names.size(), 3u);
    for (const std::string& name : names) {
        std::string original = ReadFileBytes(TestDataPath("runtime/canonical/" + name));
        OpenedOutline first(OpenBytes(folder, "first.outline", original));
        ASSERT_NE(first.handle, 0u) << name << ": " << LastOpenError();
        std::string saved = SaveBytes(folder, "second.outline", first);
        EXPECT_EQ(FirstDifference(original, saved), "") << name;
        OpenedOutline second(OpenOutline(folder.WideFile("second.outline").c_str()));
        ASSERT_NE(second.handle, 0u) << name << ": " << LastOpenError();
        EXPECT_EQ(FirstDifference(original, SaveBytes(folder, "third.outline", second)), "")
            << name;
    }
}

TEST(OutlineFormat, OtherSpellingsSaveInCanonicalForm) {
    ScratchFolder folder;
    std::vector<std::string> scenarios = ListFiles("runtime/normalise", true);
    ASSERT_GE(scenarios.size(), 3u);
    for (const std::string& scenario : scenarios) {
        std::string base = "runtime/normalise/" + scenario + "/";
        std::string why = ReadFileBytes(TestDataPath(base + "why.txt"));
        OpenedOutline outline(OpenOutline(Wide(TestDataPath(base + "input.outline")).c_str()));
        ASSERT_NE(outline.handle, 0u) << scenario << " (" << why << "): " << LastOpenError();
        ExpectGolden(base + "expected.outline", SaveBytes(folder, "saved.outline", outline));
    }
}

TEST(OutlineFormat, TextsKeepEveryCodeUnitAndDisplayOnOneLine) {
    ScratchFolder folder;
    OpenedOutline outline(OpenBytes(folder, "texts.outline",
                                    "OUTLINE 1\n"
                                    "1 \"a\\r\\nb\\nc\"\n"
                                    "  4 \"\\uD83D\\uDE00 \\uDE00\\uD83D \\u0000end\"\n"
                                    "  188 \"\"\n"));
    ASSERT_NE(outline.handle, 0u) << LastOpenError();
    ItemHandle root = GetRootItem(outline);
    ItemHandle second = NthChild(outline, root, 0);
    EXPECT_EQ(ItemText(outline, root), u"a\r\nb\nc");
    EXPECT_EQ(ItemText(outline, second), std::u16string(u"\U0001F600 \xDE00\xD83D \0end", 10));
    StringHandle shown = 0;
    ASSERT_NE(GetItemText(outline, root, 1, &shown), 0);
    EXPECT_EQ(TakeString(shown), u" a  b c");
    // An empty text shows as nothing at all: no blank after the type's name.
    ASSERT_NE(GetItemText(outline, NthChild(outline, root, 1), 1, &shown), 0);
    int32_t length = -1;
    GetStringText(shown, &length);
    EXPECT_EQ(length, 0);
    FreeString(shown);
    EXPECT_EQ(GetItemText(outline, root, 2, &shown), 0);
    EXPECT_EQ(shown, 0u);
    // The pair written as two escapes is one character, saved as its UTF-8; the reversed
    // halves stay escaped.
    EXPECT_EQ(SaveBytes(folder, "saved.outline", outline),
              "OUTLINE 1\n1 \"a\\r\\nb\\nc\"\n  4 \"\xF0\x9F\x98\x80 \\uDE00\\uD83D \\u0000end\"\n "
              " 188 \"\"\n");
}

TEST(ItemTypeNames, CommonCodesHaveNamesAndOthersANumber) {
    struct Case {
        int32_t type;
        std::u16string name;
    } cases[] = {{1, u"Application"},
                 {4, u"Procedure"},
                 {188, u"Comment"},
                 {0, u"Type 0"},
                 {77, u"Type 77"},
                 {-1, u"Type -1"},
                 {INT32_MIN, u"Type -2147483648"}};
    for (const Case& entry : cases) {
        StringHandle name = 0;
        ASSERT_NE(GetItemTypeName(entry.type, &name), 0) << entry.type;
        EXPECT_EQ(TakeString(name), entry.name) << entry.type;
    }
    EXPECT_EQ(GetItemTypeName(4, nullptr), 0);
}

}  // namespace
