// cli/page_folding.h
//
// Which items a report page shows, for the diff page and the merge page alike: the items that a
// walk of the library sees, how many of them make a page too large to show whole, the folding
// of long runs of quiet siblings into one counted row, and the walk that turns rows into the
// page's tree.
#pragma once

#include <climits>
#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "cli/html_page.h"
#include "runtime/brimrt63.h"

// Up to this many items in the outlines together, every item is on the page: a subtree
// without any change (on the merge page, without any comment) is folded, and only one of more
// than kLargestShownUnchanged items, or the middle of a run of more unchanged siblings than
// that, becomes one row "N unchanged items". Past it the page shows the changes in their
// context, as a diff does: an unchanged subtree is one row with the count of the items below
// it, and a run of unchanged siblings keeps kContextRows at either end of a count. A page of
// a hundred thousand items so stays a page of its changes.
constexpr long kLargestWholePage = 20000;
constexpr long kLargestShownUnchanged = 400;
constexpr size_t kContextRows = 3;

// A limit for CountVisibleBelow that never stops the count.
constexpr long kNoLimit = LONG_MAX;

// The children that a walk of the library sees, in order: skipped items left out. None for
// item 0.
std::vector<ItemHandle> VisibleChildren(OutlineHandle outline, ItemHandle item);
bool HasVisibleChildren(OutlineHandle outline, ItemHandle item);
// The visible items below item, all levels, counted up to limit + 1 at most, so that a huge
// subtree costs no more than a small one to measure.
long CountVisibleBelow(OutlineHandle outline, ItemHandle item, long limit);

// How a page lists the children of a row that has some.
enum class ChildListing {
    kNone,     // not at all: the page is past kLargestWholePage and nothing changed below
    kCounted,  // as one row that counts them: more than kLargestShownUnchanged, none changed
    kEach,     // one row each, long quiet runs folded (FoldQuietRuns)
};
// The listing of item's children, when changedBelow says whether something below it changed
// (or it is the top item, which always lists its children, so that a page is never one row).
ChildListing ListChildren(OutlineHandle outline, ItemHandle item, bool changedBelow,
                          bool wholePage);

// One entry of a folded list of siblings: the sibling at index itself, or, when folded, one row
// for a run of quiet siblings that holds itemCount items (the siblings and all below them).
struct FoldedSibling {
    size_t index = 0;
    bool folded = false;
    long itemCount = 0;
};

// The siblings 0 .. count - 1 as a page lists them, in order. A run of quiet ones longer than
// the page shows (kLargestShownUnchanged on a whole page, else 2 * kContextRows + 1) keeps
// kContextRows at either end and one folded entry for its middle; every other sibling stands
// as itself. itemAt answers the item of a sibling in outline, whose visible items are counted.
std::vector<FoldedSibling> FoldQuietRuns(OutlineHandle outline, size_t count, bool wholePage,
                                         const std::function<bool(size_t)>& isQuiet,
                                         const std::function<ItemHandle(size_t)>& itemAt);

// Builds the page's tree from the top row, depth first with a stack of rows, so that depth
// costs no recursion: childrenOf(row) answers a row's children (std::vector<Row>), and
// show(row, hasChildren) the PageRow it reads as, without its depth. The children are asked
// for before the row is shown, and rows are shown in the tree's pre-order.
template <typename Row, typename ChildrenOf, typename Show>
std::string BuildPageTree(Row top, ChildrenOf childrenOf, Show show) {
    struct Frame {
        std::vector<Row> rows;
        size_t next = 0;
    };
    PageTree tree;
    std::vector<Frame> frames(1);
    frames[0].rows.push_back(std::move(top));
    while (!frames.empty()) {
        Frame& frame = frames.back();
        if (frame.next == frame.rows.size()) {
            frames.pop_back();
            continue;
        }
        Row row = frame.rows[frame.next++];
        std::vector<Row> children = childrenOf(row);
        PageRow shown = show(row, !children.empty());
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
