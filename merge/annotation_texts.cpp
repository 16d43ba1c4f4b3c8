// merge/annotation_texts.cpp: the texts of conflict banners, markers and warning items, and
// the merge's two counters.
#include "merge/three_way_merge.h"

#include "support/run_state.h"
#include "resources/string_table.h"
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

CWideString CThreeWayMerge::BuildConflictText(int32_t version, bool deleted, WCHAR kind) const {
    // 1. A marker carries no number and does not depend on the kind.
    if (version == kSourceNearHere) {
        return Resource(deleted ? kStringConflictDeletedNearHere : kStringConflictNearHere);
    }
    CWideString banner;
    int number = static_cast<int>(conflicts_);
    // 2.
    if (kind == kKindOrder) {
        banner.Format(Resource(kStringConflictBanner).Text(), number,
                      Resource(kStringC002).Text());
        return banner;
    }
    // 3.
    CWideString what = Resource(WhatConflicts(kind));
    CWideString source;
    if (version == kSourceOriginal) {
        source = Resource(kStringPartiallyMergedOriginal);
    } else if (version == 1) {
        source.Format(Resource(kStringVersion1).Text(), g_version1Outline.Label().Text());
    } else if (version == 2) {
        source.Format(Resource(kStringVersion2).Text(), g_version2Outline.Label().Text());
    }
    CWideString message;
    message.Format(Resource(deleted ? kStringC001Deleted : kStringC001Copied).Text(),
                   what.Text(), source.Text());
    banner.Format(Resource(kStringConflictBanner).Text(), number, message.Text());
    return banner;
}

void CThreeWayMerge::InsertWarning(OutlineHandle outline, ItemHandle parent, ItemHandle after,
                                   const CWideString& text) {
    CWideString line;
    line.Format(Resource(kStringWarningBanner).Text(), static_cast<int>(warnings_), text.Text());
    ItemHandle item = InsertItem(outline, parent, after, kCommentItemType);
    // A refused insertion or text is not reported: the merge goes on.
    SetItemText(outline, item, line.Text(), CountLines(line.Text()));
    PublishCounts();
}
