// apply/apply_export.cpp: DIF_Apply, patching an outline with a compare file and saving it
// under a new name.
#include "include/norvex63.h"

#include "apply/change_application.h"
#include "comparefile/compare_list.h"
#include "comparefile/record_reader.h"
#include "outline/outline_object.h"
#include "outline/progress_bar.h"
#include "resources/string_table.h"
#include "support/checked_memory.h"
#include "support/run_state.h"

namespace {

// The driver: read and sort the records, resolve key 2 of each into the outline's items while
// the outline is still as the comparison saw it, then change, delete, add and move.
// Answers false when the list could not hold every record of the file.
bool ApplyCompareList(CompareList& list) {
    g_progressBar.ReportStatus(0, kStringLoading);
    CheckHeap();
    ReadCompareRecords(list);
    bool complete = list.IsComplete();
    list.SortCompareList();
    CheckHeap();
    // Every change and delete works on the items that key 2 named before anything changed.
    OutlineHandle outline = g_secondOutline.Outline();
    ItemHandle root = g_secondOutline.GetRoot();
    list.SetCompareItemHandles(outline, root, 1);
    CheckHeap();
    {
        ChangeApplication application(outline, root, list);
        application.ApplyChanges();
        CheckHeap();
        application.ApplyDeletes();
        CheckHeap();
        application.ApplyAddsAndMoves();
        CheckHeap();
    }
    list.ClearCompareList();
    g_progressBar.ReportStatus(100, kStringDone);
    return complete;
}

}  // namespace

uint16_t DIF_API DIF_Apply(const DIF_CHAR* outlinePath, const DIF_CHAR* comparePath,
                           const DIF_CHAR* outputPath, DIF_WINDOW window, uint16_t message) {
    ExclusiveCall call;
    if (!call.Entered()) return DIF_ST_FIRST_OUTLINE;
    // A list of the apply's own: the viewer's records stay as they are. No caller sees its
    // positions, so it is not held to the viewer's 16-bit limit: every record is applied.
    CompareList list(kMaxPrivateRecords);
    // Both paths are read from the caller's directory; the outline is tried even when the
    // compare file failed.
    SaveWorkingDirectory();
    uint16_t status = 0;
    if (!list.OpenCompareFile(comparePath, WIDE("rb"), kApplyModeWord)) {
        status = DIF_ST_COMPARE_FILE;
    }
    if (!g_secondOutline.Open(outlinePath)) status |= DIF_ST_SECOND_OUTLINE;
    RestoreWorkingDirectory();
    // The runtime's save replaces the output only once the new file is complete, so a failed
    // save leaves an older file there as it was. An apply that memory failed somewhere (a
    // record dropped, a key not made) would save an outline that holds only part of the
    // change: it saves nothing and says so instead.
    if (status == 0) {
        g_progressBar.SetTarget(window, message);
        StartMemoryWatch();
        bool complete = ApplyCompareList(list);
        if (!complete || RanOutOfMemory() || g_secondOutline.Save(outputPath) == 0) {
            status = DIF_ST_FIRST_OUTLINE;
        }
    }
    g_secondOutline.Close();
    list.CloseCompareFile();
    list.ClearCompareList();
    return status;
}
