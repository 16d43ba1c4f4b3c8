// cli/html_report.cpp: the diff and merge pages, built from the outlines and the records.
//
// The diff page is one tree of rows, each row an item of OLD beside its partner in NEW. The
// compare list names only what changed, so the pairs of each section are rebuilt the way the
// comparison ranks them: leave out the items only one side has and the ignored ones, and the
// rest pair in order, rank for rank, except inside the runs that a move record names: a loaded
// move record names the run's first item in NEW and in OLD, and the following items of the
// run pair rank for rank after them. Rows stand in NEW's order; an item only in OLD stands after the
// row of the item before it in OLD.
#include "cli/html_report.h"

#include <climits>
#include <cstdlib>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "cli/html_page.h"
#include "cli/merge_comments.h"
#include "cli/outline_view.h"
#include "cli/terminal_text.h"
#include "include/norvex63.h"

namespace {

// ---- Reading the outlines ----------------------------------------------------------------

// The stored text of an item as UTF-8, line breaks kept (the page shows them as breaks).
std::string StoredText(OutlineHandle outline, ItemHandle item) {
    StringHandle text = 0;
    if (item == 0 || GetItemText(outline, item, 0, &text) == 0 || text == 0) return std::string();
    int32_t length = 0;
    const WCHAR* units = GetStringText(text, &length);
    std::string result = units != nullptr && length > 0
                             ? TerminalFromWide(units, static_cast<size_t>(length))
                             : std::string();
    FreeString(text);
    return result;
}

// The children a walk of the library sees: skipped items left out.
std::vector<ItemHandle> VisibleChildren(OutlineHandle outline, ItemHandle item) {
    std::vector<ItemHandle> children;
    if (item == 0) return children;
    for (ItemHandle child = GetFirstChild(outline, item); child != 0;
         child = GetNextSibling(outline, child)) {
        if (IsItemSkipped(outline, child) == 0) children.push_back(child);
    }
    return children;
}

bool HasVisibleChildren(OutlineHandle outline, ItemHandle item) {
    for (ItemHandle child = item != 0 ? GetFirstChild(outline, item) : 0; child != 0;
         child = GetNextSibling(outline, child)) {
        if (IsItemSkipped(outline, child) == 0) return true;
    }
    return false;
}

// Visible items below item, counted up to limit + 1 at most (so a huge subtree costs no more
// than a small one to measure).
constexpr long kNoLimit = LONG_MAX;
long CountVisibleBelow(OutlineHandle outline, ItemHandle item, long limit) {
    long count = 0;
    std::vector<ItemHandle> pending = {item};
    while (!pending.empty() && count <= limit) {
        ItemHandle at = pending.back();
        pending.pop_back();
        for (ItemHandle child = GetFirstChild(outline, at); child != 0;
             child = GetNextSibling(outline, child)) {
            if (IsItemSkipped(outline, child) != 0) continue;
            ++count;
            pending.push_back(child);
        }
    }
    return count;
}

std::string Plural(long count, const char* word) {
    return std::to_string(count) + " " + word + (count == 1 ? "" : "s");
}

class TypeNames {
public:
    const std::string& Of(int32_t type) {
        auto known = names_.find(type);
        if (known != names_.end()) return known->second;
        return names_.emplace(type, TypeName(type)).first->second;
    }

private:
    std::unordered_map<int32_t, std::string> names_;
};

// A cell: the item's type, then its text (already HTML).
std::string Cell(const char* side, const std::string& typeName, const std::string& textHtml) {
    return std::string("<span class=\"cell ") + side + "\"><span class=\"type\">" +
           EscapeHtml(typeName) + "</span> " + textHtml + "</span>";
}

std::string Badge(const std::string& text) {
    return " <span class=\"badge\">" + EscapeHtml(text) + "</span>";
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// ---- The diff page -------------------------------------------------------------------------

struct DiffRecord {
    char change = '.';
    char subject = ' ';
    int32_t value = 0;
    ItemHandle newItem = 0;  // the record's side-1 item
    ItemHandle oldItem = 0;  // its side-2 item
};

enum class RowKind {
    kPaired,
    kOnlyOld,     // an item only OLD has: a change of its own
    kOnlyNew,
    kInsideOld,   // below such an item
    kInsideNew,
    kUnmatchedOld,  // an ignored item, or one the comparison did not reach
    kUnmatchedNew,
    kSummary,     // stands for items left off the page
};

struct Row {
    RowKind kind = RowKind::kPaired;
    ItemHandle oldItem = 0;
    ItemHandle newItem = 0;
    bool moved = false;
    int oldPosition = 0;  // 1-based places among the visible children, as keys count them
    int newPosition = 0;
    std::string summary;  // the text of a summary row
};

class DiffPage {
public:
    explicit DiffPage(const DiffPageInput& input) : input_(input) {}

    std::string Build() {
        ReadRecords();
        long limit = kLargestWholePage;
        long total = CountVisibleBelow(input_.oldOutline, GetRootItem(input_.oldOutline), limit) +
                     CountVisibleBelow(input_.newOutline, GetRootItem(input_.newOutline), limit);
        wholePage_ = total <= limit;
        std::string tree = BuildTree();
        return AssemblePage("norvex diff " + input_.oldName + " " + input_.newName,
                            Header() + "<main>\n<div class=\"columns\"><span>" +
                                EscapeHtml(input_.oldName) + "</span><span>" +
                                EscapeHtml(input_.newName) + "</span></div>\n" + tree +
                                "</main>\n");
    }

private:
    // 1. Every record, with the items its keys name, indexed by what the rows ask.
    void ReadRecords() {
        int32_t count = DIF_CompareCount(WIDE(" "), WIDE(" "));
        for (int32_t position = 0; position < count; ++position) {
            DIF_CHAR change[2] = {}, subject[2] = {};
            DiffRecord record;
            DIF_CompareGet(1, position, nullptr, nullptr, change, subject, &record.value);
            DIF_CompareGethItem(1, position, &record.newItem, &record.oldItem);
            record.change = static_cast<char>(change[0]);
            record.subject = static_cast<char>(subject[0]);
            records_.push_back(record);
            Index(static_cast<int>(records_.size() - 1));
        }
    }

    void Index(int index) {
        const DiffRecord& r = records_[static_cast<size_t>(index)];
        if (r.subject == 'T') {
            if (r.change == 'C' && r.oldItem != 0) {
                textChanged_[r.oldItem] = r.newItem;
                MarkAbove(input_.oldOutline, r.oldItem, &changedBelowOld_);
                MarkAbove(input_.newOutline, r.newItem, &changedBelowNew_);
            } else if (r.change == 'D' && r.oldItem != 0) {
                // Key 1 of a deletion is made up, so only the OLD item counts.
                onlyOld_.insert(r.oldItem);
                MarkAbove(input_.oldOutline, r.oldItem, &changedBelowOld_);
            } else if ((r.change == 'A' || r.change == 'X') && r.newItem != 0) {
                onlyNew_.insert(r.newItem);
                MarkAbove(input_.newOutline, r.newItem, &changedBelowNew_);
            }
        } else if (r.subject == 'M') {
            // Its keys are places among the paired items, so they name some item of the right
            // two sections: the parents are what is certain.
            ItemHandle oldParent = GetParentItem(input_.oldOutline, r.oldItem);
            if (r.oldItem != 0 && oldParent != 0) {
                moves_.emplace(oldParent, index);
                MarkAbove(input_.oldOutline, r.oldItem, &changedBelowOld_);
                MarkAbove(input_.newOutline, r.newItem, &changedBelowNew_);
            }
        } else if (r.newItem != 0) {
            contents_[r.newItem].push_back(index);
            MarkAbove(input_.newOutline, r.newItem, &changedBelowNew_);
            if (r.change != 'X') MarkAbove(input_.oldOutline, r.oldItem, &changedBelowOld_);
        }
    }

    // Marks every item above item as holding a change below it.
    static void MarkAbove(OutlineHandle outline, ItemHandle item,
                          std::unordered_set<ItemHandle>* marked) {
        if (item == 0) return;
        for (ItemHandle at = GetParentItem(outline, item); at != 0;
             at = GetParentItem(outline, at)) {
            if (!marked->insert(at).second) return;
        }
    }

    bool IsIgnored(OutlineHandle outline, ItemHandle item) const {
        return IsIgnoredItemType(GetItemType(outline, item), input_.optionWord);
    }

    // 2. The rows of one section pair, in NEW's order (see the top of this file).
    std::vector<Row> AlignSection(ItemHandle oldParent, ItemHandle newParent) const {
        OutlineHandle oldOutline = input_.oldOutline, newOutline = input_.newOutline;
        std::vector<ItemHandle> oldItems = VisibleChildren(oldOutline, oldParent);
        std::vector<ItemHandle> newItems = VisibleChildren(newOutline, newParent);
        std::vector<int> oldRanks(oldItems.size(), -1), newRanks(newItems.size(), -1);
        std::vector<size_t> oldByRank, newByRank;
        for (size_t k = 0; k < oldItems.size(); ++k) {
            if (onlyOld_.count(oldItems[k]) != 0 || IsIgnored(oldOutline, oldItems[k])) continue;
            oldRanks[k] = static_cast<int>(oldByRank.size());
            oldByRank.push_back(k);
        }
        for (size_t k = 0; k < newItems.size(); ++k) {
            if (onlyNew_.count(newItems[k]) != 0 || IsIgnored(newOutline, newItems[k])) continue;
            newRanks[k] = static_cast<int>(newByRank.size());
            newByRank.push_back(k);
        }
        // Partners rank for rank, then the move runs of this section.
        std::vector<int> partner(oldByRank.size());
        std::vector<bool> moved(oldByRank.size(), false);
        for (size_t q = 0; q < partner.size(); ++q) partner[q] = static_cast<int>(q);
        auto runs = moves_.equal_range(oldParent);
        for (auto run = runs.first; run != runs.second; ++run) {
            const DiffRecord& r = records_[static_cast<size_t>(run->second)];
            // A loaded move record names the run's first item where it stands on each side.
            int oldAt = IndexOf(oldItems, r.oldItem), newAt = IndexOf(newItems, r.newItem);
            if (oldAt < 0 || newAt < 0) continue;
            int oldStart = oldRanks[static_cast<size_t>(oldAt)];
            int newStart = newRanks[static_cast<size_t>(newAt)];
            if (oldStart < 0 || newStart < 0) continue;
            int length = std::abs(r.value);
            for (int step = 0; step < length; ++step) {
                size_t q = static_cast<size_t>(oldStart + step);
                if (q >= partner.size()) break;
                partner[q] = newStart + step;
                moved[q] = true;
            }
        }
        std::vector<int> oldRankOfNew(newByRank.size(), -1);
        for (size_t q = 0; q < partner.size(); ++q) {
            size_t p = static_cast<size_t>(partner[q]);
            if (p < oldRankOfNew.size()) oldRankOfNew[p] = static_cast<int>(q);
        }

        // NEW's order, then each OLD item without a partner after its OLD predecessor's row.
        std::vector<Row> inNewOrder;
        std::vector<int> rowOfOld(oldItems.size(), -1);
        for (size_t k = 0; k < newItems.size(); ++k) {
            Row row;
            row.newItem = newItems[k];
            int q = newRanks[k] >= 0 ? oldRankOfNew[static_cast<size_t>(newRanks[k])] : -1;
            if (onlyNew_.count(newItems[k]) != 0) {
                row.kind = RowKind::kOnlyNew;
            } else if (q < 0) {
                row.kind = RowKind::kUnmatchedNew;
            } else {
                size_t oldIndex = oldByRank[static_cast<size_t>(q)];
                row.oldItem = oldItems[oldIndex];
                row.moved = moved[static_cast<size_t>(q)];
                row.oldPosition = static_cast<int>(oldIndex) + 1;
                row.newPosition = static_cast<int>(k) + 1;
                rowOfOld[oldIndex] = static_cast<int>(inNewOrder.size());
            }
            inNewOrder.push_back(row);
        }
        std::unordered_map<int, std::vector<Row>> after;  // by the row they follow; -1: first
        int previousRow = -1;
        for (size_t k = 0; k < oldItems.size(); ++k) {
            if (rowOfOld[k] >= 0) {
                previousRow = rowOfOld[k];
                continue;
            }
            Row row;
            row.oldItem = oldItems[k];
            row.kind = onlyOld_.count(oldItems[k]) != 0 ? RowKind::kOnlyOld : RowKind::kUnmatchedOld;
            after[previousRow].push_back(row);
        }
        std::vector<Row> rows;
        auto placeAfter = [&](int rowIndex) {
            auto found = after.find(rowIndex);
            if (found != after.end()) rows.insert(rows.end(), found->second.begin(), found->second.end());
        };
        placeAfter(-1);
        for (size_t k = 0; k < inNewOrder.size(); ++k) {
            rows.push_back(inNewOrder[k]);
            placeAfter(static_cast<int>(k));
        }
        return SummarizeRuns(std::move(rows));
    }

    static int IndexOf(const std::vector<ItemHandle>& items, ItemHandle item) {
        for (size_t k = 0; k < items.size(); ++k) {
            if (items[k] == item) return static_cast<int>(k);
        }
        return -1;
    }

    bool IsQuiet(const Row& row) const {
        return row.kind == RowKind::kPaired && !row.moved && textChanged_.count(row.oldItem) == 0 &&
               contents_.count(row.newItem) == 0 && changedBelowOld_.count(row.oldItem) == 0 &&
               changedBelowNew_.count(row.newItem) == 0;
    }

    size_t QuietRunLimit() const {
        return wholePage_ ? static_cast<size_t>(kLargestShownUnchanged) : 2 * kContextRows + 1;
    }

    // A run of more quiet siblings than the page shows keeps kContextRows at either end.
    std::vector<Row> SummarizeRuns(std::vector<Row> rows) const {
        std::vector<Row> kept;
        size_t k = 0;
        while (k < rows.size()) {
            size_t end = k;
            while (end < rows.size() && IsQuiet(rows[end])) ++end;
            if (end - k > QuietRunLimit()) {
                kept.insert(kept.end(), rows.begin() + static_cast<long>(k),
                            rows.begin() + static_cast<long>(k + kContextRows));
                long hidden = 0;
                for (size_t m = k + kContextRows; m < end - kContextRows; ++m) {
                    hidden += 1 + CountVisibleBelow(input_.newOutline, rows[m].newItem, kNoLimit);
                }
                Row summary;
                summary.kind = RowKind::kSummary;
                summary.summary = Plural(hidden, "unchanged item");
                kept.push_back(summary);
                kept.insert(kept.end(), rows.begin() + static_cast<long>(end - kContextRows),
                            rows.begin() + static_cast<long>(end));
            } else {
                kept.insert(kept.end(), rows.begin() + static_cast<long>(k),
                            rows.begin() + static_cast<long>(end));
            }
            if (end < rows.size()) kept.push_back(rows[end]);
            k = end + 1;
        }
        return kept;
    }

    // The rows below an item that only one side has: the same kind all the way down.
    std::vector<Row> OneSidedRows(OutlineHandle outline, ItemHandle item, bool old) const {
        std::vector<Row> rows;
        for (ItemHandle child : VisibleChildren(outline, item)) {
            Row row;
            row.kind = old ? RowKind::kInsideOld : RowKind::kInsideNew;
            (old ? row.oldItem : row.newItem) = child;
            rows.push_back(row);
        }
        return rows;
    }

    Row SummaryRow(const std::string& text) const {
        Row row;
        row.kind = RowKind::kSummary;
        row.summary = text;
        return row;
    }

    // 3. The tree, depth first with a stack of sections, so that depth costs no recursion.
    std::string BuildTree() {
        struct Frame {
            std::vector<Row> rows;
            size_t next = 0;
        };
        PageTree tree;
        std::vector<Frame> frames(1);
        Row top;
        top.oldItem = GetRootItem(input_.oldOutline);
        top.newItem = GetRootItem(input_.newOutline);
        if (top.oldItem == 0) top.kind = RowKind::kOnlyNew;
        if (top.newItem == 0) top.kind = RowKind::kOnlyOld;
        frames[0].rows.push_back(top);
        while (!frames.empty()) {
            Frame& frame = frames.back();
            if (frame.next == frame.rows.size()) {
                frames.pop_back();
                continue;
            }
            Row row = frame.rows[frame.next++];
            std::vector<Row> children = ChildRows(row);
            PageRow shown = Show(row, !children.empty());
            shown.depth = static_cast<int>(frames.size()) - 1;
            tree.Add(shown);
            if (!children.empty()) {
                Frame below;
                below.rows = std::move(children);
                frames.push_back(std::move(below));
            }
        }
        return tree.Finish();
    }

    std::vector<Row> ChildRows(const Row& row) const {
        OutlineHandle oldOutline = input_.oldOutline, newOutline = input_.newOutline;
        long limit = kLargestShownUnchanged;
        switch (row.kind) {
        case RowKind::kPaired: {
            if (!HasVisibleChildren(oldOutline, row.oldItem) &&
                !HasVisibleChildren(newOutline, row.newItem)) {
                return {};
            }
            // The top item always lists its children, so a page is never a single row.
            bool changedBelow = changedBelowOld_.count(row.oldItem) != 0 ||
                                changedBelowNew_.count(row.newItem) != 0 ||
                                row.newItem == GetRootItem(newOutline);
            if (!changedBelow && !wholePage_) return {};  // the row gives their count
            if (!changedBelow && CountVisibleBelow(newOutline, row.newItem, limit) > limit) {
                return {SummaryRow(Plural(CountVisibleBelow(newOutline, row.newItem, kNoLimit),
                                                "unchanged item"))};
            }
            return AlignSection(row.oldItem, row.newItem);
        }
        case RowKind::kOnlyOld:
        case RowKind::kInsideOld:
        case RowKind::kUnmatchedOld:
            return SideRows(oldOutline, row.oldItem, true, input_.oldName);
        case RowKind::kOnlyNew:
        case RowKind::kInsideNew:
        case RowKind::kUnmatchedNew:
            return SideRows(newOutline, row.newItem, false, input_.newName);
        case RowKind::kSummary: return {};
        }
        return {};
    }

    std::vector<Row> SideRows(OutlineHandle outline, ItemHandle item, bool old,
                              const std::string& name) const {
        long limit = kLargestShownUnchanged;
        if (!HasVisibleChildren(outline, item)) return {};
        if (CountVisibleBelow(outline, item, limit) > limit) {
            return {SummaryRow(Plural(CountVisibleBelow(outline, item, kNoLimit), "item") +
                               " only in " + name)};
        }
        return OneSidedRows(outline, item, old);
    }

    // How a row reads: its cells, its kind's classes and badges, its content changes.
    PageRow Show(const Row& row, bool hasChildren) {
        OutlineHandle oldOutline = input_.oldOutline, newOutline = input_.newOutline;
        PageRow shown;
        shown.hasChildren = hasChildren;
        std::string oldType = row.oldItem != 0 ? types_.Of(GetItemType(oldOutline, row.oldItem)) : "";
        std::string newType = row.newItem != 0 ? types_.Of(GetItemType(newOutline, row.newItem)) : "";
        std::string blank = "<span class=\"cell empty\"></span>";
        std::string badges, notes;
        switch (row.kind) {
        case RowKind::kPaired: {
            std::string oldText = StoredText(oldOutline, row.oldItem);
            std::string newText = StoredText(newOutline, row.newItem);
            std::vector<std::string> kinds;
            std::string oldHtml = EscapeHtml(oldText), newHtml = EscapeHtml(newText);
            if (textChanged_.count(row.oldItem) != 0) {
                WordDiff words = DiffWords(oldText, newText);
                oldHtml = words.oldHtml;
                newHtml = words.newHtml;
                kinds.push_back("changed");
                badges += Badge("text changed");
            }
            auto contents = contents_.find(row.newItem);
            if (contents != contents_.end()) {
                if (kinds.empty()) kinds.push_back("changed");
                badges += Badge(Plural(static_cast<long>(contents->second.size()), "content change"));
                notes = ContentNotes(contents->second);
            }
            if (row.moved) {
                kinds.push_back("moved");
                badges += Badge("moved from " + std::to_string(row.oldPosition) + " to " +
                                std::to_string(row.newPosition));
            }
            for (const std::string& kind : kinds) {
                shown.classes += (shown.classes.empty() ? "" : " ") + kind;
            }
            shown.stop = !kinds.empty();
            shown.open = changedBelowOld_.count(row.oldItem) != 0 ||
                         changedBelowNew_.count(row.newItem) != 0 ||
                         row.newItem == GetRootItem(newOutline);
            if (!wholePage_ && !hasChildren && HasVisibleChildren(newOutline, row.newItem)) {
                badges += Badge(Plural(CountVisibleBelow(newOutline, row.newItem, kNoLimit),
                                       "unchanged item") + " below");
            }
            shown.contentHtml = Cell("old", oldType, oldHtml) + Cell("new", newType, newHtml + badges);
            break;
        }
        case RowKind::kOnlyOld:
        case RowKind::kInsideOld: {
            bool top = row.kind == RowKind::kOnlyOld;
            shown.classes = top ? "only-old" : "inside-old";
            shown.stop = top;
            std::string badge = top ? Badge("only in " + input_.oldName) : "";
            shown.contentHtml =
                Cell("old", oldType, EscapeHtml(StoredText(oldOutline, row.oldItem)) + badge) + blank;
            break;
        }
        case RowKind::kOnlyNew:
        case RowKind::kInsideNew: {
            bool top = row.kind == RowKind::kOnlyNew;
            shown.classes = top ? "only-new" : "inside-new";
            shown.stop = top;
            std::string badge = top ? Badge("only in " + input_.newName) : "";
            auto contents = contents_.find(row.newItem);
            if (contents != contents_.end()) notes = ContentNotes(contents->second);
            shown.contentHtml =
                blank + Cell("new", newType, EscapeHtml(StoredText(newOutline, row.newItem)) + badge);
            break;
        }
        case RowKind::kUnmatchedOld:
            shown.classes = "ignored";
            shown.contentHtml = Cell("old", oldType, EscapeHtml(StoredText(oldOutline, row.oldItem)) +
                                                         Badge("not compared")) +
                                blank;
            break;
        case RowKind::kUnmatchedNew:
            shown.classes = "ignored";
            shown.contentHtml = blank + Cell("new", newType,
                                             EscapeHtml(StoredText(newOutline, row.newItem)) +
                                                 Badge("not compared"));
            break;
        case RowKind::kSummary:
            shown.classes = "folded-run";
            shown.contentHtml = "<span class=\"cell\">" + EscapeHtml(row.summary) + "</span>";
            break;
        }
        if (!notes.empty()) shown.contentHtml += "<ul class=\"notes\">" + notes + "</ul>";
        if (shown.stop) shown.id = "change-" + std::to_string(++stops_);
        return shown;
    }

    std::string Change(const std::string& before, const std::string& after) const {
        return "<del>" + EscapeHtml(before) + "</del> \u2192 <ins>" + EscapeHtml(after) + "</ins>";
    }

    // The attribute, property and DTDATA records of an item, one line each, as norvex diff
    // prints them: a property is numbered by its place in NEW's item when it was added, else in
    // OLD's.
    std::string ContentNotes(const std::vector<int>& indexes) const {
        OutlineHandle oldOutline = input_.oldOutline, newOutline = input_.newOutline;
        std::string notes;
        for (int index : indexes) {
            const DiffRecord& r = records_[static_cast<size_t>(index)];
            std::string line;
            if (r.subject == 'A') {
                uint32_t id = static_cast<uint32_t>(r.value);
                std::string newValue = AttributeValue(newOutline, r.newItem, id);
                line = "attribute " + std::to_string(id) + ": ";
                line += r.change == 'X' ? EscapeHtml(Quoted(newValue))
                                        : Change(Quoted(AttributeValue(oldOutline, r.oldItem, id)),
                                                 Quoted(newValue));
            } else if (r.subject == 'P') {
                bool fromNew = r.change == 'A' || r.change == 'X';
                std::string name = fromNew ? PropertyName(newOutline, r.newItem, r.value)
                                           : PropertyName(oldOutline, r.oldItem, r.value);
                line = "property " + EscapeHtml(name) + ": ";
                if (fromNew) {
                    line += "<ins>" + EscapeHtml(Quoted(PropertyValue(newOutline, r.newItem, name))) +
                            "</ins>";
                    if (r.change == 'A') line += " (only in " + EscapeHtml(input_.newName) + ")";
                } else if (r.change == 'D') {
                    line += "<del>" + EscapeHtml(Quoted(PropertyValue(oldOutline, r.oldItem, name))) +
                            "</del> (only in " + EscapeHtml(input_.oldName) + ")";
                } else {
                    line += Change(Quoted(PropertyValue(oldOutline, r.oldItem, name)),
                                   Quoted(PropertyValue(newOutline, r.newItem, name)));
                }
            } else if (r.subject == 'D') {
                line = "DTDATA " + std::to_string(r.value) + ": ";
                line += r.change == 'X' ? EscapeHtml(DTDataValue(newOutline, r.newItem, r.value))
                                        : Change(DTDataValue(oldOutline, r.oldItem, r.value),
                                                 DTDataValue(newOutline, r.newItem, r.value));
            } else {
                continue;
            }
            notes += "<li>" + line + "</li>";
        }
        return notes;
    }

    std::string Header() const {
        auto count = [](const WCHAR* change, const WCHAR* subject) {
            return static_cast<long>(DIF_CompareCount(change, subject));
        };
        long changes = count(WIDE(" "), WIDE(" "));
        std::string html = "<body class=\"diff\">\n<header>\n<h1>norvex diff " +
                           EscapeHtml(input_.oldName) + " " + EscapeHtml(input_.newName) + "</h1>\n";
        html += "<ul class=\"counts\" id=\"counts\">";
        html += "<li class=\"legend\"><span class=\"changed\">" +
                std::to_string(count(WIDE("C"), WIDE(" "))) + " changed" + "</span></li>";
        html += "<li class=\"legend\"><span class=\"only-old\">" +
                std::to_string(count(WIDE("D"), WIDE(" "))) + " only in " +
                EscapeHtml(input_.oldName) + "</span></li>";
        html += "<li class=\"legend\"><span class=\"only-new\">" +
                std::to_string(count(WIDE("A"), WIDE(" "))) + " only in " +
                EscapeHtml(input_.newName) + "</span></li>";
        html += "<li class=\"legend\"><span class=\"moved\">" +
                std::to_string(count(WIDE("M"), WIDE(" "))) + " moved</span></li>";
        html += "</ul>\n<ul class=\"counts\">";
        html += "<li>items " + std::to_string(count(WIDE(" "), WIDE("T"))) + "</li>";
        html += "<li>attributes " + std::to_string(count(WIDE(" "), WIDE("A"))) + "</li>";
        html += "<li>properties " + std::to_string(count(WIDE(" "), WIDE("P"))) + "</li>";
        html += "<li>DTDATA " + std::to_string(count(WIDE(" "), WIDE("D"))) + "</li>";
        html += "<li>moves " + std::to_string(count(WIDE(" "), WIDE("M"))) + "</li>";
        html += "<li>" + Plural(changes, "record") + "</li></ul>\n";
        html += changes == 0 ? "<p class=\"hint\">The outlines hold the same.</p>\n"
                             : "<p class=\"hint\">Press <kbd>n</kbd> or <kbd>j</kbd> for the next "
                               "change, <kbd>p</kbd> or <kbd>k</kbd> for the previous one. "
                               "<span id=\"position\"></span></p>\n";
        html += "</header>\n";
        return html;
    }

    const DiffPageInput& input_;
    std::vector<DiffRecord> records_;
    std::unordered_map<ItemHandle, ItemHandle> textChanged_;  // OLD item to NEW item
    std::unordered_set<ItemHandle> onlyOld_;
    std::unordered_set<ItemHandle> onlyNew_;
    std::unordered_map<ItemHandle, std::vector<int>> contents_;  // by NEW item
    std::unordered_multimap<ItemHandle, int> moves_;            // by OLD section parent
    std::unordered_set<ItemHandle> changedBelowOld_;
    std::unordered_set<ItemHandle> changedBelowNew_;
    TypeNames types_;
    bool wholePage_ = true;
    int stops_ = 0;
};

// ---- The merge page ------------------------------------------------------------------------

// A conflict or warning comment of the merged outline, where it stands on the page.
struct Note {
    MergeComment comment;
    int number = 0;  // the comment's number; 0 for a "near here" marker, which has none
    ItemHandle item = 0;
    std::string id;  // the row's anchor
};

// Reads the comment in an item's text; false when it holds none.
bool ReadNote(const std::string& text, Note* note) {
    if (!ReadMergeComment(text, &note->comment)) return false;
    const std::string& digits = note->comment.number;
    note->number = digits.empty() ? 0 : std::atoi(digits.c_str());
    return true;
}

// "App > Mod > Proc": the texts above item, each without the banner the merge gave it.
std::string PlainPath(OutlineHandle outline, ItemHandle item) {
    std::vector<std::string> pieces;
    for (ItemHandle at = item; at != 0; at = GetParentItem(outline, at)) {
        std::string text = StoredText(outline, at);
        MergeComment comment;
        pieces.push_back(ReadMergeComment(text, &comment) ? comment.ownText : text);
    }
    std::string path;
    for (auto piece = pieces.rbegin(); piece != pieces.rend(); ++piece) {
        path += (path.empty() ? "" : " > ") + *piece;
    }
    return path;
}

class MergePage {
public:
    explicit MergePage(const MergePageInput& input) : input_(input) {}

    std::string Build() {
        FindNotes();
        long limit = kLargestWholePage;
        wholePage_ = CountVisibleBelow(input_.merged, GetRootItem(input_.merged), limit) <= limit;
        std::string tree = BuildTree();
        return AssemblePage("norvex merge " + input_.baseName + " " + input_.version1Name + " " +
                                input_.version2Name,
                            Header() + "<main>\n" + tree + "</main>\n");
    }

private:
    // 1. Every comment the merge wrote, in outline order, each with its anchor.
    void FindNotes() {
        OutlineHandle outline = input_.merged;
        std::vector<ItemHandle> pending = {GetRootItem(outline)};
        std::unordered_map<std::string, int> seen;
        int nearCount = 0;
        while (!pending.empty()) {
            ItemHandle item = pending.back();
            pending.pop_back();
            std::vector<ItemHandle> children = VisibleChildren(outline, item);
            pending.insert(pending.end(), children.rbegin(), children.rend());
            Note note;
            if (item == 0 || !ReadNote(StoredText(outline, item), &note)) continue;
            note.item = item;
            if (note.number == 0) {
                note.id = "near-" + std::to_string(++nearCount);
            } else {
                std::string base = (note.comment.conflict ? "conflict-" : "warning-") +
                                   std::to_string(note.number);
                int copies = ++seen[base];
                note.id = copies == 1 ? base : base + "-" + std::to_string(copies);
            }
            noteOf_[item] = notes_.size();
            notes_.push_back(note);
            for (ItemHandle at = GetParentItem(outline, item); at != 0;
                 at = GetParentItem(outline, at)) {
                if (!notedBelow_.insert(at).second) break;
            }
        }
    }

    // 2. The tree: rows open above every comment, folded elsewhere.
    std::string BuildTree() {
        struct Frame {
            std::vector<ItemHandle> items;  // 0 stands for a summary row, texts in summaries
            std::vector<std::string> summaries;
            size_t next = 0;
        };
        OutlineHandle outline = input_.merged;
        PageTree tree;
        std::vector<Frame> frames(1);
        frames[0].items.push_back(GetRootItem(outline));
        frames[0].summaries.emplace_back();
        while (!frames.empty()) {
            Frame& frame = frames.back();
            if (frame.next == frame.items.size()) {
                frames.pop_back();
                continue;
            }
            size_t at = frame.next++;
            ItemHandle item = frame.items[at];
            PageRow row;
            row.depth = static_cast<int>(frames.size()) - 1;
            if (item == 0) {
                row.classes = "folded-run";
                row.contentHtml = "<span class=\"cell\">" + EscapeHtml(frame.summaries[at]) + "</span>";
                tree.Add(row);
                continue;
            }
            Frame below = ChildFrame<Frame>(item);
            row.hasChildren = !below.items.empty();
            row.open = notedBelow_.count(item) != 0 || item == GetRootItem(outline);
            Show(item, &row);
            tree.Add(row);
            if (row.hasChildren) frames.push_back(std::move(below));
        }
        return tree.Finish();
    }

    template <typename Frame>
    Frame ChildFrame(ItemHandle item) const {
        OutlineHandle outline = input_.merged;
        long limit = kLargestShownUnchanged;
        Frame frame;
        if (!HasVisibleChildren(outline, item)) return frame;
        auto summarize = [&](const std::string& text) {
            frame.items.push_back(0);
            frame.summaries.push_back(text);
        };
        // The top item always lists its children, so a page is never a single row.
        bool noted = notedBelow_.count(item) != 0 || item == GetRootItem(outline);
        if (!noted && !wholePage_) return frame;  // the row gives their count
        if (!noted && CountVisibleBelow(outline, item, limit) > limit) {
            summarize(Plural(CountVisibleBelow(outline, item, kNoLimit), "item"));
            return frame;
        }
        std::vector<ItemHandle> children = VisibleChildren(outline, item);
        auto quiet = [&](ItemHandle child) {
            return noteOf_.count(child) == 0 && notedBelow_.count(child) == 0;
        };
        auto keep = [&](size_t from, size_t to) {
            for (size_t m = from; m < to; ++m) {
                frame.items.push_back(children[m]);
                frame.summaries.emplace_back();
            }
        };
        size_t k = 0;
        while (k < children.size()) {
            size_t end = k;
            while (end < children.size() && quiet(children[end])) ++end;
            size_t runLimit = wholePage_ ? static_cast<size_t>(kLargestShownUnchanged)
                                         : 2 * kContextRows + 1;
            if (end - k > runLimit) {
                keep(k, k + kContextRows);
                long hidden = 0;
                for (size_t m = k + kContextRows; m < end - kContextRows; ++m) {
                    hidden += 1 + CountVisibleBelow(outline, children[m], kNoLimit);
                }
                summarize(Plural(hidden, "item"));
                keep(end - kContextRows, end);
            } else {
                keep(k, end);
            }
            if (end < children.size()) keep(end, end + 1);
            k = end + 1;
        }
        return frame;
    }

    void Show(ItemHandle item, PageRow* row) {
        OutlineHandle outline = input_.merged;
        std::string type = types_.Of(GetItemType(outline, item));
        auto found = noteOf_.find(item);
        if (found == noteOf_.end()) {
            std::string count;
            if (!wholePage_ && !row->hasChildren && HasVisibleChildren(outline, item)) {
                count = Badge(Plural(CountVisibleBelow(outline, item, kNoLimit), "item") + " below");
            }
            row->contentHtml = Cell("merged", type, EscapeHtml(StoredText(outline, item)) + count);
            return;
        }
        const Note& note = notes_[found->second];
        bool conflict = note.comment.conflict;
        row->classes = conflict ? "conflict" : "warning";
        row->stop = true;
        row->id = note.id;
        std::string badge = note.number == 0 ? (conflict ? "conflict marker" : "warning")
                                             : std::string(conflict ? "conflict " : "warning ") +
                                                   std::to_string(note.number);
        row->contentHtml = Cell("merged", type,
                                EscapeHtml(note.comment.ownText) + "<span class=\"banner\">" +
                                    EscapeHtml(note.comment.banner) + "</span>" + Badge(badge));
    }

    // The text a version gives a conflict: its copy's own text, or that it deleted the item.
    std::string VersionText(const std::vector<const Note*>& group, int source, bool* found) const {
        for (const Note* note : group) {
            if (note->comment.source != source) continue;
            *found = true;
            return note->comment.deleted ? std::string() : note->comment.ownText;
        }
        *found = false;
        return std::string();
    }

    std::string ConflictEntry(const std::vector<const Note*>& group) const {
        const Note& first = *group.front();
        OutlineHandle outline = input_.merged;
        std::string path = PlainPath(outline, GetParentItem(outline, first.item));
        if (GetItemType(outline, first.item) != kCommentItemType && !first.comment.ownText.empty()) {
            path += " > " + first.comment.ownText;
        }
        std::string html = "<li><a href=\"#" + first.id + "\">Conflict " +
                           std::to_string(first.number) + "</a> " +
                           EscapeHtml(SummarizeMergeMessage(first.comment.message)) + " at " + EscapeHtml(path);
        bool has1 = false, has2 = false;
        std::string text1 = VersionText(group, 1, &has1), text2 = VersionText(group, 2, &has2);
        if (has1 || has2) {
            WordDiff words = DiffWords(text1, text2);
            std::string label1 = "version 1", label2 = "version 2";
            bool deleted1 = false, deleted2 = false;
            for (const Note* note : group) {
                if (note->comment.source == 1) {
                    label1 = note->comment.sourceLabel;
                    deleted1 = note->comment.deleted;
                }
                if (note->comment.source == 2) {
                    label2 = note->comment.sourceLabel;
                    deleted2 = note->comment.deleted;
                }
            }
            html += "<div class=\"versions\"><div class=\"label\">" + EscapeHtml(label1) +
                    "</div><div class=\"label\">" + EscapeHtml(label2) + "</div>";
            html += "<div class=\"version1\">" + (deleted1 ? "(deleted)" : words.oldHtml) + "</div>";
            html += "<div class=\"version2\">" + (deleted2 ? "(deleted)" : words.newHtml) + "</div>";
            html += "</div>";
        }
        return html + "</li>\n";
    }

    std::string Header() const {
        std::string html = "<body class=\"merge\">\n<header>\n<h1>norvex merge " +
                           EscapeHtml(input_.baseName) + " " + EscapeHtml(input_.version1Name) +
                           " " + EscapeHtml(input_.version2Name) + "</h1>\n";
        html += "<ul class=\"counts\" id=\"counts\"><li>merged into " +
                EscapeHtml(input_.outputName) + "</li><li class=\"legend\"><span class=\"conflict\">" +
                Plural(input_.conflicts, "conflict") +
                "</span></li><li class=\"legend\"><span class=\"warning\">" +
                Plural(input_.warnings, "warning") + "</span></li></ul>\n";
        // Conflicts by number, in the order their first comment stands.
        std::vector<int> order;
        std::unordered_map<int, std::vector<const Note*>> groups;
        std::string warnings, markers;
        for (const Note& note : notes_) {
            if (note.comment.conflict && note.number > 0) {
                if (groups[note.number].empty()) order.push_back(note.number);
                groups[note.number].push_back(&note);
            } else if (!note.comment.conflict) {
                warnings += "<li><a href=\"#" + note.id + "\">Warning " +
                            std::to_string(note.number) + "</a> " + EscapeHtml(note.comment.message) +
                            "</li>\n";
            } else {
                markers += "<li><a href=\"#" + note.id + "\">Marker</a> at " +
                           EscapeHtml(PlainPath(input_.merged, GetParentItem(input_.merged, note.item))) +
                           ": " + EscapeHtml(note.comment.message) + "</li>\n";
            }
        }
        if (!order.empty()) {
            html += "<h2>Conflicts</h2>\n<ol class=\"notes-list\" id=\"conflicts\">\n";
            for (int number : order) html += ConflictEntry(groups[number]);
            html += "</ol>\n";
        }
        if (!markers.empty()) {
            html += "<h2>Conflict markers</h2>\n<ul class=\"notes-list\" id=\"markers\">\n" +
                    markers + "</ul>\n";
        }
        if (!warnings.empty()) {
            html += "<h2>Warnings</h2>\n<ol class=\"notes-list\" id=\"warnings\">\n" + warnings +
                    "</ol>\n";
        }
        html += notes_.empty() ? "<p class=\"hint\">The merge is clean.</p>\n"
                               : "<p class=\"hint\">Press <kbd>n</kbd> or <kbd>j</kbd> for the "
                                 "next comment, <kbd>p</kbd> or <kbd>k</kbd> for the previous one. "
                                 "<span id=\"position\"></span></p>\n";
        html += "</header>\n";
        return html;
    }

    const MergePageInput& input_;
    std::vector<Note> notes_;
    std::unordered_map<ItemHandle, size_t> noteOf_;
    std::unordered_set<ItemHandle> notedBelow_;
    TypeNames types_;
    bool wholePage_ = true;
};

}  // namespace

bool WriteDiffPage(const std::string& path, const DiffPageInput& input, std::string* error) {
    DiffPage page(input);
    return WritePageFile(path, page.Build(), error);
}

bool WriteMergePage(const std::string& path, const MergePageInput& input, std::string* error) {
    MergePage page(input);
    return WritePageFile(path, page.Build(), error);
}
