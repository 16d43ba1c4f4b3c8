// cli/resolve_command.cpp: norvex conflicts and norvex resolve, which list the conflicts that a
// merge left in an outline and settle them by keeping one side's copy.
//
// A conflict on an item stands as a row of siblings that carry one number: the original item
// with its banner appended, then a copy of each version's item with its own banner, or, for a
// version that deleted the item, a comment item that says so. Keeping a side keeps its copy
// with the banner taken off its text and the "near here" markers taken off the items below it,
// and removes the rest of the row; keeping a side that deleted the item removes the whole row.
// A conflict that does not stand as such a row (on an attribute or a property, whose versions'
// values the merged outline does not hold; on the order of a level; on an item the runtime
// would not let the merge change) is listed, but left to be settled by hand.
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/host.h"
#include "cli/json_output.h"
#include "cli/merge_comments.h"
#include "cli/outline_view.h"
#include "cli/terminal_text.h"
#include "platform/platform.h"

namespace {

// One item of a conflict's row.
struct RowItem {
    ItemHandle item = 0;
    int source = -1;       // 0 the original, 1 and 2 the versions
    bool deleted = false;  // a comment that says the source deleted the item
    bool comment = false;  // a comment item rather than the item or its copy
    std::string ownText;   // the item's text without the banner
};

struct Conflict {
    std::string number;
    std::string description;
    std::vector<RowItem> row;
    // Whether keeping one side is well defined: each source once, as its item or a deletion.
    bool Resolvable() const {
        std::set<int> sources;
        for (const RowItem& item : row) {
            if (item.source < 0 || (item.comment && !item.deleted)) return false;
            if (!sources.insert(item.source).second) return false;
        }
        return sources.count(1) != 0 && sources.count(2) != 0;
    }
};

// The conflicts of outline by number, each with its row in outline order.
std::map<int, Conflict> ReadConflicts(OutlineHandle outline) {
    std::map<int, Conflict> conflicts;
    std::vector<ItemHandle> pending = {GetRootItem(outline)};
    while (!pending.empty()) {
        ItemHandle item = pending.back();
        pending.pop_back();
        std::vector<ItemHandle> children;
        for (ItemHandle child = GetFirstChild(outline, item); child != 0;
             child = GetNextSibling(outline, child)) {
            children.push_back(child);
        }
        pending.insert(pending.end(), children.rbegin(), children.rend());
        MergeComment comment;
        if (!ReadMergeComment(StoredText(outline, item), &comment)) continue;
        if (!comment.conflict || comment.number.empty()) continue;
        Conflict& conflict = conflicts[std::stoi(comment.number)];
        conflict.number = comment.number;
        if (conflict.description.empty()) {
            conflict.description = SummarizeMergeMessage(comment.listedMessage);
        }
        RowItem entry;
        entry.item = item;
        entry.source = comment.source;
        entry.deleted = comment.deleted;
        entry.comment = GetItemType(outline, item) == kCommentItemType;
        entry.ownText = comment.ownText;
        conflict.row.push_back(entry);
    }
    return conflicts;
}

const char* SourceName(int source) {
    return source == 0 ? "original" : source == 1 ? "version 1" : "version 2";
}

// Takes the "near here" markers off every item below item.
void RemoveMarkers(OutlineHandle outline, ItemHandle item) {
    std::vector<ItemHandle> pending = {item};
    std::vector<ItemHandle> markerComments;
    while (!pending.empty()) {
        ItemHandle at = pending.back();
        pending.pop_back();
        for (ItemHandle child = GetFirstChild(outline, at); child != 0;
             child = GetNextSibling(outline, child)) {
            pending.push_back(child);
            MergeComment comment;
            if (!ReadMergeComment(StoredText(outline, child), &comment) || !comment.conflict ||
                !comment.number.empty()) {
                continue;
            }
            if (GetItemType(outline, child) == kCommentItemType && comment.ownText.empty()) {
                markerComments.push_back(child);
            } else {
                WideText text = WideFromTerminal(comment.ownText);
                SetItemText(outline, child, text.c_str(), 1);
            }
        }
    }
    for (ItemHandle comment : markerComments) DeleteItem(outline, comment);
}

}  // namespace

