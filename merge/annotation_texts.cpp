// merge/annotation_texts.cpp: the texts of conflict banners, markers and warning items, and
// the merge's two counters.
#include "merge/three_way_merge.h"

#include "resources/string_table.h"
#include "support/run_state.h"
#include "support/text_lines.h"

CThreeWayMerge g_threeWayMerge;

namespace {

// The resource that names what conflicts.
UINT WhatConflicts(WCHAR kind) {
    switch (kind) {
    case kKindAttribute: return kStringCustomizerAttribute;
    case kKindDTData: return kStringDTData;
    case kKindInherited: return kStringInheritableContents;
    case kKindProperty: return kStringNamedProperty;
    default: return kStringItemText;  // every other kind reads as the item's text
    }
}

CWideString Resource(UINT id) { return CWideString(id); }

}  // namespace

void CThreeWayMerge::Reset() {
    conflicts_ = 0;
    warnings_ = 0;
}

void CThreeWayMerge::CountConflict() {
    conflicts_ += 1;
    PublishCounts();
}

void CThreeWayMerge::CountWarning() { warnings_ += 1; }

void CThreeWayMerge::PublishCounts() const {
    // What DIF_BuildGetSection reports while a merge runs: the running totals.
    g_runState.firstSectionCount = conflicts_;
    g_runState.secondSectionCount = warnings_;
}

CWideString CThreeWayMerge::BuildConflictText(int32_t source, bool deleted, WCHAR kind) const {
    // A marker carries no number and does not depend on the kind.
    if (source == kSourceNearHere) {
        return Resource(deleted ? kStringConflictDeletedNearHere : kStringConflictNearHere);
    }
    CWideString banner;
    int number = static_cast<int>(conflicts_);
    // An order conflict names no source: its banner is the same for both versions.
    if (kind == kKindOrder) {
        banner.Format(Resource(kStringConflictBanner).Text(), number, Resource(kStringC002).Text());
        return banner;
    }
    // Every other banner names what conflicts and where its item came from.
    CWideString what = Resource(WhatConflicts(kind));
    CWideString origin;
    if (source == kSourceOriginal) {
        origin = Resource(kStringPartiallyMergedOriginal);
    } else if (source == kVersion1) {
        origin.Format(Resource(kStringVersion1).Text(), g_version1Outline.Label().Text());
    } else if (source == kVersion2) {
        origin.Format(Resource(kStringVersion2).Text(), g_version2Outline.Label().Text());
    }
    CWideString message;
    message.Format(Resource(deleted ? kStringC001Deleted : kStringC001Copied).Text(), what.Text(),
                   origin.Text());
    banner.Format(Resource(kStringConflictBanner).Text(), number, message.Text());
    return banner;
}

ItemHandle CThreeWayMerge::InsertWarning(OutlineHandle outline, ItemHandle parent, ItemHandle after,
                                         const CWideString& text) {
    CWideString line;
    line.Format(Resource(kStringWarningBanner).Text(), static_cast<int>(warnings_), text.Text());
    ItemHandle item = InsertItem(outline, parent, after, kCommentItemType);
    // A refused insertion or text is not reported: the merge goes on.
    SetItemText(outline, item, line.Text(), CountLines(line.Text()));
    PublishCounts();
    return item;
}

ItemHandle CThreeWayMerge::WarnAboutItem(OutlineHandle outline, ItemHandle parent, ItemHandle after,
                                         UINT warningText, const WCHAR* itemText) {
    CWideString message(warningText);
    if (itemText != nullptr) {
        message += WIDE(" (");
        message += itemText;
        message += WIDE(")");
    }
    CountWarning();
    return InsertWarning(outline, parent, after, message);
}
