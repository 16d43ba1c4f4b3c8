/* tests/library/public_header_test.c
 *
 * The public header compiled as C: a host written in C declares and calls the library. */
#include "include/norvex63.h"

/* Called from the C++ test: answers the key of child 7 of "001" as a C host makes it. */
int32_t MakeKeyFromC(DIF_CHAR* buffer) {
    static const DIF_CHAR prefix[] = {'0', '0', '1', 0};
    return DIF_BuildKey(buffer, prefix, 7);
}

/* Every export is reachable from C with the declared signature. */
const void* const kEveryExportFromC[] = {
    (const void*)&DIF_Build,
    (const void*)&DIF_BuildObject,
    (const void*)&DIF_BuildAbort,
    (const void*)&DIF_BuildGetSection,
    (const void*)&DIF_BuildKey,
    (const void*)&DIF_GetFileInfo,
    (const void*)&DLLEntryPoint,
    (const void*)&DIF_CompareLoad,
    (const void*)&DIF_CompareUnload,
    (const void*)&DIF_CompareSort,
    (const void*)&DIF_CompareSearch,
    (const void*)&DIF_ComparePartialSearch,
    (const void*)&DIF_CompareGet,
    (const void*)&DIF_CompareGethItem,
    (const void*)&DIF_CompareSethItems,
    (const void*)&DIF_CompareCount,
    (const void*)&DIF_GetMatchingIndex,
    (const void*)&DIF_Apply,
    (const void*)&DIF_Merge,
    (const void*)&DIF_MergeObjects,
};
const int kEveryExportCount = (int)(sizeof(kEveryExportFromC) / sizeof(kEveryExportFromC[0]));