int RunConflicts(const std::string& path, bool json) {
    OpenedOutline outline(path);
    if (!outline.IsOpen()) return ReportTrouble(outline.Error());
    std::map<int, Conflict> conflicts = ReadConflicts(outline.Handle());
    PathNamer names(outline.Handle());
    nlohmann::json document = {{"format", "norvex-conflicts"},
                               {"version", 1},
                               {"file", path},
                               {"conflicts", nlohmann::json::array()}};
    for (const auto& [number, conflict] : conflicts) {
        ItemHandle first = conflict.row.front().item;
        ItemHandle parent = GetParentItem(outline.Handle(), first);
        std::string where = names.Path(parent) + " > " + PathPiece(conflict.row.front().ownText);
        if (json) {
            nlohmann::json entry = {{"number", number},
                                    {"description", conflict.description},
                                    {"path", where},
                                    {"resolvable", conflict.Resolvable()},
                                    {"sides", nlohmann::json::array()}};
            for (const RowItem& item : conflict.row) {
                if (item.source < 0) continue;
                entry["sides"].push_back(
                    {{"side", SourceName(item.source)},
                     {"deleted", item.deleted},
                     {"text", item.deleted ? nlohmann::json() : nlohmann::json(item.ownText)}});
            }
            document["conflicts"].push_back(entry);
            continue;
        }
        std::printf("conflict %d at %s: %s%s\n", number, where.c_str(),
                    conflict.description.c_str(),
                    conflict.Resolvable() ? "" : " (settle it by hand)");
        for (const RowItem& item : conflict.row) {
            if (item.source < 0) continue;
            std::printf("    %-9s  %s\n", SourceName(item.source),
                        item.deleted ? "(deleted)" : ("\"" + OneLine(item.ownText) + "\"").c_str());
        }
    }
    if (json) PrintJson(document);
    return conflicts.empty() ? kExitSame : kExitDifferent;
}

int RunResolve(const ResolveOptions& options) {
    OpenedOutline outline(options.path);
    if (!outline.IsOpen()) return ReportTrouble(outline.Error());
    OutlineHandle handle = outline.Handle();
    std::map<int, Conflict> conflicts = ReadConflicts(handle);
    int source = options.take == "original" ? 0 : options.take == "1" ? 1 : 2;
    std::vector<int> chosen = options.numbers;
    if (chosen.empty()) {
        for (const auto& entry : conflicts) chosen.push_back(entry.first);
    }
    // Every named conflict is checked before anything changes: all are settled or none.
    for (int number : chosen) {
        auto found = conflicts.find(number);
        if (found == conflicts.end()) {
            return ReportTrouble(options.path + " holds no conflict " + std::to_string(number));
        }
        if (!found->second.Resolvable()) {
            return ReportTrouble("conflict " + std::to_string(number) + " (" +
                                 found->second.description +
                                 ") is not a row of copies to choose from; settle it by hand");
        }
        bool present = false;
        for (const RowItem& item : found->second.row) present = present || item.source == source;
        if (!present) {
            return ReportTrouble("conflict " + std::to_string(number) + " has no copy from the " +
                                 SourceName(source));
        }
    }
    for (int number : chosen) {
        for (const RowItem& item : conflicts[number].row) {
            if (item.source == source && !item.deleted) {
                WideText text = WideFromTerminal(item.ownText);
                if (SetItemText(handle, item.item, text.c_str(), 1) == 0) {
                    return ReportTrouble("cannot change the text of conflict " +
                                         std::to_string(number) + "'s copy; " + options.path +
                                         " is left as it was");
                }
                RemoveMarkers(handle, item.item);
            } else if (DeleteItem(handle, item.item) == 0) {
                return ReportTrouble("cannot remove an item of conflict " + std::to_string(number) +
                                     "; " + options.path + " is left as it was");
            }
        }
    }
    if (SaveOutline(handle, WideFromName(AbsolutePath(options.path)).c_str()) == 0) {
        return ReportTrouble("cannot save " + options.path + "; it is left as it was");
    }
    std::printf("resolved %zu conflict%s of %s, keeping %s's copy\n", chosen.size(),
                chosen.size() == 1 ? "" : "s", options.path.c_str(),
                source == 0 ? "the original" : SourceName(source));
    return kExitSame;
}
