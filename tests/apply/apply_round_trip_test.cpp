// tests/apply/apply_round_trip_test.cpp
//
// Build then apply must agree: for seeded random outlines A and versions B edited from them,
// applying the comparison of A with B to B gives A again. The generator stays inside what the
// records can carry, and names each case it avoids.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "include/norvex63.h"
#include "tests/apply/outline_tree.h"
#include "tests/comparefile/compare_file_fixture.h"
#include "tests/helpers/test_support.h"

namespace {

constexpr uint32_t kFirstSeed = 5100;
constexpr int kPairCount = 3000;
// Enough to see a pattern; more would only flood the log.
constexpr int kReportedFailures = 5;

// The top item is never compared, only its descendants are: it keeps one type and text.
// 174 is a unit whose type has no fixed children, so any child may be added under it.
constexpr int32_t kRootType = 174;
// Types that may hold children: every add under them inserts. A type with fixed children
// (4, 21) names its leading children instead of inserting them, so those stay leaves.
// 287 is paired by equal text only. Ignored types (176, 177, 178, 220, 302) are left out:
// they keep a position in the patched outline that no record accounts for.
const int32_t kContainerTypes[] = {9, 9, 9, 9, 9, 9, 174, 12, 287, 188};
const int32_t kLeafTypes[] = {9, 9, 9, 9, 4, 21, 188};

// No item carries the skip flag: walks and keys pass over a skipped item, so the patched
// outline keeps the version's skipped items wherever they stood.
// Short texts, so that equal and similar ones meet. Lines stay far below the 511 characters a
// compare file line may hold; commas, quotes, LF, CR and tabs travel inside texts.
const char16_t* const kTexts[] = {u"x = 1",      u"x = 2",       u"y = x + 1",
                                  u"call Open",  u"return",      u"",
                                  u"loop",       u"end loop",    u"a, b, c",
                                  u"one\ntwo",   u"tab\there",   u"caf\u00e9 \u4e2d",
                                  u"say \"hi\"", u"back\\slash", u"ends with LF\n",
                                  u"cr\rinside"};
// Every item of both outlines carries the same two attribute ids: an attribute that only
// one of two paired items has produces no record, and pairing may cross equal texts.
const uint32_t kAttributeIds[] = {101, 205};
const char16_t* const kValues[] = {u"1", u"0", u"red", u"a,b", u"two\nlines", u"", u"kim"};
// Property values hold no comma (a value ends at its first comma) and no CR.
const char16_t* const kPropertyValues[] = {u"kim", u"lee", u"2024", u"x y", u"", u"two\nlines"};
const char16_t* const kOptionalNames[] = {u"Note", u"Owner"};

template <typename Entry, size_t N>
const Entry& Pick(std::mt19937& random, const Entry (&entries)[N]) {
    return entries[random() % N];
}

bool Chance(std::mt19937& random, int percent) {
    return static_cast<int>(random() % 100) < percent;
}

void GiveContents(std::mt19937& random, OutlineNode* node) {
    for (uint32_t id : kAttributeIds) node->attributes.emplace_back(id, Pick(random, kValues));
    // Every item has "Author"; the optional names are the ones the version lacks.
    node->properties.emplace_back(u"Author", Pick(random, kPropertyValues));
    for (const char16_t* name : kOptionalNames) {
        if (Chance(random, 40)) node->properties.emplace_back(name, Pick(random, kPropertyValues));
    }
    node->hasDTData = true;
    node->dtdata = static_cast<int32_t>(random() % 2001) - 1000;
}

bool MayHoldChildren(int32_t type) { return type != 4 && type != 21; }

OutlineNode RandomNode(std::mt19937& random, int depth, int* budget) {
    OutlineNode node;
    bool container = depth < 4 && Chance(random, 35);
    node.type = container ? Pick(random, kContainerTypes) : Pick(random, kLeafTypes);
    node.text = Pick(random, kTexts);
    if (Chance(random, 20)) node.text += static_cast<char16_t>(u'0' + random() % 10);
    GiveContents(random, &node);
    --*budget;
    if (!MayHoldChildren(node.type)) return node;
    // Sections stay far below 999 items: past that, keys take a fourth digit.
    int children = container ? static_cast<int>(random() % 7) : 0;
    if (Chance(random, 5)) children += 8;
    for (int k = 0; k<children&& * budget> 0; ++k) {
        node.children.push_back(RandomNode(random, depth + 1, budget));
    }
    return node;
}

// Every node of the tree but the root, with its parent, in depth-first order.
void CollectNodes(OutlineNode* node, std::vector<std::pair<OutlineNode*, OutlineNode*>>* nodes) {
    for (OutlineNode& child : node->children) {
        nodes->emplace_back(&child, node);
        CollectNodes(&child, nodes);
    }
}

// The version keeps only "Author": a property only the version has would stay after an apply,
// as a delete record of a property is never applied.
void DropOptionalProperties(OutlineNode* node) {
    if (node->properties.size() > 1) node->properties.resize(1);
    for (OutlineNode& child : node->children) DropOptionalProperties(&child);
}

// One random edit of the version. Pointers are taken afresh for each edit.
void EditOnce(std::mt19937& random, OutlineNode* root) {
    std::vector<std::pair<OutlineNode*, OutlineNode*>> nodes;
    CollectNodes(root, &nodes);
    std::vector<OutlineNode*> containers = {root};
    for (auto& entry : nodes) {
        if (MayHoldChildren(entry.first->type)) containers.push_back(entry.first);
    }
    int kind = static_cast<int>(random() % 8);
    if (nodes.empty()) kind = 1;
    auto [node, parent] =
        nodes.empty() ? std::make_pair(root, root) : nodes[random() % nodes.size()];
    switch (kind) {
    case 0:  // a text edit
        node->text = Chance(random, 50) ? Pick(random, kTexts) : node->text + u"!";
        break;
    case 1: {  // an insert, sometimes of a small subtree
        OutlineNode* target = containers[random() % containers.size()];
        int budget = 3;
        OutlineNode added = RandomNode(random, 3, &budget);
        DropOptionalProperties(&added);
        size_t at = random() % (target->children.size() + 1);
        target->children.insert(target->children.begin() + at, added);
        break;
    }
    case 2: {  // a delete
        size_t at = node - parent->children.data();
        parent->children.erase(parent->children.begin() + at);
        break;
    }
    case 3:
    case 4: {  // a move within the parent
        if (parent->children.size() < 2) break;
        size_t from = node - parent->children.data();
        OutlineNode moved = *node;
        parent->children.erase(parent->children.begin() + from);
        size_t to = random() % (parent->children.size() + 1);
        parent->children.insert(parent->children.begin() + to, moved);
        break;
    }
    case 5: {  // a move to another parent, never into the moved item's own subtree
        OutlineNode moved = *node;
        size_t from = node - parent->children.data();
        parent->children.erase(parent->children.begin() + from);
        std::vector<std::pair<OutlineNode*, OutlineNode*>> rest;
        CollectNodes(root, &rest);
        std::vector<OutlineNode*> targets = {root};
        for (auto& entry : rest) {
            if (MayHoldChildren(entry.first->type)) targets.push_back(entry.first);
        }
        OutlineNode* target = targets[random() % targets.size()];
        target->children.insert(target->children.begin() + random() % (target->children.size() + 1),
                                moved);
        break;
    }
    case 6:  // a type change; an item with children keeps a type that may hold them
        node->type =
            node->children.empty() ? Pick(random, kLeafTypes) : Pick(random, kContainerTypes);
        break;
    default:  // content changes
        node->attributes[random() % node->attributes.size()].second = Pick(random, kValues);
        node->properties[0].second = Pick(random, kPropertyValues);
        node->dtdata += 1 + static_cast<int32_t>(random() % 5);
        break;
    }
}

}  // namespace

