// compare/item_records.cpp: item records and moves of one section.
#include "compare/item_records.h"

#include "compare/item_matching.h"
#include "compare/record_output.h"
#include "comparefile/compare_record.h"
#include "include/norvex63.h"
#include "support/checked_memory.h"
#include "support/item_key.h"
#include "support/run_state.h"

namespace {

// Items that take part in the order comparison: none of 'A', 'D', 'X', '#', 'I'.
bool TakesFirstSideRank(WCHAR status) {
    return status != kStatusOnlyFirst && status != kStatusOnlySecond &&
           status != kStatusUnderOnlyFirst && status != kStatusConflict && status != kStatusIgnored;
}

// A run of second-side items whose partners follow each other in the first section.
struct MoveRun {
    int32_t length = 0;
    int32_t start = 0;        // second-side index of its first item
    int32_t firstRank = -1;   // first-side rank of its last item so far
    int32_t secondRank = -1;  // second-side rank of its last item so far
};

// Writes the move record of a finished run. Every key is made for this record alone.
void WriteMoveRecord(const COutline& second, const MoveRun& run, const WCHAR* secondKey,
                     const WCHAR* firstKey) {
    // Keys 1 and 2 count ranks from 1, as the apply needs them (the run's last rank, less its
    // length, plus 2 is its first rank counted from 1); the text holds the run's first item's
    // real keys on both sides, as a viewer shows them.
    int32_t firstStart = run.firstRank - run.length + 2;
    OwnedText whereItGoes(MakeKey(firstKey, firstStart));
    OwnedText whereItIs(MakeKey(secondKey, run.secondRank - run.length + 2));
    OwnedText firstItemKey(MakeKey(firstKey, second.match[run.start] + 1));
    OwnedText secondItemKey(MakeKey(secondKey, run.start + 1));
    EmitRecordJoined(kChangeMoved, kSubjectMove, whereItGoes.Get(), whereItIs.Get(), run.length,
                     firstStart, firstItemKey.Get(), secondItemKey.Get());
}

// The first-side ranks that the move pass asks for, in the order of the second section. The
// rank of the item at an index is its 0-based place among the items that take part in the
// order comparison; -1 for an index outside the section or when no such item stands at or
// before it. The partners of neighbouring second-side items mostly stand close together in the
// first section, so the count of ranked items is carried from one asked index to the next
// instead of being recounted from the start. At the first step back, all ranks are counted into
// a table, so that a reordered section too costs n steps, not n * n / 2. Any order of indexes
// gets the same answers; without the memory for the table (and in the plain walk of the
// differential tests) the count goes on being carried.
class FirstSideRanks {
public:
    explicit FirstSideRanks(const COutline& first) : first_(first) {}
    ~FirstSideRanks() { FreeIfAny(table_); }
    FirstSideRanks(const FirstSideRanks&) = delete;
    FirstSideRanks& operator=(const FirstSideRanks&) = delete;

    int32_t Of(int32_t index) {
        if (index < 0 || index >= first_.count) return -1;
        if (table_ == nullptr && index < position_ && !tableTried_) MakeTable();
        if (table_ != nullptr) return table_[index];
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
    void MakeTable() {
        tableTried_ = true;
        if (UsesPlainWalks()) return;
        table_ = static_cast<int32_t*>(
            CheckedAlloc(static_cast<uint32_t>(first_.count) * sizeof(int32_t)));
        if (table_ == nullptr) return;
        int32_t ranked = 0;
        for (int32_t k = 0; k < first_.count; ++k) {
            if (TakesFirstSideRank(first_.status[k])) ++ranked;
            table_[k] = ranked - 1;
        }
    }

    const COutline& first_;
    int32_t* table_ = nullptr;  // the rank of every index, once a step back asked for it
    bool tableTried_ = false;
    int32_t position_ = -1;  // the last index counted
    int32_t ranked_ = 0;     // ranked items at or before position_
};

}  // namespace

void WriteItemRecords(const COutline& first, const COutline& second, const WCHAR* secondKey,
                      const WCHAR* firstKey) {
    // Changes and deletions first, in the order of the second section.
    for (int32_t j = 0; j < second.count; ++j) {
        if (second.status[j] == kStatusChanged) {
            int32_t i = second.match[j];
            EmitRecord(kChangeChanged, kSubjectText, first.keys[i], second.keys[j], second.types[j],
                       i, first.texts[i]);
        } else if (second.status[j] == kStatusOnlySecond) {
            // A deleted item is keyed on the first side where it would stand: its own ordinal
            // under the first section's key.
            OwnedText firstSideKey(MakeKey(firstKey, KeyOrdinal(second.keys[j])));
            EmitRecord(kChangeDeleted, kSubjectText, firstSideKey.Get(), second.keys[j],
                       second.types[j], -1, second.texts[j]);
        }
    }
    // Then moves. A run ends where a partner does not directly follow the previous one in
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
                WriteMoveRecord(second, run, secondKey, firstKey);
            }
            run.start = j;
            run.length = 1;
        }
        run.firstRank = firstRank;
        run.secondRank = secondRank;
    }
    if (run.length > 0 && run.firstRank != run.secondRank) {
        WriteMoveRecord(second, run, secondKey, firstKey);
    }
    // Additions last, in the order of the first section; under RDFC no X records.
    bool writeUnderOnlyFirst = (g_runState.options & DIF_OPT_RDFC) == 0;
    for (int32_t i = 0; i < first.count; ++i) {
        WCHAR status = first.status[i];
        if (status != kStatusOnlyFirst &&
            !(status == kStatusUnderOnlyFirst && writeUnderOnlyFirst)) {
            continue;
        }
        OwnedText secondSideKey(MakeKey(secondKey, KeyOrdinal(first.keys[i])));
        WCHAR change = status == kStatusOnlyFirst ? kChangeAdded : kChangeAddedWithin;
        EmitRecord(change, kSubjectText, first.keys[i], secondSideKey.Get(), first.types[i], -1,
                   first.texts[i]);
    }
}
