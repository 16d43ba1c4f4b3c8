// tests/merge/merge_exports_test.cpp
//
// The merge exports seen from a caller: items of outlines it holds open, where relative paths
// lead, what each failed open or save answers and leaves on disk, an abort from the progress
// window, and counts that must agree with the numbered comments of the result.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "include/norvex63.h"
#include "outline/outline_runtime.h"
#include "tests/merge/merge_test_support.h"

namespace {

const std::string kHeader = "OUTLINE 1\n10 \"Main\"\n";
const std::string kBase = kHeader + "  4 \"Proc\"\n    9 \"a\"\n    9 \"b\"\n  9 \"outside\"\n";
const std::string kVersion1 =
    kHeader + "  4 \"Proc\"\n    9 \"a\"\n    9 \"b one\"\n  9 \"outside one\"\n";
const std::string kVersion2 =
    kHeader + "  4 \"Proc\"\n    9 \"a\"\n    9 \"b two\"\n  9 \"outside\"\n";

std::string LastProgressText() {
    DIF_CHAR text[161];
    DIF_BuildGetSection(text, 161, nullptr, nullptr);
    return Narrow(text);
}

OutlineHandle OpenFile(const ScratchFolder& folder, const std::string& name,
                       const std::string& bytes) {
    WriteFileBytes(folder.File(name), bytes);
    return OpenOutline(folder.WideFile(name).c_str());
}

std::vector<std::string> g_texts;
std::string g_abortOnText;

// Records each progress text; aborts the merge when it is g_abortOnText.
LRESULT CALLBACK RecordAndAbort(HWND, UINT, WPARAM, LPARAM) {
    g_texts.push_back(LastProgressText());
    if (g_texts.back() == g_abortOnText) DIF_BuildAbort();
    return 0;
}

}  // namespace

TEST(MergeObjects, MergesTheChildrenOfTheGivenItemsAndLeavesTheOutlinesOpen) {
    // The start item is a unit, yet the conflict among its children is marked where it arises:
    // the start item is never the unit anchor. The items beside it are not merged, and an
    // absent name gives an empty label.
    const std::string expected =
        kHeader +
        "  4 \"Proc\"\n    9 \"a\"\n"
        "    9 \"b ! #### DIFF: Conflict 1 (C001) - Incompatible changes to item text - Copied "
        "from partially merged original ####\"\n"
        "    9 \"b one ! #### DIFF: Conflict 1 (C001) - Incompatible changes to item text - "
        "Copied from version 1 [one] ####\"\n"
        "    9 \"b two ! #### DIFF: Conflict 1 (C001) - Incompatible changes to item text - "
        "Copied from version 2  ####\"\n"
        "  9 \"outside\"\n";
    ScratchFolder folder;
    MessageBoxRecorder boxes;
    g_abortOnText.clear();
    HWND window = CreateCallbackWindow(RecordAndAbort);
    for (int run = 0; run < 2; ++run) {
        OutlineHandle original = OpenFile(folder, "base.outline", kBase);
        OutlineHandle version1 = OpenFile(folder, "version1.outline", kVersion1);
        OutlineHandle version2 = OpenFile(folder, "version2.outline", kVersion2);
        ASSERT_TRUE(original != 0 && version1 != 0 && version2 != 0);
        ItemHandle item = GetFirstChild(original, GetRootItem(original));
        ItemHandle item1 = GetFirstChild(version1, GetRootItem(version1));
        ItemHandle item2 = GetFirstChild(version2, GetRootItem(version2));
        uint16_t conflicts = 99, warnings = 99;
        EXPECT_EQ(DIF_MergeObjects(original, item, version1, item1, u"one", version2, item2,
                                   nullptr, folder.WideFile("merged.outline").c_str(), window,
                                   0x8123, 0, &conflicts, &warnings),
                  0);
        EXPECT_EQ(conflicts, 1);
        EXPECT_EQ(warnings, 0);
        EXPECT_EQ(ReadFileBytes(folder.File("merged.outline")), expected) << "run " << run;
        // Still open: the caller's outline holds the merged result and saves it again alike,
        // and the versions carry no marker, since the conflict is outside any unit.
        ASSERT_NE(SaveOutline(original, folder.WideFile("again.outline").c_str()), 0);
        EXPECT_EQ(ReadFileBytes(folder.File("again.outline")), expected);
        ASSERT_NE(SaveOutline(version1, folder.WideFile("again1.outline").c_str()), 0);
        EXPECT_EQ(ReadFileBytes(folder.File("again1.outline")), kVersion1);
        EXPECT_EQ(LastProgressText(), "Done.");
        CloseOutline(original);
        CloseOutline(version1);
        CloseOutline(version2);
    }
    DestroyCallbackWindow(window);
    EXPECT_EQ(boxes.Titles(), "");
}

