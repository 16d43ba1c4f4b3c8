// tests/cli/cli_test.cpp
//
// What the command's scenarios as data cannot hold well: more records than the viewer holds,
// and the progress bar on a pseudo-terminal. The examples and every kind of trouble are the
// scenarios examples and trouble under tests/data/cli/scenarios.
#include <gtest/gtest.h>

#include <string>

#include "tests/cli/command_runner.h"

namespace {

class Command : public ::testing::Test {
protected:
    void SetUp() override { CopyExamples(folder_.Path()); }
    CommandFolder folder_;
};

}  // namespace

TEST_F(Command, MoreRecordsThanTheViewerHoldsAreAppliedAllAndShownWithANote) {
    // 66 sections of 999 changed items: 65,934 records, past the viewer's 65,535. Counted and
    // searched rather than listed, which would only make the test slow.
    std::string older = "OUTLINE 1\n174 \"top\"\n", newer = older;
    for (int s = 0; s < 66; ++s) {
        older += "  9 \"section\"\n";
        newer += "  9 \"section\"\n";
        for (int k = 0; k < 999; ++k) {
            older += "    9 \"item " + std::to_string(k) + "\"\n";
            newer += "    9 \"item " + std::to_string(k) + " changed\"\n";
        }
    }
    WriteWhole(folder_.File("older.outline"), older);
    WriteWhole(folder_.File("newer.outline"), newer);
    const std::string note = "norvex: only the first 65535 records of the comparison are shown";

    CommandResult result = RunNorvex(
        folder_.Path(), "diff older.outline newer.outline -o all.cmp --stat --rules-only");
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.err.find(note), 0u) << result.err;
    EXPECT_NE(result.err.find("all.cmp holds every record"), std::string::npos) << result.err;
    result = RunNorvex(folder_.Path(), "show all.cmp --find 001001001");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err.find(note), 0u) << result.err;

    result = RunNorvex(folder_.Path(), "apply older.outline all.cmp -o applied.outline");
    EXPECT_EQ(result.status, 0) << result.err;
    // Compared whole: a printed difference of two such files would take minutes.
    EXPECT_TRUE(ReadWhole(folder_.File("applied.outline")) == newer);
}

TEST_F(Command, ProgressBarOnlyOnATerminal) {
    // A pair large enough for many progress steps.
    std::string first = "OUTLINE 1\n1 \"root\"\n", second = first;
    for (int section = 0; section < 200; ++section) {
        std::string part = "  4 \"p" + std::to_string(section) + "\"\n";
        first += part;
        second += part;
        for (int line = 0; line < 20; ++line) {
            first += "    9 \"line " + std::to_string(line) + "\"\n";
            second += "    9 \"line " + std::to_string(line + section % 2) + "\"\n";
        }
    }
    WriteWhole(folder_.File("a.outline"), first);
    WriteWhole(folder_.File("b.outline"), second);
    // Under a pseudo-terminal the bar is drawn on standard error and cleared at the end.
    CommandResult terminal =
        RunShell(folder_.Path(), "script -qec \"'" + std::string(NORVEX_COMMAND) +
                                     "' diff a.outline b.outline --stat\" /dev/null");
    EXPECT_NE(terminal.out.find("%"), std::string::npos) << terminal.out;
    EXPECT_NE(terminal.out.find("\r\033[K"), std::string::npos);
    EXPECT_NE(terminal.out.find("100 changed"), std::string::npos) << terminal.out;
    CommandResult quiet =
        RunShell(folder_.Path(), "script -qec \"'" + std::string(NORVEX_COMMAND) +
                                     "' diff a.outline b.outline --stat --quiet\" /dev/null");
    EXPECT_EQ(quiet.out.find("%"), std::string::npos) << quiet.out;
    // Into a file: no bar at all.
    CommandResult piped = RunNorvex(folder_.Path(), "diff a.outline b.outline --stat");
    EXPECT_EQ(piped.err, "");
}
