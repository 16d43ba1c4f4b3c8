// merge/conflict_marking.cpp: changing the original and marking what cannot be merged.
//
// A conflict leaves the original item with its banner, followed by what each version has
// there (a copy of its item, or a comment when it deleted the item or the item cannot be
// copied), each with its own banner, all with the same number.
#include "merge/three_way_merge.h"

#include "outline/item_type_table.h"
#include "outline/outline_texts.h"
#include "resources/string_table.h"
#include "support/checked_memory.h"
#include "support/run_state.h"
#include "support/text_lines.h"

namespace {

// An item's stored text, owned for the life of one marking.
class ItemText {
public:
    // A refused copy would mark the conflict without the item's text: the run is told, and the
    // merge then saves nothing rather than an outline that lost a text.
    ItemText(OutlineHandle outline, ItemHandle item) : text_(CopyItemText(outline, item)) {
        if (text_.Get() == nullptr) NoteOutOfMemory();
    }
    // The empty text when the copy was refused (its warning box has been shown).
    const WCHAR* Text() const { return text_.Get() != nullptr ? text_.Get() : WIDE(""); }

private:
    OwnedText text_;
};

int32_t SetText(OutlineHandle outline, ItemHandle item, const WCHAR* text) {
    return SetItemText(outline, item, text, CountLines(text));
}

// A new comment item after `after` under parent, holding text; answers it.
ItemHandle InsertComment(OutlineHandle outline, ItemHandle parent, ItemHandle after,
                         const WCHAR* text) {
    ItemHandle comment = InsertItem(outline, parent, after, kCommentItemType);
    SetText(outline, comment, text);
    return comment;
}

}  // namespace

int32_t CThreeWayMerge::MarkConflict(const ConflictItem& original, const ConflictSide& version1,
                                     const ConflictSide& version2, ItemHandle anchor,
                                     bool settleHere, WCHAR kind) {
    // The three texts are copied first, in this order, before anything is changed: the banners
    // quote the items as they were.
    ItemText originalText(original.outline, original.item);
    ItemText version1Text(version1.outline, version1.item);
    ItemText version2Text(version2.outline, version2.item);
    bool version1Deleted = version1.changeCode == kChangeDelete;
    bool version2Deleted = version2.changeCode == kChangeDelete;
    // Inside a unit only the versions are marked; the walk settles it at the unit.
    if (!settleHere && anchor != 0) {
        AnnotateItem(version1.outline, version1.item, version1.changeCode, version1Text.Text(),
                     kSourceNearHere, version1Deleted, kind);
        AnnotateItem(version2.outline, version2.item, version2.changeCode, version2Text.Text(),
                     kSourceNearHere, version2Deleted, kind);
        return 1;
    }
    // Counted before any banner is written, so that every banner of this conflict carries its
    // number.
    CountConflict();
    // Version 1's side follows the bannered original item: a comment when version 1 deleted the
    // item or its text is shown in a comment, the order banner as the original item's first
    // child, else a copy of version 1's item with its own banner.
    OutlineHandle outline = original.outline;
    ItemHandle last = 0;
    WCHAR code = kChangeText;
    const WCHAR* text = version1Text.Text();
    int32_t source = kVersion1;
    if (version1.changeCode == kChangeDelete || version1.changeCode == kChangeComment) {
        last = AnnotateItem(outline, original.item, kChangeText, originalText.Text(),
                            kSourceOriginal, false, kind);
        code = version1.changeCode;
    } else if (version1.changeCode == kChangeOrder) {
        last = original.item;
        code = kChangeOrder;
        text = WIDE("");
        source = kSourceOriginal;
    } else {
        ItemHandle bannered = AnnotateItem(outline, original.item, kChangeText, originalText.Text(),
                                           kSourceOriginal, false, kind);
        last = ApplyChange(outline, bannered, version1.outline, version1.item, kChangeCopy,
                           version1Text.Text());
    }
    ItemHandle afterVersion1 =
        AnnotateItem(outline, last, code, text, source, version1Deleted, kind);
    // Then version 2's side, after version 1's; an order conflict has nothing more to show.
    if (version2.changeCode == kChangeDelete) {
        AnnotateItem(outline, afterVersion1, kChangeDelete, version2Text.Text(), kVersion2, true,
                     kind);
    } else if (version2.changeCode == kChangeComment) {
        AnnotateItem(outline, afterVersion1, kChangeComment, version2Text.Text(), kVersion2, false,
                     kind);
    } else if (version2.changeCode != kChangeOrder) {
        ItemHandle copy = ApplyChange(outline, afterVersion1, version2.outline, version2.item,
                                      kChangeCopy, version2Text.Text());
        AnnotateItem(outline, copy, kChangeText, version2Text.Text(), kVersion2, false, kind);
    }
    return 0;
}

