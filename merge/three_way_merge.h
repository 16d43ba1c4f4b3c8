// merge/three_way_merge.h
//
// The three-way merge: two versions edited from one original are merged into the original,
// which is then saved as the result. The original is edited in memory level by level: each
// level's children are paired with both versions, merged item by item, reordered and given
// the versions' additions. Whatever cannot be merged is written into the result as numbered
// conflict and warning comments (type 188) next to the place concerned, never settled by
// choosing a side.
#pragma once

#include <cstdint>

#include "outline/outline_object.h"
#include "outline/outline_runtime.h"
#include "platform/platform.h"
#include "support/wide_string.h"

// The type of every comment item that the merge inserts.
constexpr int32_t kCommentItemType = 188;
// An original item of this type that one version deleted and the other left as it was stays.
constexpr int32_t kKeptWhenDeletedType = 131;

// The tags of the two versions: the original's pairing arrays (StatusFor, MatchFor), the move
// plan and the conflict banners all number them so.
constexpr int kVersion1 = 1;
constexpr int kVersion2 = 2;

// The pairing's letters as the merge reads them: an original item without partner in a
// version was deleted there, a version item without partner in the original was added.
constexpr WCHAR kStatusDeleted = u'D';
constexpr WCHAR kStatusAdded = u'A';

// Change codes of ApplyChange and AnnotateItem: what becomes of the item, or where its
// banner goes.
constexpr WCHAR kChangeText = u'C';     // the text is set, or shown in a comment after it
constexpr WCHAR kChangeDelete = u'D';   // deleted; its banner alone follows it
constexpr WCHAR kChangeCopy = u'A';     // a version's item is copied after it
constexpr WCHAR kChangeComment = u'R';  // a comment with the text follows it
constexpr WCHAR kChangeOrder = u'M';    // the banner stands as its first child

// Conflict kinds: what conflicts, named in the banner.
constexpr WCHAR kKindText = u'T';
constexpr WCHAR kKindAttribute = u'A';
constexpr WCHAR kKindInherited = u'K';
constexpr WCHAR kKindProperty = u'P';
constexpr WCHAR kKindDTData = u'D';
constexpr WCHAR kKindOrder = u'M';

// Sources of a banner: a "near here" marker, the partially merged original, or a version by
// its tag (kVersion1, kVersion2).
constexpr int32_t kSourceNearHere = -1;
constexpr int32_t kSourceOriginal = 0;

// The attributes of inheritable contents (outline/outline_object.h): a change of any of the
// three is never merged value by value, the item becomes a conflict of inheritable contents. An
// item marked by 430 or 431 is never copied: a conflict shows its text in a comment, and an
// addition of it is left out with warning W002.
// The flag bits that the outline object sets for those two marks when it loads an item.
constexpr uint32_t kInheritanceMarkFlags = kAttribute431Set | kAttribute430Set;

// Where the walk starts on one side: the key that prefixes the children's keys, and the item
// (0 when this side has no such item).
struct MergeNode {
    WCHAR* key;
    ItemHandle item;
};

// The nodes of one side for the children of one level.
struct MergeNodeList {
    int32_t count;           // entries allocated: the original items loaded at the level
    const WCHAR* keyPrefix;  // the side's current key (borrowed), for made-up keys
    MergeNode* entries;
};

// One side's run of kept items that stand elsewhere in the version than in the original.
struct MoveRun {
    int32_t basePosition;     // kept position in the original of the run's first item
    int32_t versionPosition;  // kept position in the version of the run's first item
    int32_t length;
};

// The target of a kept original item that no version moves.
constexpr int32_t kNotMoved = -1;

// Where each kept original item goes, by its kept position.
struct MovePlanEntry {
    int32_t target;   // kept position in the version, kNotMoved when not moved
    int32_t version;  // kVersion1 or kVersion2: whose move it is
};

// The kept positions and indexes of the original's items under each version's status, counted
// once per level: Position answers KeptPosition and Index KeptIndex for the status of the
// version (kVersion1, kVersion2) without a count over the level.
struct KeptTables {
    int32_t count;          // the level's original items
    int32_t* positions[2];  // per version, by index: the kept position
    int32_t* indexes[2];    // per version, by kept position: the index
    int32_t keptCount[2];   // per version: the kept items

    void Fill(int version, const WCHAR* status);
    int32_t Position(int version, int32_t index) const;
    int32_t Index(int version, int32_t position) const;
};

// The original's side of a conflict: its item, in its outline.
struct ConflictItem {
    OutlineHandle outline;
    ItemHandle item;
};

// A version's side of a conflict: its item (0 when it has none) and what the marking does with
// it in the result: kChangeCopy copies it, kChangeDelete says that the version deleted the
// item, kChangeComment shows its text in a comment, kChangeOrder marks the order of its children.
struct ConflictSide {
    OutlineHandle outline;
    ItemHandle item;
    WCHAR changeCode;
};

class CThreeWayMerge {
public:
    CThreeWayMerge() = default;
    CThreeWayMerge(const CThreeWayMerge&) = delete;
    CThreeWayMerge& operator=(const CThreeWayMerge&) = delete;

    // Starts a call: both counters back to 0.
    void Reset();
    uint32_t Conflicts() const { return conflicts_; }
    uint32_t Warnings() const { return warnings_; }

    // ---- The level walk -------------------------------------------------------------------

    // Merges the children of the three nodes' items, then their subtrees. depth is the level
    // of the caller (0 at the top); anchor the nearest enclosing unit of the original (0 for
    // none). Answers 1 when a conflict inside a unit is left for the caller to settle at the
    // unit. Walks without recursing.
    int32_t MergeLevel(const MergeNode& original, const MergeNode& version1,
                       const MergeNode& version2, int32_t depth, ItemHandle anchor,
                       const CWideString& label);

