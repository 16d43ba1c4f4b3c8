// cli/merge_command.cpp: norvex merge and the git merge driver's merge.
//
// The command opens the three outlines once and merges them in memory, naming the versions in
// the conflict comments by their labels. The merge saves the merged outline at the output path
// as the runtime saves any outline, whole or not at all: a failed merge leaves no file, and an
// existing output stays as it was. Then the command checks the result itself: it counts the
// numbered comments that the result holds, and names each change of a version that the rules
// left out of the result where no conflict stands (cli/left_out_changes.h).

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/host.h"
#include "cli/left_out_changes.h"
#include "cli/merge_comments.h"
#include "cli/merge_page.h"
#include "cli/outline_view.h"
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

// A "near here" marker inside one version's copy of a conflict: where the change stands.
struct NearHere {
    std::string path;
    int source;  // the copy it stands in: 1 or 2, -1 when no copy is known
};

struct Annotation {
    bool conflict;
    std::string number;  // empty for a "near here" marker that belongs to no numbered conflict
    std::string description;
    std::string path;
    // A conflict's copies in the merged outline, by source (0 the original, 1 and 2 the
    // versions); kNoPlainItem where it has none.
    int copies[3] = {kNoPlainItem, kNoPlainItem, kNoPlainItem};
    std::vector<NearHere> nearHere;  // the markers inside its copies, in outline order
};

Annotation MakeNote(const MergeComment& comment, const std::string& path) {
    Annotation note;
    note.conflict = comment.conflict;
    note.number = comment.number;
    note.description = SummarizeMergeMessage(comment.listedMessage);
    note.path = path;
    return note;
}

// The numbered comments of a merged outline, the first of each number, in outline order, with
// the "near here" markers that the copies of a conflict hold listed under it. Every item is
// read, skipped ones included; paths are given without the banners of the items above.
std::vector<Annotation> FindAnnotations(const PlainTree& merged) {
    std::vector<Annotation> found;
    std::map<std::string, size_t> byNumber;
    // For each item, the conflict whose copy encloses it (an index into found) and the copy's
    // source; items come after their parents, so a parent's entry is always set.
    std::vector<std::pair<int, int>> enclosing(merged.items.size(), {-1, -1});
    for (size_t index = 0; index < merged.items.size(); ++index) {
        const PlainItem& item = merged.items[index];
        if (item.parent != kNoPlainItem)
            enclosing[index] = enclosing[static_cast<size_t>(item.parent)];
        MergeComment comment;
        if (!ReadMergeComment(ItemText(merged.outline, item.handle), &comment)) continue;
        // A comment item speaks of the item before it, or of its parent when it comes first.
        bool onComment = item.type == kCommentItemType;
        int subject = static_cast<int>(index);
        if (onComment) {
            const PlainItem& parent = merged.items[static_cast<size_t>(item.parent)];
            subject = item.position > 0 ? parent.children[static_cast<size_t>(item.position - 1)]
                                        : item.parent;
        }
        std::string path = PlainPath(merged, onComment ? item.parent : static_cast<int>(index));
        if (onComment && comment.listedOwnText && item.position > 0) {
            path += " > " + PathPiece(*comment.listedOwnText);
        }
        if (comment.conflict && comment.number.empty()) {
            int owner = enclosing[index].first;
            if (owner >= 0) {
                found[static_cast<size_t>(owner)].nearHere.push_back(
                    {path, enclosing[index].second});
                continue;
            }
            found.push_back(MakeNote(comment, path));
            continue;
        }
        std::string key = (comment.conflict ? "C" : "W") + comment.number;
        auto known = byNumber.find(key);
        size_t at = known != byNumber.end() ? known->second : found.size();
        if (known == byNumber.end()) {
            byNumber[key] = at;
            found.push_back(MakeNote(comment, path));
        }
        if (comment.conflict && comment.source >= 0 && comment.source <= 2 && !onComment) {
            Annotation& note = found[at];
            if (note.copies[comment.source] == kNoPlainItem) note.copies[comment.source] = subject;
            enclosing[index] = {static_cast<int>(at), comment.source};
        }
    }
    return found;
}

