// tests/runtime/outline_format_test.cpp
//
// The outline text format through real files: canonical files save to the very same bytes,
// other spellings of the same outline save in the canonical form. Random outlines against a
// canonical writer of the test's own are the model test's.
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

// Texts as read and shown (every code unit, line breaks shown as blanks) and the types' names
// are the model test's, whose texts hold no NUL: one inside a text is read whole here.
TEST(OutlineFormat, ANulInsideATextIsReadWhole) {
    ScratchFolder folder;
    OpenedOutline outline(OpenBytes(folder, "nul.outline", "OUTLINE 1\n1 \"a\\u0000end\"\n"));
    ASSERT_NE(outline.handle, 0u) << LastOpenError();
    EXPECT_EQ(ItemText(outline, GetRootItem(outline)), std::u16string(u"a\0end", 5));
    EXPECT_EQ(GetItemTypeName(4, nullptr), 0);
}

}  // namespace
