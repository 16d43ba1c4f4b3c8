// tests/windows/string_resource_test.cpp
//
// The 32 texts as a real string table in Norvex51.dll, made from the same list as the table
// of the native build, and the library reading them from there: a box's title and text, the
// progress statuses, and empty texts when the module is not loaded.
#include <gtest/gtest.h>

#include <string>

#include "tests/windows/windows_test_support.h"

namespace {

struct ExpectedText {
    UINT id;
    const wchar_t* text;
};

const ExpectedText kExpectedTexts[] = {
#define NORVEX_STRING(id, name, text) {id, L##text},
#include "resources/string_texts.inc"
#undef NORVEX_STRING
};

// The build of a first section of 1,001 items under RDFC shows the W005 box.
uint16_t BuildOverTheSectionLimit(const LibraryModule& library, const ScratchFolder& scratch) {
    HWND window = CreateCallbackWindow(RecordProgress);
    uint16_t status = BuildScenario(library, window, "section-limit-rdfc", scratch, DIF_OPT_RDFC);
    DestroyCallbackWindow(window);
    return status;
}

}  // namespace

TEST(StringResource, TableHoldsTheThirtyTwoTextsExactly) {
    StringModule strings;
    ASSERT_NE(strings.Handle(), nullptr) << "Norvex51.dll did not load: " << GetLastError();
    HMODULE byName = GetModuleHandleW(L"Norvex51");
    EXPECT_EQ(byName, strings.Handle());
    static_assert(sizeof(kExpectedTexts) / sizeof(kExpectedTexts[0]) == 32, "32 texts");
    for (const ExpectedText& expected : kExpectedTexts) {
        wchar_t buffer[256] = {};
        int length = LoadStringW(byName, expected.id, buffer, 256);
        // Blanks at either end and "%" must survive the resource compiler.
        EXPECT_EQ(std::wstring(buffer, static_cast<size_t>(length > 0 ? length : 0)),
                  std::wstring(expected.text))
            << "string " << expected.id;
    }
    wchar_t buffer[16] = L"unchanged";
    EXPECT_EQ(LoadStringW(byName, 33, buffer, 16), 0);
    EXPECT_EQ(LoadStringW(byName, 0, buffer, 16), 0);
    // The module is resource-only: it exports nothing and runs no code.
    EXPECT_EQ(GetProcAddress(byName, "DllMain"), nullptr);
}

TEST(StringResource, LibraryShowsTheLoadedTextsInItsBoxesAndStatuses) {
    StringModule strings;
    LibraryModule library;
    MessageBoxRecorder boxes;
    ScratchFolder scratch;
    EXPECT_EQ(BuildOverTheSectionLimit(library, scratch), 0);
    EXPECT_EQ(boxes.Lines(),
              "Corvane -  Information | (W005) - This section (Procedure Big) "
              "of the outline file [first.outline] contains more than 999 "
              "items . Additional items in this section will not be processed.");
    ASSERT_GE(Received().size(), 3u);
    EXPECT_EQ(Received()[0].text, "Loading...");
    EXPECT_EQ(Received()[1].text, "Processing...");
    EXPECT_EQ(Received().back().text, "Done.");
}

TEST(StringResource, WithoutTheModuleTextsAreEmptyAndNothingFails) {
    ASSERT_EQ(GetModuleHandleW(L"Norvex51"), nullptr);
    LibraryModule library;
    MessageBoxRecorder boxes;
    ScratchFolder scratch;
    EXPECT_EQ(BuildOverTheSectionLimit(library, scratch), 0);
    EXPECT_EQ(boxes.Lines(), " | ");
    // The statuses are empty texts: "Processing..." is then no new text at the same 0, so
    // it is not sent; the section labels come from the outlines and are there as ever.
    ASSERT_GE(Received().size(), 3u);
    EXPECT_EQ(Received()[0].text, "");
    EXPECT_EQ(Received()[1].text, "Statement line 1");
    EXPECT_EQ(Received().back().text, "");
    EXPECT_FALSE(ReadFileBytes(scratch.File("result.cmp")).empty());
}
