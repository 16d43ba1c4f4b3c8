/* A host program built against the installed library alone: its header, its package and its
 * shared library. Prints the key of child 7 of the root, which the library makes. */
#include <stdio.h>

#include <norvex63.h>

int main(void) {
    static const DIF_CHAR prefix[] = {'0', '0', '1', 0};
    DIF_CHAR key[16];
    int length = (int)DIF_BuildKey(key, prefix, 7);
    for (int k = 0; k < length; ++k) putchar((char)key[k]);
    putchar('\n');
    return DLLEntryPoint(0, 1, 0) == 1 ? 0 : 1;
}
