// comparefile/viewer_exports.cpp: the viewer's exports over the process-wide compare list.
//
// TODO: reading compare files into the list and the queries over it come with the result
// list; until then no file loads and every query answers as it does for an empty list.
#include "driver/norvex63.h"

int32_t DIF_API DIF_CompareLoad(const DIF_CHAR* path, uint16_t* count) {
    if (count != nullptr) *count = 0;
    return 0;
}

void DIF_API DIF_CompareUnload(void) {}

void DIF_API DIF_CompareSort(void) {}

int32_t DIF_API DIF_CompareSearch(uint16_t side, const DIF_CHAR* key) { return -1; }

int32_t DIF_API DIF_ComparePartialSearch(uint16_t side, const DIF_CHAR* key) { return -1; }

void DIF_API DIF_CompareGet(uint16_t side, int32_t position, DIF_CHAR* firstKey,
                            DIF_CHAR* secondKey, DIF_CHAR* changeLetter, DIF_CHAR* subjectLetter,
                            int32_t* firstValue) {}

void DIF_API DIF_CompareGethItem(uint16_t side, int32_t position, DIF_HANDLE* firstItem,
                                 DIF_HANDLE* secondItem) {}

int32_t DIF_API DIF_CompareSethItems(DIF_HANDLE outline, DIF_HANDLE startItem, int32_t side) {
    return 1;
}

uint16_t DIF_API DIF_CompareCount(const DIF_CHAR* changeFilter, const DIF_CHAR* subjectFilter) {
    return 0;
}

int32_t DIF_API DIF_GetMatchingIndex(uint16_t side, uint16_t position) { return -1; }
