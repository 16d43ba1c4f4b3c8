// cli/diff_page.cpp: the diff page, built from the outlines and the compare list's records.
//
// The page is one tree of rows, each row an item of OLD beside its partner in NEW. The compare
// list names only what changed, so the pairs of each section are rebuilt the way the
// comparison ranks them: leave out the items only one side has and the ignored ones, and the
// rest pair in order, rank for rank, except inside the runs that a move record names: a loaded
// move record names the run's first item in NEW and in OLD, and the following items of the
// run pair rank for rank after them. Rows stand in NEW's order; an item only in OLD stands
// after the row of the item before it in OLD.
#include "cli/diff_page.h"

#include <cstdlib>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "cli/html_page.h"
#include "cli/merge_comments.h"
#include "cli/outline_view.h"
#include "cli/page_cells.h"
#include "cli/page_folding.h"
#include "include/norvex63.h"
#include "platform/platform.h"

namespace {

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

struct DiffRecord {
    char change = '.';
    char subject = ' ';
    int32_t value = 0;
    ItemHandle newItem = 0;  // the record's side-1 item
    ItemHandle oldItem = 0;  // its side-2 item
};

enum class RowKind {
    kPaired,
    kOnlyOld,  // an item only OLD has: a change of its own
    kOnlyNew,
    kInsideOld,  // below such an item
    kInsideNew,
    kUnmatchedOld,  // an ignored item, or one the comparison did not reach
    kUnmatchedNew,
    kSummary,  // stands for items left off the page
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
    // Every record, with the items its keys name, indexed by what the rows ask: the changed
    // texts, the items only one side has, the contents by NEW's item, the moves by OLD's
    // section, and every item above a change, so that its row opens.
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

