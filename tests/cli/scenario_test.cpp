// tests/cli/scenario_test.cpp
//
// The command's scenarios as data. Each folder of tests/data/cli/scenarios holds its outlines,
// commands.txt (shell lines run in a copy of the folder, in which norvex is the built command,
// and $NORVEX its path, for git to call),
// a one-line why.txt, and the reviewed transcript expected.txt: each command after "$ ", what
// it printed (standard error's lines after "2> ") and "[exit N]".
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "tests/cli/command_runner.h"

namespace {

namespace fs = std::filesystem;

const std::string kScenarios = TestDataPath("cli/scenarios");
const char* const kScenarioFiles[] = {"commands.txt", "why.txt", "expected.txt"};

std::string Transcript(const std::string& folder, const std::string& commands) {
    std::istringstream lines(commands);
    std::string line, transcript;
    while (std::getline(lines, line)) {
        if (line.empty()) continue;
        CommandResult result =
            RunShell(folder, "NORVEX='" + std::string(NORVEX_COMMAND) +
                                 "'; export NORVEX; norvex() { \"$NORVEX\" \"$@\"; }; " + line);
        transcript += "$ " + line + "\n" + result.out;
        std::istringstream errors(result.err);
        std::string error;
        while (std::getline(errors, error)) transcript += "2> " + error + "\n";
        transcript += "[exit " + std::to_string(result.status) + "]\n";
    }
    return transcript;
}

class Scenario : public ::testing::TestWithParam<std::string> {};

}  // namespace

TEST_P(Scenario, PrintsItsReviewedTranscript) {
    const std::string source = kScenarios + "/" + GetParam();
    ScratchFolder folder;
    for (const auto& entry : fs::directory_iterator(source)) {
        std::string name = entry.path().filename().string();
        if (std::find(std::begin(kScenarioFiles), std::end(kScenarioFiles), name) ==
            std::end(kScenarioFiles)) {
            fs::copy_file(entry.path(), folder.File(name));
        }
    }
    SCOPED_TRACE(ReadFileBytes(source + "/why.txt"));
    ExpectReviewedText(source + "/expected.txt",
                       Transcript(folder.Path(), ReadFileBytes(source + "/commands.txt")));
}

INSTANTIATE_TEST_SUITE_P(Cli, Scenario, ::testing::ValuesIn(ListScenarios("cli/scenarios")),
                         [](const ::testing::TestParamInfo<std::string>& scenario) {
                             return TestNameOf(scenario.param);
                         });
