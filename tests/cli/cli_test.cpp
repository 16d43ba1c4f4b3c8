// tests/cli/cli_test.cpp
//
// norvex diff, show, apply, merge and check as a person runs them on the example outlines:
// the printed text (against reviewed expected files in tests/data/cli), the exit statuses of
// diff and git merge-file, the files written, and every kind of trouble.
#include <gtest/gtest.h>

#include <string>

#include "tests/cli/command_runner.h"

namespace {

// The expected text of name in tests/data/cli.
void ExpectText(const std::string& name, const std::string& actual) {
    ExpectReviewedText(std::string(NORVEX_CLI_DATA) + "/" + name, actual);
}

class Command : public ::testing::Test {
protected:
    void SetUp() override { CopyExamples(folder_.Path()); }
    CommandFolder folder_;
};

}  // namespace

TEST_F(Command, DiffPrintsEachChangeByItsPathAndAnswersLikeDiff) {
    CommandResult result = RunNorvex(folder_.Path(), "diff base.outline version2.outline --all");
    EXPECT_EQ(result.status, 1) << result.err;
    EXPECT_EQ(result.err, "");  // no progress bar when standard error is not a terminal
    ExpectText("diff-version2.txt", result.out);

    result = RunNorvex(folder_.Path(), "diff base.outline version1.outline --stat");
    EXPECT_EQ(result.status, 1);
    ExpectText("diff-version1-stat.txt", result.out);

    // Without --all the contents are not compared: version 2's attribute, property and DTDATA
    // changes have no record (--rules-only shows the records alone), its text changes stay.
    result = RunNorvex(folder_.Path(), "diff base.outline version2.outline --rules-only");
    EXPECT_EQ(result.out.find("attribute"), std::string::npos);
    EXPECT_NE(result.out.find("Apply button"), std::string::npos);

    // The same outline twice: nothing printed, exit 0.
    result = RunNorvex(folder_.Path(), "diff base.outline base.outline --all");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "");

    // Colour only when asked for (the output here is a file, not a terminal).
    result = RunNorvex(folder_.Path(), "diff base.outline version1.outline");
    EXPECT_EQ(result.out.find('\033'), std::string::npos);
    result = RunNorvex(folder_.Path(), "diff base.outline version1.outline --color=always");
    EXPECT_NE(result.out.find("\033[31m- "), std::string::npos);
    EXPECT_NE(result.out.find("\033[32m+ "), std::string::npos);
}

TEST_F(Command, DiffKeepsItsCompareFileForShow) {
    CommandResult result =
        RunNorvex(folder_.Path(), "diff base.outline version1.outline --all -o change.cmp");
    ASSERT_EQ(result.status, 1) << result.err;
    std::string compare = ReadWhole(folder_.File("change.cmp"));
    ASSERT_GE(compare.size(), 2u);
    EXPECT_EQ(compare.substr(0, 2), "\xff\xfe");  // a UTF-16LE compare file

    result = RunNorvex(folder_.Path(), "show change.cmp");
    EXPECT_EQ(result.status, 0) << result.err;
    ExpectText("show-version1.txt", result.out);
    result = RunNorvex(folder_.Path(), "show change.cmp --find 001003002 --side 2");
    EXPECT_EQ(result.status, 0);
    EXPECT_NE(result.out.find("C T     001003002"), std::string::npos) << result.out;
    result = RunNorvex(folder_.Path(), "show change.cmp --find 001003009");
    EXPECT_EQ(result.status, 1);
    result = RunNorvex(folder_.Path(), "show change.cmp --find 001003009 --partial");
    EXPECT_EQ(result.status, 0);
    EXPECT_NE(result.out.find("001003002"), std::string::npos) << "the last key before it";
}

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

