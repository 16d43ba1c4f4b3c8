// apply/change_application.cpp: the changes, deletes, adds and moves of one apply.
#include "apply/change_application.h"

#include "comparefile/record_reader.h"
#include "outline/item_type_table.h"
#include "outline/outline_walk.h"
#include "outline/progress_bar.h"
#include "support/checked_memory.h"
#include "support/item_key.h"
#include "support/text_lines.h"

namespace {

// The named property of a "name,value" text: both parts end at a comma, a CR or the end.
void ApplyProperty(OutlineHandle outline, ItemHandle item, const WCHAR* text) {
    WCHAR* name = CopyCompareField(text);
    const WCHAR* comma = nullptr;
    for (const WCHAR* at = text; at != nullptr && *at != 0; ++at) {
        if (*at == u',') {
            comma = at;
            break;
        }
    }
    WCHAR* value = comma != nullptr ? CopyCompareField(comma + 1) : nullptr;
    if (name != nullptr && value != nullptr) {
        SetNamedProperty(outline, item, name, value, lstrlenW(value) + 1);
    }
    FreeIfAny(name);
    FreeIfAny(value);
}

}  // namespace

WCHAR* SplitKey(const WCHAR* key, int32_t* ordinal) {
    *ordinal = 0;
    if (key == nullptr) return nullptr;
    int length = lstrlenW(key);
    if (length < kKeyGroupLength) return nullptr;
    int parentLength = length - kKeyGroupLength;
    WCHAR* parentKey =
        static_cast<WCHAR*>(CheckedAlloc(static_cast<uint32_t>(parentLength + 1) * sizeof(WCHAR)));
    // Without the memory there is no parent to look under: the caller drops the record.
    if (parentKey == nullptr) return nullptr;
    lstrcpynW(parentKey, key, parentLength + 1);
    *ordinal = _wtoi(key + parentLength);
    return parentKey;
}

void ApplyValue(OutlineHandle outline, ItemHandle item, const CompareList& list, RecordNumber n) {
    const WCHAR* text = list.Text(n);
    int32_t lines = CountLines(text);
    switch (list.SubjectLetter(n)) {
    case kSubjectText: SetItemText(outline, item, text, lines); break;
    case kSubjectAttribute:
        SetItemAttribute(outline, item, static_cast<uint32_t>(list.FirstValue(n)), text, lines);
        break;
    case kSubjectDTData:
        SetItemDTData(outline, item, list.FirstValue(n), text != nullptr ? _wtoi(text) : 0);
        break;
    case kSubjectProperty: ApplyProperty(outline, item, text); break;
    default: break;
    }
}

void ShowDeleteWarning(const WCHAR* text) {
    WCHAR message[kDeleteWarningSize];
    if (text != nullptr && text[0] != 0) {
        wsprintfW(message, WIDE("Unable to delete item (%.80s)"), text);
    } else {
        lstrcpyW(message, WIDE("Unable to delete item"));
    }
    MessageBoxW(nullptr, message, WIDE("Warning"), MB_OK);
}

ChangeApplication::ChangeApplication(OutlineHandle outline, ItemHandle root,
                                     const CompareList& list)
    : outline_(outline), root_(root), list_(list) {}

ChangeApplication::~ChangeApplication() {
    batch_.Discard();
    FreeIfAny(moveParentKey_);
}

void ChangeApplication::StepProgress(const WCHAR* phaseText) {
    ++counter_;
    // The counter never passes the count: each record is counted once, in its phase. The
    // product is taken in 64 bits, as a list may hold millions of records.
    int32_t percent = static_cast<int32_t>(static_cast<uint64_t>(counter_) * 100 / list_.Count());
    g_progressBar.SendProgress(percent, phaseText);
}

void ChangeApplication::ApplyChanges() {
    for (RecordNumber position = 0; position < list_.Count(); ++position) {
        RecordNumber n = list_.SecondOrder(position);
        if (list_.ChangeLetter(n) != kChangeChanged) continue;
        StepProgress(WIDE("Applying Changes"));
        ApplyValue(outline_, list_.SecondItem(n), list_, n);
    }
}

