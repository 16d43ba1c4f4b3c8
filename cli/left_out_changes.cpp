// cli/left_out_changes.cpp: listing what the rules leave out, and what a merge's result lacks.
#include "cli/left_out_changes.h"

#include <algorithm>
#include <map>
#include <tuple>
#include <unordered_map>
#include <utility>

#include "cli/merge_comments.h"
#include "cli/outline_view.h"
#include "cli/side_by_side.h"
#include "include/norvex63.h"

namespace {

// The one DTDATA index that the library compares and merges.
constexpr int64_t kComparedDTDataIndex = 39;

const PlainItem& At(const PlainTree& tree, int item) {
    return tree.items[static_cast<size_t>(item)];
}

// Whether a change at an item is left out by an ignored type or a skip flag, and by which:
// the outermost such item rules everything below it.
struct Zone {
    bool inside = false;
    LeftOutRule rule = LeftOutRule::kContents;
    int32_t ignoredType = 0;
};

// The zone of an item below parentZone, looking at the item on each side where it exists.
Zone ZoneOf(const Zone& parentZone, const PlainItem* a, const PlainItem* b, uint32_t optionWord) {
    if (parentZone.inside) return parentZone;
    for (const PlainItem* item : {a, b}) {
        if (item != nullptr && IsIgnoredItemType(item->type, optionWord)) {
            return {true, LeftOutRule::kIgnoredType, item->type};
        }
    }
    for (const PlainItem* item : {a, b}) {
        if (item != nullptr && item->skipped) return {true, LeftOutRule::kSkipped, 0};
    }
    return Zone();
}

using ContentKey = std::tuple<int, int64_t, WideView>;

ContentKey KeyOf(const ContentEntry& entry) {
    return ContentKey(static_cast<int>(entry.kind), entry.number, entry.name);
}

// The differences of contents from item a to item b: a's entries in their order (changed,
// removed, or renumbered when an attribute that b adds holds the removed one's value), then
// the entries that only b holds, in b's order.
void ListContentChanges(const PlainItem& a, const PlainItem& b, const LeftOutChange& model,
                        std::vector<LeftOutChange>* changes) {
    if (a.contents.empty() && b.contents.empty()) return;
    // The same entries in the same order differ in nothing: an entry's value is read by its
    // key, so even two entries of one key hold one value.
    if (a.contents.size() == b.contents.size() &&
        std::equal(a.contents.begin(), a.contents.end(), b.contents.begin(),
                   [](const ContentEntry& x, const ContentEntry& y) {
                       return SameContentKey(x, y) && x.value == y.value;
                   })) {
        return;
    }
    std::map<ContentKey, size_t> inFirst, inSecond;
    for (size_t k = 0; k < a.contents.size(); ++k) inFirst[KeyOf(a.contents[k])] = k;
    for (size_t k = 0; k < b.contents.size(); ++k) inSecond[KeyOf(b.contents[k])] = k;
    std::vector<bool> taken(b.contents.size(), false);
    for (size_t k = 0; k < b.contents.size(); ++k) {
        taken[k] = inFirst.count(KeyOf(b.contents[k])) != 0;
    }
    for (const ContentEntry& entry : a.contents) {
        LeftOutChange change = model;
        change.firstEntry = entry;
        auto partner = inSecond.find(KeyOf(entry));
        if (partner != inSecond.end()) {
            if (b.contents[partner->second].value == entry.value) continue;
            change.secondEntry = b.contents[partner->second];
        } else if (entry.kind == ContentKind::kAttribute) {
            for (size_t k = 0; k < b.contents.size(); ++k) {
                const ContentEntry& added = b.contents[k];
                if (!taken[k] && added.kind == ContentKind::kAttribute &&
                    added.value == entry.value) {
                    taken[k] = true;
                    change.secondEntry = added;
                    break;
                }
            }
        }
        changes->push_back(change);
    }
    for (size_t k = 0; k < b.contents.size(); ++k) {
        if (taken[k]) continue;
        LeftOutChange change = model;
        change.secondEntry = b.contents[k];
        changes->push_back(change);
    }
}

class ChangeLister {
public:
    // With every set, every difference counts, as though all of the outline were left out.
    ChangeLister(const PlainTree& first, const PlainTree& second, const TreePairing& pairing,
                 uint32_t optionWord, bool every = false)
        : first_(first), second_(second), pairing_(pairing), optionWord_(optionWord) {
        if (every) everything_ = {true, LeftOutRule::kContents, 0};
    }

