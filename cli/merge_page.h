// cli/merge_page.h
//
// The visual report of norvex merge --html: one HTML file, read in a browser from disk, that
// shows the merged outline with its numbered conflict and warning comments highlighted and
// listed at the top, a conflict with version 1's and version 2's texts side by side.
#pragma once

#include <string>

#include "runtime/brimrt63.h"

struct MergePageInput {
    std::string baseName;
    std::string version1Name;
    std::string version2Name;
    std::string outputName;
    OutlineHandle merged = 0;  // the edited original, as the merge left it
    unsigned conflicts = 0;
    unsigned warnings = 0;
};

// Writes the merge page for the merged outline. Answers false with one line in *error when
// the page cannot be written; path then holds what it held before.
bool WriteMergePage(const std::string& path, const MergePageInput& input, std::string* error);