// Whether two items hold the same contents of one kind, each in its order.
bool SameContents(const PlainItem& a, const PlainItem& b, ContentKind kind) {
    std::vector<const ContentEntry*> first, second;
    for (const ContentEntry& entry : a.contents) {
        if (entry.kind == kind) first.push_back(&entry);
    }
    for (const ContentEntry& entry : b.contents) {
        if (entry.kind == kind) second.push_back(&entry);
    }
    if (first.size() != second.size()) return false;
    for (size_t k = 0; k < first.size(); ++k) {
        if (!SameContentKey(*first[k], *second[k]) || first[k]->value != second[k]->value) {
            return false;
        }
    }
    return true;
}

// For a conflict on an item's text whose two versions kept the same text, what does differ
// between them: the rules name the text all the same.
std::string WhatDiffers(const PlainTree& merged, const Annotation& note) {
    if (note.copies[1] == kNoPlainItem || note.copies[2] == kNoPlainItem) return std::string();
    const PlainItem& first = merged.items[static_cast<size_t>(note.copies[1])];
    const PlainItem& second = merged.items[static_cast<size_t>(note.copies[2])];
    if (first.text != second.text) return std::string();
    std::vector<std::string> parts;
    bool childrenEqual = first.children.size() == second.children.size();
    for (size_t k = 0; childrenEqual && k < first.children.size(); ++k) {
        childrenEqual = SubtreesEqual(merged, first.children[k], merged, second.children[k]);
    }
    if (!childrenEqual) parts.push_back("items below");
    if (!SameContents(first, second, ContentKind::kAttribute)) parts.push_back("attributes");
    if (!SameContents(first, second, ContentKind::kProperty)) parts.push_back("properties");
    if (!SameContents(first, second, ContentKind::kDTData)) parts.push_back("DTDATA");
    if (first.type != second.type) parts.push_back("types");
    if (parts.empty()) return " (both versions have the same text)";
    std::string joined;
    for (size_t k = 0; k < parts.size(); ++k) {
        joined += (k == 0 ? "" : k + 1 == parts.size() ? " and " : ", ") + parts[k];
    }
    return " (both versions have the same text; their " + joined + " differ)";
}

void PrintAnnotations(const PlainTree& merged, const std::vector<Annotation>& notes) {
    for (const Annotation& note : notes) {
        const char* kind = note.conflict ? "conflict" : "warning";
        if (note.number.empty()) {
            std::printf("near here at %s: %s\n", note.path.c_str(), note.description.c_str());
            continue;
        }
        bool onText = note.description.find("item text") != std::string::npos;
        std::string extra = note.conflict && onText ? WhatDiffers(merged, note) : std::string();
        std::printf("%s %s at %s: %s%s\n", kind, note.number.c_str(), note.path.c_str(),
                    note.description.c_str(), extra.c_str());
        // The markers of one place in both copies read as one line.
        std::vector<std::pair<std::string, std::set<int>>> places;
        for (const NearHere& marker : note.nearHere) {
            auto place = std::find_if(places.begin(), places.end(), [&marker](const auto& known) {
                return known.first == marker.path;
            });
            if (place == places.end()) place = places.insert(places.end(), {marker.path, {}});
            place->second.insert(marker.source);
        }
        for (const auto& [path, sources] : places) {
            int source = *sources.begin();
            std::string where = sources.size() > 1 ? "in both versions' copies"
                                : source > 0 ? "in version " + std::to_string(source) + "'s copy"
                                             : "in the original's copy";
            std::printf("    near here: %s (%s)\n", path.c_str(), where.c_str());
        }
    }
}

std::string Plural(unsigned count, const char* word) {
    return std::to_string(count) + " " + word + (count == 1 ? "" : "s");
}

