// tests/windows/host_library_test.cpp
//
// Norvex63.dll as the environment's tools use it: loaded with LoadLibraryW, its exports found
// with GetProcAddress (which names it exports, and no others, the Windows stage reads from its
// export table), and whole builds and merges through real files. The scenarios are the golden
// ones of the native build, so both builds must write the same bytes.
#include <gtest/gtest.h>

#include <string>

#include "tests/windows/windows_test_support.h"

namespace {

uint32_t NumberOf(const std::string& text) {
    return text.empty() ? 0 : static_cast<uint32_t>(std::stoul(text, nullptr, 0));
}

class HostGolden : public ::testing::TestWithParam<std::string> {};

}  // namespace

TEST(HostLibrary, LoadsWithItsRuntimeAndItsEntryPointAnswers) {
    LibraryModule library;
    ASSERT_TRUE(library.Loaded()) << "Norvex63.dll did not load: " << GetLastError();
    EXPECT_EQ(library.EntryPoint(library.Handle(), DLL_PROCESS_ATTACH, nullptr), 1);
    // Its outline runtime came along, found by its own module name.
    EXPECT_NE(GetModuleHandleW(L"brimrt63.dll"), nullptr);
}

// A build or merge scenario ("area/name"), run twice, since state left by one call must not
// change the next, from a scratch folder with relative names, so that the compare file's
// header and the versions' labels hold the same names as natively.
TEST_P(HostGolden, WritesTheBytesOfTheNativeBuild) {
    const std::string area = GetParam().substr(0, GetParam().find('/'));
    const std::string scenario = GetParam().substr(area.size() + 1);
    const std::string folder = TestDataPath(GetParam() + "/");
    auto text = [&](const char* name) { return ScenarioText(area, scenario, name); };
    const bool build = area == "build";
    FixedTimeZone utc("UTC0");
    StringModule strings;
    LibraryModule library;
    ASSERT_TRUE(library.Build != nullptr && library.Merge != nullptr);
    MessageBoxRecorder boxes;
    ScratchFolder scratch;
    WorkingDirectory inScratch(scratch.Path());
    for (const char* name : {"first.outline", "second.outline", "base.outline", "version1.outline",
                             "version2.outline"}) {
        CopyWithFixedTime(folder + name, scratch.File(name));
    }
    const uint32_t options = NumberOf(text("options.txt"));
    const uint16_t expectedStatus = static_cast<uint16_t>(NumberOf(text("status.txt")));
    const std::string expectedCounts = text("counts.txt").empty() ? "0 0" : text("counts.txt");
    const std::string output = build ? "result.cmp" : "merged.outline";
    // A merge that answers other than 0 saves nothing; a build leaves its compare file.
    const std::string expected =
        build || expectedStatus == 0
            ? ReadFileBytes(folder + (build ? "expected.cmp" : "expected.outline"))
            : "";
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(GetParam() + " (run " + std::to_string(run) + "): " + text("why.txt"));
        boxes.Clear();
        DeleteFileW(WideFromUtf8(output).c_str());
        uint16_t conflicts = 0, warnings = 0;
        uint16_t status =
            build ? library.Build(L"first.outline", L"second.outline", L"result.cmp", nullptr, 0,
                                  options)
                  : library.Merge(L"base.outline", L"version1.outline", L"version2.outline",
                                  L"merged.outline", nullptr, 0, options, &conflicts, &warnings);
        EXPECT_EQ(status, expectedStatus);
        if (!build) {
            EXPECT_EQ(std::to_string(conflicts) + " " + std::to_string(warnings), expectedCounts);
        }
        EXPECT_EQ(boxes.Lines(), text("boxes.txt"));
        EXPECT_TRUE(ReadFileBytes(scratch.File(output)) == expected);
    }
}

INSTANTIATE_TEST_SUITE_P(Scenarios, HostGolden, ::testing::ValuesIn(HostScenarios()),
                         [](const ::testing::TestParamInfo<std::string>& scenario) {
                             return TestNameOf(scenario.param);
                         });