TEST(Merge, ARelativeOutputPathIsTakenFromTheCallersDirectory) {
    ScratchFolder folder;
    std::filesystem::create_directories(folder.File("in"));
    std::filesystem::create_directories(folder.File("out"));
    WriteFileBytes(folder.File("in/base.outline"), kBase);
    WriteFileBytes(folder.File("in/version1.outline"), kBase);
    WriteFileBytes(folder.File("in/version2.outline"), kVersion2);
    WorkingDirectory inOut(folder.File("out"));
    uint16_t status = DIF_Merge(folder.WideFile("in/base.outline").c_str(),
                                folder.WideFile("in/version1.outline").c_str(),
                                folder.WideFile("in/version2.outline").c_str(), u"merged.outline",
                                nullptr, 0, 0, nullptr, nullptr);
    EXPECT_EQ(status, 0);
    // Opening the inputs changed into their folder; the output still lands where the call began.
    EXPECT_EQ(ReadFileBytes(folder.File("out/merged.outline")), kVersion2);
    EXPECT_FALSE(FileExists(folder.File("in/merged.outline")));
    EXPECT_EQ(CurrentDirectory(), folder.File("out"));
}

TEST(Merge, NullCountPointersStillMergeAndSave) {
    ScratchFolder folder;
    WriteFileBytes(folder.File("base.outline"), kBase);
    WriteFileBytes(folder.File("version1.outline"), kVersion1);
    WriteFileBytes(folder.File("version2.outline"), kVersion2);
    WorkingDirectory inFolder(folder.Path());
    EXPECT_EQ(DIF_Merge(u"base.outline", u"version1.outline", u"version2.outline",
                        u"merged.outline", nullptr, 0, 0, nullptr, nullptr),
              0);
    std::vector<OutlineLine> lines = ItemLines(ReadFileBytes(folder.File("merged.outline")));
    EXPECT_EQ(CheckNumbering(ConflictNumbers(lines), 1, "conflicts"), "");
}

TEST(Merge, EachOutlineThatCannotBeOpenedHasItsBitAndNothingIsSaved) {
    struct Case {
        const char* what;
        bool originalThere, version1There, version2There;
        uint16_t status;
    };
    const Case cases[] = {
        {"original missing", false, true, true, DIF_ST_FIRST_OUTLINE},
        {"version 1 missing", true, false, true, DIF_ST_SECOND_OUTLINE},
        {"version 2 missing", true, true, false, DIF_ST_THIRD_OUTLINE},
        {"original and version 2 missing", false, true, false,
         DIF_ST_FIRST_OUTLINE | DIF_ST_THIRD_OUTLINE},
        {"all missing", false, false, false,
         DIF_ST_FIRST_OUTLINE | DIF_ST_SECOND_OUTLINE | DIF_ST_THIRD_OUTLINE},
    };
    g_abortOnText.clear();
    HWND window = CreateCallbackWindow(RecordAndAbort);
    for (const Case& c : cases) {
        for (bool damaged : {false, true}) {  // absent, or there but cut inside a literal
            ScratchFolder folder;
            const std::string cut = kBase.substr(0, kBase.size() - 5);
            auto place = [&](const char* name, bool there, const std::string& bytes) {
                if (there || damaged) WriteFileBytes(folder.File(name), there ? bytes : cut);
            };
            place("base.outline", c.originalThere, kBase);
            place("version1.outline", c.version1There, kVersion1);
            place("version2.outline", c.version2There, kVersion2);
            WorkingDirectory inFolder(folder.Path());
            uint16_t conflicts = 99, warnings = 99;
            EXPECT_EQ(DIF_Merge(u"base.outline", u"version1.outline", u"version2.outline",
                                u"merged.outline", window, 0x8123, 0, &conflicts, &warnings),
                      c.status)
                << c.what << (damaged ? " (damaged)" : "");
            EXPECT_EQ(conflicts, 0) << c.what;
            EXPECT_EQ(warnings, 0) << c.what;
            EXPECT_FALSE(FileExists(folder.File("merged.outline"))) << c.what;
            EXPECT_EQ(LastProgressText(), "Done.") << c.what;
        }
    }
    DestroyCallbackWindow(window);
}

