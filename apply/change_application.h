// apply/change_application.h
//
// Patching an outline with the records of a compare file, so that it comes to hold what the
// first outline of the comparison held. The outline patched is the second outline: key 2 of a
// record names its items as they stand before patching, key 1 names positions as they stand
// in the first outline. Items are addressed by key only; no section is loaded.
#pragma once

#include <cstdint>

#include "apply/move_batch.h"
#include "comparefile/compare_list.h"
#include "outline/outline_runtime.h"
#include "platform/platform.h"

// Room for the delete warning's text, terminator included.
constexpr int kDeleteWarningSize = 125;

// A key's parent key and its own ordinal (its last three characters as a number). A key of
// fewer than three characters, or none, has no parent key (none) and ordinal 0. The parent key
// is a new copy on the checked heap, released by the caller; none when the heap refused.
WCHAR* SplitKey(const WCHAR* key, int32_t* ordinal);

// Sets on item what record n of list says, by its subject letter: the text (T), an attribute
// (A, value 1 is its id), a DTDATA value (D, value 1 is its index, the text its number) or a
// named property (P, the text is "name,value"; the value ends at its next comma). Any other
// subject does nothing. item may be 0; the runtime then refuses, and nothing looks at that.
void ApplyValue(OutlineHandle outline, ItemHandle item, const CompareList& list, RecordNumber n);

// Shows "Unable to delete item (text)" with at most the first 80 characters of text, or
// "Unable to delete item" for no text or an empty one: a box without owner, titled "Warning",
// with an OK button only.
void ShowDeleteWarning(const WCHAR* text);

// One apply of a loaded list to an open outline: the changes, the deletes, then the adds and
// moves, with one progress counter over the three. The list must be sorted and its side-2 item
// handles resolved (key 2) before the changes run, since the changes and deletes work on those
// handles.
class ChangeApplication {
public:
    ChangeApplication(OutlineHandle outline, ItemHandle root, const CompareList& list);
    ~ChangeApplication();
    ChangeApplication(const ChangeApplication&) = delete;
    ChangeApplication& operator=(const ChangeApplication&) = delete;

    // Every C record in side-2 order: its value is set on the item that key 2 named.
    void ApplyChanges();
    // Every D record in side-2 order: a D T deletes the item that key 2 named (the delete
    // warning when refused); D records of contents only count, so a content present only in
    // the patched outline stays.
    void ApplyDeletes();
    // Every A, X and M record in file order. An add first carries out the pending moves; moves
    // are collected by destination parent and carried out when the parent changes, at the
    // next add, and at the end.
    void ApplyAddsAndMoves();

private:
    // Counts one record handled and reports the share done with the phase's text.
    void StepProgress(const WCHAR* phaseText);
    void AddRecord(RecordNumber n);
    void CollectMove(RecordNumber n);
    void FlushMoves();

    OutlineHandle outline_;
    ItemHandle root_;
    const CompareList& list_;
    // Records handled so far, over all phases.
    RecordNumber counter_ = 0;
    // The pending moves and the parent they belong to; the parent outlives an add.
    MoveBatch batch_;
    ItemHandle moveParent_ = 0;
    WCHAR* moveParentKey_ = nullptr;  // checked heap, or none
};
