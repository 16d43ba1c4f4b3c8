// compare/text_groups.h
//
// Groups the unresolved items of a section pair by (type, text) through open-addressed hash
// tables, so that the pairing finds equal texts, and counts a type's unresolved items, by
// looking up a group instead of scanning the other side. Texts are equal as lstrcmpW says,
// code unit by code unit, two null texts included.
#pragma once

#include <cstdint>

#include "compare/pairing_side.h"

// One group of equal texts: one per distinct (type, text) among the items unresolved when the
// pairing starts, with its unresolved items on each side.
struct TextGroup {
    uint32_t hash;
    int32_t typeIndex;  // the group's type among the tallies
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
    int32_t firstStart;  // where the type's first-side items start in the per-type lists
    int32_t secondStart;
};

// Open-addressed tables that find a type's tally and a (type, text)'s group; slots hold an
// index, -1 when empty. The arrays are the caller's: tallies and groups with room for every
// unresolved item of both sides, each slot table with GroupSlotsFor(that many) slots.
struct GroupTables {
    uint32_t mask;  // slots - 1
    int32_t* typeSlots;
    int32_t* groupSlots;
    TypeTally* tallies;
    int32_t tallyCount;
    TextGroup* groups;
    int32_t groupCount;
};

// Slots of a table for entries: a power of two, at least twice entries, so that a probe for
// a new entry always reaches an empty slot soon.
uint32_t GroupSlotsFor(int32_t entries);

// Empties the tables and puts every unresolved item in its group, the first side's items in
// index order, then the second's: firstGroups[i] and secondGroups[j] name the group (-1 for an
// item that is not unresolved), and the groups and tallies count their unresolved items on
// each side. Groups and tallies are numbered in the order of their first item.
void GroupUnresolved(const PairingSide& first, const PairingSide& second, GroupTables& tables,
                     int32_t* firstGroups, int32_t* secondGroups);

// Lists the side's unresolved items type by type, each type's in index order, and sets where
// each type's list starts in lists (the tallies' first or second start, by firstSide). Reads
// the tallies' counts of unresolved items, which must be the side's at the time of the call.
void ListByType(const PairingSide& side, const int32_t* itemGroups, GroupTables& tables,
                int32_t* lists, bool firstSide);

// The groups of a section pair's items as GroupUnresolved numbered them: two items have equal
// texts exactly when their groups are equal. Null groups mean "compare the texts".
struct TextGroupsOf {
    const int32_t* first;
    const int32_t* second;
};

// Whether first-side item i and second-side item j have equal texts.
bool TextsEqual(const PairingSide& first, const PairingSide& second, int32_t i, int32_t j,
                const TextGroupsOf& groups);
