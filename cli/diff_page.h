// cli/diff_page.h
//
// The visual report of norvex diff --html: one HTML file, read in a browser from disk, that
// shows OLD and NEW side by side as one folding tree, each item of OLD beside its partner in
// NEW and each change coloured by its kind.
#pragma once

#include <cstdint>
#include <string>

#include "runtime/brimrt63.h"

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