    std::vector<LeftOutChange> List() {
        if (first_.items.empty() || second_.items.empty()) return changes_;
        // Depth first over the pairs, with a stack of frames instead of recursion: each frame
        // is a pair and the next of its first-side children to look at.
        struct Frame {
            int i;
            int j;
            Zone zone;
            size_t next;
            int lastPartner;  // the partner of the last paired child looked at
        };
        // The walks of the library start below the top item, whatever its type or flag: only
        // its own type, flag and text are left out.
        ListOwnChanges(0, 0, everything_);
        std::vector<Frame> frames = {{0, 0, everything_, 0, kNoPlainItem}};
        while (!frames.empty()) {
            Frame& frame = frames.back();
            const PlainRun<int>& children = At(first_, frame.i).children;
            if (frame.next < children.size()) {
                int child = children[frame.next++];
                int partner = pairing_.inSecond[static_cast<size_t>(child)];
                if (partner == kNoPlainItem) {
                    Zone zone = ZoneOf(frame.zone, &At(first_, child), nullptr, optionWord_);
                    if (zone.inside) Add(ChangeKind::kRemoved, zone, child, frame.j);
                    continue;
                }
                Zone zone =
                    ZoneOf(frame.zone, &At(first_, child), &At(second_, partner), optionWord_);
                // An item that the library passes over takes no place in its order either: one
                // that follows another paired sibling than before has moved unseen.
                int before = frame.lastPartner;
                frame.lastPartner = partner;
                if (zone.inside &&
                    PreviousPairedSibling(second_, partner, pairing_.inFirst) != before) {
                    Add(ChangeKind::kMoved, zone, child, partner);
                }
                ListOwnChanges(child, partner, zone);
                frames.push_back({child, partner, zone, 0, kNoPlainItem});
                continue;
            }
            for (int child : At(second_, frame.j).children) {
                if (pairing_.inFirst[static_cast<size_t>(child)] != kNoPlainItem) continue;
                Zone zone = ZoneOf(frame.zone, nullptr, &At(second_, child), optionWord_);
                if (zone.inside) Add(ChangeKind::kAdded, zone, frame.i, child);
            }
            frames.pop_back();
        }
        return changes_;
    }

private:
    void Add(ChangeKind kind, const Zone& zone, int i, int j) {
        LeftOutChange change;
        change.kind = kind;
        change.rule = zone.rule;
        change.ignoredType = zone.ignoredType;
        change.first = i;
        change.second = j;
        changes_.push_back(change);
    }

    // The pair's own changes: inside a zone, and for the top items (which no walk of the library
    // compares), its type, skip flag and text; and always its contents.
    void ListOwnChanges(int i, int j, const Zone& zone) {
        const PlainItem& a = At(first_, i);
        const PlainItem& b = At(second_, j);
        Zone headZone = zone;
        if (!zone.inside && i == 0) headZone = {true, LeftOutRule::kTopItem, 0};
        if (headZone.inside) {
            if (a.type != b.type) Add(ChangeKind::kType, headZone, i, j);
            if (a.skipped != b.skipped) Add(ChangeKind::kSkip, headZone, i, j);
            if (a.text != b.text) Add(ChangeKind::kText, headZone, i, j);
        }
        LeftOutChange model;
        model.kind = ChangeKind::kContents;
        model.rule = zone.inside ? zone.rule : LeftOutRule::kContents;
        model.ignoredType = zone.ignoredType;
        model.first = i;
        model.second = j;
        ListContentChanges(a, b, model, &changes_);
    }

