// tests/merge/merge_exceptions_test.cpp
//
// The places where the merge rules themselves keep a merge from holding what one version (or
// both alike) made, or from giving the same result with the versions swapped. The generated
// triples of merge_properties_test.cpp stay clear of them; each is pinned here by name, so
// that a change to one shows up as a deliberate decision and not as noise.
#include <gtest/gtest.h>

#include <string>

#include "tests/merge/merge_test_support.h"

namespace {

const std::string kHeader = "OUTLINE 1\n10 \"Main\"\n";

// Merges with version 2 equal to the original, then with both versions equal, and answers
// the two results when they are the same (else both, to fail the comparison).
std::string MergeOneChangedVersion(const std::string& base, const std::string& version,
                                   uint32_t options, uint16_t expectedWarnings = 0) {
    ScratchFolder folder;
    MergeRun alone = MergeInFolder(folder, base, version, base, options);
    MergeRun alike = MergeInFolder(folder, base, version, version, options);
    EXPECT_EQ(alone.status, 0);
    EXPECT_EQ(alone.conflicts, 0);
    EXPECT_EQ(alone.warnings, expectedWarnings);
    EXPECT_EQ(alike.warnings, expectedWarnings);
    return alone.merged == alike.merged ? alone.merged : alone.merged + "\n---\n" + alike.merged;
}

}  // namespace

TEST(MergeException, AType131ItemThatOneVersionDeletedStays) {
    const std::string base = kHeader + "  131 \"kept\"\n  9 \"end\"\n";
    ScratchFolder folder;
    MergeRun run = MergeInFolder(folder, base, kHeader + "  9 \"end\"\n", base);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.merged, base);
    // Deleted by both, it goes.
    run = MergeInFolder(folder, base, kHeader + "  9 \"end\"\n", kHeader + "  9 \"end\"\n");
    EXPECT_EQ(run.merged, kHeader + "  9 \"end\"\n");
}

TEST(MergeException, AnAdditionRightAfterAnIgnoredItemIsNeverInserted) {
    // Additions are looked for after each paired item; an ignored item is never paired, so
    // what follows it in a version is not found. An added item of an ignored type is no
    // addition at all.
    const std::string base = kHeader + "  9 \"a\"\n  176 \"hidden\"\n";
    EXPECT_EQ(MergeOneChangedVersion(base, base + "  9 \"added\"\n", 0), base);
    EXPECT_EQ(MergeOneChangedVersion(base, base + "  176 \"new hidden\"\n", 0), base);
    // Before the ignored item the same addition is inserted.
    const std::string before = kHeader + "  9 \"a\"\n  9 \"added\"\n  176 \"hidden\"\n";
    EXPECT_EQ(MergeOneChangedVersion(base, before, 0), before);
}

TEST(MergeException, ADTDataChangeIsCarriedOverLikeANamedProperty) {
    // The rules leave open whether one version's DTDATA change is taken; it is, as a named
    // property's change is, so that no edit of a value is dropped without a word.
    const std::string base = kHeader + "  9 \"line\"\n    $39 1\n";
    const std::string changed = kHeader + "  9 \"line\"\n    $39 2\n";
    EXPECT_EQ(MergeOneChangedVersion(base, changed, DIF_OPT_DTDATA), changed);
    ScratchFolder folder;
    MergeRun run = MergeInFolder(folder, base, changed, changed, DIF_OPT_DTDATA);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.merged, changed);
    // Without the option the value is not looked at.
    EXPECT_EQ(MergeOneChangedVersion(base, changed, 0), base);
}

TEST(MergeException, AnInheritedAdditionIsLeftOutWithW002) {
    const std::string base = kHeader + "  9 \"a\"\n";
    EXPECT_EQ(MergeOneChangedVersion(base, base + "  9 \"inherited\"\n    @431 \"1\"\n",
                                     DIF_OPT_ATTRIBUTES, 1),
              kHeader +
                  "  188 \"#### DIFF: Warning 1 (W002) - Unable to resolve Inherited Contents. "
                  "You may need to resolve manually. ####\"\n  9 \"a\"\n");
}

TEST(MergeException, DifferentChangesToATypeNotPairedBySimilarityAreTwoAdditions) {
    // A changed item of type 2 is a deletion and an addition in each version: deleted by
    // both, then added twice with W001, and no conflict.
    ScratchFolder folder;
    MergeRun run = MergeInFolder(folder, kHeader + "  2 \"mod\"\n", kHeader + "  2 \"mod one\"\n",
                                 kHeader + "  2 \"mod two\"\n");
    EXPECT_EQ(run.conflicts, 0);
    EXPECT_EQ(run.warnings, 1);
    EXPECT_EQ(
        run.merged,
        kHeader +
            "  188 \"#### DIFF: Warning 1 (W001) - Possibly incorrect ordering of items added "
            "from version 1 [version1.outline] ####\"\n  2 \"mod one\"\n"
            "  188 \"#### DIFF: Warning 1 (W001) - Possibly incorrect ordering of items added "
            "from version 2 [version2.outline] ####\"\n  2 \"mod two\"\n");
}

TEST(MergeException, BothVersionsMovesShareOnePlanSoSwappingThemCanChangeTheOrder) {
    // The plan is indexed by kept positions, which each version counts among the items it
    // kept. Version 2 deleted "call" here, so its entry 1 is "close" while version 1's entry 1
    // is "call": the two moves look alike. Entered first, version 1's moves win; with the
    // versions swapped the move of "call", which the merge deleted, fails with W004 and
    // "close" stays behind "loop".
    const std::string base = kHeader + "  9 \"loop\"\n  9 \"call\"\n  9 \"close\"\n";
    const std::string movesCall = kHeader + "  9 \"call\"\n  9 \"loop\"\n  9 \"close\"\n";
    const std::string movesClose = kHeader + "  9 \"close\"\n    9 \"call\"\n  9 \"loop\"\n";
    ScratchFolder folder;
    MergeRun closeFirst = MergeInFolder(folder, base, movesClose, movesCall);
    EXPECT_EQ(closeFirst.warnings, 0);
    EXPECT_EQ(closeFirst.merged, movesClose);
    MergeRun callFirst = MergeInFolder(folder, base, movesCall, movesClose);
    EXPECT_EQ(callFirst.warnings, 1);
    EXPECT_EQ(callFirst.merged,
              kHeader +
                  "  188 \"#### DIFF: Warning 1 (W004) - Unable to move item (call) ####\"\n"
                  "  9 \"loop\"\n  9 \"close\"\n    9 \"call\"\n");
    EXPECT_EQ(closeFirst.conflicts + callFirst.conflicts, 0);
}
