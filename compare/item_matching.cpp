// compare/item_matching.cpp: pairing the items of two sections.
//
// Every loop runs in index order and every comparison is strict where the order of a tie
// decides the pair: two runs over the same sections, and any faster engine, must pair alike.
#include "compare/item_matching.h"

#include <algorithm>

#include "compare/score_matrix.h"
#include "support/run_state.h"
#include "outline/item_type_table.h"
#include "support/checked_memory.h"

PairingSide SideOf(COutline& outline) {
    return {outline.count, outline.status,     outline.match, outline.types,
            outline.texts, outline.candidates, 0,             outline.positions};
}

PairingSide SideOf(CBaseOutline& original, int version) {
    PairingSide side = SideOf(static_cast<COutline&>(original));
    side.status = original.StatusFor(version);
    side.match = original.MatchFor(version);
    return side;
}

int FindUnresolved(const PairingSide& side, const WCHAR* text, int32_t type, int32_t* index,
                   const WCHAR* status) {
    if (status == nullptr) status = side.status;
    // 1-2.
    int32_t ofType = 0;
    bool found = false;
    for (int32_t k = 0; k < side.count; ++k) {
        if (status[k] != kStatusUnresolved || side.types[k] != type) continue;
        ++ofType;
        if (lstrcmpW(text, side.texts[k]) == 0) {
            if (found) return 2;
            if (index != nullptr) *index = k;
            found = true;
        }
    }
    // 3.
    if (found) return 1;
    return ofType > 0 ? 2 : 0;
}

void CollectCandidates(PairingSide& side, int32_t type) {
    side.candidateCount = 0;
    for (int32_t k = 0; k < side.count; ++k) {
        if (side.status[k] == kStatusUnresolved && side.types[k] == type) {
            side.candidates[side.candidateCount++] = k;
        }
    }
}

void AssignPositions(PairingSide& side) {
    int32_t position = 0;
    for (int32_t k = 0; k < side.count; ++k) {
        WCHAR status = side.status[k];
        if (status == kStatusOnlyFirst || status == kStatusOnlySecond ||
            status == kStatusUnderOnlyFirst) {
            side.positions[k] = -1;
        } else {
            side.positions[k] = position++;
        }
    }
}

void SetAllStatus(PairingSide& side, WCHAR status) {
    for (int32_t k = 0; k < side.count; ++k) {
        side.status[k] = status;
        side.match[k] = kNoMatch;
    }
}

int32_t TextScore(const PairingSide& first, const PairingSide& second, int32_t i, int32_t j) {
    return lstrcmpW(first.texts[i], second.texts[j]) == 0 ? kEqualTextScore : 0;
}

namespace {

// Items that take part in the position score: the paired ones and the ignored ones.
bool CountsForPosition(WCHAR status) {
    return status != kStatusOnlySecond && status != kStatusOnlyFirst &&
           status != kStatusUnderOnlyFirst && status != kStatusUnresolved;
}

// The displacement that the pairs of one side imply for a candidate at candidatePosition on
// the other side: each counted item's partner position (or ownPosition, the candidate's own
// position on this side, when the item has no positioned partner), one less when it stands at
// or after the candidate, as if the candidate were taken out of the order.
int64_t SideDisplacement(const PairingSide& side, const PairingSide& other, int32_t candidate,
                         int32_t ownPosition, int32_t candidatePosition) {
    int64_t sum = 0;
    for (int32_t k = 0; k < side.count; ++k) {
        if (k == candidate || !CountsForPosition(side.status[k])) continue;
        int32_t partner = side.match[k];
        int32_t q = partner == kNoMatch ? -1 : other.positions[partner];
        if (q == -1) q = ownPosition;
        if (q >= candidatePosition && q > 0) --q;
        sum += q >= candidatePosition ? q - candidatePosition : candidatePosition - q;
    }
    return sum;
}

// Step 5 of the position score, shared by both engines so that they scale alike. Sections
// of at most 999 items each always take the first formula. For larger ones the score falls
// from kLargeSectionScale towards 0 as the sum grows towards limit and stays 0 beyond: a
// smaller sum never scores lower, in either formula. The first formula goes negative only
// when the sum passes its base, which takes a section of tens of thousands of ignored items
// beside a short one.
int32_t ScaleDisplacement(int64_t limit, int64_t sum) {
    if (limit <= kPositionScoreBase) return static_cast<int32_t>((kPositionScoreBase - sum) * 2);
    int64_t closeness = limit > sum ? limit - sum : 0;
    return static_cast<int32_t>(closeness * kLargeSectionScale / limit);
}

}  // namespace

int32_t PositionScore(const PairingSide& first, const PairingSide& second, int32_t i,
                      int32_t j) {
    // 1. The arithmetic is 64-bit throughout, so no section is too large for it.
    int64_t limit = 2 * static_cast<int64_t>(first.count) * second.count;
    if (limit == 0) return 0;
    // 2-4.
    int32_t firstPosition = first.positions[i];
    int32_t secondPosition = second.positions[j];
    int64_t sum = SideDisplacement(first, second, i, firstPosition, secondPosition) +
                  SideDisplacement(second, first, j, secondPosition, firstPosition);
    // 5.
    return ScaleDisplacement(limit, sum);
}

int32_t ItemScore(const PairingSide& first, const PairingSide& second, int32_t i, int32_t j) {
    int32_t text = TextScore(first, second, i, j);
    int32_t score = text + PositionScore(first, second, i, j);
    // The lowest bit carries the texts-equal flag through the matrix to TakeBest.
    return text != 0 ? (score | 1) : (score & ~1);
}