    const PlainTree& first_;
    const PlainTree& second_;
    const TreePairing& pairing_;
    uint32_t optionWord_;
    Zone everything_;
    std::vector<LeftOutChange> changes_;
};

std::string Quoted(WideView text) { return "\"" + OneLine(TerminalFromWide(text)) + "\""; }

std::string ItemSummary(const PlainTree& tree, int item) {
    long below = CountPlainBelow(tree, item);
    std::string summary = TypeName(At(tree, item).type);
    if (At(tree, item).skipped) summary += ", skipped";
    if (below > 0) {
        summary += ", with " + std::to_string(below) + (below == 1 ? " item" : " items") + " below";
    }
    return summary;
}

std::string ContentName(const ContentEntry& entry) {
    switch (entry.kind) {
    case ContentKind::kAttribute: return "attribute " + std::to_string(entry.number);
    case ContentKind::kProperty: return "property " + OneLine(TerminalFromWide(entry.name));
    case ContentKind::kDTData: return "DTDATA " + std::to_string(entry.number);
    }
    return std::string();
}

std::string ContentValue(const ContentEntry& entry) {
    return entry.kind == ContentKind::kDTData ? TerminalFromWide(entry.value) : Quoted(entry.value);
}

std::string DescribeContents(const LeftOutChange& change) {
    if (!change.firstEntry) {
        return ContentName(*change.secondEntry) + " added: " + ContentValue(*change.secondEntry);
    }
    if (!change.secondEntry) {
        return ContentName(*change.firstEntry) + " removed: " + ContentValue(*change.firstEntry);
    }
    if (!SameContentKey(*change.firstEntry, *change.secondEntry)) {
        return ContentName(*change.firstEntry) + " renumbered to " +
               std::to_string(change.secondEntry->number) + ": " +
               ContentValue(*change.secondEntry);
    }
    return ContentName(*change.firstEntry) + ": " + ContentValue(*change.firstEntry) + " -> " +
           ContentValue(*change.secondEntry);
}

}  // namespace

std::vector<LeftOutChange> ListLeftOutChanges(const PlainTree& first, const PlainTree& second,
                                              const TreePairing& pairing, uint32_t optionWord) {
    return ChangeLister(first, second, pairing, optionWord).List();
}

std::vector<LeftOutChange> ListEveryChange(const PlainTree& first, const PlainTree& second,
                                           const TreePairing& pairing) {
    return ChangeLister(first, second, pairing, 0, true).List();
}

std::string DescribeChange(const LeftOutChange& change, const PlainTree& first,
                           const PlainTree& second) {
    switch (change.kind) {
    case ChangeKind::kAdded: return "added (" + ItemSummary(second, change.second) + ")";
    case ChangeKind::kRemoved: return "removed (" + ItemSummary(first, change.first) + ")";
    case ChangeKind::kType:
        return "type changed: " + TypeName(At(first, change.first).type) + " -> " +
               TypeName(At(second, change.second).type);
    case ChangeKind::kText:
        return "text changed: " + Quoted(At(first, change.first).text) + " -> " +
               Quoted(At(second, change.second).text);
    case ChangeKind::kSkip:
        return At(second, change.second).skipped ? "now skipped" : "no longer skipped";
    case ChangeKind::kMoved: {
        const PlainItem& moved = At(second, change.second);
        if (moved.position == 0) return "moved: now first";
        int before = At(second, moved.parent).children[static_cast<size_t>(moved.position - 1)];
        return "moved: now after " + Quoted(At(second, before).text);
    }
    case ChangeKind::kContents: return DescribeContents(change);
    case ChangeKind::kNeither:
        if (change.items > 1) {
            const PlainItem& from = At(second, change.second);
            return std::to_string(change.items) +
                   " of its items hold a text or content entry from neither version, from its "
                   "item " +
                   std::to_string(from.position + 1) + " " + Quoted(from.text) + " on";
        }
        if (!change.firstEntry) {
            return std::string("the result's ") + change.field +
                   (change.field == std::string("text") ? " " + Quoted(change.resultText) : "") +
                   " is in neither version";
        }
        return "the result's " + ContentName(*change.firstEntry) + " is in neither version";
    case ChangeKind::kOrder: {
        const PlainItem& outOfPlace = At(second, change.second);
        return "order of its items not kept, from its item " +
               std::to_string(outOfPlace.position + 1) + " " + Quoted(outOfPlace.text) + " on";
    }
    }
    return std::string();
}

