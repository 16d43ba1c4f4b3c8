// merge/merge_exports.cpp: the merge's exports, DIF_Merge and DIF_MergeObjects.
#include "include/norvex63.h"

#include "merge/three_way_merge.h"
#include "outline/outline_object.h"
#include "outline/outline_walk.h"
#include "outline/progress_bar.h"
#include "resources/string_table.h"
#include "support/item_key.h"
#include "support/run_state.h"

namespace {

// Progress levels: a merge of whole files reports the root's children at level 2 and two
// levels below them; a merge of three items starts one level lower.
constexpr int32_t kMergeLevels = 4;
constexpr int32_t kObjectMergeLevels = 3;
// The largest count the caller's 16-bit counts can hold.
constexpr uint16_t kMaxReportedCount = 0xFFFF;

// Merges the children of the three items into the original, labelling the versions.
uint16_t RunMerge(ItemHandle originalItem, ItemHandle version1Item, const WCHAR* version1Name,
                  ItemHandle version2Item, const WCHAR* version2Name) {
    g_runState.result = 0;
    g_baseOutline.SetLabel(nullptr);  // conflict texts call it "partially merged original"
    g_version1Outline.SetLabel(version1Name);
    g_version2Outline.SetLabel(version2Name);
    g_progressBar.ReportStatus(0, kStringProcessing);
    WCHAR rootKey[] = ROOT_ITEM_KEY;
    MergeNode original = {rootKey, originalItem};
    MergeNode version1 = {rootKey, version1Item};
    MergeNode version2 = {rootKey, version2Item};
    g_threeWayMerge.MergeLevel(original, version1, version2, 0, 0, CWideString());
    if (g_runState.abortFlag == 0) g_progressBar.ReportStatus(100, kStringSaving);
    return ResultStatus();
}

// A count as the caller's 16 bits can hold it: past 65,535 it stays at 65,535 rather than
// wrap to a small number (65,536 conflicts must never read as none).
uint16_t SaturatedCount(uint32_t count) {
    return count > kMaxReportedCount ? kMaxReportedCount : static_cast<uint16_t>(count);
}

// The counts, where the caller asked for them.
void WriteCounts(uint16_t* conflicts, uint16_t* warnings) {
    if (conflicts != nullptr) *conflicts = SaturatedCount(g_threeWayMerge.Conflicts());
    if (warnings != nullptr) *warnings = SaturatedCount(g_threeWayMerge.Warnings());
}

// Saves the merged original at outputPath when the merge ran whole. A merge that ran out of
// memory is incomplete and is not saved: the caller sees it as not saved.
uint16_t SaveMerged(uint16_t status, const DIF_CHAR* outputPath) {
    if (status != 0) return status;
    if (RanOutOfMemory()) return DIF_ST_MERGE_SAVE;
    if (g_baseOutline.Save(outputPath) == 0) return DIF_ST_MERGE_SAVE;
    return 0;
}

}  // namespace

uint16_t DIF_API DIF_Merge(const DIF_CHAR* originalPath, const DIF_CHAR* version1Path,
                           const DIF_CHAR* version2Path, const DIF_CHAR* outputPath,
                           DIF_WINDOW window, uint16_t message, uint32_t options,
                           uint16_t* conflicts, uint16_t* warnings) {
    ExclusiveCall call;
    if (!call.Entered()) return DIF_ST_MERGE_SAVE;
    BeginRun(window, message, options, kMergeLevels);
    // Every path, the output's included, is read from the caller's directory.
    SaveWorkingDirectory();
    uint16_t status = 0;
    RestoreWorkingDirectory();
    if (!g_baseOutline.Open(originalPath)) status = DIF_ST_FIRST_OUTLINE;
    RestoreWorkingDirectory();
    if (!g_version1Outline.Open(version1Path)) status |= DIF_ST_SECOND_OUTLINE;
    RestoreWorkingDirectory();
    if (!g_version2Outline.Open(version2Path)) status |= DIF_ST_THIRD_OUTLINE;
    RestoreWorkingDirectory();
    // The counters start afresh even when nothing is merged, so that the counts written
    // below are this call's; only three opened outlines are merged.
    g_threeWayMerge.Reset();
    if (status == 0) {
        ItemHandle originalRoot = g_baseOutline.GetRoot();
        ItemHandle version1Root = g_version1Outline.GetRoot();
        ItemHandle version2Root = g_version2Outline.GetRoot();
        status = RunMerge(originalRoot, version1Root, version1Path, version2Root, version2Path);
    }
    // The counts are written whether or not the result is saved.
    WriteCounts(conflicts, warnings);
    status = SaveMerged(status, outputPath);
    // Outlines opened here are closed here; the versions' "near here" markers go with them.
    g_baseOutline.Close();
    g_version1Outline.Close();
    g_version2Outline.Close();
    return EndRun(status);
}

uint16_t DIF_API DIF_MergeObjects(DIF_HANDLE originalOutline, DIF_HANDLE originalItem,
                                  DIF_HANDLE version1Outline, DIF_HANDLE version1Item,
                                  const DIF_CHAR* version1Name, DIF_HANDLE version2Outline,
                                  DIF_HANDLE version2Item, const DIF_CHAR* version2Name,
                                  const DIF_CHAR* outputPath, DIF_WINDOW window, uint16_t message,
                                  uint32_t options, uint16_t* conflicts, uint16_t* warnings) {
    ExclusiveCall call;
    if (!call.Entered()) return DIF_ST_MERGE_SAVE;
    BeginRun(window, message, options, kObjectMergeLevels);
    g_threeWayMerge.Reset();
    // A side whose outline the runtime does not know, or whose item is not in it, counts as
    // an outline that could not be opened: merging it would read an empty side and save the
    // original with every item deleted. Nothing is merged or saved then.
    uint16_t refused = 0;
    if (!IsItemOfOutline(originalOutline, originalItem)) refused |= DIF_ST_FIRST_OUTLINE;
    if (!IsItemOfOutline(version1Outline, version1Item)) refused |= DIF_ST_SECOND_OUTLINE;
    if (!IsItemOfOutline(version2Outline, version2Item)) refused |= DIF_ST_THIRD_OUTLINE;
    if (refused != 0) {
        WriteCounts(conflicts, warnings);
        return EndRun(refused);
    }
    // The caller's outlines are held, merged and left open; the directory stays as it was.
    SaveWorkingDirectory();
    g_baseOutline.AttachOutline(originalOutline);
    g_version1Outline.AttachOutline(version1Outline);
    g_version2Outline.AttachOutline(version2Outline);
    RestoreWorkingDirectory();
    // The merge covers the children of the three items, not the items themselves.
    uint16_t status =
        RunMerge(originalItem, version1Item, version1Name, version2Item, version2Name);
    WriteCounts(conflicts, warnings);
    status = SaveMerged(status, outputPath);
    return EndRun(status);
}
