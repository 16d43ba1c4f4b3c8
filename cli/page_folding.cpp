// cli/page_folding.cpp: which items a report page shows and which it folds into counts.
#include "cli/page_folding.h"

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

ChildListing ListChildren(OutlineHandle outline, ItemHandle item, bool changedBelow,
                          bool wholePage) {
    if (changedBelow) return ChildListing::kEach;
    if (!wholePage) return ChildListing::kNone;  // the row gives their count
    if (CountVisibleBelow(outline, item, kLargestShownUnchanged) > kLargestShownUnchanged) {
        return ChildListing::kCounted;
    }
    return ChildListing::kEach;
}

std::vector<FoldedSibling> FoldQuietRuns(OutlineHandle outline, size_t count, bool wholePage,
                                         const std::function<bool(size_t)>& isQuiet,
                                         const std::function<ItemHandle(size_t)>& itemAt) {
    size_t runLimit =
        wholePage ? static_cast<size_t>(kLargestShownUnchanged) : 2 * kContextRows + 1;
    std::vector<FoldedSibling> listed;
    auto keep = [&listed](size_t from, size_t to) {
        for (size_t m = from; m < to; ++m) {
            FoldedSibling sibling;
            sibling.index = m;
            listed.push_back(sibling);
        }
    };
    // Each sibling is asked once whether it is quiet: a run ends at the first that is not,
    // which then stands as itself.
    size_t k = 0;
    while (k < count) {
        size_t end = k;
        while (end < count && isQuiet(end)) ++end;
        if (end - k > runLimit) {
            keep(k, k + kContextRows);
            FoldedSibling run;
            run.index = k + kContextRows;
            run.folded = true;
            for (size_t m = k + kContextRows; m < end - kContextRows; ++m) {
                run.itemCount += 1 + CountVisibleBelow(outline, itemAt(m), kNoLimit);
            }
            listed.push_back(run);
            keep(end - kContextRows, end);
        } else {
            keep(k, end);
        }
        if (end < count) keep(end, end + 1);
        k = end + 1;
    }
    return listed;
}
