// cli/check_command.cpp: norvex check, which reads outlines through the runtime and says what
// is wrong with them: a fault of the file, or a merge's conflicts and warnings still in it.
#include <cstdio>
#include <utility>
#include <vector>

#include "cli/commands.h"
#include "cli/host.h"
#include "cli/merge_annotations.h"
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

int RunCheck(const CheckOptions& options) {
    int status = kExitSame;
    for (const std::string& given : options.files) {
        // Standard input is read into a file of its own, which the runtime then opens.
        PrivateFolder scratch("norvex-stdin", std::string());
        std::string path = given;
        if (given == "-") {
            path = scratch.File("standard-input.outline");
            if (scratch.Path().empty() || !CopyStandardInput(path)) {
                ReportTrouble("cannot read standard input");
                status = kExitTrouble;
                continue;
            }
        }
        WideText widePath = WideFromName(path);
        OutlineHandle outline = OpenOutline(reinterpret_cast<const WCHAR*>(widePath.c_str()));
        if (outline == 0) {
            WCHAR reason[1024];
            int32_t length = GetOutlineError(reason, 1024);
            std::string message =
                MessageFromWide(reason, static_cast<size_t>(length < 1023 ? length : 1023));
            if (path != given && message.compare(0, path.size(), path) == 0) {
                message = given + message.substr(path.size());
            }
            std::fprintf(stderr, "%s\n", message.c_str());
            status = kExitTrouble;
            continue;
        }
        if (options.tree) {
            long items = PrintOutline(outline);
            std::printf("%s: %ld items\n", given.c_str(), items);
        }
        if (!options.allowConflicts && MayHoldMergeComments(outline)) {
            // A merge's conflicts and warnings that are still in the file: a commit would keep
            // them, so they fail the check as an error does.
            PlainTree tree = ReadMergedTree(outline);
            std::vector<Annotation> notes = FindAnnotations(tree);
            if (!notes.empty()) {
                PrintAnnotations(tree, notes, given + ": ");
                unsigned conflicts = CountNumbered(notes, true);
                unsigned warnings = CountNumbered(notes, false);
                std::printf("%s: a merge left %u conflict%s and %u warning%s unresolved\n",
                            given.c_str(), conflicts, conflicts == 1 ? "" : "s", warnings,
                            warnings == 1 ? "" : "s");
                if (status == kExitSame) status = kExitDifferent;
            }
        }
        CloseOutline(outline);
    }
    return status;
}
