// compare/text_groups.cpp: hashing the unresolved items of a section pair by (type, text).
#include "compare/text_groups.h"

#include <algorithm>

#include "outline/outline_object.h"

namespace {

// The smallest table: a tiny section pair costs a few spare slots and no resizing.
constexpr uint32_t kFewestSlots = 16;
// An empty slot.
constexpr int32_t kEmptySlot = -1;

// Knuth's multiplicative hash: the prime nearest 2^32 divided by the golden ratio spreads
// neighbouring type codes over the whole table.
constexpr uint32_t kTypeHashFactor = 2654435761u;
// FNV-1a's 32-bit offset basis and prime.
constexpr uint32_t kTextHashBasis = 2166136261u;
constexpr uint32_t kTextHashPrime = 16777619u;
// Mixed into the hash of a null text, so that it lands apart from the empty text, whose hash
// is the seed alone. Any fixed value serves; this one is the golden ratio's bits.
constexpr uint32_t kNullTextHash = 0x9E3779B9u;

uint32_t HashType(int32_t type) { return static_cast<uint32_t>(type) * kTypeHashFactor; }

// FNV-1a over the text's code units, seeded with the type; a null text has its own value.
uint32_t HashText(const WCHAR* text, int32_t type) {
    uint32_t hash = kTextHashBasis ^ HashType(type);
    if (text == nullptr) return hash ^ kNullTextHash;
    for (; *text != 0; ++text) hash = (hash ^ static_cast<uint32_t>(*text)) * kTextHashPrime;
    return hash;
}

// The type's tally, made at the end of the tallies when the type is new.
int32_t TallyOf(GroupTables& tables, int32_t type) {
    uint32_t slot = HashType(type) & tables.mask;
    while (tables.typeSlots[slot] != kEmptySlot) {
        if (tables.tallies[tables.typeSlots[slot]].type == type) return tables.typeSlots[slot];
        slot = (slot + 1) & tables.mask;
    }
    tables.typeSlots[slot] = tables.tallyCount;
    tables.tallies[tables.tallyCount] = {type, 0, 0, 0, 0};
    return tables.tallyCount++;
}

// The group of (type, text), made at the end of the groups when it is new.
int32_t GroupOf(GroupTables& tables, const WCHAR* text, int32_t type) {
    uint32_t hash = HashText(text, type);
    uint32_t slot = hash & tables.mask;
    while (tables.groupSlots[slot] != kEmptySlot) {
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

}  // namespace

uint32_t GroupSlotsFor(int32_t entries) {
    uint32_t slots = kFewestSlots;
    while (slots < 2 * static_cast<uint32_t>(entries)) slots *= 2;
    return slots;
}

void GroupUnresolved(const PairingSide& first, const PairingSide& second, GroupTables& tables,
                     int32_t* firstGroups, int32_t* secondGroups) {
    uint32_t slots = tables.mask + 1;
    std::fill(tables.typeSlots, tables.typeSlots + slots, kEmptySlot);
    std::fill(tables.groupSlots, tables.groupSlots + slots, kEmptySlot);
    tables.tallyCount = 0;
    tables.groupCount = 0;
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
}

void ListByType(const PairingSide& side, const int32_t* itemGroups, GroupTables& tables,
                int32_t* lists, bool firstSide) {
    int32_t start = 0;
    for (int32_t tallyIndex = 0; tallyIndex < tables.tallyCount; ++tallyIndex) {
        TypeTally& tally = tables.tallies[tallyIndex];
        int32_t size = firstSide ? tally.firstUnresolved : tally.secondUnresolved;
        (firstSide ? tally.firstStart : tally.secondStart) = start;
        start += size;
    }
    for (int32_t k = 0; k < side.count; ++k) {
        if (side.status[k] != kStatusUnresolved) continue;
        TypeTally& tally = tables.tallies[tables.groups[itemGroups[k]].typeIndex];
        lists[(firstSide ? tally.firstStart : tally.secondStart)++] = k;
    }
    // The listing moved each start to its list's end: move it back.
    for (int32_t tallyIndex = 0; tallyIndex < tables.tallyCount; ++tallyIndex) {
        TypeTally& tally = tables.tallies[tallyIndex];
        if (firstSide) {
            tally.firstStart -= tally.firstUnresolved;
        } else {
            tally.secondStart -= tally.secondUnresolved;
        }
    }
}

bool TextsEqual(const PairingSide& first, const PairingSide& second, int32_t i, int32_t j,
                const TextGroupsOf& groups) {
    if (groups.first != nullptr) return groups.first[i] == groups.second[j];
    return lstrcmpW(first.texts[i], second.texts[j]) == 0;
}
