// cli/plain_tree.cpp: whole outlines read into plain trees, and the pairing of two of them.
//
// The pairing works on one pair of paired parents at a time, so that its cost follows the
// items: each step looks its candidates up in a table built from the second parent's children,
// never by scanning them again for each first-side child.
#include "cli/plain_tree.h"

#include <algorithm>
#include <functional>

#include "cli/merge_comments.h"
#include "cli/outline_view.h"

namespace {

// Texts are copied into blocks of this many code units (a longer text takes a block of its own).
constexpr size_t kTextBlockUnits = size_t{1} << 19;

WideView Decimal(int32_t value, PlainTexts* texts) {
    std::string digits = std::to_string(value);
    WCHAR wide[16];
    for (size_t k = 0; k < digits.size(); ++k) wide[k] = static_cast<WCHAR>(digits[k]);
    return texts->Add(wide, digits.size());
}

// The order of the kinds in an item's run of contents.
int KindRank(int32_t kind) {
    switch (kind) {
    case OUTLINE_CONTENT_ATTRIBUTE: return 0;
    case OUTLINE_CONTENT_PROPERTY: return 1;
    default: return 2;
    }
}

// Adds the item's count contents to the tree's array: attributes, named properties, DTDATA,
// each kind in the runtime's order. Names and values are shown where the runtime keeps them,
// which it does until the outline closes, even when the merge sets contents on the outlines it
// reads (a value set again takes new room); a DTDATA value is written out in the tree's own
// room. views is the caller's room, kept for the whole tree.
void ReadContents(OutlineHandle outline, ItemHandle item, int32_t count,
                  std::vector<ContentView>* views, PlainTree* tree) {
    views->resize(static_cast<size_t>(count));
    count = std::min(count, ViewItemContents(outline, item, views->data(), count));
    for (int rank = 0; rank < 3; ++rank) {
        for (int32_t k = 0; k < count; ++k) {
            const ContentView& view = (*views)[static_cast<size_t>(k)];
            if (KindRank(view.kind) != rank) continue;
            ContentEntry entry;
            entry.number = view.number;
            if (view.kind == OUTLINE_CONTENT_ATTRIBUTE) {
                entry.kind = ContentKind::kAttribute;
            } else if (view.kind == OUTLINE_CONTENT_PROPERTY) {
                entry.kind = ContentKind::kProperty;
                entry.name = WideView(view.name, static_cast<size_t>(view.nameLength));
            } else {
                entry.kind = ContentKind::kDTData;
                entry.number = static_cast<int32_t>(view.number);
                entry.value = Decimal(view.dtValue, &tree->texts);
                tree->contentStore.push_back(entry);
                continue;
            }
            entry.value = WideView(view.value, static_cast<size_t>(view.valueLength));
            tree->contentStore.push_back(entry);
        }
    }
}

// Every conflict banner and warning comment of a merge begins so.
const WCHAR kMergeMark[] = WIDE("#### DIFF: ");

// Cuts a conflict banner from the item's text and marks it; a comment item of the merge that
// holds one marks the item before it (previous, its sibling read before it) as well.
void ReadConflictMark(PlainTree* tree, int index, int previous) {
    PlainItem& item = tree->items[static_cast<size_t>(index)];
    if (WideView(item.text).find(kMergeMark) == WideView::npos) return;
    MergeComment comment;
    if (!ReadMergeComment(TerminalFromWide(item.text), &comment) || !comment.conflict) return;
    item.conflictMarked = true;
    WideText ownText = WideFromTerminal(comment.ownText);
    item.text = tree->texts.Add(ownText.data(), ownText.size());
    if (item.type != kCommentItemType || item.parent == kNoPlainItem) return;
    if (previous != kNoPlainItem) tree->items[static_cast<size_t>(previous)].conflictMarked = true;
}

// How many items and contents stand in the subtree of top, counted by a walk in the order the
// items stand, so that a tree's arrays are made at their size instead of copied while they grow.
std::pair<size_t, size_t> CountItems(OutlineHandle outline, ItemHandle top) {
    size_t items = 0, contents = 0;
    std::vector<ItemHandle> nextSiblings;  // of the items above, from the top down
    ItemViewWalk walk(outline);
    for (ItemHandle handle = top; handle != 0;) {
        const ItemView* shown = walk.View(handle);
        if (shown == nullptr) break;
        const ItemView& view = *shown;
        ++items;
        contents += static_cast<size_t>(view.contentCount);
        if (view.firstChild != 0) {
            nextSiblings.push_back(handle == top ? 0 : view.nextSibling);
            handle = view.firstChild;
            continue;
        }
        handle = handle == top ? 0 : view.nextSibling;
        while (handle == 0 && !nextSiblings.empty()) {
            handle = nextSiblings.back();
            nextSiblings.pop_back();
        }
    }
    return {items, contents};
}

PlainTree ReadTree(OutlineHandle outline, bool mergedResult, size_t expectedItems) {
    PlainTree tree;
    tree.outline = outline;
    ItemHandle root = GetRootItem(outline);
    if (root == 0) return tree;
    if (expectedItems == 0) {
        std::pair<size_t, size_t> counts = CountItems(outline, root);
        tree.items.reserve(counts.first);
        tree.contentStore.reserve(counts.second);
    } else {
        tree.items.reserve(expectedItems);
    }
    // The tree shows the item texts in place: they must stay there while it lives.
    HoldOutlineTexts(outline);
    std::vector<ContentView> contentViews;
    // Depth first in the order the items stand: down to the first child, on to the next
    // sibling, back up when a section ends, so that each step asks the runtime about an item
    // next to the one before (a chain of any depth costs no recursion). Each level of the path
    // counts its children, remembers the last one read, and the sibling that follows it.
    struct Level {
        ItemHandle nextSibling;
        int index;
        int children;
        int lastChild;
    };
    std::vector<Level> path;
    ItemViewWalk walk(outline);
    for (ItemHandle handle = root; handle != 0;) {
        int index = static_cast<int>(tree.items.size());
        tree.items.emplace_back();
        PlainItem& item = tree.items.back();
        item.handle = handle;
        int previous = kNoPlainItem;
        if (!path.empty()) {
            Level& up = path.back();
            item.parent = up.index;
            item.position = up.children++;
            previous = up.lastChild;
            up.lastChild = index;
        }
        const ItemView* shown = walk.View(handle);
        ItemView unknown = ItemView();
        const ItemView& view = shown != nullptr ? *shown : unknown;
        item.type = view.type;
        item.skipped = view.skipped != 0;
        item.text = WideView(view.text, static_cast<size_t>(view.textLength));
        // The runs' places are set once every item is read: the arrays still grow.
        size_t contentsBefore = tree.contentStore.size();
        if (view.contentCount > 0) {
            ReadContents(outline, handle, view.contentCount, &contentViews, &tree);
        }
        item.contents = PlainRun<ContentEntry>(nullptr, tree.contentStore.size() - contentsBefore);
        if (mergedResult) {
            item.holdsMergeMark = HoldsMergeMark(item.text.data(), item.text.size());
            ReadConflictMark(&tree, index, previous);
        }
        if (view.firstChild != 0) {
            path.push_back({view.nextSibling, index, 0, kNoPlainItem});
            handle = view.firstChild;
            continue;
        }
        handle = view.nextSibling;
        while (handle == 0 && !path.empty()) {
            Level done = path.back();
            path.pop_back();
            tree.items[static_cast<size_t>(done.index)].children =
                PlainRun<int>(nullptr, static_cast<size_t>(done.children));
            handle = done.nextSibling;
        }
    }
    // Every item but the top one takes one place in its parent's run of children.
    tree.childStore.assign(tree.items.size(), kNoPlainItem);
    size_t childrenTaken = 0, contentsTaken = 0;
    for (PlainItem& item : tree.items) {
        size_t children = item.children.size(), contents = item.contents.size();
        item.children = PlainRun<int>(tree.childStore.data() + childrenTaken, children);
        item.contents = PlainRun<ContentEntry>(tree.contentStore.data() + contentsTaken, contents);
        childrenTaken += children;
        contentsTaken += contents;
    }
    for (size_t k = 1; k < tree.items.size(); ++k) {
        const PlainItem& item = tree.items[k];
        const PlainRun<int>& siblings = tree.items[static_cast<size_t>(item.parent)].children;
        tree.childStore[static_cast<size_t>(siblings.begin() - tree.childStore.data()) +
                        static_cast<size_t>(item.position)] = static_cast<int>(k);
    }
    return tree;
}

}  // namespace