namespace {

void Pair(PairingSide& first, PairingSide& second, int32_t i, int32_t j, WCHAR status) {
    first.status[i] = status;
    first.match[i] = j;
    second.status[j] = status;
    second.match[j] = i;
}

void MarkUnpaired(PairingSide& side, int32_t k, WCHAR status) {
    side.status[k] = status;
    side.match[k] = kNoMatch;
}

// Whatever is left of the type is an addition or a deletion.
void SettleLeftovers(PairingSide& first, PairingSide& second, const PairingRules& rules) {
    for (int32_t a = 0; a < first.candidateCount; ++a) {
        int32_t i = first.candidates[a];
        if (first.status[i] == kStatusUnresolved) MarkUnpaired(first, i, rules.firstUnpaired);
    }
    for (int32_t b = 0; b < second.candidateCount; ++b) {
        int32_t j = second.candidates[b];
        if (second.status[j] == kStatusUnresolved) {
            MarkUnpaired(second, j, rules.secondUnpaired);
        }
    }
}

}  // namespace

namespace {

// The counted items of one side as the other side's candidates see them: the positions of
// their partners (on the candidates' side), sorted, with prefix sums, and how many of them
// stand in for the candidate's own position instead (the ignored items, and any item whose
// partner has no position). With these, one side's part of a position score costs two
// binary searches instead of a scan of the side.
struct PartnerPositions {
    int32_t* sorted;  // room for the side's count
    int64_t* prefix;  // room for the side's count + 1
    int32_t count;
    int64_t ownCount;
};

void CollectPartnerPositions(const PairingSide& side, const PairingSide& other,
                             PartnerPositions& partners) {
    partners.count = 0;
    partners.ownCount = 0;
    for (int32_t k = 0; k < side.count; ++k) {
        if (!CountsForPosition(side.status[k])) continue;
        int32_t partner = side.match[k];
        int32_t q = partner == kNoMatch ? -1 : other.positions[partner];
        if (q == -1) {
            ++partners.ownCount;
        } else {
            partners.sorted[partners.count++] = q;
        }
    }
    std::sort(partners.sorted, partners.sorted + partners.count);
    partners.prefix[0] = 0;
    for (int32_t k = 0; k < partners.count; ++k) {
        partners.prefix[k + 1] = partners.prefix[k] + partners.sorted[k];
    }
}

// SideDisplacement's sum over the partnered items for a candidate at position at. A partner q
// below at adds at - q; one above adds q - 1 - at (it moves down by one as the candidate
// leaves the order); one at at adds 1, or 0 at position 0, which has nothing below it.
int64_t PartnerDisplacement(const PartnerPositions& partners, int32_t at) {
    const int32_t* begin = partners.sorted;
    const int32_t* end = begin + partners.count;
    int64_t below = std::lower_bound(begin, end, at) - begin;
    int64_t notAbove = std::upper_bound(begin, end, at) - begin;
    int64_t sum = at * below - partners.prefix[below];
    sum += (partners.prefix[partners.count] - partners.prefix[notAbove]) -
           (partners.count - notAbove) * (static_cast<int64_t>(at) + 1);
    if (at > 0) sum += notAbove - below;
    return sum;
}

// What one item that stands in for the candidate's own position own adds, seen from at.
int64_t OwnDisplacement(int32_t own, int32_t at) {
    int32_t q = own;
    if (q >= at && q > 0) --q;
    return q >= at ? q - at : at - q;
}

// Lays the scratch arrays of a fast step out in one checked block, each start aligned for any
// of their types: one request per step, so that a refusal is one branch.
class ScratchLayout {
public:
    template <typename T>
    void Reserve(T** array, uint64_t count) {
        places_[used_++] = {bytes_, [](char* block, uint64_t offset, void* target) {
                                *static_cast<T**>(target) = reinterpret_cast<T*>(block + offset);
                            }, array};
        bytes_ += (count * sizeof(T) + 7) / 8 * 8;
    }
    // Answers the block with every array pointing into it, or none when it would not fit a
    // request or the heap refuses it (the refusal has shown its warning box).
    void* Allocate() {
        if (bytes_ == 0 || bytes_ > UINT32_MAX) return nullptr;
        char* block = static_cast<char*>(CheckedAlloc(static_cast<uint32_t>(bytes_)));
        if (block == nullptr) return nullptr;
        for (int k = 0; k < used_; ++k) places_[k].point(block, places_[k].offset, places_[k].target);
        return block;
    }

private:
    struct Place {
        uint64_t offset;
        void (*point)(char* block, uint64_t offset, void* target);
        void* target;
    };
    static constexpr int kMostArrays = 12;
    Place places_[kMostArrays] = {};
    int used_ = 0;
    uint64_t bytes_ = 0;
};

// Equal texts of a section pair: one group per distinct (type, text) among the items
// unresolved when the pairing starts, numbered on both sides alike, so that two items have
// equal texts exactly when their groups are equal. Null groups mean "compare the texts".
struct TextGroupsOf {
    const int32_t* first;
    const int32_t* second;
};

bool TextsEqual(const PairingSide& first, const PairingSide& second, int32_t i, int32_t j,
                const TextGroupsOf& groups) {
    if (groups.first != nullptr) return groups.first[i] == groups.second[j];
    return lstrcmpW(first.texts[i], second.texts[j]) == 0;
}

// The position part of a cell's score as the greedy order sees it: ScaleDisplacement of the
// cell's sum with the lowest bit cleared, where the texts-equal flag goes. It never rises as
// the sum grows.
int32_t OrderedPosition(int64_t limit, int64_t sum) {
    return limit == 0 ? 0 : (ScaleDisplacement(limit, sum) & ~1);
}

// The largest sum in [from, most] whose ordered position is still at least that of from: the
// sums that tie with from's cell or beat it form exactly [0, Reach]. A bisection, as the
// position never rises with the sum.
int64_t Reach(int64_t limit, int64_t from, int64_t most) {
    int32_t value = OrderedPosition(limit, from);
    if (OrderedPosition(limit, most) >= value) return most;
    int64_t low = from, high = most;  // value holds at low, not at high
    while (high - low > 1) {
        int64_t middle = low + (high - low) / 2;
        if (OrderedPosition(limit, middle) >= value) {
            low = middle;
        } else {
            high = middle;
        }
    }
    return low;
}

// The free candidates of one side, in candidate order, with their sums: the smallest sum of
// the free ones, and the first free candidate whose sum is at most a bound, each in a number
// of steps that grows with the logarithm of the count. A taken candidate counts as never
// free again.
class FreeCandidates {
public:
    static constexpr int64_t kTaken = INT64_MAX;
    // Room that nodes needs for count candidates: fewer than 4 x count + 2 entries.
    static uint64_t NodesFor(int32_t count) { return 2 * static_cast<uint64_t>(LeavesFor(count)); }

