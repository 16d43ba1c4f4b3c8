// tests/runtime/outline_format_test.cpp
//
// The outline text format through real files: canonical files save to the very same bytes,
// other spellings of the same outline save in the canonical form. Random outlines against a
// canonical writer of the test's own, and texts as read and shown, are the model test's.
#include <gtest/gtest.h>

#include <filesystem>
#include <utility>
#include <vector>

#include "tests/runtime/runtime_test_support.h"

namespace {

// Canonical files save to the very same bytes; other spellings of the same outline (each
// scenario of runtime/normalise says in its why.txt which) save to its expected.outline. What
// is saved is canonical, so it saves again to the same bytes.
TEST(OutlineFormat, FilesSaveInCanonicalForm) {
    std::vector<std::pair<std::string, std::string>> cases;  // the file, and what it saves to
    for (const auto& entry : std::filesystem::directory_iterator(TestDataPath("runtime/canonical")))
        cases.emplace_back(entry.path().string(), entry.path().string());
    for (const std::string& scenario : ListScenarios("runtime/normalise")) {
        std::string base = TestDataPath("runtime/normalise/" + scenario + "/");
        cases.emplace_back(base + "input.outline", base + "expected.outline");
    }
    ASSERT_GE(cases.size(), 7u);
    ScratchFolder folder;
    for (const auto& [input, expected] : cases) {
        OpenedOutline first(OpenOutline(Wide(input).c_str()));
        ASSERT_NE(first.handle, 0u) << input << ": " << LastOpenError();
        std::string saved = SaveBytes(folder, "first.outline", first);
        EXPECT_EQ(FirstDifference(ReadFileBytes(expected), saved), "") << input;
        OpenedOutline second(OpenOutline(folder.WideFile("first.outline").c_str()));
        EXPECT_EQ(FirstDifference(saved, SaveBytes(folder, "second.outline", second)), "") << input;
    }
}

}  // namespace
