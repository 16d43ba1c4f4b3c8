// cli/merge_annotations.h
//
// The conflicts and warnings that a merge wrote into its result, as the command lists them:
// each numbered conflict and warning once, in outline order, with the "near here" markers that
// a conflict's copies hold listed under it, and, for a conflict on an item's text whose two
// versions kept the same text, what differs between them. `merge` prints them after a merge,
// `check` for a file that still holds them.
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/plain_tree.h"

// A "near here" marker inside one version's copy of a conflict: where the change stands.
struct NearHere {
    std::string path;
    int source;  // the copy it stands in: 1 or 2, -1 when no copy is known
};

struct Annotation {
    bool conflict = false;
    std::string number;  // empty for a "near here" marker that belongs to no numbered conflict
    std::string description;
    std::string path;
    // A conflict's copies in the merged outline, by source (0 the original, 1 and 2 the
    // versions); kNoPlainItem where it has none.
    int copies[3] = {kNoPlainItem, kNoPlainItem, kNoPlainItem};
    std::vector<NearHere> nearHere;  // the markers inside its copies, in outline order
};

// Whether any item of outline (skipped ones included) has a text that could hold a merge's
// conflict or warning mark as FindAnnotations reads it; the texts are read in place. When none
// has, FindAnnotations finds nothing in the outline's tree, which then need not be read.
bool MayHoldMergeComments(OutlineHandle outline);
// The comments of merged (read with ReadMergedTree), paths given without the banners of the
// items above.
std::vector<Annotation> FindAnnotations(const PlainTree& merged);
// One line per numbered comment (and per marker that belongs to none), each marker of a
// conflict indented below it; every line starts with prefix.
void PrintAnnotations(const PlainTree& merged, const std::vector<Annotation>& notes,
                      const std::string& prefix);
// notes as a JSON document's fields: "version", "conflicts" (number, description, path, the
// "near here" places with the copy each stands in) and "warnings" (number, description, path).
nlohmann::json AnnotationsJson(const PlainTree& merged, const std::vector<Annotation>& notes);
// The numbered conflicts (or warnings) among notes, each number once.
unsigned CountNumbered(const std::vector<Annotation>& notes, bool conflicts);