std::string ChangePath(const LeftOutChange& change, const PlainTree& first,
                       const PlainTree& second) {
    return change.kind == ChangeKind::kAdded ? PlainPath(second, change.second)
                                             : PlainPath(first, change.first);
}

std::string DescribeRule(const LeftOutChange& change, uint32_t optionWord) {
    switch (change.rule) {
    case LeftOutRule::kIgnoredType:
        return "type " + std::to_string(change.ignoredType) +
               " is not compared, nor anything below it";
    case LeftOutRule::kSkipped: return "skipped items are not compared, nor anything below them";
    case LeftOutRule::kTopItem: return "the top item's own type, flag and text are not compared";
    case LeftOutRule::kContents: break;
    }
    const ContentEntry& entry = change.firstEntry ? *change.firstEntry : *change.secondEntry;
    bool oneSide = !change.firstEntry || !change.secondEntry ||
                   !SameContentKey(*change.firstEntry, *change.secondEntry);
    switch (entry.kind) {
    case ContentKind::kAttribute:
        if ((optionWord & DIF_OPT_ATTRIBUTES) == 0) {
            return "attributes are compared only with --attributes or --all";
        }
        if (oneSide) return "an attribute that only one side has makes no record";
        break;
    case ContentKind::kProperty:
        if ((optionWord & DIF_OPT_PROPERTIES) == 0) {
            return "named properties are compared only with --properties or --all";
        }
        break;
    case ContentKind::kDTData:
        if ((optionWord & DIF_OPT_DTDATA) == 0) {
            return "DTDATA is compared only with --dtdata or --all";
        }
        if (entry.number != kComparedDTDataIndex) return "DTDATA is compared at index 39 only";
        if (oneSide) return "a DTDATA value that only one side has makes no record";
        break;
    }
    return "the comparison makes no record of it";
}

namespace {

// Whether the merged result holds what a version's change made: the version's item (or, for
// a removal, the original's item gone), with what the change gave it.
class ResultCheck {
public:
    ResultCheck(const PlainTree& original, const PlainTree& version, const PlainTree& merged,
                const TreePairing& originalInMerged, const TreePairing& versionInMerged)
        : original_(original),
          version_(version),
          merged_(merged),
          originalInMerged_(originalInMerged),
          versionInMerged_(versionInMerged),
          underConflict_(merged.items.size(), false) {
        // Parents come before their children in a plain tree.
        for (size_t m = 0; m < merged.items.size(); ++m) {
            int parent = merged.items[m].parent;
            underConflict_[m] =
                merged.items[m].conflictMarked ||
                (parent != kNoPlainItem && underConflict_[static_cast<size_t>(parent)]);
        }
    }

