// tests/apply/outline_tree.cpp: writing, reading and describing outline trees.
#include "tests/helpers/outline_tree.h"

#include <algorithm>
#include <cstdio>
#include <random>

#include "tests/helpers/test_support.h"

namespace {

void WriteNode(const OutlineNode& node, int depth, std::string* out) {
    std::string indent(2 * depth, ' ');
    *out += indent + std::to_string(node.type) + " " + OutlineLiteral(node.text) + "\n";
    for (const auto& attribute : node.attributes) {
        *out += indent + "  @" + std::to_string(attribute.first) + " " +
                OutlineLiteral(attribute.second) + "\n";
    }
    for (const auto& property : node.properties) {
        *out += indent + "  %" + OutlineLiteral(property.first) + " " +
                OutlineLiteral(property.second) + "\n";
    }
    if (node.hasDTData) *out += indent + "  $39 " + std::to_string(node.dtdata) + "\n";
    for (const OutlineNode& child : node.children) WriteNode(child, depth + 1, out);
}

std::u16string TakeString(StringHandle string) {
    int32_t length = 0;
    const WCHAR* characters = GetStringText(string, &length);
    std::u16string text = characters != nullptr ? std::u16string(characters, length) : u"";
    FreeString(string);
    return text;
}

void ReadNode(OutlineHandle outline, ItemHandle item, OutlineNode* node) {
    node->type = GetItemType(outline, item);
    node->skipped = IsItemSkipped(outline, item) != 0;
    StringHandle text = 0;
    GetItemText(outline, item, 0, &text);
    node->text = TakeString(text);
    ListHandle attributes = CreateList(3);
    int32_t attributeCount = ListItemAttributes(outline, item, attributes) & 0xFFFF;
    for (int32_t k = 0; k < attributeCount; ++k) {
        ListElement element = 0;
        uint32_t id = 0;
        GetListElement(attributes, &element, k);
        GetAttributeId(element, &id);
        StringHandle value = 0;
        GetItemAttribute(outline, item, id, 0, &value);
        node->attributes.emplace_back(id, TakeString(value));
    }
    DestroyList(attributes);
    ListHandle names = CreateList(5);
    int32_t propertyCount = ListNamedProperties(outline, item, names);
    for (int32_t k = 0; k < propertyCount; ++k) {
        StringHandle name = 0;
        GetListString(names, &name, k);
        std::u16string nameText = TakeString(name);
        StringHandle value = 0;
        GetNamedProperty(outline, item, nameText.c_str(), &value);
        node->properties.emplace_back(nameText, TakeString(value));
    }
    DestroyList(names);
    node->hasDTData = GetItemDTData(outline, item, 39, &node->dtdata) != 0;
    for (ItemHandle child = GetFirstChild(outline, item); child != 0;
         child = GetNextSibling(outline, child)) {
        node->children.emplace_back();
        ReadNode(outline, child, &node->children.back());
    }
}

void DescribeNode(const OutlineNode& node, int depth, uint32_t options, std::string* out) {
    std::string line = std::string(2 * depth, ' ') + std::to_string(node.type) +
                       (node.skipped ? " skip " : " ") + OutlineLiteral(node.text);
    const bool sorted = (options & kDescribeHeldOrder) == 0;
    if (options & DIF_OPT_ATTRIBUTES) {
        auto attributes = node.attributes;
        if (sorted) std::sort(attributes.begin(), attributes.end());
        for (const auto& attribute : attributes) {
            line += " @" + std::to_string(attribute.first) + "=" + OutlineLiteral(attribute.second);
        }
    }
    if (options & DIF_OPT_PROPERTIES) {
        auto properties = node.properties;
        if (sorted) std::sort(properties.begin(), properties.end());
        for (const auto& property : properties) {
            line += " %" + OutlineLiteral(property.first) + "=" + OutlineLiteral(property.second);
        }
    }
    if ((options & DIF_OPT_DTDATA) && node.hasDTData) line += " $39=" + std::to_string(node.dtdata);
    *out += line + "\n";
    for (const OutlineNode& child : node.children) DescribeNode(child, depth + 1, options, out);
}

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

std::string OutlineLiteral(const std::u16string& text) {
    std::string out = "\"";
    for (size_t k = 0; k < text.size(); ++k) {
        char16_t unit = text[k];
        bool high = unit >= 0xD800 && unit <= 0xDBFF;
        bool low = unit >= 0xDC00 && unit <= 0xDFFF;
        if (unit == u'\\') {
            out += "\\\\";
        } else if (unit == u'"') {
            out += "\\\"";
        } else if (unit == u'\n') {
            out += "\\n";
        } else if (unit == u'\r') {
            out += "\\r";
        } else if (unit == u'\t') {
            out += "\\t";
        } else if (high && k + 1 < text.size() && text[k + 1] >= 0xDC00 && text[k + 1] <= 0xDFFF) {
            out += Narrow(text.substr(k++, 2));  // a pair goes out as its one character
        } else if (unit < 0x20 || unit == 0x7F || high || low) {
            char escape[8];
            snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(unit));
            out += escape;
        } else {
            out += Narrow(std::u16string(1, unit));
        }
    }
    return out + "\"";
}

std::string OutlineFileText(const OutlineNode& root) {
    std::string text = "OUTLINE 1\n";
    WriteNode(root, 0, &text);
    return text;
}

void WriteOutlineFile(const std::string& path, const OutlineNode& root) {
    WriteFileBytes(path, OutlineFileText(root));
}

bool ReadOutlineFile(const std::string& path, OutlineNode* root) {
    OutlineHandle outline = OpenOutline(Wide(path).c_str());
    if (outline == 0) return false;
    *root = ReadOutline(outline);
    CloseOutline(outline);
    return true;
}

OutlineNode ReadOutline(OutlineHandle outline) {
    OutlineNode root;
    ReadNode(outline, GetRootItem(outline), &root);
    return root;
}

std::string DescribeOutline(const OutlineNode& root, uint32_t options) {
    std::string text;
    DescribeNode(root, 0, options, &text);
    return text;
}

void RandomOutlinePair(uint32_t seed, OutlineNode* original, OutlineNode* version) {
    std::mt19937 random(seed);
    *original = OutlineNode();
    original->type = kRootType;
    original->text = u"top";
    int budget = 6 + static_cast<int>(random() % 40);
    while (budget > 0) original->children.push_back(RandomNode(random, 1, &budget));
    *version = *original;
    DropOptionalProperties(version);
    int edits = static_cast<int>(random() % 7);
    for (int k = 0; k < edits; ++k) EditOnce(random, version);
}