    // The rows of one section pair, in NEW's order (see the top of this file).
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
            row.kind =
                onlyOld_.count(oldItems[k]) != 0 ? RowKind::kOnlyOld : RowKind::kUnmatchedOld;
            after[previousRow].push_back(row);
        }
        std::vector<Row> rows;
        auto placeAfter = [&](int rowIndex) {
            auto found = after.find(rowIndex);
            if (found != after.end())
                rows.insert(rows.end(), found->second.begin(), found->second.end());
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

    // Whether a paired row opens: something below it changed, or it is the top row, which
    // always lists its children, so that a page is never a single row.
    bool IsOpen(const Row& row) const {
        return changedBelowOld_.count(row.oldItem) != 0 ||
               changedBelowNew_.count(row.newItem) != 0 ||
               row.newItem == GetRootItem(input_.newOutline);
    }

    bool IsQuiet(const Row& row) const {
        return row.kind == RowKind::kPaired && !row.moved && textChanged_.count(row.oldItem) == 0 &&
               contents_.count(row.newItem) == 0 && changedBelowOld_.count(row.oldItem) == 0 &&
               changedBelowNew_.count(row.newItem) == 0;
    }

    // A run of more quiet rows than the page shows keeps kContextRows at either end; the
    // count of its middle is of NEW's items.
    std::vector<Row> SummarizeRuns(std::vector<Row> rows) const {
        std::vector<Row> kept;
        for (const FoldedSibling& sibling : FoldQuietRuns(
                 input_.newOutline, rows.size(), wholePage_,
                 [&](size_t k) { return IsQuiet(rows[k]); },
                 [&](size_t k) { return rows[k].newItem; })) {
            kept.push_back(sibling.folded ? SummaryRow(Plural(sibling.itemCount, "unchanged item"))
                                          : rows[sibling.index]);
        }
        return kept;
    }

    Row SummaryRow(const std::string& text) const {
        Row row;
        row.kind = RowKind::kSummary;
        row.summary = text;
        return row;
    }

    // The tree from the pair of top items; a side without one makes the top row one-sided.
    std::string BuildTree() {
        Row top;
        top.oldItem = GetRootItem(input_.oldOutline);
        top.newItem = GetRootItem(input_.newOutline);
        if (top.oldItem == 0) top.kind = RowKind::kOnlyNew;
        if (top.newItem == 0) top.kind = RowKind::kOnlyOld;
        return BuildPageTree(
            top, [this](const Row& row) { return ChildRows(row); },
            [this](const Row& row, bool hasChildren) { return Show(row, hasChildren); });
    }

    std::vector<Row> ChildRows(const Row& row) const {
        OutlineHandle oldOutline = input_.oldOutline, newOutline = input_.newOutline;
        switch (row.kind) {
        case RowKind::kPaired: {
            if (!HasVisibleChildren(oldOutline, row.oldItem) &&
                !HasVisibleChildren(newOutline, row.newItem)) {
                return {};
            }
            switch (ListChildren(newOutline, row.newItem, IsOpen(row), wholePage_)) {
            case ChildListing::kNone: return {};
            case ChildListing::kCounted:
                return {SummaryRow(Plural(CountVisibleBelow(newOutline, row.newItem, kNoLimit),
                                          "unchanged item"))};
            case ChildListing::kEach: return AlignSection(row.oldItem, row.newItem);
            }
            return {};
        }
        case RowKind::kOnlyOld:
        case RowKind::kInsideOld:
        case RowKind::kUnmatchedOld: return SideRows(oldOutline, row.oldItem, true, input_.oldName);
        case RowKind::kOnlyNew:
        case RowKind::kInsideNew:
        case RowKind::kUnmatchedNew:
            return SideRows(newOutline, row.newItem, false, input_.newName);
        case RowKind::kSummary: return {};
        }
        return {};
    }

    // The rows below an item that only one side has (or that the comparison did not pair):
    // each child, or one row that counts them when they are more than the page shows.
    std::vector<Row> SideRows(OutlineHandle outline, ItemHandle item, bool old,
                              const std::string& name) const {
        long limit = kLargestShownUnchanged;
        if (!HasVisibleChildren(outline, item)) return {};
        if (CountVisibleBelow(outline, item, limit) > limit) {
            return {SummaryRow(Plural(CountVisibleBelow(outline, item, kNoLimit), "item") +
                               " only in " + name)};
        }
        // Below an item that one side has alone, every row is of the same kind.
        std::vector<Row> rows;
        for (ItemHandle child : VisibleChildren(outline, item)) {
            Row row;
            row.kind = old ? RowKind::kInsideOld : RowKind::kInsideNew;
            (old ? row.oldItem : row.newItem) = child;
            rows.push_back(row);
        }
        return rows;
    }

    // How a row reads: its cells, its kind's classes and badges, its content changes.
    PageRow Show(const Row& row, bool hasChildren) {
        OutlineHandle oldOutline = input_.oldOutline, newOutline = input_.newOutline;
        PageRow shown;
        std::string notes;
        switch (row.kind) {
        case RowKind::kPaired: {
            std::string oldText = StoredText(oldOutline, row.oldItem);
            std::string newText = StoredText(newOutline, row.newItem);
            std::vector<std::string> kinds;
            std::string oldHtml = EscapeHtml(oldText), newHtml = EscapeHtml(newText), badges;
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
                badges +=
                    Badge(Plural(static_cast<long>(contents->second.size()), "content change"));
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
            shown.open = IsOpen(row);
            badges +=
                BelowBadge(newOutline, row.newItem, hasChildren, wholePage_, "unchanged item");
            shown.contentHtml = Cell("old", TypeOf(oldOutline, row.oldItem), oldHtml) +
                                Cell("new", TypeOf(newOutline, row.newItem), newHtml + badges);
            break;
        }
        case RowKind::kOnlyOld:
        case RowKind::kInsideOld:
        case RowKind::kOnlyNew:
        case RowKind::kInsideNew: {
            bool old = row.kind == RowKind::kOnlyOld || row.kind == RowKind::kInsideOld;
            bool top = row.kind == RowKind::kOnlyOld || row.kind == RowKind::kOnlyNew;
            shown.classes = std::string(top ? "only-" : "inside-") + (old ? "old" : "new");
            shown.stop = top;
            // Contents are listed by NEW's item, so only a row with one can have notes.
            auto contents = old ? contents_.end() : contents_.find(row.newItem);
            if (contents != contents_.end()) notes = ContentNotes(contents->second);
            const std::string& name = old ? input_.oldName : input_.newName;
            std::string badge = top ? Badge("only in " + name) : "";
            shown.contentHtml = OneSidedCells(row, old, badge);
            break;
        }
        case RowKind::kUnmatchedOld:
        case RowKind::kUnmatchedNew:
            shown.classes = "ignored";
            shown.contentHtml =
                OneSidedCells(row, row.kind == RowKind::kUnmatchedOld, Badge("not compared"));
            break;
        case RowKind::kSummary: shown = FoldedRow(row.summary); break;
        }
        shown.hasChildren = hasChildren;
        if (!notes.empty()) shown.contentHtml += "<ul class=\"notes\">" + notes + "</ul>";
        if (shown.stop) shown.id = "change-" + std::to_string(++stops_);
        return shown;
    }

    // The name of an item's type; empty for item 0.
    std::string TypeOf(OutlineHandle outline, ItemHandle item) {
        return item != 0 ? types_.Of(GetItemType(outline, item)) : std::string();
    }

    // The cells of a row that one side has alone: that side's item, its text followed by
    // badges, and an empty cell for the other side.
    std::string OneSidedCells(const Row& row, bool old, const std::string& badges) {
        OutlineHandle outline = old ? input_.oldOutline : input_.newOutline;
        ItemHandle item = old ? row.oldItem : row.newItem;
        std::string cell = Cell(old ? "old" : "new", TypeOf(outline, item),
                                EscapeHtml(StoredText(outline, item)) + badges);
        const std::string blank = "<span class=\"cell empty\"></span>";
        return old ? cell + blank : blank + cell;
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
                    line += "<ins>" +
                            EscapeHtml(Quoted(PropertyValue(newOutline, r.newItem, name))) +
                            "</ins>";
                    if (r.change == 'A') line += " (only in " + EscapeHtml(input_.newName) + ")";
                } else if (r.change == 'D') {
                    line += "<del>" +
                            EscapeHtml(Quoted(PropertyValue(oldOutline, r.oldItem, name))) +
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
                           EscapeHtml(input_.oldName) + " " + EscapeHtml(input_.newName) +
                           "</h1>\n";
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
        html += MoveHint(changes != 0, "change", "The outlines hold the same.");
        html += "</header>\n";
        return html;
    }

    const DiffPageInput& input_;
    std::vector<DiffRecord> records_;
    std::unordered_map<ItemHandle, ItemHandle> textChanged_;  // OLD item to NEW item
    std::unordered_set<ItemHandle> onlyOld_;
    std::unordered_set<ItemHandle> onlyNew_;
    std::unordered_map<ItemHandle, std::vector<int>> contents_;  // by NEW item
    std::unordered_multimap<ItemHandle, int> moves_;             // by OLD section parent
    std::unordered_set<ItemHandle> changedBelowOld_;
    std::unordered_set<ItemHandle> changedBelowNew_;
    TypeNames types_;
    bool wholePage_ = true;
    int stops_ = 0;
};

}  // namespace

bool WriteDiffPage(const std::string& path, const DiffPageInput& input, std::string* error) {
    DiffPage page(input);
    return WritePageFile(path, page.Build(), error);
}