    bool Holds(const LeftOutChange& change) const {
        if (change.kind == ChangeKind::kRemoved) {
            // The result's section holds fewer items like it (type, text and contents) than
            // the original's did: which of several alike the merge took away is not asked,
            // since it may have paired them by place and moved their contents along. An item
            // with contents is known by them too: where as many items of its type hold them as
            // before, the merge kept it under another text (and gave another item's place up).
            const PlainItem& removed = At(original_, change.first);
            int m = originalInMerged_.inSecond[static_cast<size_t>(removed.parent)];
            if (m == kNoPlainItem) return true;
            if (!removed.contents.empty() &&
                CountAlike(merged_, m, removed, false) >=
                    CountAlike(original_, removed.parent, removed, false)) {
                return false;
            }
            return CountAlike(merged_, m, removed) < CountAlike(original_, removed.parent, removed);
        }
        int m = versionInMerged_.inSecond[static_cast<size_t>(change.second)];
        if (m == kNoPlainItem) return false;
        const PlainItem& want = At(version_, change.second);
        const PlainItem& have = At(merged_, m);
        switch (change.kind) {
        case ChangeKind::kAdded: return SubtreesEqual(version_, change.second, merged_, m);
        case ChangeKind::kType: return have.type == want.type;
        case ChangeKind::kText: return have.text == want.text;
        case ChangeKind::kSkip: return have.skipped == want.skipped;
        case ChangeKind::kMoved: {
            // The result's item follows the item that stands for the one it follows in the
            // version, among the siblings that both have.
            int versionBefore =
                PreviousPairedSibling(version_, change.second, versionInMerged_.inSecond);
            int mergedBefore = PreviousPairedSibling(merged_, m, versionInMerged_.inFirst);
            return versionBefore ==
                   (mergedBefore == kNoPlainItem
                        ? kNoPlainItem
                        : versionInMerged_.inFirst[static_cast<size_t>(mergedBefore)]);
        }
        case ChangeKind::kContents: return HoldsContents(change, have);
        case ChangeKind::kRemoved:
        case ChangeKind::kOrder:
        case ChangeKind::kNeither: break;
        }
        return false;
    }

    // The children of parent in tree with the type, text (unless not sameText) and contents
    // of like, outside conflicts.
    int CountAlike(const PlainTree& tree, int parent, const PlainItem& like,
                   bool sameText = true) const {
        int count = 0;
        for (int child : At(tree, parent).children) {
            const PlainItem& item = At(tree, child);
            if (&tree == &merged_ && underConflict_[static_cast<size_t>(child)]) continue;
            if (item.type != like.type || (sameText && item.text != like.text) ||
                item.contents.size() != like.contents.size()) {
                continue;
            }
            bool same = true;
            for (size_t k = 0; same && k < item.contents.size(); ++k) {
                same = SameContentKey(item.contents[k], like.contents[k]) &&
                       item.contents[k].value == like.contents[k].value;
            }
            count += same ? 1 : 0;
        }
        return count;
    }

    // A conflict stands at or above the nearest item of the change's place that the result
    // has, seen from the version's side or from the original's.
    bool UnderConflict(int m) const { return underConflict_[static_cast<size_t>(m)]; }

    bool NamedByConflict(const LeftOutChange& change) const {
        return Covered(version_, versionInMerged_.inSecond, change.second) ||
               Covered(original_, originalInMerged_.inSecond, change.first);
    }

private:
    // The version's entry is in the result with its value, and an entry that the version no
    // longer has under a key is gone from it.
    static bool HoldsContents(const LeftOutChange& change, const PlainItem& have) {
        const ContentEntry* kept = nullptr;
        const ContentEntry* dropped = nullptr;
        for (const ContentEntry& entry : have.contents) {
            if (change.secondEntry && SameContentKey(entry, *change.secondEntry)) kept = &entry;
            if (change.firstEntry && SameContentKey(entry, *change.firstEntry)) dropped = &entry;
        }
        if (change.secondEntry && (kept == nullptr || kept->value != change.secondEntry->value)) {
            return false;
        }
        if (!change.firstEntry) return true;
        bool keyGone =
            !change.secondEntry || !SameContentKey(*change.firstEntry, *change.secondEntry);
        return !(keyGone && dropped != nullptr);
    }

