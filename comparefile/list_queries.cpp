// comparefile/list_queries.cpp: sorting, searching and resolving the records of a list.
//
// The sort and the search run on the platform's qsort and bsearch, whose comparisons see only
// the order entries; they reach the list in question through one process-wide pointer, set
// for the length of each call. One sort or search runs at a time in a process.
#include <cstdlib>

#include "comparefile/compare_list.h"
#include "outline/outline_walk.h"

namespace {

const CompareList* g_orderedList = nullptr;
// The order a search runs over, and whose keys it compares.
const RecordNumber* g_searchBase = nullptr;
bool g_searchByFirstKey = true;
RecordNumber g_lastProbe = 0;

const WCHAR kNoKey[] = {0};

const WCHAR* KeyOrEmpty(const WCHAR* key) { return key != nullptr ? key : kNoKey; }

// The place of letter in table, counted from 0; 11 for a letter that is not in it.
int PlaceIn(const char* table, WCHAR letter) {
    for (int place = 0; table[place] != 0; ++place) {
        if (static_cast<WCHAR>(table[place]) == letter) return place;
    }
    return 11;
}

// The ranks order the records of one key by kind. Rank A puts deletions before additions, the
// order of side 2, where deleted items still stand; rank B the other way round, for side 1.
int RankA(const CompareList& list, RecordNumber n) {
    return 12 * PlaceIn("CMDAX.", list.ChangeLetter(n)) + PlaceIn("TAMPD ", list.SubjectLetter(n));
}
int RankB(const CompareList& list, RecordNumber n) {
    return 12 * PlaceIn("CMAXD.", list.ChangeLetter(n)) + PlaceIn("TAMPD ", list.SubjectLetter(n));
}

template <typename Number>
int CompareNumbers(Number first, Number second) {
    return first < second ? -1 : first > second;
}

int CompareSecondOrder(const void* left, const void* right) {
    const CompareList& list = *g_orderedList;
    RecordNumber a = *static_cast<const RecordNumber*>(left);
    RecordNumber b = *static_cast<const RecordNumber*>(right);
    int order = lstrcmpW(KeyOrEmpty(list.SecondKey(a)), KeyOrEmpty(list.SecondKey(b)));
    if (order == 0) order = CompareNumbers(RankA(list, a), RankA(list, b));
    if (order == 0) order = lstrcmpW(KeyOrEmpty(list.FirstKey(a)), KeyOrEmpty(list.FirstKey(b)));
    if (order == 0) order = CompareNumbers(RankB(list, a), RankB(list, b));
    return order != 0 ? order : CompareNumbers(a, b);
}

int CompareFirstOrder(const void* left, const void* right) {
    const CompareList& list = *g_orderedList;
    RecordNumber a = *static_cast<const RecordNumber*>(left);
    RecordNumber b = *static_cast<const RecordNumber*>(right);
    int order = lstrcmpW(KeyOrEmpty(list.FirstKey(a)), KeyOrEmpty(list.FirstKey(b)));
    if (order == 0) order = CompareNumbers(RankB(list, a), RankB(list, b));
    if (order == 0) order = lstrcmpW(KeyOrEmpty(list.SecondKey(a)), KeyOrEmpty(list.SecondKey(b)));
    if (order == 0) order = CompareNumbers(RankA(list, a), RankA(list, b));
    return order != 0 ? order : CompareNumbers(a, b);
}

// The key of the record that an order entry names, on the side being searched.
const WCHAR* SearchedKey(RecordNumber record) {
    return KeyOrEmpty(g_searchByFirstKey ? g_orderedList->FirstKey(record)
                                         : g_orderedList->SecondKey(record));
}

int CompareWithSearchKey(const void* key, const void* entry) {
    const RecordNumber* position = static_cast<const RecordNumber*>(entry);
    g_lastProbe = static_cast<RecordNumber>(position - g_searchBase);
    return lstrcmpW(static_cast<const WCHAR*>(key), SearchedKey(*position));
}

}  // namespace

void CompareList::SortCompareList() {
    if (count_ == 0) return;
    g_orderedList = this;
    qsort(secondOrder_, count_, sizeof(RecordNumber), CompareSecondOrder);
    qsort(firstOrder_, count_, sizeof(RecordNumber), CompareFirstOrder);
    g_orderedList = nullptr;
}

int32_t CompareList::SearchCompareList(uint16_t side, const WCHAR* key, bool partial) {
    if (side != 1 && side != 2) return -1;
    const WCHAR* wanted = KeyOrEmpty(key);
    const RecordNumber* order = OrderOf(side);
    g_orderedList = this;
    g_searchByFirstKey = side == 1;
    g_searchBase = order;
    g_lastProbe = lastProbe_;
    int32_t answer = -1;
    const void* found =
        count_ == 0 ? nullptr
                    : bsearch(wanted, order, count_, sizeof(RecordNumber), CompareWithSearchKey);
    lastProbe_ = g_lastProbe;
    if (found != nullptr) {
        // Several records share a key: answer the first of them.
        int32_t p = static_cast<int32_t>(static_cast<const RecordNumber*>(found) - order);
        while (p > 0 && lstrcmpW(wanted, SearchedKey(order[p - 1])) == 0) --p;
        answer = p;
    } else if (partial && count_ == 0) {
        answer = 0;
    } else if (partial) {
        // The search ended next to where the key would stand: step from just before its last
        // probe to the last key that sorts before the wanted one.
        int32_t last = static_cast<int32_t>(count_) - 1;
        int32_t s = lastProbe_ > 0 ? static_cast<int32_t>(lastProbe_) - 1 : 0;
        while (s < last && lstrcmpW(wanted, SearchedKey(order[s + 1])) >= 0) ++s;
        answer = s;
    }
    g_orderedList = nullptr;
    return answer;
}

void CompareList::SetCompareItemHandles(OutlineHandle outline, ItemHandle start, int32_t side) {
    // In the side's own order, which after sorting runs by that side's key, so that each key
    // is found from the one before it rather than from the first child of every section.
    KeyResolver resolver(outline, start);
    const RecordNumber* order = side != 0 ? secondOrder_ : firstOrder_;
    for (RecordNumber position = 0; position < count_; ++position) {
        RecordNumber n = order[position];
        if (side != 0) {
            secondItems_[n] = resolver.Find(secondKeys_[n]);
        } else {
            firstItems_[n] = resolver.Find(firstKeys_[n]);
        }
    }
}

int32_t CompareList::MatchingPosition(uint16_t side, RecordNumber position) const {
    if (position >= count_) return -1;
    const RecordNumber* from = side == 1 ? firstOrder_ : secondOrder_;
    const RecordNumber* to = side == 1 ? secondOrder_ : firstOrder_;
    RecordNumber record = from[position];
    for (RecordNumber j = 0; j < count_; ++j) {
        if (to[j] == record) return static_cast<int32_t>(j);
    }
    return -1;
}
