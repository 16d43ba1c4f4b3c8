// tests/cli/output_files_test.cpp
//
// What the command leaves where it writes, for each kind of output it replaces (a compare
// file, an applied and a merged outline, a report page): one whole output when two processes
// write the same path at once, and no temporary when it is stopped by a signal. Modes, owners,
// links and names of any bytes are the scenarios replaced-outputs and odd-byte-names.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "tests/cli/command_runner.h"
#include "tests/helpers/test_support.h"

namespace {

// A command line that writes one output, the output's path put where "%" stands.
struct OutputCommand {
    const char* arguments;
    int status;  // what norvex answers when it works
};

std::string WithOutput(const std::string& arguments, const std::string& output) {
    std::string line = arguments;
    return line.replace(line.find('%'), 1, "'" + output + "'");
}

// The examples and a compare file of them (for the apply) in a fresh folder.
class OutputFiles : public ::testing::Test {
protected:
    void SetUp() override {
        CopyExamples(folder_.Path());
        CommandResult made =
            RunNorvex(folder_.Path(), "diff base.outline version2.outline --all -o change.cmp");
        ASSERT_EQ(made.status, 1) << made.err;
    }

    // The bytes command writes when it runs alone, to a path that is removed again.
    std::string OutputAlone(const std::string& arguments, int status) {
        CommandResult result =
            RunNorvex(folder_.Path(), "--quiet " + WithOutput(arguments, "alone"));
        EXPECT_EQ(result.status, status) << arguments << "\n" << result.err;
        std::string bytes = ReadFileBytes(folder_.File("alone"));
        std::filesystem::remove(folder_.File("alone"));
        return bytes;
    }

    ScratchFolder folder_;
};

TEST_F(OutputFiles, TwoWritersOfOnePathLeaveOneWholeOutputAndNothingBeside) {
    // Each pair writes one path from different inputs; the pairs of every kind run together.
    struct Pair {
        std::string target;
        OutputCommand first, second;
    };
    const Pair pairs[] = {
        {"same.cmp",
         {"diff base.outline version1.outline --all -o %", 1},
         {"diff base.outline version2.outline -o %", 1}},
        {"same.html",
         {"diff base.outline version1.outline --all --html %", 1},
         {"diff base.outline version2.outline --html %", 1}},
        {"same.outline",
         {"merge base.outline version1.outline version2.outline --all -o %", 1},
         {"merge base.outline version2.outline base.outline --all -o %", 0}},
        {"applied.outline",
         {"apply base.outline change.cmp -o %", 0},
         {"apply base.outline other.cmp -o %", 0}},
    };
    ASSERT_EQ(
        RunNorvex(folder_.Path(), "diff base.outline version1.outline --all -o other.cmp").status,
        1);
    std::string line;
    std::string expectedStatuses;
    std::vector<std::string> wholeOutputs;  // the first's and the second's of each pair
    int process = 0;
    for (const Pair& pair : pairs) {
        wholeOutputs.push_back(OutputAlone(pair.first.arguments, pair.first.status));
        wholeOutputs.push_back(OutputAlone(pair.second.arguments, pair.second.status));
        ASSERT_NE(wholeOutputs.end()[-2], wholeOutputs.back()) << pair.target;
        for (const OutputCommand& writer : {pair.first, pair.second}) {
            line += std::string("'") + NORVEX_COMMAND + "' --quiet " +
                    WithOutput(writer.arguments, pair.target) + " >/dev/null & p" +
                    std::to_string(process++) + "=$!; ";
            expectedStatuses += std::to_string(writer.status) + "\n";
        }
    }
    for (int k = 0; k < process; ++k) line += "wait $p" + std::to_string(k) + "; echo $?; ";
    line += "true";
    std::vector<std::string> names = FolderEntries(folder_.Path());
    for (const Pair& pair : pairs) names.push_back(pair.target);
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());

    for (int round = 0; round < 12; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        CommandResult result = RunShell(folder_.Path(), line);
        EXPECT_EQ(result.out, expectedStatuses) << "every writer succeeds";
        EXPECT_EQ(result.err, "");
        for (size_t k = 0; k < std::size(pairs); ++k) {
            std::string left = ReadFileBytes(folder_.File(pairs[k].target));
            EXPECT_TRUE(left == wholeOutputs[2 * k] || left == wholeOutputs[2 * k + 1])
                << pairs[k].target << " is neither writer's whole output";
        }
        ASSERT_EQ(FolderEntries(folder_.Path()), names) << "a temporary was left behind";
    }
}

// Starts norvex with arguments in folder and TMPDIR=temporary, its standard output a pipe that
// is never read (so it stops at its first full pipe, its temporaries in place); answers its pid.
pid_t StartBlocked(const std::string& folder, const std::vector<std::string>& arguments,
                   const std::string& temporary, int* pipeReadEnd) {
    int ends[2];
    if (pipe(ends) != 0) return -1;
    pid_t child = fork();
    if (child == 0) {
        dup2(ends[1], STDOUT_FILENO);
        close(ends[0]);
        close(ends[1]);
        if (chdir(folder.c_str()) != 0) _exit(127);
        setenv("TMPDIR", temporary.c_str(), 1);
        std::vector<char*> argv = {const_cast<char*>(NORVEX_COMMAND)};
        for (const std::string& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        execv(NORVEX_COMMAND, argv.data());
        _exit(127);
    }
    close(ends[1]);
    *pipeReadEnd = ends[0];
    return child;
}

TEST_F(OutputFiles, AnInterruptedDiffLeavesNoTemporaryBehind) {
    // Two outlines whose diff fills a pipe many times over.
    std::string older = "OUTLINE 1\n1 \"Root\"\n", newer = older;
    for (int group = 0; group < 200; ++group) {
        older += "  2 \"group " + std::to_string(group) + "\"\n";
        newer += "  2 \"group " + std::to_string(group) + "\"\n";
        for (int line = 0; line < 20; ++line) {
            std::string text = "statement " + std::to_string(group) + " " + std::to_string(line);
            older += "    9 \"" + text + "\"\n";
            newer += "    9 \"" + text + " changed\"\n";
        }
    }
    WriteFileBytes(folder_.File("older.outline"), older);
    WriteFileBytes(folder_.File("newer.outline"), newer);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(strsignal(signal));
        const std::string temporary = folder_.File("tmp" + std::to_string(signal));
        std::filesystem::create_directory(temporary);
        int reader = -1;
        pid_t child = StartBlocked(folder_.Path(), {"diff", "older.outline", "newer.outline"},
                                   temporary, &reader);
        ASSERT_GT(child, 0);
        // The diff's compare file stands in its scratch folder from the build until it ends,
        // and the unread pipe keeps it from ending.
        bool seen = false;
        for (int wait = 0; wait < 6000 && !seen; ++wait) {
            for (const auto& entry : std::filesystem::directory_iterator(temporary)) {
                seen = seen || std::filesystem::exists(entry.path() / "diff.cmp");
            }
            if (!seen) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        EXPECT_TRUE(seen);
        kill(child, signal);
        int status = 0;
        waitpid(child, &status, 0);
        close(reader);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
        EXPECT_TRUE(std::filesystem::is_empty(temporary));
    }
}

}  // namespace