TEST(Merge, AnOutputThatCannotBeSavedLeavesTheOldFileIntact) {
    ScratchFolder folder;
    MergeRun first = MergeInFolder(folder, kBase, kVersion1, kVersion2);
    ASSERT_EQ(first.status, 0);
    WorkingDirectory inFolder(folder.Path());
    // A name that fits, but leaves no room for the temporary name beside it; and a folder
    // that does not exist.
    const std::string longName = std::string(250, 'm') + ".o";
    WriteFileBytes(folder.File(longName), "old bytes");
    for (const std::string& output : {longName, std::string("missing/merged.outline")}) {
        uint16_t conflicts = 99, warnings = 99;
        EXPECT_EQ(DIF_Merge(u"base.outline", u"version1.outline", u"version2.outline",
                            Wide(output).c_str(), nullptr, 0, 0, &conflicts, &warnings),
                  DIF_ST_MERGE_SAVE)
            << output;
        // The counts were written before the save.
        EXPECT_EQ(conflicts, 1) << output;
        EXPECT_EQ(warnings, 0) << output;
    }
    EXPECT_EQ(ReadFileBytes(folder.File(longName)), "old bytes");
    EXPECT_FALSE(FileExists(folder.File("missing")));
}

TEST(Merge, AnAbortFromTheWindowSavesWhatWasMergedSoFar) {
    const std::string base =
        kHeader + "  9 \"x\"\n    9 \"x1\"\n  9 \"y\"\n    9 \"y1\"\n  9 \"z\"\n    9 \"z1\"\n";
    const std::string version1 =
        kHeader +
        "  9 \"x\"\n    9 \"x1 one\"\n  9 \"y\"\n    9 \"y1 one\"\n  9 \"z\"\n    9 \"z1\"\n";
    const std::string version2 =
        kHeader + "  9 \"x\"\n    9 \"x1\"\n  9 \"y\"\n    9 \"y1\"\n  9 \"z two\"\n    9 \"z1\"\n";
    // The top level and x's children were merged before the abort; y's children never were.
    const std::string expected =
        kHeader +
        "  9 \"x\"\n    9 \"x1 one\"\n  9 \"y\"\n    9 \"y1\"\n  9 \"z two\"\n    9 \"z1\"\n";
    ScratchFolder folder;
    WriteFileBytes(folder.File("base.outline"), base);
    WriteFileBytes(folder.File("version1.outline"), version1);
    WriteFileBytes(folder.File("version2.outline"), version2);
    WorkingDirectory inFolder(folder.Path());
    HWND window = CreateCallbackWindow(RecordAndAbort);
    for (int run = 0; run < 2; ++run) {  // the abort of one merge must not stop the next
        g_texts.clear();
        // Labels name the original's items as the merge has already changed them.
        g_abortOnText = run == 0 ? "Statement x1 one" : "";
        uint16_t status = DIF_Merge(u"base.outline", u"version1.outline", u"version2.outline",
                                    u"merged.outline", window, 0x8123, 0, nullptr, nullptr);
        std::string texts;
        for (const std::string& text : g_texts) texts += text + "|";
        if (run == 0) {
            EXPECT_EQ(status, DIF_ST_ABORTED);
            EXPECT_EQ(ReadFileBytes(folder.File("merged.outline")), expected);
            EXPECT_EQ(texts, "Loading...|Processing...|Statement x1 one|Aborting...|Aborted.|");
        } else {
            EXPECT_EQ(status, 0);
            EXPECT_EQ(ReadFileBytes(folder.File("merged.outline")),
                      kHeader +
                          "  9 \"x\"\n    9 \"x1 one\"\n  9 \"y\"\n    9 \"y1 one\"\n"
                          "  9 \"z two\"\n    9 \"z1\"\n");
            EXPECT_EQ(texts,
                      "Loading...|Processing...|Statement x1 one|Statement y1 one|"
                      "Statement z1|Saving...|Done.|");
        }
    }
    DestroyCallbackWindow(window);
}

TEST(MergeCounts, EqualTheNumberedCommentsOfEveryScenario) {
    MessageBoxRecorder boxes;
    for (const std::string& scenario : ListScenarios("merge")) {
        std::string options = ScenarioText("merge", scenario, "options.txt");
        if (!ScenarioText("merge", scenario, "status.txt").empty()) continue;
        ScratchFolder folder;
        MergeRun run = MergeInFolder(
            folder, ReadFileBytes(TestDataPath("merge/" + scenario + "/base.outline")),
            ReadFileBytes(TestDataPath("merge/" + scenario + "/version1.outline")),
            ReadFileBytes(TestDataPath("merge/" + scenario + "/version2.outline")),
            options.empty() ? 0 : static_cast<uint32_t>(std::stoul(options, nullptr, 0)));
        std::vector<OutlineLine> lines = ItemLines(run.merged);
        EXPECT_EQ(CheckNumbering(ConflictNumbers(lines), run.conflicts, "conflicts"), "")
            << scenario;
        EXPECT_EQ(CheckNumbering(WarningNumbers(lines), run.warnings, "warnings"), "") << scenario;
    }
}