static_assert(sizeof(PlainItem) <= 56, "a tree's item should stay within 56 bytes");
static_assert(sizeof(ContentEntry) <= 40, "a tree's content entry should stay within 40 bytes");

bool SameContentKey(const ContentEntry& a, const ContentEntry& b) {
    return a.kind == b.kind && a.number == b.number && a.name == b.name;
}

WideView PlainTexts::Add(const WCHAR* text, size_t length) {
    if (length == 0) return WideView();
    if (length > room_) {
        size_t units = std::max(kTextBlockUnits, length);
        // Left uninitialised: every unit is written before it is read.
        blocks_.emplace_back(new WCHAR[units]);
        free_ = blocks_.back().get();
        room_ = units;
    }
    std::copy(text, text + length, free_);
    WideView view(free_, length);
    free_ += length;
    room_ -= length;
    return view;
}

PlainTree ReadPlainTree(OutlineHandle outline, size_t expectedItems) {
    return ReadTree(outline, false, expectedItems);
}

PlainTree ReadMergedTree(OutlineHandle outline, size_t expectedItems) {
    return ReadTree(outline, true, expectedItems);
}

void NumberAlikeSiblings(const PlainTree& tree) {
    if (tree.sameTextOrdinals.size() == tree.items.size()) return;
    tree.sameTextOrdinals.assign(tree.items.size(), 0);
    // A merge's conflict copies stand side by side with one text: their banners tell them
    // apart, so they take no position. Each section's children are sorted by a hash of
    // their texts and their place, so that the alike ones stand together in their order
    // (the texts themselves are compared only where hashes meet).
    std::vector<std::pair<size_t, int>> byHash;
    std::vector<std::pair<WideView, int>> byText;
    auto number = [&tree](const std::vector<std::pair<WideView, int>>& run) {
        for (size_t k = 0; k < run.size();) {
            size_t end = k + 1;
            while (end < run.size() && run[end].first == run[k].first) ++end;
            if (end - k > 1) {
                for (size_t n = k; n < end; ++n) {
                    tree.sameTextOrdinals[static_cast<size_t>(run[n].second)] =
                        static_cast<int>(n - k + 1);
                }
            }
            k = end;
        }
    };
    for (const PlainItem& parent : tree.items) {
        if (parent.children.size() < 2) continue;
        byHash.clear();
        for (int child : parent.children) {
            const PlainItem& sibling = tree.items[static_cast<size_t>(child)];
            if (!sibling.conflictMarked) {
                byHash.push_back({std::hash<WideView>()(sibling.text), child});
            }
        }
        std::sort(byHash.begin(), byHash.end());
        for (size_t k = 0; k < byHash.size();) {
            size_t end = k + 1;
            while (end < byHash.size() && byHash[end].first == byHash[k].first) ++end;
            if (end - k > 1) {
                byText.clear();
                for (size_t n = k; n < end; ++n) {
                    int child = byHash[n].second;
                    byText.push_back({tree.items[static_cast<size_t>(child)].text, child});
                }
                // Mostly one text: already in place order. Else texts, then places.
                bool oneText = std::all_of(byText.begin(), byText.end(), [&](const auto& x) {
                    return x.first == byText.front().first;
                });
                if (!oneText) std::sort(byText.begin(), byText.end());
                number(byText);
            }
            k = end;
        }
    }
}

