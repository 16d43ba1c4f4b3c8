// tests/helpers/outline_tree.h
//
// An outline as a plain tree, for the apply tests: written as an outline file, read back
// from one through the runtime, and printed one item per line with its contents, so that two
// outlines compare as texts and a failure shows the first line that differs.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "include/norvex63.h"
#include "runtime/brimrt63.h"

struct OutlineNode {
    int32_t type = 9;
    std::u16string text;
    std::vector<std::pair<uint32_t, std::u16string>> attributes;
    std::vector<std::pair<std::u16string, std::u16string>> properties;
    bool hasDTData = false;  // the one DTDATA value a comparison reads, index 39
    int32_t dtdata = 0;
    bool skipped = false;
    std::vector<OutlineNode> children;
};

// A text as the outline format writes it: quoted, with the format's escapes, in UTF-8.
std::string OutlineLiteral(const std::u16string& text);

// The tree in the outline text format, contents in the order held.
std::string OutlineFileText(const OutlineNode& root);
void WriteOutlineFile(const std::string& path, const OutlineNode& root);

// The outline at path as the runtime sees it; false when it cannot be opened.
bool ReadOutlineFile(const std::string& path, OutlineNode* root);
// The open outline as its reading operations show it.
OutlineNode ReadOutline(OutlineHandle outline);

// DescribeOutline keeps each kind of contents in the order held instead of sorting it.
constexpr uint32_t kDescribeHeldOrder = 0x80000000u;

// One line per item, indented by depth: type, text, then the contents that options asks for
// (DIF_OPT_ATTRIBUTES, _PROPERTIES, _DTDATA), each kind sorted, since an apply may set a
// content that an item lacked after the ones it had; skipped items are marked.
std::string DescribeOutline(const OutlineNode& root, uint32_t options);

// A seeded outline and a version edited from it by up to six random edits (texts, inserts,
// deletes, moves within and across parents, types, contents), staying inside what compare
// records can carry, so that applying the comparison of the two to the version gives the
// outline again. Repeated and near-equal texts make pairings tie.
void RandomOutlinePair(uint32_t seed, OutlineNode* original, OutlineNode* version);
