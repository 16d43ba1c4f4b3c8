// tests/apply/outline_tree.cpp: writing, reading and describing outline trees.
#include "tests/apply/outline_tree.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "outline/outline_runtime.h"
#include "tests/helpers/test_support.h"

namespace {

std::string Literal(const std::u16string& text) {
    std::string out = "\"";
    for (char16_t unit : text) {
        if (unit == u'\\')
            out += "\\\\";
        else if (unit == u'"')
            out += "\\\"";
        else if (unit == u'\n')
            out += "\\n";
        else if (unit == u'\r')
            out += "\\r";
        else if (unit == u'\t')
            out += "\\t";
        else if (unit < 0x20 || unit == 0x7F || (unit >= 0xD800 && unit <= 0xDFFF)) {
            char escape[8];
            snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(unit));
            out += escape;
        } else {
            out += Narrow(std::u16string(1, unit));
        }
    }
    return out + "\"";
}

void WriteNode(const OutlineNode& node, int depth, std::string* out) {
    std::string indent(2 * depth, ' ');
    *out += indent + std::to_string(node.type) + " " + Literal(node.text) + "\n";
    for (const auto& attribute : node.attributes) {
        *out += indent + "  @" + std::to_string(attribute.first) + " " + Literal(attribute.second) +
                "\n";
    }
    for (const auto& property : node.properties) {
        *out += indent + "  %" + Literal(property.first) + " " + Literal(property.second) + "\n";
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
    std::string line =
        std::string(2 * depth, ' ') + std::to_string(node.type) + " " + Literal(node.text);
    if (options & DIF_OPT_ATTRIBUTES) {
        auto attributes = node.attributes;
        std::sort(attributes.begin(), attributes.end());
        for (const auto& attribute : attributes) {
            line += " @" + std::to_string(attribute.first) + "=" + Literal(attribute.second);
        }
    }
    if (options & DIF_OPT_PROPERTIES) {
        auto properties = node.properties;
        std::sort(properties.begin(), properties.end());
        for (const auto& property : properties) {
            line += " %" + Literal(property.first) + "=" + Literal(property.second);
        }
    }
    if ((options & DIF_OPT_DTDATA) && node.hasDTData) line += " $39=" + std::to_string(node.dtdata);
    *out += line + "\n";
    for (const OutlineNode& child : node.children) DescribeNode(child, depth + 1, options, out);
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
}

}  // namespace

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
    *root = OutlineNode();
    ReadNode(outline, GetRootItem(outline), root);
    CloseOutline(outline);
    return true;
}

std::string DescribeOutline(const OutlineNode& root, uint32_t options) {
    std::string text;
    DescribeNode(root, 0, options, &text);
    return text;
}

std::string FirstDifference(const std::string& expected, const std::string& actual) {
    std::vector<std::string> expectedLines = Lines(expected), actualLines = Lines(actual);
    size_t count = std::max(expectedLines.size(), actualLines.size());
    for (size_t k = 0; k < count; ++k) {
        std::string wanted = k < expectedLines.size() ? expectedLines[k] : "(no line)";
        std::string found = k < actualLines.size() ? actualLines[k] : "(no line)";
        if (wanted != found) {
            return "line " + std::to_string(k + 1) + ": expected [" + wanted + "], found [" +
                   found + "]";
        }
    }
    return "";
}
