// tests/compare/score_matrix_test.cpp
//
// A wrong choice here surfaces later as a wrong pair in a compare file, far from its cause,
// so these tests pin down the choices that are easy to get wrong.
#include "compare/score_matrix.h"

#include <gtest/gtest.h>

#include <vector>

TEST(TakeBest, TiesGoToTheFirstCellInRowMajorOrder) {
    std::vector<int32_t> m = {4, 9, 9, 1};  // ">=" in the scan would pick (1, 0)
    BestCell best = TakeBest(m.data(), 2, 2);
    EXPECT_EQ(best.row, 0);
    EXPECT_EQ(best.column, 1);
}

TEST(TakeBest, TakenRowAndColumnNeverWinAgain) {
    // Once 8 is taken, one 7 shares its row and the other its column: only 6 may win.
    std::vector<int32_t> m = {8, 7, 0, 7, 6, 5};
    TakeBest(m.data(), 2, 3);
    BestCell second = TakeBest(m.data(), 2, 3);
    EXPECT_EQ(second.row, 1);
    EXPECT_EQ(second.column, 1);
    EXPECT_EQ(second.score, 6);
    // The crossing cell is marked twice; every used cell ends at or below the offset.
    for (int32_t cell : m) EXPECT_LE(cell, kUsedCellOffset);
    EXPECT_EQ(m[0], kUsedCellOffset - (-kUsedCellOffset + 8));
}

TEST(TakeBest, ScoreAndFlagComeFromTheBestCellBeforeItIsMarked) {
    // The last cell scanned has the other parity, so a flag taken from it is wrong.
    std::vector<int32_t> equalWins = {9, 4}, changedWins = {8, 5};
    BestCell a = TakeBest(equalWins.data(), 1, 2);
    BestCell b = TakeBest(changedWins.data(), 1, 2);
    EXPECT_TRUE(a.textsEqual);
    EXPECT_EQ(a.score, 9);  // read after marking, it would be far below zero
    EXPECT_FALSE(b.textsEqual);
    EXPECT_EQ(b.score, 8);
}