    // Works on nodes, which Fill fills or an earlier object over the same nodes left.
    FreeCandidates(int64_t* nodes, int32_t count) : nodes_(nodes), leaves_(LeavesFor(count)) {}
    // Every candidate free, with sums[k] for candidate k (kTaken for one already taken).
    void Fill(const int64_t* sums, int32_t count) {
        for (int32_t k = 0; k < leaves_; ++k) nodes_[leaves_ + k] = k < count ? sums[k] : kTaken;
        for (int32_t k = leaves_ - 1; k >= 1; --k) {
            nodes_[k] = std::min(nodes_[2 * k], nodes_[2 * k + 1]);
        }
    }
    bool Empty() const { return nodes_[1] == kTaken; }
    int64_t Smallest() const { return nodes_[1]; }
    int64_t SumOf(int32_t k) const { return nodes_[leaves_ + k]; }
    // The first free candidate with a sum of at most bound, -1 when there is none.
    int32_t FirstAtMost(int64_t bound) const {
        if (nodes_[1] > bound) return -1;
        int32_t node = 1;
        while (node < leaves_) node = nodes_[2 * node] <= bound ? 2 * node : 2 * node + 1;
        return node - leaves_;
    }
    void Take(int32_t k) {
        int32_t node = leaves_ + k;
        nodes_[node] = kTaken;
        for (node /= 2; node >= 1; node /= 2) {
            nodes_[node] = std::min(nodes_[2 * node], nodes_[2 * node + 1]);
        }
    }

private:
    static int32_t LeavesFor(int32_t count) {
        int32_t leaves = 1;
        while (leaves < count) leaves *= 2;
        return leaves;
    }
    int64_t* nodes_;
    int32_t leaves_;
};

// The first cell of the greedy order among the free candidates of a row set and a column
// set: the best ordered position belongs to the smallest row sum with the smallest column
// sum; every cell that ties with it has a sum of at most reach; of those the first row in
// candidate order, and in that row the first column. Answers false when a set is empty.
struct GreedyCell {
    int32_t position;  // ordered position of the cell
    int32_t row;       // within the row set
    int32_t column;    // within the column set
};

bool FirstFreeCell(const FreeCandidates& rows, const FreeCandidates& columns, int64_t limit,
                   int64_t mostSum, GreedyCell* cell) {
    if (rows.Empty() || columns.Empty()) return false;
    int64_t smallest = rows.Smallest() + columns.Smallest();
    int64_t reach = Reach(limit, smallest, mostSum);
    cell->position = OrderedPosition(limit, smallest);
    cell->row = rows.FirstAtMost(reach - columns.Smallest());
    cell->column = columns.FirstAtMost(reach - rows.SumOf(cell->row));
    return true;
}

// One text group that has free candidates on both sides, in the pass over equal texts: its
// rows and columns in candidate order, with their own free sets.
struct EqualTextRun {
    int32_t rowStart, rowCount;        // into the rows sorted by group
    int32_t columnStart, columnCount;  // into the columns sorted by group
    int64_t* rowNodes;
    int64_t* columnNodes;
};

// An entry of the queue of runs: a run's first free cell, ordered as the greedy order orders
// cells (better position first, then the lower row; two runs never share a row).
struct RunEntry {
    int32_t position;
    int32_t row;  // candidate index of the cell's row, for the order
    int32_t run;
    GreedyCell cell;
};

bool RunEntryAfter(const RunEntry& left, const RunEntry& right) {
    if (left.position != right.position) return left.position < right.position;
    return left.row > right.row;
}

// The greedy pairing of one type without its score matrix, where the sections hold no item
// that stands in for a candidate's own position (no ignored item takes part). A cell's score
// is then its texts-equal bonus plus the ordered position of rowSum + columnSum, with the
// flag in the lowest bit; the bonus is larger than any position, and no position is negative
// (the caller checked the cell with the largest sum). So the rounds, which take the cells in
// the order (score descending, row, column) while both their row and column are free, first
// take every cell of equal texts, group by group, and only then the others:
// - Among the free cells of equal texts, the next one the rounds take is the best of the
//   groups' first free cells (FirstFreeCell): one row and one column belong to one group, so
//   taking a cell changes only its own group's first free cell, and a queue of the groups
//   answers the best one. Cells of equal texts are always paired: they beat the threshold.
// - Once no group has a free row and a free column, no free cell has equal texts, and the
//   next cell is FirstFreeCell of all free rows and columns. When its score is at or below
//   the threshold, every later round's is too: those rounds only mark their candidates
//   unpaired, as settling the leftovers does.
// Answers false, having paired nothing, when its scratch memory is refused.
bool PairWithoutMatrix(PairingSide& first, PairingSide& second, const PairingRules& rules,
                       const TextGroupsOf& groups, const int64_t* rowSums,
                       const int64_t* columnSums, int64_t limit, int64_t mostSum) {
    int32_t rows = first.candidateCount;
    int32_t columns = second.candidateCount;
    int32_t runLimit = std::min(rows, columns);
    uint64_t *rowKeys = nullptr, *columnKeys = nullptr;
    EqualTextRun* runs = nullptr;
    RunEntry* queue = nullptr;
    int64_t *rowNodes = nullptr, *columnNodes = nullptr, *runRowSums = nullptr,
            *runColumnSums = nullptr;
    bool *rowTaken = nullptr, *columnTaken = nullptr;
    ScratchLayout layout;
    layout.Reserve(&rowKeys, static_cast<uint64_t>(rows));
    layout.Reserve(&columnKeys, static_cast<uint64_t>(columns));
    layout.Reserve(&runs, static_cast<uint64_t>(runLimit));
    layout.Reserve(&queue, static_cast<uint64_t>(runLimit));
    layout.Reserve(&rowNodes, 4 * static_cast<uint64_t>(rows) + 2);
    layout.Reserve(&columnNodes, 4 * static_cast<uint64_t>(columns) + 2);
    layout.Reserve(&runRowSums, static_cast<uint64_t>(rows));
    layout.Reserve(&runColumnSums, static_cast<uint64_t>(columns));
    layout.Reserve(&rowTaken, static_cast<uint64_t>(rows));
    layout.Reserve(&columnTaken, static_cast<uint64_t>(columns));
    void* block = layout.Allocate();
    if (block == nullptr) return false;
    std::fill(rowTaken, rowTaken + rows, false);
    std::fill(columnTaken, columnTaken + columns, false);
    int32_t rounds = runLimit;
    int32_t taken = 0;
    auto take = [&](int32_t a, int32_t b, WCHAR status) {
        rowTaken[a] = true;
        columnTaken[b] = true;
        ++taken;
        Pair(first, second, first.candidates[a], second.candidates[b], status);
    };

    // Equal texts. The candidates sorted by (group, candidate index) put each group's rows,
    // and columns, together in candidate order.
    for (int32_t a = 0; a < rows; ++a) {
        rowKeys[a] = static_cast<uint64_t>(groups.first[first.candidates[a]]) << 32 |
                     static_cast<uint32_t>(a);
    }
    for (int32_t b = 0; b < columns; ++b) {
        columnKeys[b] = static_cast<uint64_t>(groups.second[second.candidates[b]]) << 32 |
                        static_cast<uint32_t>(b);
    }
    std::sort(rowKeys, rowKeys + rows);
    std::sort(columnKeys, columnKeys + columns);
    for (int32_t a = 0; a < rows; ++a) runRowSums[a] = rowSums[static_cast<uint32_t>(rowKeys[a])];
    for (int32_t b = 0; b < columns; ++b) {
        runColumnSums[b] = columnSums[static_cast<uint32_t>(columnKeys[b])];
    }
    int32_t runCount = 0, queued = 0;
    int64_t *rowPlace = rowNodes, *columnPlace = columnNodes;
    for (int32_t a = 0, b = 0; a < rows && b < columns;) {
        uint64_t rowGroup = rowKeys[a] >> 32, columnGroup = columnKeys[b] >> 32;
        int32_t rowEnd = a, columnEnd = b;
        while (rowEnd < rows && rowKeys[rowEnd] >> 32 == rowGroup) ++rowEnd;
        while (columnEnd < columns && columnKeys[columnEnd] >> 32 == columnGroup) ++columnEnd;
        if (rowGroup == columnGroup) {
            EqualTextRun& run = runs[runCount];
            run = {a, rowEnd - a, b, columnEnd - b, rowPlace, columnPlace};
            rowPlace += FreeCandidates::NodesFor(run.rowCount);
            columnPlace += FreeCandidates::NodesFor(run.columnCount);
            FreeCandidates runRows(run.rowNodes, run.rowCount);
            FreeCandidates runColumns(run.columnNodes, run.columnCount);
            runRows.Fill(runRowSums + a, run.rowCount);
            runColumns.Fill(runColumnSums + b, run.columnCount);
            RunEntry entry = {0, 0, runCount, {}};
            FirstFreeCell(runRows, runColumns, limit, mostSum, &entry.cell);
            entry.position = entry.cell.position;
            entry.row = static_cast<int32_t>(rowKeys[a + entry.cell.row]);
            queue[queued++] = entry;
            ++runCount;
        }
        if (rowGroup <= columnGroup) a = rowEnd;
        if (columnGroup <= rowGroup) b = columnEnd;
    }
    std::make_heap(queue, queue + queued, RunEntryAfter);
    while (queued > 0) {
        std::pop_heap(queue, queue + queued, RunEntryAfter);
        RunEntry entry = queue[--queued];
        EqualTextRun& run = runs[entry.run];
        FreeCandidates runRows(run.rowNodes, run.rowCount);
        FreeCandidates runColumns(run.columnNodes, run.columnCount);
        take(static_cast<int32_t>(rowKeys[run.rowStart + entry.cell.row]),
             static_cast<int32_t>(columnKeys[run.columnStart + entry.cell.column]), kStatusEqual);
        runRows.Take(entry.cell.row);
        runColumns.Take(entry.cell.column);
        if (FirstFreeCell(runRows, runColumns, limit, mostSum, &entry.cell)) {
            entry.position = entry.cell.position;
            entry.row = static_cast<int32_t>(rowKeys[run.rowStart + entry.cell.row]);
            queue[queued++] = entry;
            std::push_heap(queue, queue + queued, RunEntryAfter);
        }
    }

    // Different texts, over every row and column still free.
    for (int32_t a = 0; a < rows; ++a) runRowSums[a] = rowTaken[a] ? FreeCandidates::kTaken : rowSums[a];
    for (int32_t b = 0; b < columns; ++b) {
        runColumnSums[b] = columnTaken[b] ? FreeCandidates::kTaken : columnSums[b];
    }
    FreeCandidates freeRows(rowNodes, rows);
    FreeCandidates freeColumns(columnNodes, columns);
    freeRows.Fill(runRowSums, rows);
    freeColumns.Fill(runColumnSums, columns);
    GreedyCell cell;
    while (taken < rounds && FirstFreeCell(freeRows, freeColumns, limit, mostSum, &cell)) {
        bool belowThreshold = rules.unsignedThreshold
                                  ? static_cast<uint32_t>(cell.position) <= kPairingThreshold
                                  : cell.position <= kPairingThreshold;
        if (belowThreshold) break;
        take(cell.row, cell.column, kStatusChanged);
        freeRows.Take(cell.row);
        freeColumns.Take(cell.column);
    }
    CheckedFree(block);
    return true;
}

void PairByScoreInOnePass(PairingSide& first, PairingSide& second, int32_t type,
                          const PairingRules& rules, const TextGroupsOf& groups) {
    // 1.
    int32_t rows = first.candidateCount;
    int32_t columns = second.candidateCount;
    uint64_t cells = static_cast<uint64_t>(rows) * static_cast<uint64_t>(columns);
    // 2.
    if (cells != 0 && g_itemTypeTable.MatchBySimilarity(type)) {
        int64_t *rowSums = nullptr, *columnSums = nullptr;
        int64_t *firstPrefix = nullptr, *secondPrefix = nullptr;
        int32_t *firstSorted = nullptr, *secondSorted = nullptr;
        ScratchLayout sumLayout;
        sumLayout.Reserve(&rowSums, static_cast<uint64_t>(rows));
        sumLayout.Reserve(&columnSums, static_cast<uint64_t>(columns));
        sumLayout.Reserve(&firstPrefix, static_cast<uint64_t>(first.count) + 1);
        sumLayout.Reserve(&secondPrefix, static_cast<uint64_t>(second.count) + 1);
        sumLayout.Reserve(&firstSorted, static_cast<uint64_t>(first.count) + 1);
        sumLayout.Reserve(&secondSorted, static_cast<uint64_t>(second.count) + 1);
        void* sumBlock = sumLayout.Allocate();
        if (sumBlock == nullptr) {
            PairByScoreReference(first, second, type, rules);
            return;
        }
        // 2.1-2.2 Every score is computed before any pair of this type is made. A score's sum
        //    splits into a part that depends on the row's position only (the second side's
        //    counted items), one that depends on the column's only (the first side's), and
        //    the items that stand in for a candidate's own position, which depend on both.
        AssignPositions(first);
        AssignPositions(second);
        PartnerPositions firstPartners = {firstSorted, firstPrefix, 0, 0};
        PartnerPositions secondPartners = {secondSorted, secondPrefix, 0, 0};
        CollectPartnerPositions(first, second, firstPartners);
        CollectPartnerPositions(second, first, secondPartners);
        int64_t mostRow = 0, mostColumn = 0;
        for (int32_t a = 0; a < rows; ++a) {
            rowSums[a] = PartnerDisplacement(secondPartners, first.positions[first.candidates[a]]);
            mostRow = std::max(mostRow, rowSums[a]);
        }
        for (int32_t b = 0; b < columns; ++b) {
            columnSums[b] =
                PartnerDisplacement(firstPartners, second.positions[second.candidates[b]]);
            mostColumn = std::max(mostColumn, columnSums[b]);
        }
        int64_t limit = 2 * static_cast<int64_t>(first.count) * second.count;
        // Without items standing in for the candidates' own positions, and with no negative
        // score (the cell of the two largest sums has the lowest position), the rounds can be
        // found without the matrix.
        if (groups.first != nullptr && firstPartners.ownCount == 0 &&
            secondPartners.ownCount == 0 && OrderedPosition(limit, mostRow + mostColumn) >= 0 &&
            PairWithoutMatrix(first, second, rules, groups, rowSums, columnSums, limit,
                              mostRow + mostColumn)) {
            CheckedFree(sumBlock);
            SettleLeftovers(first, second, rules);
            return;
        }
        void* block = nullptr;
        uint64_t* keys = nullptr;
        char* sortScratch = nullptr;
        bool *rowTaken = nullptr, *columnTaken = nullptr;
        if (cells <= UINT32_MAX) {
            ScratchLayout layout;
            layout.Reserve(&keys, cells);
            layout.Reserve(&sortScratch, CellSortScratchBytes(static_cast<uint32_t>(cells)));
            layout.Reserve(&rowTaken, static_cast<uint64_t>(rows));
            layout.Reserve(&columnTaken, static_cast<uint64_t>(columns));
            block = layout.Allocate();
        }
        if (block == nullptr) {
            // The step by step pairing needs a quarter of this memory and pairs alike.
            CheckedFree(sumBlock);
            PairByScoreReference(first, second, type, rules);
            return;
        }
        std::fill(rowTaken, rowTaken + rows, false);
        std::fill(columnTaken, columnTaken + columns, false);
        bool anyNegative = false;
        uint32_t index = 0;
        for (int32_t a = 0; a < rows; ++a) {
            int32_t i = first.candidates[a];
            int32_t firstPosition = first.positions[i];
            for (int32_t b = 0; b < columns; ++b, ++index) {
                int32_t j = second.candidates[b];
                int32_t secondPosition = second.positions[j];
                int32_t position = 0;
                if (limit != 0) {
                    int64_t sum = rowSums[a] + columnSums[b];
                    if (firstPartners.ownCount != 0) {
                        sum += firstPartners.ownCount *
                               OwnDisplacement(firstPosition, secondPosition);
                    }
                    if (secondPartners.ownCount != 0) {
                        sum += secondPartners.ownCount *
                               OwnDisplacement(secondPosition, firstPosition);
                    }
                    position = ScaleDisplacement(limit, sum);
                }
                bool equal = TextsEqual(first, second, i, j, groups);
                int32_t score = (equal ? kEqualTextScore : 0) + position;
                score = equal ? (score | 1) : (score & ~1);
                anyNegative = anyNegative || score < 0;
                keys[index] = CellKey(score, index);
            }
        }
        if (anyNegative) {
            // A used cell could then outscore an unused one, or none beat TakeBest's start
            // value, and the rounds no longer pair distinct candidates in score order: only
            // the rounds themselves give their result.
            CheckedFree(block);
            CheckedFree(sumBlock);
            PairByScoreReference(first, second, type, rules);
            return;
        }
        // 2.3 The rounds of TakeBest, in one pass. A round answers, among the cells whose row
        //    and column no earlier round took, the highest score, the first in row-major order
        //    on a tie: the first such cell in the order of the sorted keys. The pass visits
        //    the keys in that order and takes a cell whose row and column are both free; every
        //    cell before it had a taken row or column when visited, and taken stays taken, so
        //    it is the first free cell of the whole order: the cell of the same round. (Taken
        //    cells can never win a round: no score is negative, as checked above, and used
        //    ones are below kUsedCellOffset.) A cell at or below the threshold takes its row
        //    and column too, as a round does; from there on every cell is as low, so the rest of the
        //    rounds only mark their candidates unpaired, which step 3 would do as well.
        SortCellKeys(keys, static_cast<uint32_t>(cells), sortScratch);
        int32_t rounds = rows < columns ? rows : columns;
        int32_t taken = 0;
        for (uint64_t k = 0; k < cells && taken < rounds; ++k) {
            uint32_t cell = CellKeyIndex(keys[k]);
            int32_t a = static_cast<int32_t>(cell / static_cast<uint32_t>(columns));
            int32_t b = static_cast<int32_t>(cell % static_cast<uint32_t>(columns));
            if (rowTaken[a] || columnTaken[b]) continue;
            rowTaken[a] = true;
            columnTaken[b] = true;
            ++taken;
            int32_t score = CellKeyScore(keys[k]);
            int32_t i = first.candidates[a];
            int32_t j = second.candidates[b];
            bool belowThreshold = rules.unsignedThreshold
                                      ? static_cast<uint32_t>(score) <= kPairingThreshold
                                      : score <= kPairingThreshold;
            if (belowThreshold) {
                MarkUnpaired(first, i, rules.firstUnpaired);
                MarkUnpaired(second, j, rules.secondUnpaired);
            } else {
                Pair(first, second, i, j, (score & 1) != 0 ? kStatusEqual : kStatusChanged);
            }
        }
        CheckedFree(block);
        CheckedFree(sumBlock);
    }
    // 3.
    SettleLeftovers(first, second, rules);
}

}  // namespace