std::string PlainPath(const PlainTree& tree, int item) {
    if (item == kNoPlainItem) return "(none)";
    NumberAlikeSiblings(tree);
    auto piece = [&tree](int at) {
        return PathPiece(TerminalFromWide(tree.items[static_cast<size_t>(at)].text),
                         tree.sameTextOrdinals[static_cast<size_t>(at)]);
    };
    int parent = tree.items[static_cast<size_t>(item)].parent;
    if (parent == kNoPlainItem) return piece(item);
    // Paths are mostly asked in the order of the tree, siblings one after another: the
    // parent's path is kept for the next.
    if (tree.lastParentPath.first != parent) {
        std::vector<int> chain;
        for (int at = parent; at != kNoPlainItem; at = tree.items[static_cast<size_t>(at)].parent) {
            chain.push_back(at);
        }
        std::string path;
        for (auto at = chain.rbegin(); at != chain.rend(); ++at) {
            if (!path.empty()) path += " > ";
            path += piece(*at);
        }
        tree.lastParentPath = {parent, std::move(path)};
    }
    return tree.lastParentPath.second + " > " + piece(item);
}

long CountPlainBelow(const PlainTree& tree, int item) {
    long count = 0;
    std::vector<int> pending = {item};
    while (!pending.empty()) {
        int at = pending.back();
        pending.pop_back();
        for (int child : tree.items[static_cast<size_t>(at)].children) {
            ++count;
            pending.push_back(child);
        }
    }
    return count;
}