// The numbered conflicts (or warnings) among notes, each number once.
unsigned CountNumbered(const std::vector<Annotation>& notes, bool conflicts) {
    unsigned count = 0;
    for (const Annotation& note : notes) {
        if (note.conflict == conflicts && !note.number.empty()) ++count;
    }
    return count;
}

// A change that the result does not hold, and the version (1 or 2) that made it.
struct UnmergedChange {
    LeftOutChange change;
    int version;
};

// One line each on standard error, as a problem, or as a note when the user accepts them.
void PrintUnmerged(const std::vector<UnmergedChange>& unmerged, const PlainTree& original,
                   const PlainTree* versions[], bool accepted) {
    for (const UnmergedChange& entry : unmerged) {
        const PlainTree& version = *versions[entry.version - 1];
        std::fprintf(stderr, "norvex: %snot merged: %s: %s (version %d)\n",
                     accepted ? "note: " : "", ChangePath(entry.change, original, version).c_str(),
                     DescribeChange(entry.change, original, version).c_str(), entry.version);
    }
}

}  // namespace

int RunMerge(const MergeOptions& options) {
    // Each outline is read once: the merge works on the outlines open here, and the edited
    // original is what the report then reads.
    OpenedOutline base(options.base);
    if (!base.IsOpen()) return ReportTrouble(base.Error());
    OpenedOutline version1(options.version1);
    if (!version1.IsOpen()) return ReportTrouble(version1.Error());
    OpenedOutline version2(options.version2);
    if (!version2.IsOpen()) return ReportTrouble(version2.Error());
    std::vector<std::string> labels = LabelsFor(options);
    // All three as they were: the merge edits the original into the result, and marks the
    // places of conflicts in the versions too.
    PlainTree original = ReadPlainTree(base.Handle());
    PlainTree version1Tree = ReadPlainTree(version1.Handle());
    PlainTree version2Tree = ReadPlainTree(version2.Handle());

    uint16_t libraryConflicts = 0, libraryWarnings = 0, status;
    {
        HostSession session(options.progress);
        status = DIF_MergeObjects(
            base.Handle(), GetRootItem(base.Handle()), version1.Handle(),
            GetRootItem(version1.Handle()), WideFromTerminal(labels[1]).c_str(), version2.Handle(),
            GetRootItem(version2.Handle()), WideFromTerminal(labels[2]).c_str(),
            WideFromName(AbsolutePath(options.output)).c_str(), session.Window(), kProgressMessage,
            options.optionWord, &libraryConflicts, &libraryWarnings);
    }
    if ((status & DIF_ST_MERGE_SAVE) != 0) {
        return ReportTrouble("cannot write " + options.output + "; it is left as it was");
    }
    // The counts come from the saved result (the edited original, which the runtime saved as
    // it stands), not from the library's counters, which stop at 65,535.
    PlainTree merged = ReadMergedTree(base.Handle());
    std::vector<Annotation> notes = FindAnnotations(merged);
    unsigned conflicts = CountNumbered(notes, true);
    unsigned warnings = CountNumbered(notes, false);
    TreePairing originalInMerged = PairWithResult(original, merged);
    const PlainTree* versions[] = {&version1Tree, &version2Tree};
    std::vector<UnmergedChange> unmerged;
    for (int version = 1; version <= 2; ++version) {
        for (const LeftOutChange& change : FindUnmergedChanges(
                 original, *versions[version - 1], merged, originalInMerged, options.optionWord)) {
            unmerged.push_back({change, version});
        }
    }

    std::string unmergedCount;
    if (!unmerged.empty()) {
        unmergedCount =
            ", " + Plural(static_cast<unsigned>(unmerged.size()), "change") + " not merged";
    }
    std::printf("merged into %s: %s, %s%s\n",
                (options.outputName.empty() ? options.output : options.outputName).c_str(),
                Plural(conflicts, "conflict").c_str(), Plural(warnings, "warning").c_str(),
                unmergedCount.c_str());
    if (!options.quietReport) PrintAnnotations(merged, notes);
    std::fflush(stdout);
    PrintUnmerged(unmerged, original, versions, options.acceptUnmerged);
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