    // Fills the three lists (each with room for the level's original items) with the child
    // nodes to descend into: every original item not settled as a conflict nor ignored, with
    // its counterparts, or a made-up key and no item where a version has none. Answers the
    // entries filled; -1 when a key could not be copied.
    int32_t CollectChildNodes(MergeNodeList& original, MergeNodeList& version1,
                              MergeNodeList& version2);

    // ---- Matching and the item rule -------------------------------------------------------

    // Pairs the loaded items of version (its outline object, tag 1 or 2) with the original's.
    void MatchVersion(COutline& version, int tag);
    // Merges every original item of the level by the rule of its two statuses. Answers 1 when
    // a conflict was left pending for an enclosing unit.
    int32_t MergeItems(ItemHandle anchor);
    // Merges the attribute sets of a paired item into item; answers 1 when they cannot be
    // merged, with *inherited 1 when that is because an inheritable-contents attribute changed.
    int32_t MergeAttributes(OutlineHandle outline, ItemHandle item, const AttributeSet* original,
                            const AttributeSet* version1, const AttributeSet* version2,
                            int32_t* inherited);

    // ---- Order and additions --------------------------------------------------------------

    // Carries the versions' moves of the level's kept items into the original, or marks
    // overlapping moves as conflict C002 on the original parent.
    void MergeOrder(ItemHandle originalParent, ItemHandle version1Parent, ItemHandle version2Parent,
                    ItemHandle anchor);
    // Copies the items that only a version has into the original under anchor, each run at its
    // place. An inherited addition is left out, and warning W002 says so once for the level.
    void InsertAdditions(ItemHandle anchor);

    // ---- Marking and changing -------------------------------------------------------------

    // Marks a conflict of kind on the original item, followed by the two versions' sides, and
    // answers 0. Inside a unit (anchor set) it only marks "near here" in the versions and
    // answers 1, for the walk to settle the conflict at the unit; unless settleHere is set: the
    // item is a unit itself, or the conflict is of the order of its children.
    int32_t MarkConflict(const ConflictItem& original, const ConflictSide& version1,
                         const ConflictSide& version2, ItemHandle anchor, bool settleHere,
                         WCHAR kind);
    // Two comment items after item with the versions' attribute labels and their banners.
    void MarkAttributeConflict(OutlineHandle outline, ItemHandle item, const WCHAR* label1,
                               const WCHAR* label2);
    // Puts a banner on or after item; answers the item that now ends the annotation.
    ItemHandle AnnotateItem(OutlineHandle outline, ItemHandle item, WCHAR code, const WCHAR* text,
                            int32_t source, bool deleted, WCHAR kind);
    // Carries out one change on item; answers the item that now stands for the result (0
    // after a deletion).
    ItemHandle ApplyChange(OutlineHandle outline, ItemHandle item, OutlineHandle sourceOutline,
                           ItemHandle sourceItem, WCHAR code, const WCHAR* text);

    // ---- Texts ------------------------------------------------------------------------------

    // The banner of the current conflict for an item from source, or a "near here" marker
    // (source kSourceNearHere).
    CWideString BuildConflictText(int32_t source, bool deleted, WCHAR kind) const;
    // Inserts a warning item with the current warning number and text after `after` under
    // parent (after 0: first); the caller has counted the warning. Answers the item, 0 when the
    // runtime refused it.
    ItemHandle InsertWarning(OutlineHandle outline, ItemHandle parent, ItemHandle after,
                             const CWideString& text);

private:
    // Counts a conflict or a warning and shows the running totals to the progress handler.
    void CountConflict();
    void CountWarning();
    void PublishCounts() const;

    // The item rule's conflict on original item i, with the version statuses as change codes.
    // Answers 1 when it was left for an enclosing unit to settle.
    int32_t SettleConflict(int32_t i, WCHAR version1Code, WCHAR version2Code, WCHAR kind,
                           bool fromTable, ItemHandle anchor, bool isUnit);
    // Counts a warning (W003, W004) about an item that could not be changed and inserts it after
    // `after` under parent, naming the item's text in parentheses when there is one. Answers the
    // warning item, 0 when the runtime refused it.
    ItemHandle WarnAboutItem(OutlineHandle outline, ItemHandle parent, ItemHandle after,
                             UINT warningText, const WCHAR* itemText);

    // The runs of one version; released with CheckedFree. None when memory ran out. Kept
    // positions come from kept, or are counted when it is none.
    MoveRun* MoveRuns(int version, const KeptTables* kept);
    MovePlanEntry* CombineMoves(const MoveRun* version1Runs, const MoveRun* version2Runs,
                                int32_t count, bool* overlap);
    // Without kept, every kept index is counted and every place found by a walk from the first
    // child, as the rules state them.
    void ApplyMoves(MovePlanEntry* plan, int32_t count, ItemHandle parent, const KeptTables* kept);
    // The additions at the gap after original item i (-1: before the first), which stand at
    // position1 in version 1 and position2 in version 2. Answers 1 when an inherited addition
    // was left out.
    int32_t InsertAdditionsAt(int32_t i, int32_t position1, int32_t position2, ItemHandle anchor);

    uint32_t conflicts_ = 0;
    uint32_t warnings_ = 0;
};

extern CThreeWayMerge g_threeWayMerge;

// A kept item takes part in the order merge: it is neither deleted, added, under an addition,
// settled as a conflict, nor ignored.
bool IsKept(WCHAR status);
// The kept position of the original's item at index under status (-1 outside the level).
int32_t KeptPosition(const WCHAR* status, int32_t index);
// The index of the original's item at kept position under status, or -1.
int32_t KeptIndex(const WCHAR* status, int32_t position);
