// compare/matrix_free_pairing.cpp: the greedy rounds of one type without a score matrix.
//
// The rounds take the cells in the order (score descending, row, column) while both their row
// and column are free. Every tie-break below reproduces that order: a smaller sum before a
// larger one only where their ordered positions differ, else the lower row, then the lower
// column.
#include "compare/matrix_free_pairing.h"

#include <algorithm>

#include "compare/pair_scores.h"
#include "compare/pairing_outcome.h"
#include "compare/scratch_layout.h"
#include "support/checked_memory.h"

int32_t OrderedPosition(int64_t limit, int64_t sum) {
    return limit == 0 ? 0 : (ScaleDisplacement(limit, sum) & ~kTextsEqualBit);
}

namespace {

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
    // The first free candidate with a sum of at most bound, -1 when there is none. The descent
    // prefers the left child on a tie, so that the lowest candidate index wins.
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

// A candidate's sort key in the pass over equal texts: its text group in the upper half, its
// candidate index in the lower, so that ascending keys put each group's candidates together in
// candidate order.
constexpr int kGroupKeyShift = 32;

uint64_t GroupKey(int32_t group, int32_t candidate) {
    return static_cast<uint64_t>(group) << kGroupKeyShift | static_cast<uint32_t>(candidate);
}
uint64_t GroupOfKey(uint64_t key) { return key >> kGroupKeyShift; }
int32_t CandidateOfKey(uint64_t key) { return static_cast<int32_t>(static_cast<uint32_t>(key)); }

}  // namespace

