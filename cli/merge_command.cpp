// cli/merge_command.cpp: norvex merge and the git merge driver's merge.
//
// The command opens the three outlines once and merges them in memory, naming the versions in
// the conflict comments by their labels. The merge saves the merged outline at the output path
// as the runtime saves any outline, whole or not at all: a failed merge leaves no file, and an
// existing output stays as it was. Then the command checks the result itself: it counts the
// numbered comments that the result holds, and names each change of a version that the rules
// left out of the result where no conflict stands (cli/left_out_changes.h).

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "cli/commands.h"
#include "cli/host.h"
#include "cli/json_output.h"
#include "cli/left_out_changes.h"
#include "cli/merge_annotations.h"
#include "cli/merge_page.h"
#include "cli/outline_view.h"
#include "cli/side_by_side.h"
#include "cli/terminal_text.h"
#include "include/norvex63.h"

namespace fs = std::filesystem;

namespace {

// The names the comments give the three outlines: the file names, made distinct by their
// folders' names where two are alike.
std::vector<std::string> LabelsFor(const MergeOptions& options) {
    std::vector<std::string> paths = {options.base, options.version1, options.version2};
    std::vector<std::string> given = {options.baseLabel, options.version1Label,
                                      options.version2Label};
    std::vector<std::string> labels(3);
    for (size_t k = 0; k < 3; ++k) labels[k] = fs::path(paths[k]).filename().string();
    auto distinct = [&labels]() {
        return std::set<std::string>(labels.begin(), labels.end()).size() == labels.size();
    };
    if (!distinct()) {
        for (size_t k = 0; k < 3; ++k) {
            std::string folder = fs::absolute(paths[k]).parent_path().filename().string();
            labels[k] = folder + "-" + labels[k];
        }
    }
    const char* roles[] = {"base-", "version1-", "version2-"};
    if (!distinct()) {
        for (size_t k = 0; k < 3; ++k)
            labels[k] = roles[k] + fs::path(paths[k]).filename().string();
    }
    for (size_t k = 0; k < 3; ++k) {
        if (!given[k].empty()) labels[k] = given[k];
    }
    return labels;
}

std::string Plural(unsigned count, const char* word) {
    return std::to_string(count) + " " + word + (count == 1 ? "" : "s");
}

// One line each on standard error, as a problem, or as a note when the user accepts them.
void PrintUnmerged(const std::vector<UnmergedChange>& unmerged, const PlainTree& original,
                   const PlainTree* versions[], bool accepted) {
    LineBatch lines(stderr);
    const char* lead = accepted ? "norvex: note: not merged: " : "norvex: not merged: ";
    for (const UnmergedChange& entry : unmerged) {
        const PlainTree& version = *versions[entry.version == 2 ? 1 : 0];
        std::string whose = entry.version == 0 ? std::string("neither version")
                                               : "version " + std::to_string(entry.version);
        lines.Add(lead, ChangePath(entry.change, original, version), ": ",
                  DescribeChange(entry.change, original, version), " (", whose, ")");
    }
}

}  // namespace

