// tests/merge/merge_test_support.h
//
// Shared by the merge tests: a whole DIF_Merge through files in a scratch folder, the lines of
// a saved outline, and the numbered conflicts and warnings a merged outline shows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "include/norvex63.h"
#include "tests/helpers/test_support.h"

// One item line of a saved outline: its depth and its text (the literal, unescaped).
struct OutlineLine {
    int depth;
    int type;
    std::string text;
};

// The item lines of an outline in the canonical form that the runtime saves; content lines
// are passed over.
std::vector<OutlineLine> ItemLines(const std::string& outlineBytes);

struct MergeRun {
    uint16_t status = 0;
    uint16_t conflicts = 0;
    uint16_t warnings = 0;
    std::string merged;  // the saved result, empty when none was saved
};

// Writes the three outlines as base.outline, version1.outline and version2.outline into
// folder and merges them there into merged.outline, with relative names so that the labels
// are "[version1.outline]" and "[version2.outline]" wherever the folder is.
MergeRun MergeInFolder(const ScratchFolder& folder, const std::string& base,
                       const std::string& version1, const std::string& version2,
                       uint32_t options = 0);

// Empty when the conflict banners (" ! #### DIFF: Conflict n ") and the warning items
// ("#### DIFF: Warning n ") of a merged outline carry exactly the numbers 1 to conflicts and
// 1 to warnings, else what is wrong.
std::string CheckCommentNumbers(const std::string& merged, int conflicts, int warnings);
