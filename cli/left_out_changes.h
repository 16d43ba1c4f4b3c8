// cli/left_out_changes.h
//
// The changes that the library's rules leave out, found by the command itself so that it can
// name them: everything inside an item of an ignored type or a skipped item below the top item
// (that item included), the top item's own type, skip flag and text, and every difference of
// contents (attributes, named properties, DTDATA at every index) wherever it stands. norvex diff
// lists those that its compare file holds no record of; norvex merge those of a version that its
// result lacks.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/plain_tree.h"

enum class ChangeKind {
    kAdded,     // an item only on the second side, with its subtree
    kRemoved,   // an item only on the first side, with its subtree
    kType,      // the top items' types differ (no other pair differs in type)
    kText,      // a paired item's text
    kSkip,      // a paired item's skip flag
    kMoved,     // a paired item stands after another of its paired siblings than before
    kContents,  // one attribute, named property or DTDATA value of a paired item
    kOrder,     // a merge's result keeps a section's items in another order than the version
    kNeither,   // a merge's result gives an item a text or content entry that neither version has
};

// Which rule leaves the change out.
enum class LeftOutRule {
    kIgnoredType,  // it is, or stands inside, an item of a type that the comparison passes over
    kSkipped,      // it is, or stands inside, a skipped item
    kTopItem,      // the top item's own type, flag or text: the walks start below it
    kContents,     // contents: compared only when asked for, and then not every difference
};

struct LeftOutChange {
    ChangeKind kind = ChangeKind::kText;
    LeftOutRule rule = LeftOutRule::kContents;
    // The item of the ignored type whose rule applies (kIgnoredType), for naming its type.
    int32_t ignoredType = 0;
    // The first side's item that changed or was removed; for an addition, the parent under
    // which it stands. Likewise the second side's item that changed or was added; for a
    // removal, the parent.
    int first = kNoPlainItem;
    int second = kNoPlainItem;
    // kContents: the entry on either side; none where that side lacks it. Two entries with
    // different keys are an attribute renumbered: one id gone, another with its value added.
    std::optional<ContentEntry> firstEntry;
    std::optional<ContentEntry> secondEntry;
    // kNeither without an entry: the item's own field, "type", "text" or "skip flag", and the
    // result's text.
    const char* field = nullptr;
    WideText resultText;
    // kNeither: how many items of one section; above 1, first is the original's section and
    // second version 1's first such item.
    int items = 1;
};

// The changes from first to second that the rules leave out, in first's order (an item's own
// changes, then what lies below it; additions after the children of their parent). Looks
// below paired items only: an item that the comparison itself reports as added or removed
// carries its subtree with it. optionWord decides the ignored types (402 only under
// DIF_OPT_RDFC).
std::vector<LeftOutChange> ListLeftOutChanges(const PlainTree& first, const PlainTree& second,
                                              const TreePairing& pairing, uint32_t optionWord);

// Every difference from first to second under pairing, whatever the rules: items added,
// removed and moved, types, skip flags, texts and contents, in the order ListLeftOutChanges
// gives. Each change's rule is kContents, and means nothing here.
std::vector<LeftOutChange> ListEveryChange(const PlainTree& first, const PlainTree& second,
                                           const TreePairing& pairing);

// What changed, in words: "text changed: \"a\" -> \"b\"", "added (Statement, with 2 items
// below)", "moved: now after \"b\"", "DTDATA 5: 1 -> 2", "attribute 502 renumbered to 503:
// \"x\"".
std::string DescribeChange(const LeftOutChange& change, const PlainTree& first,
                           const PlainTree& second);
// Where it changed, as ItemPath names an item: an addition in second, anything else in first.
std::string ChangePath(const LeftOutChange& change, const PlainTree& first,
                       const PlainTree& second);
// Why the comparison leaves it out, in words: "skipped items are not compared, nor anything
// below them", "DTDATA is compared at index 39 only". optionWord is the comparison's.
std::string DescribeRule(const LeftOutChange& change, uint32_t optionWord);

// Pairs the original, read before the merge, with the merge's result (read with
// ReadMergedTree): the result is the original edited in place, so an item that kept its
// handle is the same item, whatever its text has become. The merge's copies and comments are
// paired as PairTrees pairs.
TreePairing PairWithResult(const PlainTree& original, const PlainTree& merged);

// A change of a version (1 or 2) that a merge's result does not hold, or (0) a difference of
// the result from both versions that neither of them made.
struct UnmergedChange {
    LeftOutChange change;
    int version = 1;
};

// What a version (tree) changed against the original: its items paired with the original's,
// every change, and by original item whether the version changed the order of its children.
// None of it depends on the merge's result, so it may be found while the merge runs.
struct VersionChanges {
    const PlainTree* tree = nullptr;
    TreePairing fromOriginal;
    std::vector<LeftOutChange> changes;
    std::vector<bool> reordered;
};
VersionChanges ListVersionChanges(const PlainTree& original, const PlainTree& version);

// The changes of either version (ListVersionChanges) that merged (the merge's result) does not
// hold, where no conflict of the merge stands at or above the place of the change, version 1's
// first. originalInMerged is PairWithResult's pairing. Of several siblings that share a text,
// the one whose contents stayed is taken for the one that stayed, in the versions and in the
// result alike; elsewhere a version's item and the result's item that stand for one original
// item are taken to be the same. Beside each change on its own, the order of each section is
// looked at whole: where only one version changed it, the result keeps that version's order of
// the items all of them share, and where neither did, the original's (kOrder, first the
// original's section, second the version's first item out of place). Last, each item of the
// result that both versions have, outside conflicts, is to have its type, text, skip flag and
// each content entry from one of them (kNeither, first the original's item, second version 1's,
// firstEntry the result's entry, or the versions' where the result lacks it, or field; the
// version is 0).
std::vector<UnmergedChange> FindUnmergedChanges(const PlainTree& original, VersionChanges version1,
                                                VersionChanges version2, const PlainTree& merged,
                                                const TreePairing& originalInMerged);
