// merge/merge_exports.cpp: merging two versions into their original.
//
// TODO: the three-way merge comes with the merge engine; until then nothing is merged or
// saved, and the calls say so with their "not saved" bit.
#include "driver/norvex63.h"

uint16_t DIF_API DIF_Merge(const DIF_CHAR* originalPath, const DIF_CHAR* version1Path,
                           const DIF_CHAR* version2Path, const DIF_CHAR* outputPath,
                           DIF_WINDOW window, uint16_t message, uint32_t options,
                           uint16_t* conflicts, uint16_t* warnings) {
    if (conflicts != nullptr) *conflicts = 0;
    if (warnings != nullptr) *warnings = 0;
    return DIF_ST_MERGE_SAVE;
}

uint16_t DIF_API DIF_MergeObjects(DIF_HANDLE originalOutline, DIF_HANDLE originalItem,
                                  DIF_HANDLE version1Outline, DIF_HANDLE version1Item,
                                  const DIF_CHAR* version1Name, DIF_HANDLE version2Outline,
                                  DIF_HANDLE version2Item, const DIF_CHAR* version2Name,
                                  const DIF_CHAR* outputPath, DIF_WINDOW window,
                                  uint16_t message, uint32_t options, uint16_t* conflicts,
                                  uint16_t* warnings) {
    if (conflicts != nullptr) *conflicts = 0;
    if (warnings != nullptr) *warnings = 0;
    return DIF_ST_MERGE_SAVE;
}
