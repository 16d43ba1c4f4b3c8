// compare/item_matching.cpp: the public pairing operations over two sections.
//
// Every loop runs in index order and every comparison is strict where the order of a tie
// decides the pair: two runs over the same sections, and every engine, must pair alike.
#include "compare/item_matching.h"

#include <algorithm>

#include "compare/one_pass_pairing.h"
#include "compare/pairing_outcome.h"
#include "compare/scratch_layout.h"
#include "compare/text_groups.h"
#include "support/checked_memory.h"

PairingSide SideOf(COutline& outline) {
    return {outline.count,
            outline.status,
            outline.match,
            outline.types,
            outline.texts,
            outline.candidates,
            0,
            outline.positions};
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
    // Count the unresolved items of the type while looking for the text among them; a second
    // item with the text settles the answer at once. index keeps the first one found.
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
    // The text stands once; without it, whether the type is there at all decides.
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
    for (int32_t k = 0; k < side.count; ++k) MarkUnpaired(side, k, status);
}

void PairByScore(PairingSide& first, PairingSide& second, int32_t type, const PairingRules& rules) {
    PairByScoreInOnePass(first, second, type, rules, {nullptr, nullptr});
}

namespace {

int32_t CountUnresolved(const PairingSide& side) {
    int32_t unresolved = 0;
    for (int32_t k = 0; k < side.count; ++k) unresolved += side.status[k] == kStatusUnresolved;
    return unresolved;
}

}  // namespace

void MatchItems(PairingSide& first, PairingSide& second, const PairingRules& rules) {
    int32_t firstOpen = CountUnresolved(first);
    int32_t secondOpen = CountUnresolved(second);
    if (firstOpen + secondOpen == 0) return;
    uint32_t slots = GroupSlotsFor(firstOpen + secondOpen);
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
    GroupUnresolved(first, second, tables, firstGroups, secondGroups);
    // Unique texts, in first-side index order, as MatchItemsReference finds them by scans.
    // FindUnresolved on the second side answers 0 when the type's tally there is 0, 1 when
    // the group's is 1, else 2; on the first side, 1 when the group's is 1 (item i itself). A
    // second-side item leaves its group only by pairing, when the group's tally is 1, so a
    // group whose tally is 1 still holds its first item.
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
    // Types that the first side lacks: their second-side items can only be deletions.
    for (int32_t j = 0; j < second.count; ++j) {
        if (second.status[j] != kStatusUnresolved) continue;
        TypeTally& tally = tables.tallies[tables.groups[secondGroups[j]].typeIndex];
        if (tally.firstUnresolved == 0) {
            MarkUnpaired(second, j, rules.secondUnpaired);
            --tally.secondUnresolved;
        }
    }
    // Every remaining type by score, in the order of its first unresolved first-side item.
    // Only the pairing of a type changes its items, so the lists made now are the candidates
    // that CollectCandidates would find when the type's turn comes.
    ListByType(first, firstGroups, tables, firstLists, true);
    ListByType(second, secondGroups, tables, secondLists, false);
    for (int32_t i = 0; i < first.count; ++i) {
        if (first.status[i] != kStatusUnresolved) continue;
        const TypeTally& tally = tables.tallies[tables.groups[firstGroups[i]].typeIndex];
        first.candidateCount = tally.firstUnresolved;
        std::copy(firstLists + tally.firstStart,
                  firstLists + tally.firstStart + tally.firstUnresolved, first.candidates);
        second.candidateCount = tally.secondUnresolved;
        std::copy(secondLists + tally.secondStart,
                  secondLists + tally.secondStart + tally.secondUnresolved, second.candidates);
        PairByScoreInOnePass(first, second, tally.type, rules, {firstGroups, secondGroups});
    }
    CheckedFree(block);
}
