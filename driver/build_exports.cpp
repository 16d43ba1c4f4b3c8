// driver/build_exports.cpp: the exported build functions and the library's entry point.
#include "include/norvex63.h"

#include "compare/section_walk.h"
#include "comparefile/compare_list.h"
#include "comparefile/file_info.h"
#include "comparefile/record_writer.h"
#include "outline/outline_object.h"
#include "outline/outline_walk.h"
#include "outline/progress_bar.h"
#include "resources/string_table.h"
#include "support/item_key.h"
#include "support/run_state.h"

namespace {

// Levels of progress: a build of whole files reports the root's children at level 2 and two
// levels below them; a build of two items starts one level lower.
constexpr int32_t kBuildLevels = 4;
constexpr int32_t kObjectBuildLevels = 3;

// Compares the two held outlines from firstItem and secondItem down, labelling the sides.
uint16_t CompareOutlines(const WCHAR* firstLabel, ItemHandle firstItem, const WCHAR* secondLabel,
                         ItemHandle secondItem, int32_t depth) {
    g_runState.result = 0;
    g_progressBar.ReportStatus(0, kStringProcessing);
    g_runState.recordCount = 0;
    g_firstOutline.SetLabel(firstLabel);
    g_secondOutline.SetLabel(secondLabel);
    CompareSection(ROOT_ITEM_KEY, firstItem, ROOT_ITEM_KEY, secondItem, depth, CWideString());
    return ResultStatus();
}

// Completes the compare file, or, when memory ran out and records are missing from it, throws
// it away: an incomplete comparison is never handed over as a complete one.
uint16_t FinishCompareFile(uint16_t status) {
    if (RanOutOfMemory()) {
        g_compareList.DiscardCompareFile();
        return static_cast<uint16_t>(status | DIF_ST_COMPARE_FILE);
    }
    if (!g_compareList.CloseCompareFile()) status |= DIF_ST_COMPARE_FILE;
    return status;
}

}  // namespace

uint16_t DIF_API DIF_Build(const DIF_CHAR* firstPath, const DIF_CHAR* secondPath,
                           const DIF_CHAR* comparePath, DIF_WINDOW window, uint16_t message,
                           uint32_t options) {
    ExclusiveCall call;
    if (!call.Entered()) return DIF_ST_COMPARE_FILE;
    BeginRun(window, message, options, kBuildLevels);
    // The compare file, opened from the caller's directory.
    SaveWorkingDirectory();
    uint16_t status = 0;
    if (!g_compareList.OpenCompareFile(comparePath, WIDE("wb"), options)) {
        status = DIF_ST_COMPARE_FILE;
    }
    RestoreWorkingDirectory();
    WriteCompareHeader(g_compareList, firstPath, secondPath);
    // Both outlines, each opened from its own folder and each path read from the caller's
    // directory; both are tried even when the compare file failed.
    if (!g_firstOutline.Open(firstPath)) status |= DIF_ST_FIRST_OUTLINE;
    RestoreWorkingDirectory();
    if (!g_secondOutline.Open(secondPath)) status |= DIF_ST_SECOND_OUTLINE;
    RestoreWorkingDirectory();
    // The comparison, only when everything opened.
    if (status == 0) {
        status = CompareOutlines(firstPath, g_firstOutline.GetRoot(), secondPath,
                                 g_secondOutline.GetRoot(), 0);
    }
    // Outlines opened here are closed here. A compare file that could not be completed (a
    // full disk, or memory running out) is reported like one that could not be created.
    g_firstOutline.Close();
    g_secondOutline.Close();
    status = FinishCompareFile(status);
    return EndRun(status);
}

uint16_t DIF_API DIF_BuildObject(const DIF_CHAR* firstName, DIF_HANDLE firstOutline,
                                 DIF_HANDLE firstItem, const DIF_CHAR* secondName,
                                 DIF_HANDLE secondOutline, DIF_HANDLE secondItem,
                                 const DIF_CHAR* comparePath, DIF_WINDOW window, uint16_t message,
                                 uint32_t options) {
    ExclusiveCall call;
    if (!call.Entered()) return DIF_ST_COMPARE_FILE;
    BeginRun(window, message, options, kObjectBuildLevels);
    // A side whose outline the runtime does not know, or whose item is not in it, counts as
    // an outline that could not be opened: comparing it would read nothing and write a compare
    // file that calls the whole other side added. No compare file is written then.
    uint16_t status = 0;
    if (!IsItemOfOutline(firstOutline, firstItem)) status |= DIF_ST_FIRST_OUTLINE;
    if (!IsItemOfOutline(secondOutline, secondItem)) status |= DIF_ST_SECOND_OUTLINE;
    if (status != 0) return EndRun(status);
    // The working directory is the caller's business here: nothing is opened from a path.
    if (!g_compareList.OpenCompareFile(comparePath, WIDE("wb"), options)) {
        status = DIF_ST_COMPARE_FILE;
    }
    // The sides are items, not files: the header names neither.
    WriteCompareHeader(g_compareList, WIDE("cmpnt"), WIDE("cmpnt"));
    // The caller's outlines are held, used and left open.
    g_firstOutline.AttachOutline(firstOutline);
    g_secondOutline.AttachOutline(secondOutline);
    if (status == 0) status = CompareOutlines(firstName, firstItem, secondName, secondItem, 1);
    status = FinishCompareFile(status);
    return EndRun(status);
}

void DIF_API DIF_BuildAbort(void) {
    // Read by the walk at its next section start; the section under way is finished first.
    g_runState.abortFlag = 1;
    g_progressBar.ReportStatus(kLastPercent, kStringAborting);
}

void DIF_API DIF_BuildGetSection(DIF_CHAR* buffer, uint16_t bufferSize, uint32_t* firstCount,
                                 uint32_t* secondCount) {
    int limit = bufferSize < kLastTextSize ? bufferSize : kLastTextSize;
    if (buffer != nullptr) lstrcpynW(buffer, g_runState.lastText, limit);
    if (firstCount != nullptr) *firstCount = g_runState.firstSectionCount;
    if (secondCount != nullptr) *secondCount = g_runState.secondSectionCount;
}

int32_t DIF_API DIF_BuildKey(DIF_CHAR* buffer, const DIF_CHAR* prefix, int32_t number) {
    if (buffer == nullptr) return 0;
    if (prefix != nullptr) return wsprintfW(buffer, WIDE("%s%03d"), prefix, number);
    return wsprintfW(buffer, WIDE("%03d"), number);
}

void DIF_API DIF_GetFileInfo(const DIF_CHAR* path, uint32_t* size, DIF_CHAR* dateText) {
    ReadFileInfo(path, size, dateText);
}

int32_t DIF_API DLLEntryPoint(DIF_MODULE module, uint32_t reason, void* reserved) {
    // The library's process-wide objects are built by the loader, not here.
    return 1;
}