// The rounds first take every cell of equal texts, group by group, and only then the others,
// because the equal-text bonus is larger than any position and no position is negative:
// - Among the free cells of equal texts, the next one the rounds take is the best of the
//   groups' first free cells (FirstFreeCell): one row and one column belong to one group, so
//   taking a cell changes only its own group's first free cell, and a queue of the groups
//   answers the best one. Cells of equal texts are always paired: they beat the threshold.
// - Once no group has a free row and a free column, no free cell has equal texts, and the
//   next cell is FirstFreeCell of all free rows and columns. When its score is at or below
//   the threshold, every later round's is too: those rounds only mark their candidates
//   unpaired, as settling the leftovers does.
bool PairWithoutMatrix(PairingSide& first, PairingSide& second, const PairingRules& rules,
                       const TextGroupsOf& groups, const int64_t* rowSums,
                       const int64_t* columnSums, int64_t limit, int64_t mostSum) {
    int32_t rows = first.candidateCount;
    int32_t columns = second.candidateCount;
    // One round per candidate of the shorter side; no more runs of equal texts than that.
    int32_t rounds = std::min(rows, columns);
    uint64_t *rowKeys = nullptr, *columnKeys = nullptr;
    EqualTextRun* runs = nullptr;
    RunEntry* queue = nullptr;
    int64_t *rowNodes = nullptr, *columnNodes = nullptr, *runRowSums = nullptr,
            *runColumnSums = nullptr;
    bool *rowTaken = nullptr, *columnTaken = nullptr;
    ScratchLayout layout;
    layout.Reserve(&rowKeys, static_cast<uint64_t>(rows));
    layout.Reserve(&columnKeys, static_cast<uint64_t>(columns));
    layout.Reserve(&runs, static_cast<uint64_t>(rounds));
    layout.Reserve(&queue, static_cast<uint64_t>(rounds));
    // The trees of the equal-text runs lie side by side in these, and later the tree of all
    // free rows (or columns) over them: NodesFor stays under 4 x count + 2 for either.
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
    int32_t taken = 0;
    auto take = [&](int32_t row, int32_t column, WCHAR status) {
        rowTaken[row] = true;
        columnTaken[column] = true;
        ++taken;
        Pair(first, second, first.candidates[row], second.candidates[column], status);
    };

    // Equal texts. The candidates sorted by (group, candidate index) put each group's rows,
    // and columns, together in candidate order.
    for (int32_t row = 0; row < rows; ++row) {
        rowKeys[row] = GroupKey(groups.first[first.candidates[row]], row);
    }
    for (int32_t column = 0; column < columns; ++column) {
        columnKeys[column] = GroupKey(groups.second[second.candidates[column]], column);
    }
    std::sort(rowKeys, rowKeys + rows);
    std::sort(columnKeys, columnKeys + columns);
    for (int32_t row = 0; row < rows; ++row) {
        runRowSums[row] = rowSums[CandidateOfKey(rowKeys[row])];
    }
    for (int32_t column = 0; column < columns; ++column) {
        runColumnSums[column] = columnSums[CandidateOfKey(columnKeys[column])];
    }
    // Walk both sorted lists side by side, group by group; a group on both sides is a run.
    int32_t runCount = 0, queued = 0;
    int64_t *rowPlace = rowNodes, *columnPlace = columnNodes;
    for (int32_t row = 0, column = 0; row < rows && column < columns;) {
        uint64_t rowGroup = GroupOfKey(rowKeys[row]), columnGroup = GroupOfKey(columnKeys[column]);
        int32_t rowEnd = row, columnEnd = column;
        while (rowEnd < rows && GroupOfKey(rowKeys[rowEnd]) == rowGroup) ++rowEnd;
        while (columnEnd < columns && GroupOfKey(columnKeys[columnEnd]) == columnGroup) {
            ++columnEnd;
        }
        if (rowGroup == columnGroup) {
            EqualTextRun& run = runs[runCount];
            run = {row, rowEnd - row, column, columnEnd - column, rowPlace, columnPlace};
            rowPlace += FreeCandidates::NodesFor(run.rowCount);
            columnPlace += FreeCandidates::NodesFor(run.columnCount);
            FreeCandidates runRows(run.rowNodes, run.rowCount);
            FreeCandidates runColumns(run.columnNodes, run.columnCount);
            runRows.Fill(runRowSums + row, run.rowCount);
            runColumns.Fill(runColumnSums + column, run.columnCount);
            // A new run has a free row and a free column, so it always has a first free cell.
            RunEntry entry = {0, 0, runCount, {}};
            FirstFreeCell(runRows, runColumns, limit, mostSum, &entry.cell);
            entry.position = entry.cell.position;
            entry.row = CandidateOfKey(rowKeys[row + entry.cell.row]);
            queue[queued++] = entry;
            ++runCount;
        }
        if (rowGroup <= columnGroup) row = rowEnd;
        if (columnGroup <= rowGroup) column = columnEnd;
    }
    // The queue answers the run whose first free cell comes first in the greedy order; taking
    // that cell changes only that run's first free cell, which goes back into the queue.
    std::make_heap(queue, queue + queued, RunEntryAfter);
    while (queued > 0) {
        std::pop_heap(queue, queue + queued, RunEntryAfter);
        RunEntry entry = queue[--queued];
        EqualTextRun& run = runs[entry.run];
        FreeCandidates runRows(run.rowNodes, run.rowCount);
        FreeCandidates runColumns(run.columnNodes, run.columnCount);
        take(CandidateOfKey(rowKeys[run.rowStart + entry.cell.row]),
             CandidateOfKey(columnKeys[run.columnStart + entry.cell.column]), kStatusEqual);
        runRows.Take(entry.cell.row);
        runColumns.Take(entry.cell.column);
        if (FirstFreeCell(runRows, runColumns, limit, mostSum, &entry.cell)) {
            entry.position = entry.cell.position;
            entry.row = CandidateOfKey(rowKeys[run.rowStart + entry.cell.row]);
            queue[queued++] = entry;
            std::push_heap(queue, queue + queued, RunEntryAfter);
        }
    }

    // Different texts, over every row and column still free.
    for (int32_t row = 0; row < rows; ++row) {
        runRowSums[row] = rowTaken[row] ? FreeCandidates::kTaken : rowSums[row];
    }
    for (int32_t column = 0; column < columns; ++column) {
        runColumnSums[column] = columnTaken[column] ? FreeCandidates::kTaken : columnSums[column];
    }
    FreeCandidates freeRows(rowNodes, rows);
    FreeCandidates freeColumns(columnNodes, columns);
    freeRows.Fill(runRowSums, rows);
    freeColumns.Fill(runColumnSums, columns);
    GreedyCell cell;
    while (taken < rounds && FirstFreeCell(freeRows, freeColumns, limit, mostSum, &cell)) {
        if (IsAtOrBelowThreshold(rules, cell.position)) break;
        take(cell.row, cell.column, kStatusChanged);
        freeRows.Take(cell.row);
        freeColumns.Take(cell.column);
    }
    CheckedFree(block);
    return true;
}
