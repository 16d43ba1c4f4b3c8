// comparefile/viewer_exports.cpp: the viewer's exports over the process-wide compare list.
//
// A viewer loads one compare file, sorts it, resolves the items of one or both sides and then
// browses it; the list stays loaded between the calls until it is unloaded or replaced. Every
// output pointer may be null and is then skipped; a position outside the list answers the
// empty result and never reaches the arrays.
#include "comparefile/compare_list.h"
#include "comparefile/record_reader.h"
#include "include/norvex63.h"
#include "support/run_state.h"

namespace {

const WCHAR kNoText[] = {0};

// The record at position of the order of side 2 (side 2) or of side 1 (any other side), or
// Count() (no record) for a position outside the list.
RecordNumber RecordAt(uint16_t side, int32_t position) {
    if (position < 0 || static_cast<RecordNumber>(position) >= g_compareList.Count()) {
        return g_compareList.Count();
    }
    RecordNumber place = static_cast<RecordNumber>(position);
    return side == 2 ? g_compareList.SecondOrder(place) : g_compareList.FirstOrder(place);
}

void CopyKey(DIF_CHAR* buffer, const WCHAR* key) {
    if (buffer != nullptr) lstrcpyW(buffer, key != nullptr ? key : kNoText);
}

void CopyLetter(DIF_CHAR* buffer, WCHAR letter) {
    if (buffer == nullptr) return;
    buffer[0] = letter;
    buffer[1] = 0;
}

// A filter's first character; a blank matches every letter.
bool Matches(DIF_CHAR filter, WCHAR letter) { return filter == u' ' || filter == letter; }

}  // namespace

int32_t DIF_API DIF_CompareLoad(const DIF_CHAR* path, uint16_t* count) {
    // A build in progress writes its compare file through this list's stream; opening another
    // file here would throw the build's file away.
    if (IsCallRunning()) return 0;
    g_compareList.ClearCompareList();
    if (!g_compareList.OpenCompareFile(path, WIDE("rb"), kViewerModeWord)) return 0;
    ReadCompareRecords(g_compareList);
    // The viewer's list never holds more than 65,535 records, so its count fits.
    if (count != nullptr) *count = static_cast<uint16_t>(g_compareList.Count());
    g_compareList.CloseCompareFile();
    return g_compareList.IsComplete() ? 1 : static_cast<int32_t>(DIF_LOAD_PARTIAL);
}

void DIF_API DIF_CompareUnload(void) { g_compareList.ClearCompareList(); }

void DIF_API DIF_CompareSort(void) { g_compareList.SortCompareList(); }

int32_t DIF_API DIF_CompareSearch(uint16_t side, const DIF_CHAR* key) {
    return g_compareList.SearchCompareList(side, key, false);
}

int32_t DIF_API DIF_ComparePartialSearch(uint16_t side, const DIF_CHAR* key) {
    return g_compareList.SearchCompareList(side, key, true);
}

void DIF_API DIF_CompareGet(uint16_t side, int32_t position, DIF_CHAR* firstKey,
                            DIF_CHAR* secondKey, DIF_CHAR* changeLetter, DIF_CHAR* subjectLetter,
                            int32_t* firstValue) {
    // Past the records the list's read access answers the empty record's fields.
    RecordNumber record = RecordAt(side, position);
    CopyKey(firstKey, g_compareList.FirstKey(record));
    CopyKey(secondKey, g_compareList.SecondKey(record));
    CopyLetter(changeLetter, g_compareList.ChangeLetter(record));
    CopyLetter(subjectLetter, g_compareList.SubjectLetter(record));
    if (firstValue != nullptr) *firstValue = g_compareList.FirstValue(record);
}

void DIF_API DIF_CompareGethItem(uint16_t side, int32_t position, DIF_HANDLE* firstItem,
                                 DIF_HANDLE* secondItem) {
    RecordNumber record = RecordAt(side, position);
    if (firstItem != nullptr) *firstItem = g_compareList.FirstItem(record);
    if (secondItem != nullptr) *secondItem = g_compareList.SecondItem(record);
}

int32_t DIF_API DIF_CompareSethItems(DIF_HANDLE outline, DIF_HANDLE startItem, int32_t side) {
    g_compareList.SetCompareItemHandles(outline, startItem, side);
    return 1;
}

uint16_t DIF_API DIF_CompareCount(const DIF_CHAR* changeFilter, const DIF_CHAR* subjectFilter) {
    if (changeFilter == nullptr || subjectFilter == nullptr) return 0;
    uint16_t matching = 0;
    for (RecordNumber n = 0; n < g_compareList.Count(); ++n) {
        if (Matches(changeFilter[0], g_compareList.ChangeLetter(n)) &&
            Matches(subjectFilter[0], g_compareList.SubjectLetter(n))) {
            ++matching;
        }
    }
    return matching;
}

int32_t DIF_API DIF_GetMatchingIndex(uint16_t side, uint16_t position) {
    return g_compareList.MatchingPosition(side, position);
}
