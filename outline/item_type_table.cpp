// outline/item_type_table.cpp: the properties of the 533 item types.
#include "outline/item_type_table.h"

#include <cstddef>

const ItemTypeTable g_itemTypeTable;

namespace {

// Inclusive runs of type codes.
struct CodeRange {
    int32_t first;
    int32_t last;
};
struct FixedChildrenRange {
    int32_t first;
    int32_t last;
    int32_t fixedChildren;
};

// Units (95 codes).
const CodeRange kUnitCodes[] = {
    {1, 8},     {10, 10},   {11, 11},   {13, 15},   {18, 22},   {36, 36},   {44, 44},   {47, 47},
    {51, 51},   {53, 53},   {62, 62},   {66, 66},   {67, 67},   {82, 82},   {100, 100}, {101, 101},
    {117, 117}, {120, 120}, {122, 122}, {125, 125}, {127, 127}, {135, 135}, {148, 148}, {150, 150},
    {162, 162}, {167, 167}, {168, 168}, {170, 170}, {174, 174}, {179, 179}, {182, 182}, {184, 184},
    {185, 185}, {187, 187}, {221, 221}, {245, 260}, {267, 267}, {271, 271}, {273, 273}, {274, 274},
    {282, 284}, {288, 290}, {296, 296}, {324, 327}, {340, 340}, {345, 345}, {348, 348}, {349, 349},
    {362, 364}, {373, 373}, {374, 374}, {433, 433}, {456, 456}, {493, 493}, {494, 494}, {503, 503},
    {505, 505}, {514, 514},
};

// Types that cannot be copied between outlines (7 codes).
const CodeRange kNotCopyableCodes[] = {
    {229, 235},
};

// Types whose unmatched items are never paired by similarity (33 codes).
const CodeRange kNotBySimilarityCodes[] = {
    {1, 3},     {19, 19},   {66, 66},   {135, 135}, {245, 260}, {282, 284},
    {287, 290}, {494, 494}, {503, 503}, {505, 505}, {514, 514},
};

// Leading fixed children per type (141 codes), grouped by count.
const FixedChildrenRange kFixedChildren[] = {
    {4, 8, 1},      {10, 10, 1},    {11, 11, 1},    {18, 18, 1},    {20, 22, 1},    {148, 148, 1},
    {167, 167, 1},  {267, 267, 1},  {270, 270, 1},  {407, 409, 1},  {493, 493, 1},  {512, 512, 1},
    {526, 526, 1},  {13, 15, 2},    {52, 52, 2},    {122, 122, 2},  {127, 127, 2},  {163, 163, 2},
    {179, 179, 2},  {182, 182, 2},  {213, 213, 2},  {237, 237, 2},  {324, 327, 2},  {348, 348, 2},
    {363, 363, 2},  {364, 364, 2},  {433, 433, 2},  {513, 513, 2},  {62, 62, 3},    {100, 100, 3},
    {117, 117, 3},  {168, 168, 3},  {184, 184, 3},  {185, 185, 3},  {220, 220, 3},  {271, 271, 3},
    {345, 345, 3},  {374, 374, 3},  {464, 464, 3},  {476, 476, 3},  {477, 477, 3},  {480, 483, 3},
    {516, 516, 3},  {519, 519, 3},  {3, 3, 4},      {29, 29, 4},    {53, 53, 4},    {82, 82, 4},
    {177, 177, 4},  {273, 273, 4},  {362, 362, 4},  {458, 458, 4},  {461, 461, 4},  {478, 478, 4},
    {505, 505, 4},  {507, 507, 4},  {36, 36, 5},    {44, 44, 5},    {47, 47, 5},    {51, 51, 5},
    {101, 101, 5},  {125, 125, 5},  {150, 150, 5},  {162, 162, 5},  {170, 170, 5},  {176, 176, 5},
    {187, 187, 5},  {221, 221, 5},  {245, 245, 5},  {296, 296, 5},  {300, 300, 5},  {302, 302, 5},
    {373, 373, 5},  {67, 67, 6},    {120, 120, 6},  {135, 135, 6},  {231, 231, 6},  {250, 256, 6},
    {260, 260, 6},  {272, 272, 6},  {282, 284, 6},  {349, 349, 6},  {456, 456, 6},  {494, 494, 6},
    {503, 503, 6},  {514, 514, 6},  {66, 66, 7},    {249, 249, 7},  {257, 259, 7},  {289, 289, 7},
    {340, 340, 7},  {518, 518, 7},  {158, 158, 8},  {246, 246, 8},  {288, 288, 8},  {391, 391, 8},
    {1, 1, 9},      {2, 2, 9},      {19, 19, 9},    {64, 64, 9},    {247, 247, 9},  {248, 248, 9},
    {274, 274, 9},  {290, 290, 9},  {46, 46, 10},   {69, 69, 10},   {169, 169, 10}, {291, 291, 10},
    {124, 124, 11}, {102, 102, 12}, {121, 121, 15}, {215, 215, 16}, {228, 228, 19}, {377, 377, 20},
    {303, 303, 25},
};

template <std::size_t count, typename Apply>
void ForEachCode(const CodeRange (&ranges)[count], Apply apply) {
    for (const CodeRange& range : ranges) {
        for (int32_t type = range.first; type <= range.last; ++type) apply(type);
    }
}

}  // namespace

ItemTypeTable::ItemTypeTable() {
    for (Entry& entry : entries_) entry = {0, 0, 1, 1};
    ForEachCode(kUnitCodes, [this](int32_t type) { entries_[type].isUnit = 1; });
    ForEachCode(kNotCopyableCodes, [this](int32_t type) { entries_[type].isCopyable = 0; });
    ForEachCode(kNotBySimilarityCodes,
                [this](int32_t type) { entries_[type].matchBySimilarity = 0; });
    for (const FixedChildrenRange& range : kFixedChildren) {
        for (int32_t type = range.first; type <= range.last; ++type) {
            entries_[type].fixedChildren = range.fixedChildren;
        }
    }
}

int32_t ItemTypeTable::FixedChildren(int32_t type) const {
    return InTable(type) ? entries_[type].fixedChildren : 0;
}

bool ItemTypeTable::IsUnit(int32_t type) const {
    return InTable(type) && entries_[type].isUnit != 0;
}

bool ItemTypeTable::IsCopyable(int32_t type) const {
    return InTable(type) && entries_[type].isCopyable != 0;
}

bool ItemTypeTable::MatchBySimilarity(int32_t type) const {
    return InTable(type) && entries_[type].matchBySimilarity != 0;
}