void PairByScore(PairingSide& first, PairingSide& second, int32_t type,
                 const PairingRules& rules) {
    PairByScoreInOnePass(first, second, type, rules, {nullptr, nullptr});
}

namespace {

// One group of equal texts: see TextGroupsOf.
struct TextGroup {
    uint32_t hash;
    int32_t typeIndex;
    const WCHAR* text;
    int32_t firstUnresolved;
    int32_t secondUnresolved;
    int32_t secondItem;  // the first second-side item of the group
};

// One item type of the section pair, with its unresolved items on each side.
struct TypeTally {
    int32_t type;
    int32_t firstUnresolved;
    int32_t secondUnresolved;
    int32_t firstStart;   // where the type's first-side items start in the per-type lists
    int32_t secondStart;
};

// Open-addressed tables that find a type's tally and a (type, text)'s group; slots hold an
// index, -1 when empty. The tables are at least twice as large as the entries they can hold.
struct GroupTables {
    uint32_t mask;
    int32_t* typeSlots;
    int32_t* groupSlots;
    TypeTally* tallies;
    int32_t tallyCount;
    TextGroup* groups;
    int32_t groupCount;
};

uint32_t HashType(int32_t type) { return static_cast<uint32_t>(type) * 2654435761u; }

// FNV-1a over the text's code units, seeded with the type; a null text has its own value.
uint32_t HashText(const WCHAR* text, int32_t type) {
    uint32_t hash = 2166136261u ^ HashType(type);
    if (text == nullptr) return hash ^ 0x9E3779B9u;
    for (; *text != 0; ++text) hash = (hash ^ static_cast<uint32_t>(*text)) * 16777619u;
    return hash;
}

int32_t TallyOf(GroupTables& tables, int32_t type) {
    uint32_t slot = HashType(type) & tables.mask;
    while (tables.typeSlots[slot] != -1) {
        if (tables.tallies[tables.typeSlots[slot]].type == type) return tables.typeSlots[slot];
        slot = (slot + 1) & tables.mask;
    }
    tables.typeSlots[slot] = tables.tallyCount;
    tables.tallies[tables.tallyCount] = {type, 0, 0, 0, 0};
    return tables.tallyCount++;
}

// Texts are equal as lstrcmpW says, two null texts included.
int32_t GroupOf(GroupTables& tables, const WCHAR* text, int32_t type) {
    uint32_t hash = HashText(text, type);
    uint32_t slot = hash & tables.mask;
    while (tables.groupSlots[slot] != -1) {
        const TextGroup& group = tables.groups[tables.groupSlots[slot]];
        if (group.hash == hash && tables.tallies[group.typeIndex].type == type &&
            lstrcmpW(group.text, text) == 0) {
            return tables.groupSlots[slot];
        }
        slot = (slot + 1) & tables.mask;
    }
    tables.groupSlots[slot] = tables.groupCount;
    tables.groups[tables.groupCount] = {hash, TallyOf(tables, type), text, 0, 0, kNoMatch};
    return tables.groupCount++;
}

int32_t CountUnresolved(const PairingSide& side) {
    int32_t unresolved = 0;
    for (int32_t k = 0; k < side.count; ++k) unresolved += side.status[k] == kStatusUnresolved;
    return unresolved;
}

// Lists the side's unresolved items type by type, each type's in index order, and answers
// where each type's list starts in the tallies (first or second start, by firstSide).
void ListByType(const PairingSide& side, const int32_t* itemGroups, GroupTables& tables,
                int32_t* lists, bool firstSide) {
    int32_t start = 0;
    for (int32_t t = 0; t < tables.tallyCount; ++t) {
        TypeTally& tally = tables.tallies[t];
        int32_t size = firstSide ? tally.firstUnresolved : tally.secondUnresolved;
        (firstSide ? tally.firstStart : tally.secondStart) = start;
        start += size;
    }
    for (int32_t k = 0; k < side.count; ++k) {
        if (side.status[k] != kStatusUnresolved) continue;
        TypeTally& tally = tables.tallies[tables.groups[itemGroups[k]].typeIndex];
        lists[(firstSide ? tally.firstStart : tally.secondStart)++] = k;
    }
    // The counting moved each start to its list's end: move it back.
    for (int32_t t = 0; t < tables.tallyCount; ++t) {
        TypeTally& tally = tables.tallies[t];
        if (firstSide) {
            tally.firstStart -= tally.firstUnresolved;
        } else {
            tally.secondStart -= tally.secondUnresolved;
        }
    }
}

}  // namespace

