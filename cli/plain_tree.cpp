// cli/plain_tree.cpp: whole outlines read into plain trees, and the pairing of two of them.
//
// The pairing works on one pair of paired parents at a time, so that its cost follows the
// items: each step looks its candidates up in a table built from the second parent's children,
// never by scanning them again for each first-side child.
#include "cli/plain_tree.h"

#include <functional>

#include "cli/merge_comments.h"
#include "cli/outline_view.h"

namespace {

WideText TakeWide(StringHandle string) {
    int32_t length = 0;
    const WCHAR* text = string != 0 ? GetStringText(string, &length) : nullptr;
    WideText result =
        text != nullptr && length > 0 ? WideText(text, static_cast<size_t>(length)) : WideText();
    if (string != 0) FreeString(string);
    return result;
}

WideText WideDecimal(int32_t value) { return WideFromTerminal(std::to_string(value)); }

// The item's contents: attributes, named properties, DTDATA, each kind in the runtime's order.
// The lists are the caller's, made once for the whole tree.
void ReadContents(OutlineHandle outline, ItemHandle item, ListHandle attributes, ListHandle names,
                  std::vector<ContentEntry>* contents) {
    int32_t attributeCount = ListItemAttributes(outline, item, attributes);
    for (int32_t k = 0; k < attributeCount; ++k) {
        ListElement element = 0;
        uint32_t id = 0;
        GetListElement(attributes, &element, k);
        GetAttributeId(element, &id);
        StringHandle value = 0;
        GetItemAttribute(outline, item, id, 0, &value);
        contents->push_back({ContentKind::kAttribute, id, WideText(), TakeWide(value)});
    }
    int32_t propertyCount = ListNamedProperties(outline, item, names);
    for (int32_t k = 0; k < propertyCount; ++k) {
        StringHandle name = 0, value = 0;
        GetListString(names, &name, k);
        WideText nameText = TakeWide(name);
        GetNamedProperty(outline, item, nameText.c_str(), &value);
        contents->push_back({ContentKind::kProperty, 0, nameText, TakeWide(value)});
    }
    int32_t dtdataCount = ListItemDTData(outline, item, nullptr, 0);
    if (dtdataCount <= 0) return;
    std::vector<int32_t> indexes(static_cast<size_t>(dtdataCount));
    ListItemDTData(outline, item, indexes.data(), dtdataCount);
    for (int32_t index : indexes) {
        int32_t value = 0;
        GetItemDTData(outline, item, index, &value);
        contents->push_back({ContentKind::kDTData, index, WideText(), WideDecimal(value)});
    }
}

// Every conflict banner and warning comment of a merge begins so.
const WCHAR kMergeMark[] = WIDE("#### DIFF: ");

// Cuts a conflict banner from the item's text and marks it; a comment item of the merge that
// holds one marks the item before it as well.
void ReadConflictMark(PlainTree* tree, int index) {
    PlainItem& item = tree->items[static_cast<size_t>(index)];
    if (item.text.find(kMergeMark) == WideText::npos) return;
    MergeComment comment;
    if (!ReadMergeComment(TerminalFromWide(item.text), &comment) || !comment.conflict) return;
    item.conflictMarked = true;
    item.text = WideFromTerminal(comment.ownText);
    if (item.type != kCommentItemType || item.parent == kNoPlainItem) return;
    const std::vector<int>& siblings = tree->items[static_cast<size_t>(item.parent)].children;
    // The item is the last child read so far: the one before it is its previous sibling.
    if (siblings.size() >= 2) {
        tree->items[static_cast<size_t>(siblings[siblings.size() - 2])].conflictMarked = true;
    }
}

PlainTree ReadTree(OutlineHandle outline, bool mergedResult) {
    PlainTree tree;
    tree.outline = outline;
    ItemHandle root = GetRootItem(outline);
    if (root == 0) return tree;
    ListHandle attributes = CreateList(OUTLINE_LIST_ATTRIBUTES);
    ListHandle names = CreateList(OUTLINE_LIST_STRINGS);
    // Depth first with a stack of items still to read, children pushed in reverse so that they
    // are read in their order; a chain of any depth costs no recursion.
    struct Pending {
        ItemHandle handle;
        int parent;
    };
    std::vector<Pending> pending = {{root, kNoPlainItem}};
    std::vector<ItemHandle> children;
    // The items are counted first, so that the tree's array is made once, not copied as it grows.
    size_t count = 0;
    for (std::vector<ItemHandle> counting = {root}; !counting.empty();) {
        ItemHandle item = counting.back();
        counting.pop_back();
        ++count;
        for (ItemHandle child = GetFirstChild(outline, item); child != 0;
             child = GetNextSibling(outline, child)) {
            counting.push_back(child);
        }
    }
    tree.items.reserve(count);
    while (!pending.empty()) {
        Pending next = pending.back();
        pending.pop_back();
        int index = static_cast<int>(tree.items.size());
        tree.items.emplace_back();
        PlainItem& item = tree.items.back();
        item.handle = next.handle;
        item.parent = next.parent;
        item.type = GetItemType(outline, next.handle);
        item.skipped = IsItemSkipped(outline, next.handle) != 0;
        StringHandle text = 0;
        GetItemText(outline, next.handle, 0, &text);
        item.text = TakeWide(text);
        ReadContents(outline, next.handle, attributes, names, &item.contents);
        if (next.parent != kNoPlainItem) {
            std::vector<int>& siblings = tree.items[static_cast<size_t>(next.parent)].children;
            item.position = static_cast<int>(siblings.size());
            siblings.push_back(index);
        }
        if (mergedResult) ReadConflictMark(&tree, index);
        children.clear();
        for (ItemHandle child = GetFirstChild(outline, next.handle); child != 0;
             child = GetNextSibling(outline, child)) {
            children.push_back(child);
        }
        for (auto child = children.rbegin(); child != children.rend(); ++child) {
            pending.push_back({*child, index});
        }
    }
    DestroyList(attributes);
    DestroyList(names);
    return tree;
}

}  // namespace

