// apply/apply_export.cpp: patching an outline with a compare file.
//
// TODO: the four phases of the apply come with the change application; until then nothing is
// patched or saved, and the call says so with its "not saved" bit.
#include "driver/norvex63.h"

uint16_t DIF_API DIF_Apply(const DIF_CHAR* outlinePath, const DIF_CHAR* comparePath,
                           const DIF_CHAR* outputPath, DIF_WINDOW window, uint16_t message) {
    return DIF_ST_FIRST_OUTLINE;
}