void MatchItems(PairingSide& first, PairingSide& second, const PairingRules& rules) {
    int32_t firstOpen = CountUnresolved(first);
    int32_t secondOpen = CountUnresolved(second);
    if (firstOpen + secondOpen == 0) return;
    uint32_t slots = 16;
    while (slots < 2 * static_cast<uint32_t>(firstOpen + secondOpen)) slots *= 2;
    GroupTables tables = {slots - 1, nullptr, nullptr, nullptr, 0, nullptr, 0};
    int32_t *firstGroups = nullptr, *secondGroups = nullptr;
    int32_t *firstLists = nullptr, *secondLists = nullptr;
    ScratchLayout layout;
    layout.Reserve(&tables.groups, static_cast<uint64_t>(firstOpen + secondOpen));
    layout.Reserve(&tables.tallies, static_cast<uint64_t>(firstOpen + secondOpen));
    layout.Reserve(&tables.typeSlots, slots);
    layout.Reserve(&tables.groupSlots, slots);
    layout.Reserve(&firstGroups, static_cast<uint64_t>(first.count));
    layout.Reserve(&secondGroups, static_cast<uint64_t>(second.count));
    layout.Reserve(&firstLists, static_cast<uint64_t>(first.count));
    layout.Reserve(&secondLists, static_cast<uint64_t>(second.count));
    void* block = layout.Allocate();
    if (block == nullptr) {
        // The step by step pairing needs no memory of its own for these phases.
        MatchItemsReference(first, second, rules);
        return;
    }
    std::fill(tables.typeSlots, tables.typeSlots + slots, -1);
    std::fill(tables.groupSlots, tables.groupSlots + slots, -1);
    for (int32_t i = 0; i < first.count; ++i) {
        firstGroups[i] = -1;
        if (first.status[i] != kStatusUnresolved) continue;
        firstGroups[i] = GroupOf(tables, first.texts[i], first.types[i]);
        TextGroup& group = tables.groups[firstGroups[i]];
        ++group.firstUnresolved;
        ++tables.tallies[group.typeIndex].firstUnresolved;
    }
    for (int32_t j = 0; j < second.count; ++j) {
        secondGroups[j] = -1;
        if (second.status[j] != kStatusUnresolved) continue;
        secondGroups[j] = GroupOf(tables, second.texts[j], second.types[j]);
        TextGroup& group = tables.groups[secondGroups[j]];
        if (group.secondUnresolved++ == 0) group.secondItem = j;
        ++tables.tallies[group.typeIndex].secondUnresolved;
    }
    // 1. Unique texts. FindUnresolved on the second side answers 0 when the type's tally
    //    there is 0, 1 when the group's is 1, else 2; on the first side, 1 when the group's is
    //    1 (item i itself). A second-side item leaves its group only by pairing, when the
    //    group's tally is 1, so a group whose tally is 1 still holds its first item.
    for (int32_t i = 0; i < first.count; ++i) {
        if (first.status[i] != kStatusUnresolved) continue;
        TextGroup& group = tables.groups[firstGroups[i]];
        TypeTally& tally = tables.tallies[group.typeIndex];
        if (tally.secondUnresolved == 0) {
            MarkUnpaired(first, i, rules.firstUnpaired);
        } else if (group.secondUnresolved == 1 && group.firstUnresolved == 1) {
            Pair(first, second, i, group.secondItem, kStatusEqual);
            --group.secondUnresolved;
            --tally.secondUnresolved;
        } else {
            continue;
        }
        --group.firstUnresolved;
        --tally.firstUnresolved;
    }
    // 2. Types that the first side lacks.
    for (int32_t j = 0; j < second.count; ++j) {
        if (second.status[j] != kStatusUnresolved) continue;
        TypeTally& tally = tables.tallies[tables.groups[secondGroups[j]].typeIndex];
        if (tally.firstUnresolved == 0) {
            MarkUnpaired(second, j, rules.secondUnpaired);
            --tally.secondUnresolved;
        }
    }
    // 3. Every remaining type, in the order of its first unresolved first-side item. Only
    //    the pairing of a type changes its items, so the lists made now are the candidates
    //    that CollectCandidates would find when the type's turn comes.
    ListByType(first, firstGroups, tables, firstLists, true);
    ListByType(second, secondGroups, tables, secondLists, false);
    for (int32_t i = 0; i < first.count; ++i) {
        if (first.status[i] != kStatusUnresolved) continue;
        const TypeTally& tally = tables.tallies[tables.groups[firstGroups[i]].typeIndex];
        first.candidateCount = tally.firstUnresolved;
        std::copy(firstLists + tally.firstStart, firstLists + tally.firstStart + tally.firstUnresolved,
                  first.candidates);
        second.candidateCount = tally.secondUnresolved;
        std::copy(secondLists + tally.secondStart,
                  secondLists + tally.secondStart + tally.secondUnresolved, second.candidates);
        PairByScoreInOnePass(first, second, tally.type, rules, {firstGroups, secondGroups});
    }
    CheckedFree(block);
}