int PreviousPairedSibling(const PlainTree& tree, int item, const std::vector<int>& partners) {
    const PlainItem& at = tree.items[static_cast<size_t>(item)];
    if (at.parent == kNoPlainItem) return kNoPlainItem;
    const PlainRun<int>& siblings = tree.items[static_cast<size_t>(at.parent)].children;
    for (int k = at.position - 1; k >= 0; --k) {
        int sibling = siblings[static_cast<size_t>(k)];
        if (partners[static_cast<size_t>(sibling)] != kNoPlainItem) return sibling;
    }
    return kNoPlainItem;
}

bool SubtreesEqual(const PlainTree& first, int firstItem, const PlainTree& second, int secondItem) {
    std::vector<std::pair<int, int>> pending = {{firstItem, secondItem}};
    while (!pending.empty()) {
        const PlainItem& a = first.items[static_cast<size_t>(pending.back().first)];
        const PlainItem& b = second.items[static_cast<size_t>(pending.back().second)];
        pending.pop_back();
        if (a.type != b.type || a.skipped != b.skipped || a.text != b.text ||
            a.children.size() != b.children.size() || a.contents.size() != b.contents.size()) {
            return false;
        }
        for (size_t k = 0; k < a.contents.size(); ++k) {
            if (!SameContentKey(a.contents[k], b.contents[k]) ||
                a.contents[k].value != b.contents[k].value) {
                return false;
            }
        }
        for (size_t k = 0; k < a.children.size(); ++k) {
            pending.push_back({a.children[k], b.children[k]});
        }
    }
    return true;
}

namespace {

// A child's type and text, looked up in a table of the second parent's children.
bool SameContents(const PlainRun<ContentEntry>& a, const PlainRun<ContentEntry>& b) {
    if (a.size() != b.size()) return false;
    for (size_t k = 0; k < a.size(); ++k) {
        if (!SameContentKey(a[k], b[k]) || a[k].value != b[k].value) return false;
    }
    return true;
}

// An item's type and text, and with contents set its contents too.
struct HeadKey {
    int32_t type;
    WideView text;
    const PlainRun<ContentEntry>* contents = nullptr;
    bool operator==(const HeadKey& other) const {
        return type == other.type && text == other.text &&
               (contents == nullptr || SameContents(*contents, *other.contents));
    }
};
struct HeadKeyHash {
    size_t operator()(const HeadKey& key) const {
        size_t hash = std::hash<WideView>()(key.text) * 31 + static_cast<size_t>(key.type);
        if (key.contents != nullptr) {
            for (const ContentEntry& entry : *key.contents) {
                hash = hash * 131 + std::hash<WideView>()(entry.value) +
                       static_cast<size_t>(entry.number);
            }
        }
        return hash;
    }
};

// Second-side children waiting in their order, taken from the front.
class Queue {
public:
    void push_back(int item) { items_.push_back(item); }
    bool Empty() const { return front_ == items_.size(); }
    int TakeFront() { return items_[front_++]; }

private:
    std::vector<int> items_;
    size_t front_ = 0;
};

class Pairer {
public:
    Pairer(const PlainTree& first, const PlainTree& second, const IndexHints& hints,
           bool contentsFirst, TreePairing* pairing)
        : first_(first),
          second_(second),
          hints_(hints),
          contentsFirst_(contentsFirst),
          pairing_(*pairing) {}