    bool Covered(const PlainTree& tree, const std::vector<int>& inMerged, int item) const {
        for (int at = item; at != kNoPlainItem; at = At(tree, at).parent) {
            int m = inMerged[static_cast<size_t>(at)];
            if (m != kNoPlainItem) return underConflict_[static_cast<size_t>(m)];
        }
        return false;
    }

    const PlainTree& original_;
    const PlainTree& version_;
    const PlainTree& merged_;
    const TreePairing& originalInMerged_;
    const TreePairing& versionInMerged_;
    std::vector<bool> underConflict_;
};

}  // namespace

TreePairing PairWithResult(const PlainTree& original, const PlainTree& merged) {
    // An item of the result with an original item's handle is that item: both lists by handle,
    // walked side by side.
    IndexHints sameItems;
    sameItems.pairs.assign(original.items.size(), kNoPlainItem);
    HandleLookup originalHandles(original), mergedHandles(merged);
    const auto& from = originalHandles.ByHandle();
    const auto& to = mergedHandles.ByHandle();
    for (size_t a = 0, b = 0; a < from.size() && b < to.size();) {
        if (from[a].first < to[b].first) {
            ++a;
        } else if (to[b].first < from[a].first) {
            ++b;
        } else {
            sameItems.pairs[static_cast<size_t>(from[a].second)] = to[b].second;
            ++a;
            ++b;
        }
    }
    return PairTreesByIndex(original, merged, sameItems);
}

