// comparefile/compare_list.cpp: opening and closing the compare file; the record arrays.
#include "comparefile/compare_list.h"

#include "support/checked_memory.h"

CompareList g_compareList(kMaxViewerRecords);

namespace {

bool IsWriteMode(const WCHAR* mode) { return mode != nullptr && mode[0] == u'w'; }

}  // namespace

CompareList::~CompareList() {
    CloseCompareFile();
    ClearCompareList();
}

bool CompareList::OpenCompareFile(const WCHAR* path, const WCHAR* mode, uint32_t modeWord) {
    modeWord_ = modeWord;
    // Every call closes what it opened, so a file still open here was left by a call that
    // never returned (its wide string ran out of memory and the host went on): it is thrown
    // away, never completed at its path.
    DiscardCompareFile();
    if (path == nullptr || path[0] == 0 || mode == nullptr) return false;
    if (!IsWriteMode(mode)) {
        if (_wfopen_s(&stream_, path, mode) != 0) stream_ = nullptr;
        return stream_ != nullptr;
    }
    // Without the memory, or a temporary in the target's folder (missing, not writable, or
    // the target a folder), there is no compare file, and the target stays as it was.
    replacement_ = BeginReplacement(path);
    if (replacement_ == nullptr) return false;
    stream_ = ReplacementStream(replacement_);
    return true;
}

bool CompareList::CloseCompareFile() {
    if (stream_ == nullptr) return true;
    FILE* stream = stream_;
    stream_ = nullptr;
    if (replacement_ == nullptr) {
        fclose(stream);
        return true;
    }
    ReplacementFile* replacement = replacement_;
    replacement_ = nullptr;
    return CommitReplacement(replacement);
}

void CompareList::DiscardCompareFile() {
    if (stream_ == nullptr) return;
    if (replacement_ != nullptr) {
        AbandonReplacement(replacement_);
    } else {
        fclose(stream_);
    }
    stream_ = nullptr;
    replacement_ = nullptr;
}

bool CompareList::AppendCompareRecord(CompareRecord& record) {
    if (count_ == capacity_ && !GrowRecordArrays()) {
        ReleaseCompareRecord(record);
        return false;
    }
    RecordNumber n = count_;
    firstOrder_[n] = n;
    secondOrder_[n] = n;
    changeLetters_[n] = record.changeLetter;
    subjectLetters_[n] = record.subjectLetter;
    firstKeys_[n] = record.firstKey;
    secondKeys_[n] = record.secondKey;
    firstValues_[n] = record.firstValue;
    secondValues_[n] = record.secondValue;
    texts_[n] = record.text;
    firstItems_[n] = 0;
    secondItems_[n] = 0;
    record.firstKey = nullptr;
    record.secondKey = nullptr;
    record.text = nullptr;
    count_ = n + 1;
    return true;
}

namespace {

template <typename Entry>
void ReleaseArray(Entry*& array) {
    if (array != nullptr) CheckedFree(array);
    array = nullptr;
}

}  // namespace

void CompareList::ClearCompareList() {
    ReleaseArray(firstOrder_);
    ReleaseArray(secondOrder_);
    for (RecordNumber n = 0; n < count_; ++n) {
        ReleaseArray(firstKeys_[n]);
        ReleaseArray(secondKeys_[n]);
        ReleaseArray(texts_[n]);
    }
    ReleaseArray(changeLetters_);
    ReleaseArray(subjectLetters_);
    ReleaseArray(firstKeys_);
    ReleaseArray(secondKeys_);
    ReleaseArray(firstValues_);
    ReleaseArray(secondValues_);
    ReleaseArray(firstItems_);
    ReleaseArray(secondItems_);
    ReleaseArray(texts_);
    count_ = 0;
    capacity_ = 0;
    incomplete_ = false;
}

namespace {

template <typename Entry>
bool GrowArray(Entry*& array, uint32_t capacity) {
    Entry* grown = static_cast<Entry*>(CheckedRealloc(array, capacity * sizeof(Entry)));
    if (grown == nullptr) return false;
    array = grown;
    return true;
}

}  // namespace

bool CompareList::GrowRecordArrays() {
    if (capacity_ >= recordLimit_) return false;
    RecordNumber capacity = capacity_ + kCompareGrowthStep;
    // The arrays grow one after the other and the first refusal stops the rest. Those that
    // grew before it keep their spare room unused: capacity_ stays, so no entry past it is
    // ever read or written, and the next growth resizes them again.
    bool grown = GrowArray(changeLetters_, capacity) && GrowArray(subjectLetters_, capacity) &&
                 GrowArray(firstKeys_, capacity) && GrowArray(secondKeys_, capacity) &&
                 GrowArray(firstValues_, capacity) && GrowArray(secondValues_, capacity) &&
                 GrowArray(firstOrder_, capacity) && GrowArray(secondOrder_, capacity) &&
                 GrowArray(firstItems_, capacity) && GrowArray(secondItems_, capacity) &&
                 GrowArray(texts_, capacity);
    if (!grown) return false;
    capacity_ = capacity;
    return true;
}