bool SameContentKey(const ContentEntry& a, const ContentEntry& b) {
    return a.kind == b.kind && a.number == b.number && a.name == b.name;
}

PlainTree ReadPlainTree(OutlineHandle outline) { return ReadTree(outline, false); }

PlainTree ReadMergedTree(OutlineHandle outline) { return ReadTree(outline, true); }

std::string PlainPath(const PlainTree& tree, int item) {
    if (item == kNoPlainItem) return "(none)";
    if (tree.sameTextOrdinals.size() != tree.items.size()) {
        tree.sameTextOrdinals.assign(tree.items.size(), 0);
        // A merge's conflict copies stand side by side with one text: their banners tell them
        // apart, so they take no position.
        for (const PlainItem& parent : tree.items) {
            std::unordered_map<WideText, int> counts, seen;
            for (int child : parent.children) {
                const PlainItem& sibling = tree.items[static_cast<size_t>(child)];
                if (!sibling.conflictMarked) ++counts[sibling.text];
            }
            for (int child : parent.children) {
                const PlainItem& sibling = tree.items[static_cast<size_t>(child)];
                if (!sibling.conflictMarked && counts[sibling.text] > 1) {
                    tree.sameTextOrdinals[static_cast<size_t>(child)] = ++seen[sibling.text];
                }
            }
        }
    }
    std::vector<int> chain;
    for (int at = item; at != kNoPlainItem; at = tree.items[static_cast<size_t>(at)].parent) {
        chain.push_back(at);
    }
    std::string path;
    for (auto at = chain.rbegin(); at != chain.rend(); ++at) {
        if (!path.empty()) path += " > ";
        path += PathPiece(TerminalFromWide(tree.items[static_cast<size_t>(*at)].text),
                          tree.sameTextOrdinals[static_cast<size_t>(*at)]);
    }
    return path;
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
    const std::vector<int>& siblings = tree.items[static_cast<size_t>(at.parent)].children;
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
bool SameContents(const std::vector<ContentEntry>& a, const std::vector<ContentEntry>& b) {
    if (a.size() != b.size()) return false;
    for (size_t k = 0; k < a.size(); ++k) {
        if (!SameContentKey(a[k], b[k]) || a[k].value != b[k].value) return false;
    }
    return true;
}

// An item's type and text, and with contents set its contents too.
struct HeadKey {
    int32_t type;
    const WideText* text;
    const std::vector<ContentEntry>* contents = nullptr;
    bool operator==(const HeadKey& other) const {
        return type == other.type && *text == *other.text &&
               (contents == nullptr || SameContents(*contents, *other.contents));
    }
};
struct HeadKeyHash {
    size_t operator()(const HeadKey& key) const {
        size_t hash = std::hash<WideText>()(*key.text) * 31 + static_cast<size_t>(key.type);
        if (key.contents != nullptr) {
            for (const ContentEntry& entry : *key.contents) {
                hash = hash * 131 + std::hash<WideText>()(entry.value) +
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
    Pairer(const PlainTree& first, const PlainTree& second, const PairingHints& hints,
           bool contentsFirst, TreePairing* pairing)
        : first_(first),
          second_(second),
          hints_(hints),
          contentsFirst_(contentsFirst),
          pairing_(*pairing) {
        if (hints.pairs.empty()) return;
        for (size_t j = 0; j < second.items.size(); ++j) {
            secondByHandle_[second.items[j].handle] = static_cast<int>(j);
        }
    }

    // Pairs the children of first item i and second item j; answers the pairs made, in the
    // order of the first side's children.
    void PairChildren(int i, int j, std::vector<std::pair<int, int>>* made) {
        const std::vector<int>& firstChildren = first_.items[static_cast<size_t>(i)].children;
        const std::vector<int>& secondChildren = second_.items[static_cast<size_t>(j)].children;
        if (firstChildren.empty() || secondChildren.empty()) return;
        // Equal type and text (and first, when asked, equal contents too, even before the
        // hints), each first-side child taking the earliest free one. The tables are kept from
        // one pair of parents to the next, so that their room is made once.
        for (bool withContents : {true, false}) {
            if (!withContents) {
                PairHinted(j, firstChildren);
                if (contentsFirst_) PairBetweenPairs(firstChildren, secondChildren);
            }
            if (withContents && !contentsFirst_) continue;
            byHead_.clear();
            for (int child : secondChildren) {
                if (!IsFree(second_, child, pairing_.inFirst, hints_.secondAlone)) continue;
                const PlainItem& item = second_.items[static_cast<size_t>(child)];
                byHead_[{item.type, &item.text, withContents ? &item.contents : nullptr}].push_back(
                    child);
            }
            for (int child : firstChildren) {
                if (!IsFree(first_, child, pairing_.inSecond, hints_.firstAlone)) continue;
                const PlainItem& item = first_.items[static_cast<size_t>(child)];
                auto found =
                    byHead_.find({item.type, &item.text, withContents ? &item.contents : nullptr});
                if (found == byHead_.end() || found->second.Empty()) continue;
                Pair(child, found->second.TakeFront());
            }
        }
        // The rest by type, in order.
        byType_.clear();
        for (int child : secondChildren) {
            if (IsFree(second_, child, pairing_.inFirst, hints_.secondAlone)) {
                byType_[second_.items[static_cast<size_t>(child)].type].push_back(child);
            }
        }
        for (int child : firstChildren) {
            if (!IsFree(first_, child, pairing_.inSecond, hints_.firstAlone)) continue;
            auto found = byType_.find(first_.items[static_cast<size_t>(child)].type);
            if (found == byType_.end() || found->second.Empty()) continue;
            Pair(child, found->second.TakeFront());
        }
        for (int child : firstChildren) {
            int partner = pairing_.inSecond[static_cast<size_t>(child)];
            if (partner != kNoPlainItem) made->push_back({child, partner});
        }
    }

private:
    static bool IsFree(const PlainTree& tree, int item, const std::vector<int>& partners,
                       const std::unordered_set<ItemHandle>& alone) {
        return partners[static_cast<size_t>(item)] == kNoPlainItem &&
               (alone.empty() || alone.count(tree.items[static_cast<size_t>(item)].handle) == 0);
    }

    // The children still without partner that stand between the same two pairs on both sides
    // (or before the first, or after the last) pair there: by type and text, then by type,
    // each in their order. An item whose contents changed stays where it was, and does not
    // take the place of a like sibling further on that another change left free.
    void PairBetweenPairs(const std::vector<int>& firstChildren,
                          const std::vector<int>& secondChildren) {
        std::vector<int> run, gap;
        int lastPlace = -1;  // the place among secondChildren of the last pair's partner
        for (size_t k = 0; k <= firstChildren.size(); ++k) {
            int partner = k < firstChildren.size()
                              ? pairing_.inSecond[static_cast<size_t>(firstChildren[k])]
                              : kNoPlainItem;
            if (k < firstChildren.size() && partner == kNoPlainItem) {
                if (IsFree(first_, firstChildren[k], pairing_.inSecond, hints_.firstAlone)) {
                    run.push_back(firstChildren[k]);
                }
                continue;
            }
            int place = k < firstChildren.size()
                            ? second_.items[static_cast<size_t>(partner)].position
                            : static_cast<int>(secondChildren.size());
            if (!run.empty() && place > lastPlace) {
                gap.clear();
                for (int at = lastPlace + 1; at < place; ++at) {
                    int child = secondChildren[static_cast<size_t>(at)];
                    if (IsFree(second_, child, pairing_.inFirst, hints_.secondAlone)) {
                        gap.push_back(child);
                    }
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
    void PairHinted(int j, const std::vector<int>& firstChildren) {
        if (hints_.pairs.empty()) return;
        for (int child : firstChildren) {
            auto hinted = hints_.pairs.find(first_.items[static_cast<size_t>(child)].handle);
            if (hinted == hints_.pairs.end()) continue;
            auto partner = secondByHandle_.find(hinted->second);
            if (partner == secondByHandle_.end()) continue;
            int candidate = partner->second;
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
    const PairingHints& hints_;
    bool contentsFirst_;
    TreePairing& pairing_;
    std::unordered_map<ItemHandle, int> secondByHandle_;
    std::unordered_map<HeadKey, Queue, HeadKeyHash> byHead_;
    std::unordered_map<int32_t, Queue> byType_;
};

}  // namespace

TreePairing PairTrees(const PlainTree& first, const PlainTree& second, const PairingHints& hints,
                      bool contentsFirst) {
    TreePairing pairing;
    pairing.inSecond.assign(first.items.size(), kNoPlainItem);
    pairing.inFirst.assign(second.items.size(), kNoPlainItem);
    if (first.items.empty() || second.items.empty()) return pairing;
    // The top items always stand for each other, whatever their types.
    pairing.inSecond[0] = 0;
    pairing.inFirst[0] = 0;
    Pairer pairer(first, second, hints, contentsFirst, &pairing);
    std::vector<std::pair<int, int>> pending = {{0, 0}};
    while (!pending.empty()) {
        std::pair<int, int> parents = pending.back();
        pending.pop_back();
        pairer.PairChildren(parents.first, parents.second, &pending);
    }
    return pairing;
}