namespace {

// One version as the merge check sees it: what it changed against the original, and its items
// paired with the result's.
struct VersionCheck : VersionChanges {
    TreePairing inMerged;
};

VersionCheck CheckVersion(VersionChanges changes, const PlainTree& original,
                          const PlainTree& merged, const TreePairing& originalInMerged) {
    VersionCheck check;
    static_cast<VersionChanges&>(check) = std::move(changes);
    const PlainTree& version = *check.tree;
    IndexHints throughOriginal;
    throughOriginal.pairs.assign(version.items.size(), kNoPlainItem);
    for (size_t i = 0; i < original.items.size(); ++i) {
        int j = check.fromOriginal.inSecond[i];
        int m = originalInMerged.inSecond[i];
        if (j != kNoPlainItem && m != kNoPlainItem) {
            throughOriginal.pairs[static_cast<size_t>(j)] = m;
        }
    }
    check.inMerged = PairTreesByIndex(version, merged, throughOriginal, true);
    return check;
}

// The first of the version's items under versionItem (a section that the original has too)
// that the result does not keep in the version's order, among the items that the original,
// the version and the result share outside conflicts; or kNoPlainItem.
int FirstOutOfOrder(const VersionCheck& check, const PlainTree& merged, int versionItem) {
    const PlainTree& version = *check.tree;
    int m = check.inMerged.inSecond[static_cast<size_t>(versionItem)];
    std::vector<int> inVersion, inResult;
    for (int child : At(version, versionItem).children) {
        int partner = check.inMerged.inSecond[static_cast<size_t>(child)];
        if (check.fromOriginal.inFirst[static_cast<size_t>(child)] != kNoPlainItem &&
            partner != kNoPlainItem && !At(merged, partner).conflictMarked) {
            inVersion.push_back(child);
        }
    }
    for (int child : At(merged, m).children) {
        int partner = check.inMerged.inFirst[static_cast<size_t>(child)];
        if (partner != kNoPlainItem && !At(merged, child).conflictMarked &&
            check.fromOriginal.inFirst[static_cast<size_t>(partner)] != kNoPlainItem) {
            inResult.push_back(partner);
        }
    }
    for (size_t k = 0; k < inVersion.size() && k < inResult.size(); ++k) {
        if (inVersion[k] != inResult[k]) return inVersion[k];
    }
    return kNoPlainItem;
}

// The value of the entry of item under key's key, or none.
std::optional<WideView> EntryValue(const PlainItem& item, const ContentEntry& key) {
    for (const ContentEntry& entry : item.contents) {
        if (SameContentKey(entry, key)) return entry.value;
    }
    return std::nullopt;
}

// The first of the result's fields that neither version's item has: kNeither with no entry
// for the item's own fields, else with the entry (the result's, or a version's where the
// result lacks it); or no change.
std::optional<LeftOutChange> NotFromEither(const PlainItem& result, const PlainItem& one,
                                           const PlainItem& two) {
    LeftOutChange change;
    change.kind = ChangeKind::kNeither;
    auto fromEither = [&](auto field) {
        return field(result) == field(one) || field(result) == field(two);
    };
    if (!fromEither([](const PlainItem& item) { return item.type; })) change.field = "type";
    if (!fromEither([](const PlainItem& item) { return item.text; })) {
        change.field = "text";
        change.resultText = WideText(result.text);
    }
    if (!fromEither([](const PlainItem& item) { return item.skipped; })) {
        change.field = "skip flag";
    }
    if (change.field != nullptr) return change;
    for (const PlainRun<ContentEntry>* entries : {&result.contents, &one.contents, &two.contents}) {
        for (const ContentEntry& entry : *entries) {
            std::optional<WideView> have = EntryValue(result, entry);
            if (have == EntryValue(one, entry) || have == EntryValue(two, entry)) continue;
            change.firstEntry = entry;
            return change;
        }
    }
    return std::nullopt;
}

// The version's changes that the result does not hold and no conflict names, then the
// sections whose order the version had to keep and the result does not.
void AddUnheldChanges(const PlainTree& original, const PlainTree& merged,
                      const TreePairing& originalInMerged, const VersionCheck& check,
                      const VersionCheck& other, int number,
                      std::vector<UnmergedChange>* unmerged) {
    ResultCheck result(original, *check.tree, merged, originalInMerged, check.inMerged);
    std::vector<bool> named(original.items.size(), false);  // sections with a move named
    for (const LeftOutChange& change : check.changes) {
        if (result.Holds(change) || result.NamedByConflict(change)) continue;
        unmerged->push_back({change, number});
        if (change.kind == ChangeKind::kMoved) {
            named[static_cast<size_t>(At(original, change.first).parent)] = true;
        }
    }
    // The order of each section, where the version's order is the one to keep: the other
    // version's when only that one changed it, and where both did, the order merge's.
    for (size_t i = 0; i < original.items.size(); ++i) {
        int j = check.fromOriginal.inSecond[i];
        if (j == kNoPlainItem || At(original, static_cast<int>(i)).children.empty() || named[i] ||
            other.reordered[i] || check.inMerged.inSecond[static_cast<size_t>(j)] == kNoPlainItem) {
            continue;
        }
        int outOfPlace = FirstOutOfOrder(check, merged, j);
        if (outOfPlace == kNoPlainItem) continue;
        LeftOutChange change;
        change.kind = ChangeKind::kOrder;
        change.first = static_cast<int>(i);
        change.second = outOfPlace;
        if (!result.NamedByConflict(change)) unmerged->push_back({change, number});
    }
}

// What the result's item m holds that neither version gave it, or nothing: compared with the
// versions' items of the original item that they see in it. Where the versions' pairings see
// two original items in it (the merge carried one item's text onto another's contents), it is
// to match the versions' items of either.
std::optional<LeftOutChange> HeldFromNeither(const PlainTree& merged, int m,
                                             const VersionCheck (&checks)[2]) {
    int one = checks[0].inMerged.inFirst[static_cast<size_t>(m)];
    int two = checks[1].inMerged.inFirst[static_cast<size_t>(m)];
    if (one == kNoPlainItem || two == kNoPlainItem) return std::nullopt;
    int seenBy1 = checks[0].fromOriginal.inFirst[static_cast<size_t>(one)];
    int seenBy2 = checks[1].fromOriginal.inFirst[static_cast<size_t>(two)];
    if (seenBy1 == kNoPlainItem || seenBy2 == kNoPlainItem) return std::nullopt;
    std::optional<LeftOutChange> change;
    for (int seen : {seenBy1, seenBy2}) {
        int a = checks[0].fromOriginal.inSecond[static_cast<size_t>(seen)];
        int b = checks[1].fromOriginal.inSecond[static_cast<size_t>(seen)];
        if (a == kNoPlainItem || b == kNoPlainItem) continue;
        std::optional<LeftOutChange> found =
            NotFromEither(At(merged, m), At(*checks[0].tree, a), At(*checks[1].tree, b));
        if (!found) return std::nullopt;
        if (!change) {
            change = found;
            change->first = seen;
            change->second = a;
        }
        if (seenBy1 == seenBy2) break;
    }
    return change;
}

}  // namespace

