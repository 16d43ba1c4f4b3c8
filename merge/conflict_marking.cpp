// merge/conflict_marking.cpp: changing the original and marking what cannot be merged.
//
// A conflict leaves the original item with its banner, followed by what each version has
// there (a copy of its item, or a comment when it deleted the item or the item cannot be
// copied), each with its own banner, all with the same number.
#include "merge/three_way_merge.h"

#include "support/run_state.h"
#include "outline/item_type_table.h"
#include "outline/outline_texts.h"
#include "resources/string_table.h"
#include "support/checked_memory.h"
#include "support/text_lines.h"

namespace {

// An item's stored text, owned for the life of one marking.
class ItemText {
public:
    // A refused copy would mark the conflict without the item's text: the run is told, and the
    // merge then saves nothing rather than an outline that lost a text.
    ItemText(OutlineHandle outline, ItemHandle item) : text_(CopyItemText(outline, item)) {
        if (text_.Get() == nullptr) g_runState.outOfMemory = true;
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
    OutlineHandle originalOutline = original.outline;
    ItemHandle o = original.item;
    OutlineHandle outline1 = version1.outline;
    ItemHandle p = version1.item;
    WCHAR code1 = version1.changeCode;
    OutlineHandle outline2 = version2.outline;
    ItemHandle q = version2.item;
    WCHAR code2 = version2.changeCode;
    // 1.
    ItemText originalText(originalOutline, o);
    ItemText text1(outline1, p);
    ItemText text2(outline2, q);
    bool deleted1 = code1 == kChangeDelete;
    bool deleted2 = code2 == kChangeDelete;
    // 2. Inside a unit only the versions are marked; the walk settles it at the unit.
    if (!settleHere && anchor != 0) {
        AnnotateItem(outline1, p, code1, text1.Text(), kSourceNearHere, deleted1, kind);
        AnnotateItem(outline2, q, code2, text2.Text(), kSourceNearHere, deleted2, kind);
        return 1;
    }
    // 3.
    CountConflict();
    // 4. Version 1's side follows the bannered original item.
    ItemHandle last = 0;
    WCHAR code = kChangeText;
    const WCHAR* text = text1.Text();
    int32_t source = 1;
    if (code1 == kChangeDelete || code1 == kChangeComment) {
        last = AnnotateItem(originalOutline, o, kChangeText, originalText.Text(), kSourceOriginal,
                            false, kind);
        code = code1;
    } else if (code1 == kChangeOrder) {
        last = o;
        code = kChangeOrder;
        text = WIDE("");
        source = kSourceOriginal;
    } else {
        ItemHandle bannered = AnnotateItem(originalOutline, o, kChangeText, originalText.Text(),
                                           kSourceOriginal, false, kind);
        last = ApplyChange(originalOutline, bannered, outline1, p, kChangeCopy, text1.Text());
    }
    ItemHandle afterVersion1 =
        AnnotateItem(originalOutline, last, code, text, source, deleted1, kind);
    // 5. Then version 2's.
    if (code2 == kChangeDelete) {
        AnnotateItem(originalOutline, afterVersion1, kChangeDelete, text2.Text(), 2, true, kind);
    } else if (code2 == kChangeComment) {
        AnnotateItem(originalOutline, afterVersion1, kChangeComment, text2.Text(), 2, false,
                     kind);
    } else if (code2 != kChangeOrder) {
        ItemHandle copy =
            ApplyChange(originalOutline, afterVersion1, outline2, q, kChangeCopy, text2.Text());
        AnnotateItem(originalOutline, copy, kChangeText, text2.Text(), 2, false, kind);
    }
    // 6.
    return 0;
}

void CThreeWayMerge::MarkAttributeConflict(OutlineHandle outline, ItemHandle item,
                                           const WCHAR* label1, const WCHAR* label2) {
    CountConflict();
    ItemHandle first = AnnotateItem(outline, item, kChangeComment, label1, 1, false,
                                    kKindAttribute);
    AnnotateItem(outline, first, kChangeComment, label2, 2, false, kKindAttribute);
}

ItemHandle CThreeWayMerge::AnnotateItem(OutlineHandle outline, ItemHandle item, WCHAR code,
                                        const WCHAR* text, int32_t source, bool deleted,
                                        WCHAR kind) {
    // 1-2.
    if (outline == 0 || item == 0) return item;
    ItemHandle parent = GetParentItem(outline, item);
    CWideString banner = BuildConflictText(source, deleted, kind);
    CWideString line = CWideString(text) + banner.Text();
    switch (code) {
        case kChangeText:
            // 3. A text the runtime refuses goes into a comment right after the item.
            if (SetText(outline, item, line.Text()) != 0) return item;
            return InsertComment(outline, parent, item, line.Text());
        case kChangeDelete:
            return InsertComment(outline, parent, item, banner.Text());  // 4.
        case kChangeOrder:
            return InsertComment(outline, item, 0, banner.Text());  // 5. the first child
        case kChangeComment:
            return InsertComment(outline, parent, item, line.Text());  // 6.
        default:
            return item;  // 7.
    }
}

ItemHandle CThreeWayMerge::ApplyChange(OutlineHandle outline, ItemHandle item,
                                       OutlineHandle sourceOutline, ItemHandle sourceItem,
                                       WCHAR code, const WCHAR* text) {
    // 1-2.
    if (outline == 0 || item == 0) return item;
    ItemHandle parent = GetParentItem(outline, item);
    switch (code) {
        case kChangeText:
            // 3.
            if (SetText(outline, item, text) != 0) return item;
            return InsertComment(outline, parent, item, text);
        case kChangeDelete: {
            // 4. A refused deletion stays in the outline, with warning W003 after it; the
            //    merge treats the item as deleted all the same.
            if (DeleteItem(outline, item) != 0) return 0;
            CWideString message(static_cast<UINT>(kStringW003));
            if (text != nullptr) {
                message += WIDE(" (");
                message += text;
                message += WIDE(")");
            }
            CountWarning();
            InsertWarning(outline, parent, item, message);
            return 0;
        }
        case kChangeCopy:
            // 5. A type that cannot be copied is shown as a comment holding the item's text.
            if (sourceOutline == 0 || sourceItem == 0) return item;
            if (g_itemTypeTable.IsCopyable(GetItemType(sourceOutline, sourceItem))) {
                return CopyItem(sourceOutline, sourceItem, outline, parent, item, 1, 1);
            }
            return InsertComment(outline, parent, item, text);
        case kChangeComment:
            return InsertComment(outline, parent, item, text);  // 6.
        default:
            return item;  // 7.
    }
}