    // Pairs the children of first item i and second item j; answers the pairs made, in the
    // order of the first side's children.
    void PairChildren(int i, int j, std::vector<std::pair<int, int>>* made) {
        const PlainRun<int>& firstChildren = first_.items[static_cast<size_t>(i)].children;
        const PlainRun<int>& secondChildren = second_.items[static_cast<size_t>(j)].children;
        if (firstChildren.empty() || secondChildren.empty()) return;
        // Where contents count first, siblings of equal contents pair even before the hints.
        if (!contentsFirst_) PairHinted(j, firstChildren);
        if (!PairedInPlace(firstChildren, secondChildren)) {
            PairByTables(j, firstChildren, secondChildren);
        }
        for (int child : firstChildren) {
            int partner = pairing_.inSecond[static_cast<size_t>(child)];
            if (partner != kNoPlainItem) made->push_back({child, partner});
        }
    }

private:
    bool IsFirstFree(int item) const {
        return pairing_.inSecond[static_cast<size_t>(item)] == kNoPlainItem &&
               (hints_.firstAlone.empty() || hints_.firstAlone[static_cast<size_t>(item)] == 0);
    }
    bool IsSecondFree(int item) const {
        return pairing_.inFirst[static_cast<size_t>(item)] == kNoPlainItem &&
               (hints_.secondAlone.empty() || hints_.secondAlone[static_cast<size_t>(item)] == 0);
    }

    // The common case of two sections alike: as many children, and at each place either two
    // free ones of one type and text (and contents, when those count first) or a pair the
    // hints made already. The tables would pair them place by place, each first-side child
    // taking the earliest free one of its kind: they are paired so without the tables.
    bool PairedInPlace(const PlainRun<int>& firstChildren, const PlainRun<int>& secondChildren) {
        if (firstChildren.size() != secondChildren.size()) return false;
        for (size_t k = 0; k < firstChildren.size(); ++k) {
            int a = firstChildren[k], b = secondChildren[k];
            if (pairing_.inSecond[static_cast<size_t>(a)] == b) continue;
            if (!IsFirstFree(a) || !IsSecondFree(b)) return false;
            const PlainItem& x = first_.items[static_cast<size_t>(a)];
            const PlainItem& y = second_.items[static_cast<size_t>(b)];
            if (x.type != y.type || x.text != y.text) return false;
            if (contentsFirst_ && !SameContents(x.contents, y.contents)) return false;
        }
        for (size_t k = 0; k < firstChildren.size(); ++k) {
            Pair(firstChildren[k], secondChildren[k]);
        }
        return true;
    }

    void PairByTables(int j, const PlainRun<int>& firstChildren,
                      const PlainRun<int>& secondChildren) {
        // Equal type and text (and first, when asked, equal contents too, then the hints and
        // the children between the same pairs), each first-side child taking the earliest free
        // one. The tables are kept from one pair of parents to the next, so that their room is
        // made once.
        for (bool withContents : {true, false}) {
            if (!withContents && contentsFirst_) {
                PairHinted(j, firstChildren);
                PairBetweenPairs(firstChildren, secondChildren);
            }
            if (withContents && !contentsFirst_) continue;
            byHead_.clear();
            for (int child : secondChildren) {
                if (!IsSecondFree(child)) continue;
                const PlainItem& item = second_.items[static_cast<size_t>(child)];
                byHead_[{item.type, item.text, withContents ? &item.contents : nullptr}].push_back(
                    child);
            }
            for (int child : firstChildren) {
                if (!IsFirstFree(child)) continue;
                const PlainItem& item = first_.items[static_cast<size_t>(child)];
                auto found =
                    byHead_.find({item.type, item.text, withContents ? &item.contents : nullptr});
                if (found == byHead_.end() || found->second.Empty()) continue;
                Pair(child, found->second.TakeFront());
            }
        }
        // The rest by type, in order.
        byType_.clear();
        for (int child : secondChildren) {
            if (IsSecondFree(child)) {
                byType_[second_.items[static_cast<size_t>(child)].type].push_back(child);
            }
        }
        for (int child : firstChildren) {
            if (!IsFirstFree(child)) continue;
            auto found = byType_.find(first_.items[static_cast<size_t>(child)].type);
            if (found == byType_.end() || found->second.Empty()) continue;
            Pair(child, found->second.TakeFront());
        }
    }