void PairByScoreReference(PairingSide& first, PairingSide& second, int32_t type,
                          const PairingRules& rules) {
    // 1.
    int32_t rows = first.candidateCount;
    int32_t columns = second.candidateCount;
    // 2.
    uint64_t cells = static_cast<uint64_t>(rows) * static_cast<uint64_t>(columns);
    if (cells != 0 && g_itemTypeTable.MatchBySimilarity(type)) {
        int32_t* matrix = cells * sizeof(int32_t) <= UINT32_MAX
                              ? static_cast<int32_t*>(CheckedAlloc(
                                    static_cast<uint32_t>(cells * sizeof(int32_t))))
                              : nullptr;
        if (matrix != nullptr) {
            // 2.1-2.2 Every score is computed before any pair of this type is made.
            AssignPositions(first);
            AssignPositions(second);
            for (int32_t a = 0; a < rows; ++a) {
                for (int32_t b = 0; b < columns; ++b) {
                    matrix[static_cast<size_t>(a) * columns + b] =
                        ItemScore(first, second, first.candidates[a], second.candidates[b]);
                }
            }
            // 2.3
            int32_t rounds = rows < columns ? rows : columns;
            for (int32_t round = 0; round < rounds; ++round) {
                BestCell best = TakeBest(matrix, rows, columns);
                int32_t i = first.candidates[best.row];
                int32_t j = second.candidates[best.column];
                bool belowThreshold =
                    rules.unsignedThreshold
                        ? static_cast<uint32_t>(best.score) <= kPairingThreshold
                        : best.score <= kPairingThreshold;
                if (belowThreshold) {
                    MarkUnpaired(first, i, rules.firstUnpaired);
                    MarkUnpaired(second, j, rules.secondUnpaired);
                } else {
                    Pair(first, second, i, j, best.textsEqual ? kStatusEqual : kStatusChanged);
                }
            }
            CheckedFree(matrix);
        } else {
            // Without the matrix the similar items would come out as additions and deletions:
            // a comparison that looks complete and is not. The run is told, so that its
            // output is not handed over as good.
            g_runState.outOfMemory = true;
        }
    }
    // 3.
    SettleLeftovers(first, second, rules);
}

