// compare/item_records.cpp: item records and moves of one section.
#include "compare/item_records.h"

#include "compare/item_matching.h"
#include "compare/record_output.h"
#include "include/norvex63.h"
#include "support/run_state.h"
#include "support/checked_memory.h"
#include "support/item_key.h"

namespace {

bool TakesFirstSideRank(WCHAR status) {
    return status != kStatusOnlyFirst && status != kStatusOnlySecond &&
           status != kStatusUnderOnlyFirst && status != kStatusConflict &&
           status != kStatusIgnored;
}

// The item's own 1-based position: the number that the key's last three characters form.
int32_t NumberOfKey(const WCHAR* key) {
    int length = lstrlenW(key);
    int start = length >= kKeyGroupLength ? length - kKeyGroupLength : 0;
    return _wtoi(key + start);
}

// A key made for one record and released right after it.
class MadeKey {
public:
    MadeKey(const WCHAR* prefix, int32_t number) : key_(MakeKey(prefix, number)) {}
    ~MadeKey() {
        if (key_ != nullptr) CheckedFree(key_);
    }
    MadeKey(const MadeKey&) = delete;
    MadeKey& operator=(const MadeKey&) = delete;
    const WCHAR* Text() const { return key_; }

private:
    WCHAR* key_;
};

// A run of second-side items whose partners follow each other in the first section.
struct MoveRun {
    int32_t length = 0;
    int32_t start = 0;          // second-side index of its first item
    int32_t firstRank = -1;     // first-side rank of its last item so far (pp)
    int32_t secondRank = -1;    // second-side rank of its last item so far (qq)
};

void WriteMoveRecord(const COutline& first, const COutline& second, const MoveRun& run,
                     const WCHAR* secondKey, const WCHAR* firstKey) {
    // Keys 1 and 2 count ranks from 1, as the apply needs them; the text holds the run's first
    // item's real keys on both sides, as a viewer shows them.
    int32_t firstStart = run.firstRank - run.length + 2;
    MadeKey whereItGoes(firstKey, firstStart);
    MadeKey whereItIs(secondKey, run.secondRank - run.length + 2);
    MadeKey firstItemKey(firstKey, second.match[run.start] + 1);
    MadeKey secondItemKey(secondKey, run.start + 1);
    EmitRecordJoined(u'M', u'M', whereItGoes.Text(), whereItIs.Text(), run.length, firstStart,
                     firstItemKey.Text(), secondItemKey.Text());
}

// The first-side ranks that the move pass asks for, in the order of the second section. The
// partners of neighbouring second-side items mostly stand close together in the first section,
// so the count of ranked items is carried from one asked index to the next instead of being
// recounted from the start: a section of n items costs about n steps, not n * n / 2. Answers
// exactly what RankOf answers, for any order of indexes.
class FirstSideRanks {
public:
    explicit FirstSideRanks(const COutline& first) : first_(first) {}

    int32_t Of(int32_t index) {
        if (index < 0 || index >= first_.count) return -1;
        while (position_ < index) {
            ++position_;
            if (TakesFirstSideRank(first_.status[position_])) ++ranked_;
        }
        while (position_ > index) {
            if (TakesFirstSideRank(first_.status[position_])) --ranked_;
            --position_;
        }
        return ranked_ - 1;
    }

private:
    const COutline& first_;
    int32_t position_ = -1;  // the last index counted
    int32_t ranked_ = 0;     // ranked items at or before position_
};

}  // namespace

int32_t RankOf(const COutline& first, int32_t index) {
    if (index < 0 || index >= first.count) return -1;
    int32_t ranked = 0;
    for (int32_t k = 0; k <= index; ++k) {
        if (TakesFirstSideRank(first.status[k])) ++ranked;
    }
    return ranked - 1;
}

void WriteItemRecords(const COutline& first, const COutline& second, const WCHAR* secondKey,
                      const WCHAR* firstKey) {
    // Pass 1: changes and deletions, in the order of the second section.
    for (int32_t j = 0; j < second.count; ++j) {
        if (second.status[j] == kStatusChanged) {
            int32_t m = second.match[j];
            EmitRecord(u'C', u'T', first.keys[m], second.keys[j], second.types[j], m,
                       first.texts[m]);
        } else if (second.status[j] == kStatusOnlySecond) {
            MadeKey firstSideKey(firstKey, NumberOfKey(second.keys[j]));
            EmitRecord(u'D', u'T', firstSideKey.Text(), second.keys[j], second.types[j], -1,
                       second.texts[j]);
        }
    }
    // Pass 2: moves. A run ends where a partner does not directly follow the previous one in
    // the first section; it is recorded unless its last item has the same rank on both sides.
    MoveRun run;
    FirstSideRanks firstRanks(first);
    int32_t secondRank = -1;
    for (int32_t j = 0; j < second.count; ++j) {
        if (second.status[j] == kStatusOnlySecond || second.status[j] == kStatusIgnored) continue;
        ++secondRank;
        int32_t firstRank = firstRanks.Of(second.match[j]);
        if (run.length == 0) {
            run.start = j;
            run.length = 1;
        } else if (firstRank == run.firstRank + 1) {
            run.length += 1;
        } else {
            if (run.firstRank != run.secondRank) {
                WriteMoveRecord(first, second, run, secondKey, firstKey);
            }
            run.start = j;
            run.length = 1;
        }
        run.firstRank = firstRank;
        run.secondRank = secondRank;
    }
    if (run.length > 0 && run.firstRank != run.secondRank) {
        WriteMoveRecord(first, second, run, secondKey, firstKey);
    }
    // Pass 3: additions, in the order of the first section; under RDFC no X records.
    bool writeUnderOnlyFirst = (g_runState.options & DIF_OPT_RDFC) == 0;
    for (int32_t i = 0; i < first.count; ++i) {
        WCHAR status = first.status[i];
        if (status != kStatusOnlyFirst &&
            !(status == kStatusUnderOnlyFirst && writeUnderOnlyFirst)) {
            continue;
        }
        MadeKey secondSideKey(secondKey, NumberOfKey(first.keys[i]));
        EmitRecord(status, u'T', first.keys[i], secondSideKey.Text(), first.types[i], -1,
                   first.texts[i]);
    }
}
