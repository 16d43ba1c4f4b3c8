// cli/norvex_main.cpp: the norvex command, a host program of the library.
//
// Every subcommand calls the library's exports and the runtime's operations just as any host
// program does. Exit statuses follow diff and git merge-file: 0 same or clean, 1 different or
// conflicting, 2 trouble.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/host.h"
#include "include/norvex63.h"

namespace {

const char kVersion[] = "norvex 1.0.0 (Norvex63 library, brimrt63 runtime)";

// The content bits shared by diff and merge.
struct ContentFlags {
    bool attributes = false;
    bool properties = false;
    bool dtdata = false;
    bool all = false;

    void AddTo(CLI::App* command) {
        command->add_flag("--attributes", attributes, "compare customizer attributes too");
        command->add_flag("--properties", properties, "compare named properties too");
        command->add_flag("--dtdata", dtdata, "compare DTDATA values too");
        command->add_flag("--all", all, "all three of the above");
    }
    uint32_t Word() const {
        uint32_t word = 0;
        if (attributes || all) word |= DIF_OPT_ATTRIBUTES;
        if (properties || all) word |= DIF_OPT_PROPERTIES;
        if (dtdata || all) word |= DIF_OPT_DTDATA;
        return word;
    }
};

bool UseColour(const std::string& choice) {
    if (choice == "always") return true;
    if (choice == "never") return false;
    return IsTerminal(STDOUT_FILENO) && std::getenv("NO_COLOR") == nullptr;
}

// A merge that git asks for: every content compared, no progress bar, and the versions named
// after the file's path in the work tree.
void SetUpGitMerge(const std::string& base, const std::string& ours, const std::string& theirs,
                   const std::string& output, const std::string& path, MergeOptions* merge) {
    std::string name = std::filesystem::path(path).filename().string();
    merge->base = base;
    merge->version1 = ours;
    merge->version2 = theirs;
    merge->output = output;
    merge->baseLabel = name + " (base)";
    merge->version1Label = name + " (ours)";
    merge->version2Label = name + " (theirs)";
    merge->optionWord = DIF_OPT_ATTRIBUTES | DIF_OPT_PROPERTIES | DIF_OPT_DTDATA;
    merge->progress = false;
}

}  // namespace

int ReportTrouble(const std::string& message) {
    std::fprintf(stderr, "norvex: %s\n", message.c_str());
    return kExitTrouble;
}

std::string OutputOverwritesInput(const std::string& output,
                                  const std::vector<std::string>& inputs) {
    if (output.empty()) return std::string();
    for (const std::string& input : inputs) {
        std::error_code error;
        // The same file by another name (a link, "./" in front) is the same file too.
        bool same = std::filesystem::equivalent(output, input, error);
        if (error) same = AbsolutePath(output) == AbsolutePath(input);
        if (same) return output + " is also an input; choose another output";
    }
    return std::string();
}

std::string PartialListNote(unsigned shown, const std::string& keptPath) {
    std::string note =
        "only the first " + std::to_string(shown) + " records of the comparison are shown: " +
        (shown >= 65535 ? "the viewer holds at most 65535" : "memory ran out while reading them");
    if (!keptPath.empty()) note += " (" + keptPath + " holds every record)";
    return note;
}