    // The children still without partner that stand between the same two pairs on both sides
    // (or before the first, or after the last) pair there: by type and text, then by type,
    // each in their order. An item whose contents changed stays where it was, and does not
    // take the place of a like sibling further on that another change left free.
    void PairBetweenPairs(const PlainRun<int>& firstChildren, const PlainRun<int>& secondChildren) {
        std::vector<int> run, gap;
        int lastPlace = -1;  // the place among secondChildren of the last pair's partner
        for (size_t k = 0; k <= firstChildren.size(); ++k) {
            int partner = k < firstChildren.size()
                              ? pairing_.inSecond[static_cast<size_t>(firstChildren[k])]
                              : kNoPlainItem;
            if (k < firstChildren.size() && partner == kNoPlainItem) {
                if (IsFirstFree(firstChildren[k])) run.push_back(firstChildren[k]);
                continue;
            }
            int place = k < firstChildren.size()
                            ? second_.items[static_cast<size_t>(partner)].position
                            : static_cast<int>(secondChildren.size());
            if (!run.empty() && place > lastPlace) {
                gap.clear();
                for (int at = lastPlace + 1; at < place; ++at) {
                    int child = secondChildren[static_cast<size_t>(at)];
                    if (IsSecondFree(child)) gap.push_back(child);
                }
                PairInOrder(run, gap, true);
                PairInOrder(run, gap, false);
            }
            run.clear();
            lastPlace = place;
        }
    }

    // Pairs each free item of run with the first free item of gap of its type (and with
    // sameText, its text), in their order.
    void PairInOrder(const std::vector<int>& run, const std::vector<int>& gap, bool sameText) {
        size_t from = 0;  // gap's items before it are all taken
        for (int item : run) {
            if (pairing_.inSecond[static_cast<size_t>(item)] != kNoPlainItem) continue;
            const PlainItem& mine = first_.items[static_cast<size_t>(item)];
            while (from < gap.size() &&
                   pairing_.inFirst[static_cast<size_t>(gap[from])] != kNoPlainItem) {
                ++from;
            }
            // A bounded look ahead: a gap holds few items where pairs are many around it.
            for (size_t at = from; at < gap.size() && at < from + kGapLookAhead; ++at) {
                const PlainItem& theirs = second_.items[static_cast<size_t>(gap[at])];
                if (pairing_.inFirst[static_cast<size_t>(gap[at])] == kNoPlainItem &&
                    theirs.type == mine.type && (!sameText || theirs.text == mine.text)) {
                    Pair(item, gap[at]);
                    break;
                }
            }
        }
    }

    static constexpr size_t kGapLookAhead = 64;

    // The pairs the hints name, where both items are children of this pair of parents.
    void PairHinted(int j, const PlainRun<int>& firstChildren) {
        if (hints_.pairs.empty()) return;
        for (int child : firstChildren) {
            int candidate = hints_.pairs[static_cast<size_t>(child)];
            if (candidate == kNoPlainItem) continue;
            if (second_.items[static_cast<size_t>(candidate)].parent == j &&
                pairing_.inFirst[static_cast<size_t>(candidate)] == kNoPlainItem &&
                pairing_.inSecond[static_cast<size_t>(child)] == kNoPlainItem) {
                Pair(child, candidate);
            }
        }
    }

