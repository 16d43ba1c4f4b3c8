// tests/windows/host_library_test.cpp
//
// Norvex63.dll as the environment's tools use it: loaded with LoadLibraryW, its exports found
// with GetProcAddress, and whole builds and merges through real files. The scenarios are the
// golden ones of the native build, so both builds must write the same bytes.
#include <gtest/gtest.h>

#include <string>

#include "tests/windows/windows_test_support.h"

namespace {

const char* const kExportNames[] = {
    "DIF_Build",
    "DIF_BuildObject",
    "DIF_BuildAbort",
    "DIF_BuildGetSection",
    "DIF_BuildKey",
    "DIF_GetFileInfo",
    "DIF_CompareLoad",
    "DIF_CompareUnload",
    "DIF_CompareSort",
    "DIF_CompareSearch",
    "DIF_ComparePartialSearch",
    "DIF_CompareGet",
    "DIF_CompareGethItem",
    "DIF_CompareSethItems",
    "DIF_CompareCount",
    "DIF_GetMatchingIndex",
    "DIF_Apply",
    "DIF_Merge",
    "DIF_MergeObjects",
    "DLLEntryPoint",
};

int StatusOf(const std::string& text) { return text.empty() ? 0 : std::stoi(text, nullptr, 0); }

}  // namespace

TEST(HostLibrary, FindsTheTwentyExportsByNameAndNothingOfTheInside) {
    LibraryModule library;
    ASSERT_TRUE(library.Loaded()) << "Norvex63.dll did not load: " << GetLastError();
    for (const char* name : kExportNames) EXPECT_NE(library.Find(name), nullptr) << name;
    // Decorated or internal names would mean a wrong export table.
    for (const char* name : {"DIF_Build@24", "_DIF_Build@24", "ShowWarning", "CheckedAlloc",
                             "OpenOutline", "DllMain"}) {
        EXPECT_EQ(library.Find(name), nullptr) << name;
    }
    EXPECT_EQ(library.EntryPoint(library.Handle(), DLL_PROCESS_ATTACH, nullptr), 1);
    // Its outline runtime came along, found by its own module name.
    EXPECT_NE(GetModuleHandleW(L"brimrt63.dll"), nullptr);
}

class HostBuildGolden : public ::testing::TestWithParam<std::string> {};

TEST_P(HostBuildGolden, WritesTheCompareFileOfTheNativeBuild) {
    const std::string scenario = GetParam();
    const std::string why = ScenarioText("build", scenario, "why.txt");
    const std::string folder = TestDataPath("build/" + scenario + "/");
    FixedTimeZone utc("UTC0");
    StringModule strings;
    LibraryModule library;
    ASSERT_NE(library.Build, nullptr);
    MessageBoxRecorder boxes;
    ScratchFolder scratch;  // relative names, so that the header holds the same names
    WorkingDirectory inScratch(scratch.Path());
    CopyWithFixedTime(folder + "first.outline", scratch.File("first.outline"));
    CopyWithFixedTime(folder + "second.outline", scratch.File("second.outline"));
    uint32_t options = static_cast<uint32_t>(
        std::stoul(ScenarioText("build", scenario, "options.txt"), nullptr, 0));
    const std::string expected = ReadFileBytes(folder + "expected.cmp");
    for (int run = 0; run < 2; ++run) {  // state left by one build must not change the next
        boxes.Clear();
        uint16_t status =
            library.Build(L"first.outline", L"second.outline", L"result.cmp", nullptr, 0, options);
        EXPECT_EQ(status, StatusOf(ScenarioText("build", scenario, "status.txt")))
            << scenario << ": " << why;
        EXPECT_TRUE(ReadFileBytes(scratch.File("result.cmp")) == expected)
            << scenario << " (run " << run << "): " << why;
        EXPECT_EQ(boxes.Lines(), ScenarioText("build", scenario, "boxes.txt"))
            << scenario << " (run " << run << ")";
    }
}

INSTANTIATE_TEST_SUITE_P(Scenarios, HostBuildGolden, ::testing::ValuesIn(HostScenarios("build")),
                         [](const ::testing::TestParamInfo<std::string>& scenario) {
                             return TestNameOf(scenario.param);
                         });

class HostMergeGolden : public ::testing::TestWithParam<std::string> {};

TEST_P(HostMergeGolden, SavesTheMergedOutlineOfTheNativeBuild) {
    const std::string scenario = GetParam();
    const std::string why = ScenarioText("merge", scenario, "why.txt");
    const std::string folder = TestDataPath("merge/" + scenario + "/");
    StringModule strings;
    LibraryModule library;
    ASSERT_NE(library.Merge, nullptr);
    MessageBoxRecorder boxes;
    ScratchFolder scratch;  // relative names: the versions' labels hold the same names
    WorkingDirectory inScratch(scratch.Path());
    for (const char* name : {"base.outline", "version1.outline", "version2.outline"}) {
        WriteFileBytes(scratch.File(name), ReadFileBytes(folder + name));
    }
    std::string optionsText = ScenarioText("merge", scenario, "options.txt");
    uint32_t options =
        optionsText.empty() ? 0 : static_cast<uint32_t>(std::stoul(optionsText, nullptr, 0));
    int expectedStatus = StatusOf(ScenarioText("merge", scenario, "status.txt"));
    std::string expectedCounts = ScenarioText("merge", scenario, "counts.txt");
    if (expectedCounts.empty()) expectedCounts = "0 0";
    const std::string expected = ReadFileBytes(folder + "expected.outline");
    for (int run = 0; run < 2; ++run) {  // state left by one merge must not change the next
        boxes.Clear();
        uint16_t conflicts = 99, warnings = 99;
        uint16_t status =
            library.Merge(L"base.outline", L"version1.outline", L"version2.outline",
                          L"merged.outline", nullptr, 0, options, &conflicts, &warnings);
        EXPECT_EQ(status, expectedStatus) << scenario << ": " << why;
        EXPECT_EQ(std::to_string(conflicts) + " " + std::to_string(warnings), expectedCounts)
            << scenario << ": " << why;
        EXPECT_EQ(boxes.Lines(), ScenarioText("merge", scenario, "boxes.txt"))
            << scenario << " (run " << run << ")";
        if (expectedStatus != 0) {
            EXPECT_FALSE(FileExists(scratch.File("merged.outline"))) << scenario << ": " << why;
        } else {
            EXPECT_TRUE(ReadFileBytes(scratch.File("merged.outline")) == expected)
                << scenario << " (run " << run << "): " << why;
        }
        DeleteFileW(L"merged.outline");
    }
}

INSTANTIATE_TEST_SUITE_P(Scenarios, HostMergeGolden, ::testing::ValuesIn(HostScenarios("merge")),
                         [](const ::testing::TestParamInfo<std::string>& scenario) {
                             return TestNameOf(scenario.param);
                         });