TEST(ApplyRoundTrip, ApplyingTheComparisonOfAWithBToBGivesA) {
    const uint32_t kContentOptions[] = {0, DIF_OPT_ATTRIBUTES, DIF_OPT_PROPERTIES, DIF_OPT_DTDATA,
                                        DIF_OPT_ATTRIBUTES | DIF_OPT_PROPERTIES | DIF_OPT_DTDATA};
    ScratchFolder scratch;
    const std::string first = scratch.File("a.outline"), second = scratch.File("b.outline");
    const std::string compare = scratch.File("ab.cmp"), output = scratch.File("out.outline");
    MessageBoxRecorder boxes;
    int failures = 0;
    for (int pair = 0; pair < kPairCount && failures < kReportedFailures; ++pair) {
        const uint32_t seed = kFirstSeed + pair;
        std::mt19937 random(seed);
        OutlineNode original;
        original.type = kRootType;
        original.text = u"top";
        int budget = 6 + static_cast<int>(random() % 40);
        while (budget > 0) original.children.push_back(RandomNode(random, 1, &budget));
        OutlineNode version = original;
        DropOptionalProperties(&version);
        int edits = static_cast<int>(random() % 7);
        for (int k = 0; k < edits; ++k) EditOnce(random, &version);
        // Both kinds without view mode carry every text and the X records.
        const uint32_t kind = pair % 2 == 0 ? DIF_OPT_FDFM : DIF_OPT_RDFA;
        const uint32_t options = kind | kContentOptions[pair / 2 % 5];

        // Fresh files each time: replacing a file, by rename or by truncation, makes some file
        // systems write it out at once, which would cost most of the test's time.
        for (const std::string& path : {first, second, compare, output}) std::remove(path.c_str());
        WriteOutlineFile(first, original);
        WriteOutlineFile(second, version);
        boxes.Clear();
        uint16_t built = DIF_Build(Wide(first).c_str(), Wide(second).c_str(), Wide(compare).c_str(),
                                   nullptr, 0, options);
        uint16_t applied = DIF_Apply(Wide(second).c_str(), Wide(compare).c_str(),
                                     Wide(output).c_str(), nullptr, 0);
        OutlineNode result;
        bool read = ReadOutlineFile(output, &result);
        std::string difference = read ? FirstDifference(DescribeOutline(original, options),
                                                        DescribeOutline(result, options))
                                      : "the output cannot be read";
        bool good = built == 0 && applied == 0 && difference.empty() && boxes.Boxes().empty();
        EXPECT_TRUE(good) << "seed " << seed << ", options 0x" << std::hex << options << std::dec
                          << ", build " << built << ", apply " << applied << ", boxes ["
                          << boxes.Titles() << "]: " << difference << "\nA:\n"
                          << OutlineFileText(original) << "B:\n"
                          << OutlineFileText(version) << "compare file:\n"
                          << Narrow(Utf16Text(ReadFileBytes(compare)));
        if (!good) ++failures;
    }
}
