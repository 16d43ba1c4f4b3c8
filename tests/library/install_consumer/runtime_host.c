/* A host program that holds outlines of its own through the installed runtime and has the
 * library compare two of their items: opens both outlines given, builds a compare file of their
 * top items and prints how many records it holds, as the viewer counts them. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <brimrt63.h>
#include <norvex63.h>

/* A path as UTF-16 code units (the paths given here are ASCII). */
static BRIMRT_CHAR* Wide(const char* text) {
    size_t length = strlen(text);
    BRIMRT_CHAR* wide = calloc(length + 1, sizeof(BRIMRT_CHAR));
    for (size_t k = 0; wide != NULL && k < length; ++k) wide[k] = (BRIMRT_CHAR)text[k];
    return wide;
}

int main(int argc, char** argv) {
    if (argc != 4) return 2;
    BRIMRT_CHAR* paths[3] = {Wide(argv[1]), Wide(argv[2]), Wide(argv[3])};
    OutlineHandle first = OpenOutline(paths[0]);
    OutlineHandle second = OpenOutline(paths[1]);
    if (first == 0 || second == 0) return 3;
    uint16_t status = DIF_BuildObject((const DIF_CHAR*)paths[0], first, GetRootItem(first),
                                      (const DIF_CHAR*)paths[1], second, GetRootItem(second),
                                      (const DIF_CHAR*)paths[2], 0, 0, DIF_OPT_FDFM);
    CloseOutline(first);
    CloseOutline(second);
    if (status != 0) return 4;
    uint16_t count = 0;
    if (DIF_CompareLoad((const DIF_CHAR*)paths[2], &count) == 0) return 5;
    printf("%u records\n", (unsigned)count);
    DIF_CompareUnload();
    return 0;
}