void CThreeWayMerge::MarkAttributeConflict(OutlineHandle outline, ItemHandle item,
                                           const WCHAR* label1, const WCHAR* label2) {
    CountConflict();
    ItemHandle first =
        AnnotateItem(outline, item, kChangeComment, label1, kVersion1, false, kKindAttribute);
    AnnotateItem(outline, first, kChangeComment, label2, kVersion2, false, kKindAttribute);
}

ItemHandle CThreeWayMerge::AnnotateItem(OutlineHandle outline, ItemHandle item, WCHAR code,
                                        const WCHAR* text, int32_t source, bool deleted,
                                        WCHAR kind) {
    // A side without an outline or an item has nothing to carry a banner.
    if (outline == 0 || item == 0) return item;
    ItemHandle parent = GetParentItem(outline, item);
    CWideString banner = BuildConflictText(source, deleted, kind);
    CWideString line = CWideString(text) + banner.Text();
    switch (code) {
    case kChangeText:
        // A text the runtime refuses goes into a comment right after the item.
        if (SetText(outline, item, line.Text()) != 0) return item;
        return InsertComment(outline, parent, item, line.Text());
    case kChangeDelete:
        // The deleted item has no text left to show: the banner alone follows it.
        return InsertComment(outline, parent, item, banner.Text());
    case kChangeOrder:
        // An order banner belongs to the children, so it stands as the first of them.
        return InsertComment(outline, item, 0, banner.Text());
    case kChangeComment: return InsertComment(outline, parent, item, line.Text());
    default: return item;  // any other code leaves the item unmarked
    }
}

ItemHandle CThreeWayMerge::ApplyChange(OutlineHandle outline, ItemHandle item,
                                       OutlineHandle sourceOutline, ItemHandle sourceItem,
                                       WCHAR code, const WCHAR* text) {
    // Without an outline or an item there is nothing to change.
    if (outline == 0 || item == 0) return item;
    ItemHandle parent = GetParentItem(outline, item);
    switch (code) {
    case kChangeText:
        // A text the runtime refuses goes into a comment right after the item.
        if (SetText(outline, item, text) != 0) return item;
        return InsertComment(outline, parent, item, text);
    case kChangeDelete:
        // A refused deletion stays in the outline, with warning W003 after it; the merge
        // treats the item as deleted all the same.
        if (DeleteItem(outline, item) != 0) return 0;
        WarnAboutItem(outline, parent, item, kStringW003, text);
        return 0;
    case kChangeCopy:
        // A type that cannot be copied is shown as a comment holding the item's text.
        if (sourceOutline == 0 || sourceItem == 0) return item;
        if (g_itemTypeTable.IsCopyable(GetItemType(sourceOutline, sourceItem))) {
            return CopyItem(sourceOutline, sourceItem, outline, parent, item, 1, 1);
        }
        return InsertComment(outline, parent, item, text);
    case kChangeComment: return InsertComment(outline, parent, item, text);
    default: return item;  // any other code changes nothing
    }
}
