// compare/record_output.cpp: writing and counting the comparison's records.
#include "compare/record_output.h"

#include "comparefile/compare_list.h"
#include "comparefile/record_writer.h"
#include "support/run_state.h"

namespace {

// What the caller's progress handler reads: the records written so far, and 0.
void CountRecord() {
    g_runState.recordCount += 1;
    g_runState.firstSectionCount = static_cast<uint32_t>(g_runState.recordCount);
    g_runState.secondSectionCount = 0;
}

bool MarkedOutOfMemory(const WCHAR* firstKey, const WCHAR* secondKey, const WCHAR* text) {
    if (firstKey != nullptr && secondKey != nullptr && text != nullptr) return false;
    MarkOutOfMemory();
    return true;
}

}  // namespace

void EmitRecord(WCHAR changeLetter, WCHAR subjectLetter, const WCHAR* firstKey,
                const WCHAR* secondKey, int32_t firstValue, int32_t secondValue,
                const WCHAR* text) {
    if (MarkedOutOfMemory(firstKey, secondKey, text)) return;
    WriteCompareRecord(g_compareList, changeLetter, subjectLetter, firstKey, secondKey, firstValue,
                       secondValue, text);
    CountRecord();
}

void EmitRecordJoined(WCHAR changeLetter, WCHAR subjectLetter, const WCHAR* firstKey,
                      const WCHAR* secondKey, int32_t firstValue, int32_t secondValue,
                      const WCHAR* textA, const WCHAR* textB) {
    if (MarkedOutOfMemory(firstKey, secondKey, textA) ||
        MarkedOutOfMemory(firstKey, secondKey, textB)) {
        return;
    }
    WriteCompareRecordJoined(g_compareList, changeLetter, subjectLetter, firstKey, secondKey,
                             firstValue, secondValue, textA, textB);
    CountRecord();
}