void ChangeApplication::ApplyDeletes() {
    for (RecordNumber position = 0; position < list_.Count(); ++position) {
        RecordNumber n = list_.SecondOrder(position);
        if (list_.ChangeLetter(n) != kChangeDeleted) continue;
        StepProgress(WIDE("Applying Deletes"));
        if (list_.SubjectLetter(n) != kSubjectText) continue;
        if (DeleteItem(outline_, list_.SecondItem(n)) == 0) ShowDeleteWarning(list_.Text(n));
    }
}

void ChangeApplication::ApplyAddsAndMoves() {
    for (RecordNumber n = 0; n < list_.Count(); ++n) {
        WCHAR change = list_.ChangeLetter(n);
        if (change == kChangeAdded || change == kChangeAddedWithin) {
            FlushMoves();
            AddRecord(n);
        } else if (change == kChangeMoved) {
            CollectMove(n);
        }
    }
    FlushMoves();
    FreeIfAny(moveParentKey_);
    moveParentKey_ = nullptr;
}

void ChangeApplication::AddRecord(RecordNumber n) {
    StepProgress(WIDE("Applying Adds"));
    // Contents go to the item that key 1 names: it stands where the first outline has it.
    if (list_.SubjectLetter(n) != kSubjectText) {
        ApplyValue(outline_, FindItemByKey(outline_, root_, list_.FirstKey(n)), list_, n);
        return;
    }
    // An item goes under the parent that key 1 names; a parent that is not there drops it.
    int32_t ordinal = 0;
    WCHAR* parentKey = SplitKey(list_.FirstKey(n), &ordinal);
    if (parentKey == nullptr) return;
    ItemHandle parent = FindItemByKey(outline_, root_, parentKey);
    CheckedFree(parentKey);
    if (parent == 0) return;
    // Leading children that every item of the parent's type has already are named, not
    // inserted; any other item is inserted at the position key 1 gives it.
    const WCHAR* text = list_.Text(n);
    int32_t fixed = g_itemTypeTable.FixedChildren(GetItemType(outline_, parent));
    if (ordinal > fixed) {
        ItemHandle after = ordinal > 1 ? NthChild(outline_, parent, ordinal - 1) : 0;
        ItemHandle added = InsertItem(outline_, parent, after, list_.FirstValue(n));
        SetItemText(outline_, added, text, CountLines(text));
    } else {
        SetItemText(outline_, FindItemByKey(outline_, root_, list_.FirstKey(n)), text,
                    CountLines(text));
    }
}

void ChangeApplication::CollectMove(RecordNumber n) {
    StepProgress(WIDE("Applying Moves"));
    // Where the run goes (key 1) and where it starts now (key 2), both under one parent.
    int32_t destination = 0;
    WCHAR* parentKey = SplitKey(list_.FirstKey(n), &destination);
    if (parentKey == nullptr) return;
    int32_t source = KeyOrdinal(list_.SecondKey(n));
    // Moves under one parent go into one batch.
    if (moveParentKey_ != nullptr && lstrcmpW(moveParentKey_, parentKey) == 0) {
        CheckedFree(parentKey);
    } else {
        FlushMoves();
        moveParent_ = FindItemByKey(outline_, root_, parentKey);
        FreeIfAny(moveParentKey_);
        moveParentKey_ = parentKey;
    }
    // The run's first item, looked up under the destination parent. Without the memory for
    // its key the run is left out: a missing key would name the root.
    WCHAR* itemKey = MakeKey(moveParentKey_, source);
    if (itemKey == nullptr) return;
    ItemHandle item = FindItemByKey(outline_, root_, itemKey);
    CheckedFree(itemKey);
    // A run longer than the parent's children (a file that does not fit the outline) ends
    // with the children: there is nothing more to move, and a count from the file is not
    // trusted to size the batch.
    int32_t runLength = list_.FirstValue(n);
    for (int32_t k = 0; k < runLength && item != 0; ++k) {
        if (!batch_.RecordMove(source + k, destination + k, item,
                               k == 0 ? static_cast<int32_t>(n) : kNoSlot))
            break;
        item = NextSibling(outline_, item);
    }
}

void ChangeApplication::FlushMoves() {
    if (batch_.Pending()) batch_.Flush(outline_, moveParent_);
}
