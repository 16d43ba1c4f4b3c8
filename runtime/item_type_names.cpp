// runtime/item_type_names.cpp: the table of named item types (runtime/outline_format.md
// lists the same names for users; keep the two alike).
#include "runtime/item_type_names.h"

#include <string>

namespace brimrt {

namespace {

struct TypeName {
    int32_t type;
    const char* name;
};

// Sorted by code. Names are plain ASCII, so widening them is a copy.
const TypeName kTypeNames[] = {
    {1, "Application"}, {2, "Module"},   {3, "Program"},   {4, "Procedure"}, {5, "Function"},
    {6, "Method"},      {7, "Class"},    {8, "Interface"}, {9, "Statement"}, {10, "Window"},
    {11, "Report"},     {13, "Process"}, {14, "Source"},   {15, "Include"},  {18, "Routine"},
    {19, "Dictionary"}, {20, "File"},    {21, "Field"},    {22, "Key"},      {36, "Control"},
    {44, "Menu"},       {53, "Query"},   {62, "View"},     {176, "Hidden"},  {188, "Comment"},
};

}  // namespace

WideText NameItemType(int32_t type) {
    WideText name;
    for (const TypeName& entry : kTypeNames) {
        if (entry.type != type) continue;
        for (const char* letter = entry.name; *letter != 0; ++letter)
            name.push_back(static_cast<WCHAR>(*letter));
        return name;
    }
    std::string fallback = "Type " + std::to_string(type);
    for (char letter : fallback) name.push_back(static_cast<WCHAR>(letter));
    return name;
}

}  // namespace brimrt
