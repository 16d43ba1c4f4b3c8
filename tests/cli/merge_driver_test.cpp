// tests/cli/merge_driver_test.cpp
//
// norvex as git's merge driver for outlines, in a real repository: two branches that edit one
// outline merge cleanly when their edits are apart, and stop with numbered conflicts in the
// file when they are not, or when the result lacks a change that the rules leave out.
#include <gtest/gtest.h>

#include <string>

#include "tests/cli/command_runner.h"

namespace {

const char kBase[] =
    "OUTLINE 1\n1 \"App\"\n  4 \"Open\"\n    9 \"a\"\n    9 \"b\"\n  4 \"Close\"\n    9 \"c\"\n";

class MergeDriver : public ::testing::Test {
protected:
    void SetUp() override {
        Git("init -q -b main . && git config user.name Tester && git config user.email t@e.st");
        Git("config merge.norvex.name 'outline merge' && git config merge.norvex.driver \"'" +
            std::string(NORVEX_COMMAND) + "' merge-driver %O %A %B %P\"");
        WriteWhole(repository_.File(".gitattributes"), "*.outline merge=norvex\n");
        WriteWhole(repository_.File("app.outline"), kBase);
        Git("add . && git commit -qm base");
    }

    CommandResult Git(const std::string& arguments) {
        CommandResult result = RunShell(repository_.Path(), "git " + arguments);
        EXPECT_EQ(result.status, 0) << arguments << ": " << result.err;
        return result;
    }

    // Commits text as app.outline on a new branch from main.
    void Branch(const std::string& name, const std::string& text) {
        Git("checkout -q -b " + name + " main");
        WriteWhole(repository_.File("app.outline"), text);
        Git("commit -qam " + name);
    }

    std::string Edited(const std::string& from, const std::string& to) {
        std::string text = kBase;
        text.replace(text.find(from), from.size(), to);
        return text;
    }

    CommandFolder repository_;
};

}  // namespace

TEST_F(MergeDriver, EditsApartMergeCleanly) {
    Branch("ours", Edited("\"a\"", "\"a changed\""));
    Branch("theirs", Edited("\"c\"", "\"c changed\""));
    Git("checkout -q ours");
    CommandResult merge = RunShell(repository_.Path(), "git merge -q --no-edit theirs");
    EXPECT_EQ(merge.status, 0) << merge.out << merge.err;
    std::string expected = Edited("\"a\"", "\"a changed\"");
    expected.replace(expected.find("\"c\""), 3, "\"c changed\"");
    EXPECT_EQ(ReadWhole(repository_.File("app.outline")), expected);
}

TEST_F(MergeDriver, EditsOfOneItemStopWithAConflictInTheFile) {
    Branch("ours", Edited("\"b\"", "\"b by us\""));
    Branch("theirs", Edited("\"b\"", "\"b by them\""));
    Git("checkout -q ours");
    CommandResult merge = RunShell(repository_.Path(), "git merge -q --no-edit theirs");
    EXPECT_NE(merge.status, 0) << "git must stop on the conflict";
    std::string merged = ReadWhole(repository_.File("app.outline"));
    // The conflict stands at the procedure, the unit that holds both edits: a copy from each
    // side named by the path git merges, and the edited line marked in each copy.
    EXPECT_NE(merged.find("4 \"Open ! #### DIFF: Conflict 1 (C001) - Incompatible changes to "
                          "item text - Copied from version 1 [app.outline (ours)] ####\""),
              std::string::npos)
        << merged;
    EXPECT_NE(merged.find("Copied from version 2 [app.outline (theirs)]"), std::string::npos);
    EXPECT_NE(merged.find("9 \"b by us ! #### DIFF: Conflict - Incompatible change near here"),
              std::string::npos);
    EXPECT_NE(merged.find("9 \"b by them ! #### DIFF: Conflict - Incompatible change near here"),
              std::string::npos);
    CommandResult status = Git("status --porcelain");
    EXPECT_NE(status.out.find("UU app.outline"), std::string::npos) << status.out;
}

TEST_F(MergeDriver, AChangeTheResultLacksStopsGitAndIsNamed) {
    // Ours gives a line a DTDATA value at index 5, which the merge never carries over.
    Branch("ours", Edited("    9 \"a\"\n", "    9 \"a\"\n      $5 1\n"));
    Branch("theirs", Edited("\"c\"", "\"c changed\""));
    Git("checkout -q ours");
    CommandResult merge = RunShell(repository_.Path(), "git merge -q --no-edit theirs");
    EXPECT_NE(merge.status, 0) << "git must stop rather than commit a result without the change";
    EXPECT_NE((merge.out + merge.err)
                  .find("norvex: not merged: App > Open > a: DTDATA 5 added: 1 (version 1)"),
              std::string::npos)
        << merge.out << merge.err;
    CommandResult status = Git("status --porcelain");
    EXPECT_NE(status.out.find("UU app.outline"), std::string::npos) << status.out;
}