TEST_F(Command, ApplyCarriesADiffOverAsPatchDoes) {
    for (const char* version : {"version1.outline", "version2.outline"}) {
        SCOPED_TRACE(version);
        ASSERT_EQ(RunNorvex(folder_.Path(),
                            std::string("diff base.outline ") + version + " --all -o change.cmp")
                      .status,
                  1);
        CommandResult result =
            RunNorvex(folder_.Path(), "apply base.outline change.cmp -o patched.outline");
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(ReadWhole(folder_.File("patched.outline")),
                  WithoutComments(ReadWhole(folder_.File(version))));
    }
    // A viewing compare file holds no texts: applying it is refused before anything is written.
    ASSERT_EQ(
        RunNorvex(folder_.Path(), "diff base.outline version1.outline --view -o view.cmp").status,
        1);
    CommandResult refused =
        RunNorvex(folder_.Path(), "apply base.outline view.cmp -o from-view.outline");
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("written for viewing"), std::string::npos) << refused.err;
    EXPECT_FALSE(std::filesystem::exists(folder_.File("from-view.outline")));
}

TEST_F(Command, MergeReportsEachConflictWhereItStands) {
    CommandResult result =
        RunNorvex(folder_.Path(),
                  "merge base.outline version1.outline version2.outline -o merged.outline --all");
    EXPECT_EQ(result.status, 1) << result.err;
    ExpectText("merge.txt", result.out);
    ExpectText("merged.outline", ReadWhole(folder_.File("merged.outline")));

    // One side unchanged: a clean merge gives the other side, exit 0.
    result = RunNorvex(folder_.Path(),
                       "merge base.outline version1.outline base.outline -o clean.outline --all");
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "merged into clean.outline: 0 conflicts, 0 warnings\n");
    EXPECT_EQ(ReadWhole(folder_.File("clean.outline")),
              WithoutComments(ReadWhole(folder_.File("version1.outline"))));
}

TEST_F(Command, TroubleIsOneLineExitTwoAndNoOutputFile) {
    WriteWhole(folder_.File("bad.outline"), "OUTLINE 1\n1 \"root\"\n   9 \"three blanks\"\n");
    WriteWhole(folder_.File("kept.outline"), "an existing output\n");
    struct Case {
        const char* arguments;
        const char* message;  // the start of the one line on standard error
    } cases[] = {
        {"diff missing.outline base.outline", "norvex: "},
        {"diff base.outline bad.outline", "norvex: "},
        {"diff base.outline version1.outline -o no/such/folder/x.cmp",
         "norvex: cannot write the compare file"},
        {"show missing.cmp", "norvex: cannot read the compare file"},
        {"merge base.outline version1.outline bad.outline -o kept.outline", "norvex: "},
        {"merge base.outline version1.outline version2.outline -o no/such/folder/m.outline",
         "norvex: cannot write"},
        {"apply missing.outline x.cmp -o kept.outline", "norvex: "},
        {"diff --no-such-option a b", ""},
        {"frobnicate", ""},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.arguments);
        CommandResult result = RunNorvex(folder_.Path(), test.arguments);
        EXPECT_EQ(result.status, 2) << result.err;
        EXPECT_EQ(result.err.rfind(test.message, 0), 0u) << result.err;
        EXPECT_EQ(result.out, "");
    }
    // The parse error names the file, line and column, the way compilers do.
    CommandResult result = RunNorvex(folder_.Path(), "diff base.outline bad.outline");
    EXPECT_NE(result.err.find("bad.outline:3:"), std::string::npos) << result.err;
    result = RunNorvex(folder_.Path(), "check bad.outline");
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.err.find("bad.outline:3:"), std::string::npos) << result.err;
    // Nothing was left behind: the existing output is intact and no temporary stays.
    EXPECT_EQ(ReadWhole(folder_.File("kept.outline")), "an existing output\n");
    for (const auto& entry : std::filesystem::directory_iterator(folder_.Path())) {
        std::string name = entry.path().filename().string();
        EXPECT_EQ(name.find('~'), std::string::npos) << name;
    }
}

TEST_F(Command, HelpAndVersion) {
    CommandResult result = RunNorvex(folder_.Path(), "--help");
    EXPECT_EQ(result.status, 0);
    for (const char* command : {"diff", "show", "apply", "merge", "merge-driver", "check"}) {
        EXPECT_NE(result.out.find(command), std::string::npos) << command;
        CommandResult help = RunNorvex(folder_.Path(), std::string(command) + " --help");
        EXPECT_EQ(help.status, 0) << command;
        EXPECT_NE(help.out.find("Usage"), std::string::npos) << command << help.out;
    }
    result = RunNorvex(folder_.Path(), "--version");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out.rfind("norvex ", 0), 0u);
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