VersionChanges ListVersionChanges(const PlainTree& original, const PlainTree& version) {
    VersionChanges found;
    found.tree = &version;
    if (original.items.empty() || version.items.empty()) return found;
    found.fromOriginal = PairTrees(original, version, PairingHints(), true);
    // Every change of the version is looked for in the result, not only those the rules leave
    // out: where the merge pairs siblings otherwise than the command does (several of one
    // text, told apart by their contents), a change it carried out on another item than the
    // version's is named too.
    found.changes = ListEveryChange(original, version, found.fromOriginal);
    found.reordered.assign(original.items.size(), false);
    for (const LeftOutChange& change : found.changes) {
        if (change.kind == ChangeKind::kMoved) {
            found.reordered[static_cast<size_t>(At(original, change.first).parent)] = true;
        }
    }
    return found;
}

std::vector<UnmergedChange> FindUnmergedChanges(const PlainTree& original, VersionChanges version1,
                                                VersionChanges version2, const PlainTree& merged,
                                                const TreePairing& originalInMerged) {
    std::vector<UnmergedChange> unmerged;
    if (original.items.empty() || version1.tree->items.empty() || version2.tree->items.empty() ||
        merged.items.empty()) {
        return unmerged;
    }
    const PlainTree& firstVersion = *version1.tree;
    VersionCheck checks[2];
    SideBySide(
        [&]() {
            checks[0] = CheckVersion(std::move(version1), original, merged, originalInMerged);
        },
        [&]() {
            checks[1] = CheckVersion(std::move(version2), original, merged, originalInMerged);
        });
    AddUnheldChanges(original, merged, originalInMerged, checks[0], checks[1], 1, &unmerged);
    AddUnheldChanges(original, merged, originalInMerged, checks[1], checks[0], 2, &unmerged);
    // What the result's items hold that neither version gave them, outside conflicts, one line
    // a section.
    ResultCheck result(original, firstVersion, merged, originalInMerged, checks[0].inMerged);
    std::vector<UnmergedChange> neither;
    std::unordered_map<int, size_t> sections;  // the result's section -> its line in neither
    for (size_t m = 0; m < merged.items.size(); ++m) {
        if (originalInMerged.inFirst[m] == kNoPlainItem ||
            result.UnderConflict(static_cast<int>(m))) {
            continue;
        }
        std::optional<LeftOutChange> change = HeldFromNeither(merged, static_cast<int>(m), checks);
        if (!change) continue;
        auto [at, added] = sections.try_emplace(merged.items[m].parent, neither.size());
        if (added) {
            neither.push_back({*change, 0});
        } else {
            LeftOutChange& first = neither[at->second].change;
            // Where the merge shifted a section's texts against their contents, every item of
            // it says so: one line names the section, from its first such item on.
            if (first.items == 1) first.first = At(original, first.first).parent;
            ++first.items;
        }
    }
    unmerged.insert(unmerged.end(), neither.begin(), neither.end());
    return unmerged;
}
