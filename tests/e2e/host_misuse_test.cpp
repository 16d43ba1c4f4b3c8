// tests/e2e/host_misuse_test.cpp
//
// A host that misuses the interface gets a failure, never a damaged output reported good:
// handles of closed outlines or of items that are not in the outline named, and a build,
// apply or merge started from inside another one's progress window procedure.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "include/norvex63.h"
#include "outline/outline_runtime.h"
#include "platform/host_hooks.h"
#include "tests/helpers/test_support.h"

namespace {

const char kOriginal[] = "OUTLINE 1\n174 \"top\"\n  9 \"a\"\n  9 \"b\"\n";
const char kVersion[] = "OUTLINE 1\n174 \"top\"\n  9 \"a\"\n  9 \"b changed\"\n  9 \"c\"\n";

// What the progress window procedure does while the outer call runs, once.
std::function<void()> g_nested;

LRESULT CALLBACK RunNestedOnce(HWND, UINT, WPARAM, LPARAM) {
    std::function<void()> nested;
    nested.swap(g_nested);
    if (nested) nested();
    return 0;
}

}  // namespace

TEST(HostMisuse, UnknownOutlineAndItemHandlesAnswerTheirNotOpenedBit) {
    ScratchFolder scratch;
    WriteFileBytes(scratch.File("original.outline"), kOriginal);
    WriteFileBytes(scratch.File("version.outline"), kVersion);
    OutlineHandle original = OpenOutline(scratch.WideFile("original.outline").c_str());
    OutlineHandle version = OpenOutline(scratch.WideFile("version.outline").c_str());
    OutlineHandle closed = OpenOutline(scratch.WideFile("version.outline").c_str());
    ASSERT_NE(original * version * closed, 0u);
    ItemHandle originalRoot = GetRootItem(original);
    ItemHandle versionRoot = GetRootItem(version);
    ItemHandle closedRoot = GetRootItem(closed);
    CloseOutline(closed);
    const std::u16string output = scratch.WideFile("out");

    // A closed version outline, an item of another outline, item 0.
    EXPECT_EQ(DIF_MergeObjects(original, originalRoot, closed, closedRoot, u"v1", version,
                               versionRoot, u"v2", output.c_str(), nullptr, 0, 0, nullptr, nullptr),
              DIF_ST_SECOND_OUTLINE);
    EXPECT_EQ(DIF_MergeObjects(original, versionRoot, version, versionRoot, u"v1", version, 0,
                               u"v2", output.c_str(), nullptr, 0, 0, nullptr, nullptr),
              DIF_ST_FIRST_OUTLINE | DIF_ST_THIRD_OUTLINE);
    EXPECT_EQ(DIF_BuildObject(u"first", closed, closedRoot, u"second", version, originalRoot,
                              output.c_str(), nullptr, 0, DIF_OPT_FDFM),
              DIF_ST_FIRST_OUTLINE | DIF_ST_SECOND_OUTLINE);
    EXPECT_FALSE(FileExists(scratch.File("out")));
    EXPECT_EQ(ReadFileBytes(scratch.File("original.outline")), kOriginal);

    // The same calls with good handles still work.
    EXPECT_EQ(DIF_BuildObject(u"first", version, versionRoot, u"second", original, originalRoot,
                              output.c_str(), nullptr, 0, DIF_OPT_FDFM),
              0);
    EXPECT_TRUE(FileExists(scratch.File("out")));
    CloseOutline(original);
    CloseOutline(version);
}

TEST(HostMisuse, ACallFromInsideARunningCallAnswersAtOnceAndTouchesNothing) {
    ScratchFolder scratch;
    WriteFileBytes(scratch.File("original.outline"), kOriginal);
    WriteFileBytes(scratch.File("version.outline"), kVersion);
    auto file = [&](const char* name) { return scratch.WideFile(name); };
    // The outer build alone, for the bytes it must write whatever happens inside it.
    ASSERT_EQ(DIF_Build(file("version.outline").c_str(), file("original.outline").c_str(),
                        file("alone.cmp").c_str(), nullptr, 0, DIF_OPT_FDFM),
              0);
    HWND window = CreateCallbackWindow(RunNestedOnce);
    struct Nested {
        const char* what;
        std::function<uint16_t()> call;
        uint16_t expected;
    };
    const Nested nestedCalls[] = {
        {"build",
         [&] {
             return DIF_Build(file("version.outline").c_str(), file("original.outline").c_str(),
                              file("inner").c_str(), nullptr, 0, DIF_OPT_FDFM);
         },
         DIF_ST_COMPARE_FILE},
        {"apply",
         [&] {
             return DIF_Apply(file("original.outline").c_str(), file("alone.cmp").c_str(),
                              file("inner").c_str(), nullptr, 0);
         },
         DIF_ST_FIRST_OUTLINE},
        {"merge",
         [&] {
             return DIF_Merge(file("original.outline").c_str(), file("version.outline").c_str(),
                              file("version.outline").c_str(), file("inner").c_str(), nullptr, 0, 0,
                              nullptr, nullptr);
         },
         DIF_ST_MERGE_SAVE},
        {"viewer load",
         [&] { return static_cast<uint16_t>(DIF_CompareLoad(file("alone.cmp").c_str(), nullptr)); },
         0},
    };
    for (const Nested& nested : nestedCalls) {
        uint16_t answered = 0xFFFF;
        g_nested = [&] { answered = nested.call(); };
        EXPECT_EQ(DIF_Build(file("version.outline").c_str(), file("original.outline").c_str(),
                            file("outer.cmp").c_str(), window, 0x401, DIF_OPT_FDFM),
                  0)
            << nested.what;
        EXPECT_EQ(answered, nested.expected) << nested.what;
        EXPECT_FALSE(FileExists(scratch.File("inner"))) << nested.what;
        EXPECT_EQ(ReadFileBytes(scratch.File("outer.cmp")),
                  ReadFileBytes(scratch.File("alone.cmp")))
            << nested.what;
    }
    DestroyCallbackWindow(window);
}
