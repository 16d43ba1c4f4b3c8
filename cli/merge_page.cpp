// cli/merge_page.cpp: the merge page, built from the merged outline and its comments.
#include "cli/merge_page.h"

#include <algorithm>
#include <cstdlib>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "cli/html_page.h"
#include "cli/merge_comments.h"
#include "cli/outline_view.h"
#include "cli/page_cells.h"
#include "cli/page_folding.h"
#include "cli/word_diff.h"

namespace {

// A row of the merge page: an item, or for item 0 a row that stands for folded items.
struct MergeRow {
    ItemHandle item = 0;
    std::string folded;  // the text of a folded row
};

// A conflict or warning comment of the merged outline, where it stands on the page.
struct Note {
    MergeComment comment;
    int number = 0;  // the comment's number; 0 for a "near here" marker, which has none
    ItemHandle item = 0;
    std::string id;  // the row's anchor
    // A marker inside a copy of a numbered conflict: that conflict's number and the copy's
    // source (1 or 2); 0 and -1 elsewhere.
    int owner = 0;
    int ownerSource = -1;
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
    // Every comment the merge wrote, in the order of a walk of the visible items, each with
    // its anchor: the first comment of a number is the target of the list at the top.
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
            if (note.number == 0) FindOwner(&note);
            noteOf_[item] = notes_.size();
            notes_.push_back(note);
            for (ItemHandle at = GetParentItem(outline, item); at != 0;
                 at = GetParentItem(outline, at)) {
                if (!notedBelow_.insert(at).second) break;
            }
        }
    }

    // The numbered conflict whose copy holds a marker: the nearest item above it whose banner
    // names a version's copy. Items above come first in the walk, so their notes are known.
    void FindOwner(Note* marker) const {
        for (ItemHandle at = GetParentItem(input_.merged, marker->item); at != 0;
             at = GetParentItem(input_.merged, at)) {
            auto found = noteOf_.find(at);
            if (found == noteOf_.end()) continue;
            const Note& above = notes_[found->second];
            if (!above.comment.conflict || above.number == 0) continue;
            marker->owner = above.number;
            marker->ownerSource = above.comment.source;
            return;
        }
    }

    // The tree: rows open above every comment, folded elsewhere.
    std::string BuildTree() {
        MergeRow top;
        top.item = GetRootItem(input_.merged);
        return BuildPageTree(
            top, [this](const MergeRow& row) { return ChildRows(row); },
            [this](const MergeRow& row, bool hasChildren) {
                if (row.item == 0) return FoldedRow(row.folded);
                PageRow shown;
                shown.hasChildren = hasChildren;
                shown.open = IsOpen(row.item);
                Show(row.item, &shown);
                return shown;
            });
    }

    // A row opens when a comment stands below it, and the top row always does, so that a page
    // is never a single row.
    bool IsOpen(ItemHandle item) const {
        return notedBelow_.count(item) != 0 || item == GetRootItem(input_.merged);
    }

    // The rows below a row: none, one that counts the items, or each child with its long runs
    // without a comment folded.
    std::vector<MergeRow> ChildRows(const MergeRow& row) const {
        OutlineHandle outline = input_.merged;
        if (row.item == 0 || !HasVisibleChildren(outline, row.item)) return {};
        switch (ListChildren(outline, row.item, IsOpen(row.item), wholePage_)) {
        case ChildListing::kNone: return {};
        case ChildListing::kCounted:
            return {MergeRow{0, Plural(CountVisibleBelow(outline, row.item, kNoLimit), "item")}};
        case ChildListing::kEach: break;
        }
        std::vector<ItemHandle> children = VisibleChildren(outline, row.item);
        auto isQuiet = [&](size_t k) {
            return noteOf_.count(children[k]) == 0 && notedBelow_.count(children[k]) == 0;
        };
        std::vector<MergeRow> rows;
        auto itemAt = [&](size_t k) { return children[k]; };
        for (const FoldedSibling& sibling :
             FoldQuietRuns(outline, children.size(), wholePage_, isQuiet, itemAt)) {
            rows.push_back(sibling.folded ? MergeRow{0, Plural(sibling.itemCount, "item")}
                                          : MergeRow{children[sibling.index], std::string()});
        }
        return rows;
    }

    void Show(ItemHandle item, PageRow* row) {
        OutlineHandle outline = input_.merged;
        std::string type = types_.Of(GetItemType(outline, item));
        auto found = noteOf_.find(item);
        if (found == noteOf_.end()) {
            std::string badge = BelowBadge(outline, item, row->hasChildren, wholePage_, "item");
            row->contentHtml = Cell("merged", type, EscapeHtml(StoredText(outline, item)) + badge);
            return;
        }
        const Note& note = notes_[found->second];
        bool conflict = note.comment.conflict;
        row->classes = conflict ? "conflict" : "warning";
        row->stop = true;
        row->id = note.id;
        std::string badge = note.number > 0 ? std::string(conflict ? "conflict " : "warning ") +
                                                  std::to_string(note.number)
                            : note.owner > 0 ? "near here: conflict " + std::to_string(note.owner)
                            : conflict       ? "near here"
                                             : "warning";
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
        const std::string& ownText = first.comment.ownText;
        if (GetItemType(outline, first.item) != kCommentItemType && !ownText.empty()) {
            path += " > " + ownText;
        }
        std::string html =
            "<li><a href=\"#" + first.id + "\">Conflict " + std::to_string(first.number) + "</a> " +
            EscapeHtml(SummarizeMergeMessage(first.comment.message)) + " at " + EscapeHtml(path);
        // The original's text beside each version's, the words a version changed marked.
        bool has0 = false, has1 = false, has2 = false;
        std::string text0 = VersionText(group, 0, &has0);
        std::string text1 = VersionText(group, 1, &has1), text2 = VersionText(group, 2, &has2);
        if (has1 || has2) {
            std::string labels[3] = {"original", "version 1", "version 2"};
            bool deleted[3] = {false, false, false};
            for (const Note* note : group) {
                int source = note->comment.source;
                if (source < 0 || source > 2) continue;
                if (!note->comment.sourceLabel.empty()) labels[source] = note->comment.sourceLabel;
                deleted[source] = note->comment.deleted;
            }
            html += "<div class=\"versions\">";
            for (const std::string& label : labels) {
                html += "<div class=\"label\">" + EscapeHtml(label) + "</div>";
            }
            html += "<div class=\"original\">" +
                    (has0 ? EscapeHtml(text0) : std::string("(not shown)")) + "</div>";
            const std::string* texts[] = {&text1, &text2};
            for (int version = 1; version <= 2; ++version) {
                std::string shown = "(deleted)";
                if (!deleted[version]) {
                    shown.clear();
                    for (const WordRun& run : CompareWords(text0, *texts[version - 1]).newRuns) {
                        shown += run.changed ? "<ins>" + EscapeHtml(run.text) + "</ins>"
                                             : EscapeHtml(run.text);
                    }
                }
                html += "<div class=\"version" + std::to_string(version) + "\">" + shown + "</div>";
            }
            html += "</div>";
        }
        // The places near which the versions' changes clash, each in its copy.
        std::string nearHere;
        for (const Note& note : notes_) {
            if (note.number != 0 || note.owner != first.number) continue;
            nearHere += "<li><a href=\"#" + note.id + "\">near here</a> at " +
                        EscapeHtml(PlainPath(input_.merged, note.item)) +
                        (note.ownerSource > 0
                             ? " (in version " + std::to_string(note.ownerSource) + "&#39;s copy)"
                             : std::string()) +
                        "</li>";
        }
        if (!nearHere.empty()) html += "<ul class=\"near\">" + nearHere + "</ul>";
        return html + "</li>\n";
    }

    std::string Header() const {
        std::string html = "<body class=\"merge\">\n<header>\n<h1>norvex merge " +
                           EscapeHtml(input_.baseName) + " " + EscapeHtml(input_.version1Name) +
                           " " + EscapeHtml(input_.version2Name) + "</h1>\n";
        html += "<ul class=\"counts\" id=\"counts\"><li>merged into " +
                EscapeHtml(input_.outputName) +
                "</li><li class=\"legend\"><span class=\"conflict\">" +
                Plural(input_.conflicts, "conflict") +
                "</span></li><li class=\"legend\"><span class=\"warning\">" +
                Plural(input_.warnings, "warning") + "</span></li></ul>\n";
        // Conflicts by number, in the order their first comment stands.
        std::vector<int> order;
        std::unordered_map<int, std::vector<const Note*>> groups;
        std::unordered_set<int> warningsListed;
        std::string warnings, markers;
        for (const Note& note : notes_) {
            if (note.comment.conflict && note.number > 0) {
                if (groups[note.number].empty()) order.push_back(note.number);
                groups[note.number].push_back(&note);
            } else if (!note.comment.conflict) {
                if (!warningsListed.insert(note.number).second) continue;
                warnings += "<li><a href=\"#" + note.id + "\">Warning " +
                            std::to_string(note.number) + "</a> " +
                            EscapeHtml(note.comment.message) + "</li>\n";
            } else if (note.owner > 0) {
                continue;  // listed under its conflict
            } else {
                markers +=
                    "<li><a href=\"#" + note.id + "\">Marker</a> at " +
                    EscapeHtml(PlainPath(input_.merged, GetParentItem(input_.merged, note.item))) +
                    ": " + EscapeHtml(note.comment.message) + "</li>\n";
            }
        }
        std::sort(order.begin(), order.end());
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
        html += MoveHint(!notes_.empty(), "comment", "The merge is clean.");
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

bool WriteMergePage(const std::string& path, const MergePageInput& input, std::string* error) {
    MergePage page(input);
    return WritePageFile(path, page.Build(), error);
}
