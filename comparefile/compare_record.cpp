// comparefile/compare_record.cpp: the defaults of a record and the release of its strings.
#include "comparefile/compare_record.h"

#include "support/checked_memory.h"

CompareRecord EmptyCompareRecord() {
    return CompareRecord{0, kChangeNone, kSubjectNone, nullptr, nullptr, 0, 0, nullptr};
}

namespace {

void ReleaseString(WCHAR*& text) {
    if (text != nullptr) CheckedFree(text);
    text = nullptr;
}

}  // namespace

void ReleaseCompareRecord(CompareRecord& record) {
    ReleaseString(record.firstKey);
    ReleaseString(record.secondKey);
    ReleaseString(record.text);
}