void MatchItemsReference(PairingSide& first, PairingSide& second, const PairingRules& rules) {
    // 1. Unique texts.
    for (int32_t i = 0; i < first.count; ++i) {
        if (first.status[i] != kStatusUnresolved) continue;
        int32_t j = kNoMatch;
        int found = FindUnresolved(second, first.texts[i], first.types[i], &j);
        if (found == 0) {
            MarkUnpaired(first, i, rules.firstUnpaired);
        } else if (found == 1 &&
                   FindUnresolved(first, first.texts[i], first.types[i], nullptr) == 1) {
            Pair(first, second, i, j, kStatusEqual);
        }
    }
    // 2. Types that the first side lacks.
    for (int32_t j = 0; j < second.count; ++j) {
        if (second.status[j] != kStatusUnresolved) continue;
        if (FindUnresolved(first, second.texts[j], second.types[j], nullptr) == 0) {
            MarkUnpaired(second, j, rules.secondUnpaired);
        }
    }
    // 3. Every remaining type, in the order of its first unresolved first-side item.
    for (int32_t i = 0; i < first.count; ++i) {
        if (first.status[i] != kStatusUnresolved) continue;
        int32_t type = first.types[i];
        CollectCandidates(first, type);
        CollectCandidates(second, type);
        PairByScoreReference(first, second, type, rules);
    }
}