int main(int argc, char** argv) {
    CLI::App app{"norvex: compare, patch and three-way merge outline files"};
    app.set_version_flag("--version", kVersion);
    app.require_subcommand(1);
    bool quiet = false;
    app.add_flag("--quiet,--no-progress", quiet, "no progress bar");

    DiffOptions diff;
    ContentFlags diffContents;
    bool view = false;
    std::string colour = "auto";
    CLI::App* diffCommand = app.add_subcommand("diff", "show what changed from OLD to NEW");
    diffCommand->add_option("OLD", diff.first, "the old outline (- for standard input)")
        ->required();
    diffCommand->add_option("NEW", diff.second, "the new outline (- for standard input)")
        ->required();
    diffCommand->add_option("-o,--output", diff.comparePath, "keep the compare file here");
    diffContents.AddTo(diffCommand);
    diffCommand->add_flag("--view", view,
                          "write a viewing compare file (no texts; sections stop at 999 items)");
    diffCommand->add_flag("--stat", diff.statistics, "print counts per kind only");
    diffCommand->add_flag("--rules-only", diff.rulesOnly,
                          "only what the comparison records: not the differences its rules"
                          " leave out (in ignored or skipped items, contents without a record)");
    diffCommand->add_option("--color", colour, "auto, always or never")
        ->check(CLI::IsMember({"auto", "always", "never"}));
    std::string wordDiff = "auto";
    diffCommand
        ->add_option("--word-diff", wordDiff,
                     "mark the words a changed text lost and gained: auto (on a terminal),"
                     " always or never")
        ->check(CLI::IsMember({"auto", "always", "never"}));
    diffCommand->add_flag("-q,--brief", diff.brief, "only say whether the outlines differ");
    diffCommand->add_flag("--json", diff.json, "one JSON document of every change");
    diffCommand->add_flag("--quiet,--no-progress", quiet, "no progress bar");
    diffCommand
        ->add_option("--label", diff.labels,
                     "name OLD (given once) and NEW (given twice) so, as diff does; git passes"
                     " them too")
        ->expected(1)
        ->allow_extra_args(false)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    diffCommand->add_option("--html", diff.htmlPath, "also write the changes as a web page here");

    ShowOptions show;
    CLI::App* showCommand = app.add_subcommand("show", "list the records of a compare file");
    showCommand->add_option("COMPARE", show.comparePath, "a compare file")->required();
    showCommand->add_option("--sort", show.sort, "order of the rows: first, second or file")
        ->check(CLI::IsMember({"first", "second", "file"}));
    showCommand->add_option("--find", show.find,
                            "show the first record with this key (001003002) or item path"
                            " (\"Inventory > Stock > Location\", as diff prints it)");
    showCommand->add_flag("--partial", show.partial,
                          "with --find: the last record before the key when none has it");
    showCommand->footer(
        "The comparison's first outline is diff's NEW, its second OLD. Columns: pos, the row's\n"
        "place in the order shown; record, its change (C changed, A only in the first, D only\n"
        "in the second, M moved) and subject (T the item and its text, A an attribute, P a\n"
        "named property, D a DTDATA value, M a moved run); key 1 and key 2, the item in the\n"
        "first and the second outline (three digits per level, 001 the top item); value, the\n"
        "item's type (an attribute id, a property's place, a DTDATA index; a move's length,\n"
        "negative when the run stands later in the first outline than in the second); other,\n"
        "the row's place in the other side's order.");
    showCommand->add_option("--side", show.side, "whose keys --find reads: 1 or 2")
        ->check(CLI::Range(1, 2));

    ApplyOptions apply;
    CLI::App* applyCommand = app.add_subcommand(
        "apply", "carry a change over: norvex diff OLD NEW -o C; norvex apply OLD C -o OUT");
    applyCommand->add_option("OUTLINE", apply.outline, "the outline to patch (the diff's OLD)")
        ->required();
    applyCommand->add_option("COMPARE", apply.comparePath, "a compare file written without --view")
        ->required();
    applyCommand->add_option("-o,--output", apply.output, "where the patched outline goes")
        ->required();
    applyCommand->add_flag("--force", apply.force,
                           "apply even to an outline of another size than the comparison's");
    applyCommand->add_flag("-q,--quiet,--no-progress", quiet, "no progress bar");

    MergeOptions merge;
    ContentFlags mergeContents;
    CLI::App* mergeCommand = app.add_subcommand("merge", "merge two versions edited from one base");
    mergeCommand->add_option("BASE", merge.base, "the common original")->required();
    mergeCommand->add_option("VERSION1", merge.version1, "one edited version")->required();
    mergeCommand->add_option("VERSION2", merge.version2, "the other edited version")->required();
    mergeCommand->add_option("-o,--output", merge.output, "where the merged outline goes")
        ->required();
    mergeContents.AddTo(mergeCommand);
    mergeCommand->add_flag("--accept-unmerged", merge.acceptUnmerged,
                           "changes the result does not hold are notes, not exit status 1");
    mergeCommand->add_flag("-q,--quiet,--no-progress", quiet, "no progress bar");
    mergeCommand->add_flag("--json", merge.json,
                           "the report as one JSON document: conflicts, warnings, changes not"
                           " merged");
    mergeCommand->add_option("--html", merge.htmlPath,
                             "also write the merged outline and its conflicts as a web page here");

    std::vector<std::string> driver;
    CLI::App* driverCommand = app.add_subcommand(
        "merge-driver", "git merge driver: norvex merge-driver %O %A %B %P (result into %A)");
    driverCommand->add_option("FILES", driver, "%O %A %B %P")->required()->expected(3, 4);
    driverCommand->add_flag("--accept-unmerged", merge.acceptUnmerged,
                            "changes the result does not hold do not stop git");

    std::vector<std::string> gitDiff;
    CLI::App* gitDiffCommand = app.add_subcommand(
        "git-diff", "git diff driver: PATH OLD-FILE OLD-HEX OLD-MODE NEW-FILE NEW-HEX NEW-MODE");
    gitDiffCommand->add_option("ARGUMENTS", gitDiff, "what git passes a diff driver")
        ->required()
        ->expected(7, 9);

    std::vector<std::string> mergeTool;
    CLI::App* mergeToolCommand = app.add_subcommand(
        "mergetool",
        "git mergetool: norvex mergetool $BASE $LOCAL $REMOTE $MERGED (page beside $MERGED)");
    mergeToolCommand->add_option("FILES", mergeTool, "$BASE $LOCAL $REMOTE $MERGED")
        ->required()
        ->expected(4);
    mergeToolCommand->add_flag("--accept-unmerged", merge.acceptUnmerged,
                               "changes the result does not hold do not fail the merge");

    std::vector<std::string> diffTool;
    CLI::App* diffToolCommand = app.add_subcommand(
        "difftool", "git difftool: norvex difftool $LOCAL $REMOTE $MERGED (opens the diff page)");
    diffToolCommand->add_option("FILES", diffTool, "$LOCAL $REMOTE $MERGED")
        ->required()
        ->expected(2, 3);

    std::string conflictsPath;
    CLI::App* conflictsCommand =
        app.add_subcommand("conflicts", "list the conflicts that a merge left in an outline");
    conflictsCommand->add_option("FILE", conflictsPath, "a merged outline")->required();
    bool conflictsJson = false;
    conflictsCommand->add_flag("--json", conflictsJson, "one JSON document of the conflicts");

    ResolveOptions resolve;
    CLI::App* resolveCommand = app.add_subcommand(
        "resolve", "settle a merge's conflicts by keeping one side: original, 1 or 2");
    resolveCommand->add_option("FILE", resolve.path, "a merged outline")->required();
    resolveCommand->add_option("--take", resolve.take, "the side whose copy stays")
        ->required()
        ->check(CLI::IsMember({"original", "1", "2"}));
    resolveCommand->add_option("N", resolve.numbers, "the conflicts to settle (all when none)");

    CheckOptions check;
    CLI::App* checkCommand = app.add_subcommand(
        "check", "read outlines and say what is wrong: a fault, or a merge's conflicts left in");
    checkCommand->add_option("FILE", check.files, "outline files (- for standard input)")
        ->required();
    checkCommand->add_flag("--tree", check.tree, "print each outline's items too");
    checkCommand->add_flag("--allow-conflicts", check.allowConflicts,
                           "a merge's conflict and warning comments are no problem");

    RemoveTemporariesOnInterrupt();
    // CLI11 would only say that a subcommand is required: name the word it took for one.
    std::vector<std::string> names;
    for (const CLI::App* command : app.get_subcommands([](CLI::App*) { return true; })) {
        names.push_back(command->get_name());
    }
    for (int k = 1; k < argc; ++k) {
        std::string word = argv[k];
        if (word.empty() || word[0] == '-') continue;
        if (std::find(names.begin(), names.end(), word) != names.end()) break;
        std::string list;
        for (const std::string& name : names) list += (list.empty() ? "" : ", ") + name;
        return ReportTrouble("'" + word + "' is not a subcommand; the subcommands are " + list +
                             " (norvex --help tells more)");
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        int code = app.exit(error);
        return code == 0 ? 0 : kExitTrouble;
    }

    if (diffCommand->parsed()) {
        diff.optionWord = (view ? DIF_OPT_RDFC : DIF_OPT_FDFM) | diffContents.Word();
        diff.colour = UseColour(colour);
        diff.wordDiff = wordDiff == "always" || (wordDiff == "auto" && IsTerminal(STDOUT_FILENO));
        diff.progress = !quiet;
        for (const std::string& output : {diff.comparePath, diff.htmlPath}) {
            std::string refusal = OutputOverwritesInput(output, {diff.first, diff.second});
            if (!refusal.empty()) return ReportTrouble(refusal);
        }
        if (diff.labels.size() > 2) return ReportTrouble("--label is given at most twice");
        // One side may come from a pipe: it is read into a file of its own, named "-".
        PrivateFolder scratch("norvex-stdin", std::string());
        if (diff.first == "-" && diff.second == "-") {
            return ReportTrouble("only one of OLD and NEW can be standard input");
        }
        for (std::string* side : {&diff.first, &diff.second}) {
            if (*side != "-") continue;
            std::string path = scratch.File("standard-input.outline");
            if (scratch.Path().empty() || !CopyStandardInput(path)) {
                return ReportTrouble("cannot read standard input");
            }
            (side == &diff.first ? diff.firstName : diff.secondName) = "-";
            *side = path;
        }
        return RunDiff(diff);
    }
    if (showCommand->parsed()) return RunShow(show);
    if (applyCommand->parsed()) {
        apply.progress = !quiet;
        std::string refusal =
            OutputOverwritesInput(apply.output, {apply.outline, apply.comparePath});
        if (!refusal.empty()) return ReportTrouble(refusal);
        return RunApply(apply);
    }
    if (mergeCommand->parsed()) {
        merge.optionWord = mergeContents.Word();
        merge.progress = !quiet;
        for (const std::string& output : {merge.output, merge.htmlPath}) {
            std::string refusal =
                OutputOverwritesInput(output, {merge.base, merge.version1, merge.version2});
            if (!refusal.empty()) return ReportTrouble(refusal);
        }
        return RunMerge(merge);
    }
    if (driverCommand->parsed()) {
        // git gives the base, ours (which takes the result) and theirs, and the path in the
        // work tree, which the comments and the report name instead of git's temporary.
        std::string path = driver.size() > 3 ? driver[3] : std::string("outline");
        SetUpGitMerge(driver[0], driver[1], driver[2], driver[1], path, &merge);
        if (driver.size() > 3) merge.outputName = driver[3];
        return RunMerge(merge);
    }
    if (conflictsCommand->parsed()) return RunConflicts(conflictsPath, conflictsJson);
    if (resolveCommand->parsed()) return RunResolve(resolve);
    if (mergeToolCommand->parsed()) {
        // The result goes to the file in the work tree, the page beside it; git trusts the
        // exit status (trustExitCode) to know whether the file is resolved.
        SetUpGitMerge(mergeTool[0], mergeTool[1], mergeTool[2], mergeTool[3], mergeTool[3], &merge);
        merge.htmlPath = mergeTool[3] + ".html";
        int status = RunMerge(merge);
        if (status != kExitTrouble) std::printf("the merge page is %s\n", merge.htmlPath.c_str());
        return status;
    }
    if (diffToolCommand->parsed()) return RunDiffTool(diffTool);
    if (gitDiffCommand->parsed()) return RunGitDiff(gitDiff, UseColour("auto"));
    return RunCheck(check);
}
