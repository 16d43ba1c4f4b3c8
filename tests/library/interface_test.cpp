// tests/library/interface_test.cpp
//
// The shared library as a host program sees it: linked by name, called through the public
// header from C and from C++, with its string table registered when it was loaded.
#include "include/norvex63.h"

#include <gtest/gtest.h>

#include "tests/helpers/test_support.h"

extern "C" int32_t MakeKeyFromC(DIF_CHAR* buffer);
extern "C" const int kEveryExportCount;

TEST(PublicHeader, CompilesAsCAndCallsTheLibrary) {
    DIF_CHAR key[16] = {};
    EXPECT_EQ(MakeKeyFromC(key), 6);
    EXPECT_EQ(std::u16string(key), u"001007");
    EXPECT_EQ(kEveryExportCount, 20);
}

TEST(LoadedLibrary, RegistersItsStringsUnderItsModuleName) {
    // The library's texts are found by hosts exactly where the library itself looks for them.
    HMODULE module = GetModuleHandleW(u"Norvex51");
    ASSERT_NE(module, nullptr);
    WCHAR text[64];
    ASSERT_EQ(LoadStringW(module, 7, text, 64), 22);
    EXPECT_EQ(std::u16string(text), u"Corvane -  Information");
    EXPECT_EQ(DLLEntryPoint(nullptr, 1, nullptr), 1);
}
