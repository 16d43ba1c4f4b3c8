// cli/commands.h
//
// The subcommands of norvex. Each takes its parsed options and answers the exit status, as
// diff and git merge-file do: 0 the same or merged cleanly, 1 different or with conflicts,
// 2 trouble (one clear line per problem on standard error, and no partial output file).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr int kExitSame = 0;
constexpr int kExitDifferent = 1;
constexpr int kExitTrouble = 2;

// Prints "norvex: MESSAGE" on standard error and answers kExitTrouble.
int ReportTrouble(const std::string& message);
// Refuses (with ReportTrouble's line, answered as a non-empty text) to write output when it is
// one of inputs, so that a mistyped command line never overwrites what it reads; empty when
// output is a path of its own.
std::string OutputOverwritesInput(const std::string& output,
                                  const std::vector<std::string>& inputs);
// What to tell the user when a compare file was loaded only in part: how many records are
// shown, and that the file (when it is kept at keptPath; empty for none) holds them all.
std::string PartialListNote(unsigned shown, const std::string& keptPath);

struct DiffOptions {
    std::string first;
    std::string second;
    // What the report calls the two outlines: the header lines name them by their labels
    // (their paths when none was given), a change by OLD and NEW or the labels.
    std::vector<std::string> labels;
    std::string firstName;  // the header's name of OLD when it has no label; empty: its path
    std::string secondName;
    bool brief = false;       // only whether the outlines differ
    bool json = false;        // one JSON document instead of lines
    std::string comparePath;  // empty: a temporary compare file
    uint32_t optionWord = 0;
    bool statistics = false;
    bool rulesOnly = false;  // only what the compare file records, not what its rules leave out
    bool colour = false;
    // A changed text's removed and added words marked: in colour, or as [-...-] and {+...+}.
    bool wordDiff = false;
    bool progress = true;
    std::string htmlPath;  // empty: no visual report
};

struct ShowOptions {
    std::string comparePath;
    std::string sort = "first";  // first, second or file
    std::string find;            // a key to look for; empty: the whole table
    bool partial = false;
    int side = 1;
};

struct ApplyOptions {
    std::string outline;
    std::string comparePath;
    std::string output;
    bool force = false;  // apply even to an outline of another size than the comparison's
    bool progress = true;
};

struct MergeOptions {
    std::string base;
    std::string version1;
    std::string version2;
    std::string output;
    std::string outputName;  // how the report names the output; empty: its path
    // The names that the conflict comments give the versions; empty: from their paths.
    std::string baseLabel;
    std::string version1Label;
    std::string version2Label;
    uint32_t optionWord = 0;
    bool progress = true;
    bool quietReport = false;  // no list of conflicts (the merge driver prints one summary)
    bool json = false;         // the report as one JSON document
    // A change of a version that the result does not hold is a note, not a reason for exit 1.
    bool acceptUnmerged = false;
    std::string htmlPath;  // empty: no visual report
};

struct CheckOptions {
    std::vector<std::string> files;  // "-" for standard input
    bool tree = false;               // print each outline too
    bool allowConflicts = false;     // a merge's comments left in a file are no problem
};

struct ResolveOptions {
    std::string path;
    std::string take;          // original, 1 or 2
    std::vector<int> numbers;  // the conflicts to settle; empty: all
};

int RunDiff(const DiffOptions& options);
// git's diff driver: the arguments git passes (the path, then the old file, hex and mode, the
// new file, hex and mode, and on a rename the new path and its score). Prints the diff of the
// two outlines under the path's name and answers 0 when it was printed, as git expects.
int RunGitDiff(const std::vector<std::string>& arguments, bool colour);
// git's difftool: writes the diff page of $LOCAL and $REMOTE (named by $MERGED, the path in the
// work tree) into a folder of its own that stays, and opens it with $BROWSER or xdg-open.
int RunDiffTool(const std::vector<std::string>& arguments);
int RunShow(const ShowOptions& options);
int RunApply(const ApplyOptions& options);
int RunMerge(const MergeOptions& options);
// Reads each outline. Prints each error as "file:line:column: message" (exit 2), and each
// conflict and warning that a merge left in a file (exit 1); nothing for a good file.
int RunCheck(const CheckOptions& options);
// Lists the conflicts that a merge left in an outline: number, what, where, each side's text.
int RunConflicts(const std::string& path, bool json);
// Settles conflicts by keeping one side's copy, and saves the outline whole.
int RunResolve(const ResolveOptions& options);
