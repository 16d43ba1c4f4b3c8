// cli/html_report.h
//
// The visual reports of norvex diff --html and norvex merge --html: one HTML file each, read in
// a browser from disk. The diff page shows OLD and NEW side by side as one folding tree, each
// change coloured by its kind; the merge page shows the merged outline with its numbered
// conflict and warning comments, listed at the top.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "runtime/brimrt63.h"

// Up to this many items in the outlines together, every item is on the page: a subtree
// without any change (on the merge page, without any comment) is folded, and only one of more
// than kLargestShownUnchanged items, or the middle of a run of more unchanged siblings than
// that, becomes one row "N unchanged items". Past it the page shows the changes in their
// context, as a diff does: an unchanged subtree is one row with the count of the items below
// it, and a run of unchanged siblings keeps kContextRows at either end of a count. A page of
// a hundred thousand items so stays a page of its changes.
constexpr long kLargestWholePage = 20000;
constexpr long kLargestShownUnchanged = 400;
constexpr size_t kContextRows = 3;

struct DiffPageInput {
    std::string oldName;  // OLD and NEW as the command line gave them
    std::string newName;
    OutlineHandle oldOutline = 0;  // the comparison's second outline
    OutlineHandle newOutline = 0;  // and its first
    uint32_t optionWord = 0;       // the build's option word (DIF_OPT_RDFC ignores type 402 too)
};

// Writes the diff page for the compare list the viewer exports hold: loaded from the build of
// newOutline against oldOutline and, as norvex diff leaves it, sorted with both sides' items
// resolved. Answers false with one line in *error when the page cannot be written; path then
// holds what it held before.
bool WriteDiffPage(const std::string& path, const DiffPageInput& input, std::string* error);

struct MergePageInput {
    std::string baseName;
    std::string version1Name;
    std::string version2Name;
    std::string outputName;
    OutlineHandle merged = 0;  // the edited original, as the merge left it
    unsigned conflicts = 0;
    unsigned warnings = 0;
};

// Writes the merge page for the merged outline; the same answers as WriteDiffPage.
bool WriteMergePage(const std::string& path, const MergePageInput& input, std::string* error);