int RunMerge(const MergeOptions& options) {
    // Each outline is read once: the merge works on the outlines open here, and the edited
    // original is what the report then reads.
    OpenedOutline base, version1, version2;
    OpenedOutline* outlines[] = {&base, &version1, &version2};
    const std::string* paths[] = {&options.base, &options.version1, &options.version2};
    EachSideBySide(3, [&](size_t k) { outlines[k]->Open(*paths[k]); });
    for (const OpenedOutline* outline : outlines) {
        if (!outline->IsOpen()) return ReportTrouble(outline->Error());
    }
    std::vector<std::string> labels = LabelsFor(options);
    // All three as they were: the merge edits the original into the result, and marks the
    // places of conflicts in the versions too.
    PlainTree original, version1Tree, version2Tree;
    PlainTree* trees[] = {&original, &version1Tree, &version2Tree};
    EachSideBySide(3, [&](size_t k) { *trees[k] = ReadPlainTree(outlines[k]->Handle()); });
    // The result is an edited copy of the original: it mostly holds about as many items, which
    // its tree makes room for at once.
    size_t likeSized = original.items.size() + original.items.size() / 8;

    // What each version changed is found from the trees alone, beside the merge, which edits
    // the outlines but not the texts the trees show (those stay where they are); so are the
    // paths that name the changes the result may not hold.
    VersionChanges versionChanges[2];
    auto listChanges = [&]() {
        versionChanges[0] = ListVersionChanges(original, version1Tree);
        versionChanges[1] = ListVersionChanges(original, version2Tree);
        for (const PlainTree* tree : trees) NumberAlikeSiblings(*tree);
    };
    uint16_t libraryConflicts = 0, libraryWarnings = 0, status = 0;
    auto merge = [&]() {
        HostSession session(options.progress);
        status = DIF_MergeObjects(
            base.Handle(), GetRootItem(base.Handle()), version1.Handle(),
            GetRootItem(version1.Handle()), WideFromTerminal(labels[1]).c_str(), version2.Handle(),
            GetRootItem(version2.Handle()), WideFromTerminal(labels[2]).c_str(),
            WideFromName(AbsolutePath(options.output)).c_str(), session.Window(), kProgressMessage,
            options.optionWord, &libraryConflicts, &libraryWarnings);
    };
    SideBySide(listChanges, merge);
    if ((status & DIF_ST_MERGE_SAVE) != 0) {
        return ReportTrouble("cannot write " + options.output + "; it is left as it was");
    }
    // The counts come from the saved result (the edited original, which the runtime saved as
    // it stands), not from the library's counters, which stop at 65,535.
    PlainTree merged = ReadMergedTree(base.Handle(), likeSized);
    // The conflicts and warnings the result holds, found beside the changes it does not hold:
    // the one reads the result's comments from its outline, the other only the trees.
    std::vector<Annotation> notes;
    std::vector<UnmergedChange> unmerged;
    SideBySide([&]() { notes = FindAnnotations(merged); },
               [&]() {
                   TreePairing originalInMerged = PairWithResult(original, merged);
                   unmerged =
                       FindUnmergedChanges(original, std::move(versionChanges[0]),
                                           std::move(versionChanges[1]), merged, originalInMerged);
               });
    unsigned conflicts = CountNumbered(notes, true);
    unsigned warnings = CountNumbered(notes, false);
    const PlainTree* versions[] = {&version1Tree, &version2Tree};

    if (options.json) {
        nlohmann::json document = AnnotationsJson(merged, notes);
        document["format"] = "norvex-merge";
        document["output"] = options.outputName.empty() ? options.output : options.outputName;
        document["not_merged"] = nlohmann::json::array();
        for (const UnmergedChange& entry : unmerged) {
            const PlainTree& version = *versions[entry.version == 2 ? 1 : 0];
            document["not_merged"].push_back(
                {{"version", entry.version},
                 {"path", ChangePath(entry.change, original, version)},
                 {"what", DescribeChange(entry.change, original, version)}});
        }
        PrintJson(document);
    }
    std::string unmergedCount;
    if (options.json) {
        // The document said it all.
    } else if (!unmerged.empty()) {
        unmergedCount =
            ", " + Plural(static_cast<unsigned>(unmerged.size()), "change") + " not merged";
    }
    if (!options.json) {
        std::printf("merged into %s: %s, %s%s\n",
                    (options.outputName.empty() ? options.output : options.outputName).c_str(),
                    Plural(conflicts, "conflict").c_str(), Plural(warnings, "warning").c_str(),
                    unmergedCount.c_str());
        if (!options.quietReport) PrintAnnotations(merged, notes, std::string());
        std::fflush(stdout);
        PrintUnmerged(unmerged, original, versions, options.acceptUnmerged);
    }
    std::string pageError;
    if (!options.htmlPath.empty() &&
        !WriteMergePage(options.htmlPath,
                        {options.base, options.version1, options.version2, options.output,
                         base.Handle(), conflicts, warnings},
                        &pageError)) {
        return ReportTrouble(pageError);
    }
    if ((status & DIF_ST_SECTION_LIMIT) != 0) {
        return ReportTrouble(
            "a section has more than 999 items: the merge kept the original's"
            " items past the 999th, without the versions' changes to them");
    }
    // A conflict that the library counted but whose comment the result lacks still fails.
    bool conflicting = conflicts > 0 || libraryConflicts > 0;
    bool lost = !unmerged.empty() && !options.acceptUnmerged;
    return conflicting || lost ? kExitDifferent : kExitSame;
}