    void Pair(int i, int j) {
        pairing_.inSecond[static_cast<size_t>(i)] = j;
        pairing_.inFirst[static_cast<size_t>(j)] = i;
    }

    const PlainTree& first_;
    const PlainTree& second_;
    const IndexHints& hints_;
    bool contentsFirst_;
    TreePairing& pairing_;
    std::unordered_map<HeadKey, Queue, HeadKeyHash> byHead_;
    std::unordered_map<int32_t, Queue> byType_;
};

}  // namespace

HandleLookup::HandleLookup(const PlainTree& tree) {
    sorted_.reserve(tree.items.size());
    for (size_t k = 0; k < tree.items.size(); ++k) {
        sorted_.push_back({tree.items[k].handle, static_cast<int>(k)});
    }
    // An outline as loaded numbers its items in the order of the tree: nothing to sort.
    if (!std::is_sorted(sorted_.begin(), sorted_.end())) std::sort(sorted_.begin(), sorted_.end());
}

int HandleLookup::Find(ItemHandle handle) const {
    auto found = std::lower_bound(sorted_.begin(), sorted_.end(),
                                  std::pair<ItemHandle, int>(handle, kNoPlainItem));
    return found != sorted_.end() && found->first == handle ? found->second : kNoPlainItem;
}

IndexHints ToIndexHints(const PlainTree& first, const PlainTree& second,
                        const PairingHints& hints) {
    IndexHints indexed;
    if (hints.pairs.empty() && hints.firstAlone.empty() && hints.secondAlone.empty()) {
        return indexed;
    }
    HandleLookup inFirst(first), inSecond(second);
    if (!hints.pairs.empty()) {
        indexed.pairs.assign(first.items.size(), kNoPlainItem);
        for (const auto& [from, to] : hints.pairs) {
            int i = inFirst.Find(from);
            if (i != kNoPlainItem) indexed.pairs[static_cast<size_t>(i)] = inSecond.Find(to);
        }
    }
    if (!hints.firstAlone.empty()) {
        indexed.firstAlone.assign(first.items.size(), 0);
        for (ItemHandle handle : hints.firstAlone) {
            int i = inFirst.Find(handle);
            if (i != kNoPlainItem) indexed.firstAlone[static_cast<size_t>(i)] = 1;
        }
    }
    if (!hints.secondAlone.empty()) {
        indexed.secondAlone.assign(second.items.size(), 0);
        for (ItemHandle handle : hints.secondAlone) {
            int j = inSecond.Find(handle);
            if (j != kNoPlainItem) indexed.secondAlone[static_cast<size_t>(j)] = 1;
        }
    }
    return indexed;
}

TreePairing PairTrees(const PlainTree& first, const PlainTree& second, const PairingHints& hints,
                      bool contentsFirst) {
    return PairTreesByIndex(first, second, ToIndexHints(first, second, hints), contentsFirst);
}

TreePairing PairTreesByIndex(const PlainTree& first, const PlainTree& second,
                             const IndexHints& hints, bool contentsFirst) {
    TreePairing pairing;
    pairing.inSecond.assign(first.items.size(), kNoPlainItem);
    pairing.inFirst.assign(second.items.size(), kNoPlainItem);
    if (first.items.empty() || second.items.empty()) return pairing;
    // The top items always stand for each other, whatever their types.
    pairing.inSecond[0] = 0;
    pairing.inFirst[0] = 0;
    Pairer pairer(first, second, hints, contentsFirst, &pairing);
    // Each pair's children are paired on their own, so any order gives the same pairs; the
    // first pair made is taken next, so that the items are visited in the order they stand.
    std::vector<std::pair<int, int>> pending = {{0, 0}}, made;
    while (!pending.empty()) {
        std::pair<int, int> parents = pending.back();
        pending.pop_back();
        made.clear();
        pairer.PairChildren(parents.first, parents.second, &made);
        pending.insert(pending.end(), made.rbegin(), made.rend());
    }
    return pairing;
}
