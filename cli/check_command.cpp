// cli/check_command.cpp: norvex check, which reads outlines through the runtime and shows them.
#include <cstdio>
#include <utility>
#include <vector>

#include "cli/commands.h"
#include "cli/outline_view.h"
#include "cli/terminal_text.h"
#include "runtime/brimrt63.h"

namespace {

// "Procedure OpenStock": the type's name followed by the item's display text.
std::string DescribeItem(OutlineHandle outline, ItemHandle item) {
    StringHandle name = 0, text = 0;
    GetItemTypeName(GetItemType(outline, item), &name);
    GetItemText(outline, item, 1, &text);
    return TakeRuntimeString(name) + TakeRuntimeString(text);
}

// Prints the tree, one item per line, indented by depth; skipped items are marked. The walk
// keeps its own stack, so any depth prints.
long PrintOutline(OutlineHandle outline) {
    long items = 0;
    std::vector<std::pair<ItemHandle, int>> pending = {{GetRootItem(outline), 0}};
    while (!pending.empty()) {
        auto [item, depth] = pending.back();
        pending.pop_back();
        ++items;
        std::printf("%*s%s%s\n", depth * 2, "", DescribeItem(outline, item).c_str(),
                    IsItemSkipped(outline, item) ? "  (skipped)" : "");
        std::vector<ItemHandle> children;
        for (ItemHandle child = GetFirstChild(outline, item); child != 0;
             child = GetNextSibling(outline, child)) {
            children.push_back(child);
        }
        for (auto child = children.rbegin(); child != children.rend(); ++child) {
            pending.emplace_back(*child, depth + 1);
        }
    }
    return items;
}

}  // namespace

int RunCheck(const std::vector<std::string>& arguments) {
    if (arguments.empty()) {
        std::fprintf(stderr, "norvex check: expected one or more outline files\n");
        return 2;
    }
    int status = 0;
    for (const std::string& path : arguments) {
        WideText widePath = WideFromName(path);
        OutlineHandle outline = OpenOutline(reinterpret_cast<const WCHAR*>(widePath.c_str()));
        if (outline == 0) {
            WCHAR reason[1024];
            int32_t length = GetOutlineError(reason, 1024);
            std::fprintf(stderr, "%s\n",
                         MessageFromWide(reason, static_cast<size_t>(length < 1023 ? length : 1023))
                             .c_str());
            status = 2;
            continue;
        }
        long items = PrintOutline(outline);
        std::printf("%s: %ld items\n", path.c_str(), items);
        CloseOutline(outline);
    }
    return status;
}
